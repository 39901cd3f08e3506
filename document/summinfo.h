#pragma once
// The summary information of a label document: title, author, revision, times and counts, kept
// as an OLE property set and stored in the stream "\x05SummaryInformation" of the document's
// root storage.
//
// Text properties are multibyte text in the code page that property 1 declares. New sets
// declare UTF-8 (65001), so that no text is ever lost; a set read from a file in another code
// page (for example Big5 from the original platform) has its texts converted to UTF-8 while it
// is read, and is written back in UTF-8.

#include "document/propset.h"
#include "framework/types.h"

class CStorage;

class CSummInfo {
public:
    // Property ids of the summary section.
    enum : DWORD {
        PID_CODEPAGE = 1,
        PID_TITLE = 2,
        PID_SUBJECT = 3,
        PID_AUTHOR = 4,
        PID_KEYWORDS = 5,
        PID_COMMENTS = 6,
        PID_TEMPLATE = 7,
        PID_LASTAUTHOR = 8,
        PID_REVNUMBER = 9,
        PID_EDITTIME = 10,
        PID_LASTPRINTED = 11,
        PID_CREATE_DTM = 12,
        PID_LASTSAVE_DTM = 13,
        PID_PAGECOUNT = 14,
        PID_WORDCOUNT = 15,
        PID_CHARCOUNT = 16,
        PID_APPNAME = 18,
        PID_SECURITY = 0x80000002,
    };
    static constexpr WORD kCodePageUtf8 = 65001;
    // Longest stored text in bytes, without its terminator.
    static constexpr int kMaxTextBytes = 1023;

    CSummInfo();

    bool SetTitle(const CString& s) { return SetText(PID_TITLE, s); }
    CString GetTitle() const { return GetText(PID_TITLE); }
    bool SetSubject(const CString& s) { return SetText(PID_SUBJECT, s); }
    CString GetSubject() const { return GetText(PID_SUBJECT); }
    bool SetAuthor(const CString& s) { return SetText(PID_AUTHOR, s); }
    CString GetAuthor() const { return GetText(PID_AUTHOR); }
    bool SetKeywords(const CString& s) { return SetText(PID_KEYWORDS, s); }
    CString GetKeywords() const { return GetText(PID_KEYWORDS); }
    bool SetComments(const CString& s) { return SetText(PID_COMMENTS, s); }
    CString GetComments() const { return GetText(PID_COMMENTS); }
    bool SetTemplate(const CString& s) { return SetText(PID_TEMPLATE, s); }
    CString GetTemplate() const { return GetText(PID_TEMPLATE); }
    bool SetLastAuthor(const CString& s) { return SetText(PID_LASTAUTHOR, s); }
    CString GetLastAuthor() const { return GetText(PID_LASTAUTHOR); }
    bool SetAppname(const CString& s) { return SetText(PID_APPNAME, s); }
    CString GetAppname() const { return GetText(PID_APPNAME); }
    CString GetRevNum() const { return GetText(PID_REVNUMBER); }
    void IncrRevNum();

    // Counts, shown as unsigned decimal; empty text when the property is absent.
    void SetNumPages(DWORD n) { SetCount(PID_PAGECOUNT, n); }
    CString GetNumPages() const { return GetCount(PID_PAGECOUNT); }
    void SetNumWords(DWORD n) { SetCount(PID_WORDCOUNT, n); }
    CString GetNumWords() const { return GetCount(PID_WORDCOUNT); }
    void SetNumChars(DWORD n) { SetCount(PID_CHARCOUNT, n); }
    CString GetNumChars() const { return GetCount(PID_CHARCOUNT); }
    void SetSecurity(DWORD n) { SetCount(PID_SECURITY, n); }
    CString GetSecurity() const { return GetCount(PID_SECURITY); }

    // Times: empty text for an absent or zero time, else local date and time in the user's
    // locale.
    void RecordCreateDate() { SetFileTime(PID_CREATE_DTM, Now()); }
    void RecordSaveDate() { SetFileTime(PID_LASTSAVE_DTM, Now()); }
    void RecordPrintDate() { SetFileTime(PID_LASTPRINTED, Now()); }
    CString GetCreateDate() const { return FormatDate(PID_CREATE_DTM); }
    CString GetLastSave() const { return FormatDate(PID_LASTSAVE_DTM); }
    CString GetLastPrintDate() const { return FormatDate(PID_LASTPRINTED); }

    // Editing time: the stored total plus the current editing period, in whole minutes.
    void StartEditTimeCount() { m_editStart = Now(); }
    void AddCountToEditTime();
    CString GetEditTime() const;

    // Raw values, in FILETIME units (100 ns since 1601-01-01 UTC), 0 when absent.
    quint64 GetFileTime(DWORD id) const;
    const CPropertySet& PropertySet() const { return m_set; }

    // The stream form of the property set.
    QByteArray WriteToStream();
    // Replaces the set with the one in `bytes`. A malformed stream, or one without a summary
    // section, leaves this object unchanged and gives FALSE.
    bool ReadFromStream(const QByteArray& bytes);

    bool WriteToStorage(CStorage& root);
    // FALSE when the stream is absent or unreadable; this object is then unchanged.
    bool ReadFromStorage(const CStorage& root);

    static QString StreamName();

    // The clock, replaceable by tests; returns FILETIME units.
    using Clock = quint64 (*)();
    static void SetClock(Clock clock);
    static quint64 Now();

private:
    bool SetText(DWORD id, const CString& text);
    CString GetText(DWORD id) const;
    void SetCount(DWORD id, DWORD n);
    CString GetCount(DWORD id) const;
    void SetFileTime(DWORD id, quint64 t);
    CString FormatDate(DWORD id) const;
    CPropertySection* Section();
    const CPropertySection* Section() const;
    // The summary section's property of that id, or NULL.
    const CProperty* Property(DWORD id) const;

    CPropertySet m_set;
    quint64 m_editStart = 0;
};
