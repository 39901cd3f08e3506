#pragma once
// OLE property sets as stored in a compound file stream: a set of sections, each a list of typed
// properties keyed by a 32-bit id. Values are held exactly as they are laid out in the stream
// (after the type word), so a set read from a file writes back the same bytes. Every length and
// count read from a stream is checked against the bytes that remain before anything is
// allocated; a malformed stream makes the read fail and leaves the object empty.

#include "framework/types.h"

#include <QByteArray>
#include <QMap>
#include <array>
#include <list>
#include <memory>

using FMTID = std::array<BYTE, 16>;
using CLSID = FMTID;

// Builds a format id from its textual form's parts, e.g. {F29F85E0-4FF9-1068-AB91-08002B27B3D9}.
FMTID MakeFmtId(DWORD d1, WORD d2, WORD d3, std::array<BYTE, 8> d4);

extern const FMTID FMTID_SummaryInformation;

enum : DWORD {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_I8 = 20,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_CLSID = 72,
    VT_VECTOR = 0x1000,
};

class CPropertyStreamReader;

class CProperty {
public:
    CProperty() = default;
    // For VT_LPSTR given as text (a zero-terminated byte string) the length prefix is added; for
    // every other type `size` bytes of `value` are taken as the stream form.
    CProperty(DWORD id, const void* value, DWORD type, DWORD size = 0);

    DWORD GetID() const { return m_id; }
    DWORD GetType() const { return m_type; }
    void SetID(DWORD id) { m_id = id; }

    // Replaces the value. A VT_LPSTR value is given as its bytes without prefix or terminator.
    void SetText(const QByteArray& bytes);
    // Replaces the value with raw stream bytes of the current type.
    void SetRaw(DWORD type, const QByteArray& streamForm) { m_type = type; m_value = streamForm; }
    // The value after any length prefix (for VT_LPSTR: the bytes up to the terminator).
    QByteArray GetText() const;
    const QByteArray& GetRaw() const { return m_value; }

    // Stream form: type, value, zero padding up to a multiple of 4.
    bool WriteToStream(QByteArray& out) const;
    bool ReadFromStream(CPropertyStreamReader& in);

private:
    DWORD m_id = 0;
    DWORD m_type = VT_EMPTY;
    QByteArray m_value;  // exactly as after the type word in the stream, without padding
};

class CPropertySection {
public:
    CPropertySection() = default;
    explicit CPropertySection(const FMTID& fmtid) : m_fmtid(fmtid) {}

    const FMTID& GetFormatID() const { return m_fmtid; }
    void SetFormatID(const FMTID& fmtid) { m_fmtid = fmtid; }

    // Replaces the property of that id or appends a new one.
    CProperty& Set(DWORD id, DWORD type, const QByteArray& streamForm);
    CProperty& SetText(DWORD id, const QByteArray& bytes);
    CProperty* Get(DWORD id);
    const CProperty* Get(DWORD id) const;
    const std::list<CProperty>& Properties() const { return m_properties; }

    // FALSE when the lower-case name is already present.
    bool SetName(DWORD id, const QString& name);
    const QMap<QString, DWORD>& Names() const { return m_names; }
    const QByteArray& GetSectionName() const { return m_sectionName; }

    // Appends the section at the end of `out`; offsets inside are relative to its start.
    bool WriteToStream(QByteArray& out);
    // Reads the section that starts at the reader's position.
    bool ReadFromStream(CPropertyStreamReader& in);

private:
    bool WriteDictionary(QByteArray& out) const;
    bool ReadDictionary(CPropertyStreamReader& in);

    FMTID m_fmtid {};
    std::list<CProperty> m_properties;
    QMap<QString, DWORD> m_names;
    QByteArray m_sectionName;
};

class CPropertySet {
public:
    CPropertySet();

    CPropertySection* AddSection(const FMTID& fmtid);
    CPropertySection* GetSection(const FMTID& fmtid);
    const CPropertySection* GetSection(const FMTID& fmtid) const;
    const std::list<CPropertySection>& Sections() const { return m_sections; }

    void SetClassID(const CLSID& clsid) { m_clsid = clsid; }
    const CLSID& GetClassID() const { return m_clsid; }
    void SetFormatVersion(WORD v) { m_formatVersion = v; }
    void SetOSVersion(DWORD v) { m_osVersion = v; }
    DWORD GetOSVersion() const { return m_osVersion; }

    QByteArray WriteToStream();
    // On failure the set holds no sections.
    bool ReadFromStream(const QByteArray& bytes);

private:
    WORD m_byteOrder = 0xFFFE;
    WORD m_formatVersion = 0;
    DWORD m_osVersion = 0;
    CLSID m_clsid {};
    std::list<CPropertySection> m_sections;
};
