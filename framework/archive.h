#pragma once
// The archive: the binary form in which documents and their objects are stored. Integers are
// little-endian; strings carry a UTF-16 mark; objects and classes are written once and then
// referred to by index, so shared and cyclic references survive a round trip.
//
// Loading never trusts the data: every length and index is checked against the bytes that
// remain and the objects already read, and any fault raises CArchiveException.

#include "framework/geometry.h"
#include "framework/object.h"
#include "framework/types.h"

#include <QByteArray>

#include <cstdint>
#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

class CDocument;

class CArchiveException : public std::exception {
public:
    enum {
        none,
        genericException,
        readOnly,   // written to an archive that loads
        endOfFile,  // the data ended inside a value
        writeOnly,  // read from an archive that stores
        badIndex,   // a class or object reference that names nothing or the wrong kind
        badClass,   // unknown class, or not of the class the reader asked for
        badSchema,  // a stored schema that the class cannot read
    };

    explicit CArchiveException(int cause = genericException, const std::string& detail = {});
    const char* what() const noexcept override { return m_message.c_str(); }

    int m_cause;

private:
    std::string m_message;
};

// The single-byte code page in which strings without the UTF-16 mark were written (the
// Windows code page number: 1252, 936, 950, ...). Process-wide; 1252 until set.
void SetArchiveCodePage(UINT nCodePage);
UINT GetArchiveCodePage();

class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    // A storing archive appends to an empty buffer; a loading archive reads the given bytes.
    explicit CArchive(Mode nMode);
    explicit CArchive(const QByteArray& data, Mode nMode = load);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return m_nMode == store; }
    bool IsLoading() const { return m_nMode == load; }

    // All bytes stored so far (or the bytes being loaded).
    const QByteArray& GetBuffer() const { return m_buffer; }
    qsizetype GetPosition() const { return m_pos; }
    qsizetype GetBytesRemaining() const { return m_buffer.size() - m_pos; }
    // Loading: true when every byte has been read.
    bool IsBufferEmpty() const { return GetBytesRemaining() == 0; }

    // The document being stored or loaded; objects take it while they load.
    CDocument* m_pDocument = nullptr;

    CArchive& operator<<(BYTE by);
    CArchive& operator<<(char ch);
    CArchive& operator<<(WORD w);
    CArchive& operator<<(short n);
    CArchive& operator<<(DWORD dw);   // also UINT
    CArchive& operator<<(int n);      // also LONG
    CArchive& operator<<(std::uint64_t n);
    CArchive& operator<<(std::int64_t n);
    CArchive& operator<<(float f);
    CArchive& operator<<(double d);
    CArchive& operator<<(const CString& str);
    CArchive& operator<<(const CPoint& pt);  // x, y
    CArchive& operator<<(const CSize& size); // cx, cy
    CArchive& operator<<(const CRect& rect); // left, top, right, bottom
    // No stored form of its own: write BOOL (int) or BYTE explicitly.
    CArchive& operator<<(bool) = delete;

    CArchive& operator>>(BYTE& by);
    CArchive& operator>>(char& ch);
    CArchive& operator>>(WORD& w);
    CArchive& operator>>(short& n);
    CArchive& operator>>(DWORD& dw);
    CArchive& operator>>(int& n);
    CArchive& operator>>(std::uint64_t& n);
    CArchive& operator>>(std::int64_t& n);
    CArchive& operator>>(float& f);
    CArchive& operator>>(double& d);
    CArchive& operator>>(CString& str);
    CArchive& operator>>(CPoint& pt);
    CArchive& operator>>(CSize& size);
    CArchive& operator>>(CRect& rect);
    CArchive& operator>>(bool&) = delete;

    // Raw bytes, copied as they are.
    void Write(const void* lpBuf, UINT nMax);
    // Reads exactly nMax bytes; fewer remaining raise endOfFile and consume nothing.
    UINT Read(void* lpBuf, UINT nMax);

    // Element counts of collections. A count read is not checked against the data (the
    // elements may be of any size): never reserve memory by it.
    void WriteCount(std::uint64_t dwCount);
    std::uint64_t ReadCount();

    // Object references: null, a new object (class reference and the object's record) or the
    // index of an object already written. Reading creates a new object through its class's
    // factory, enters it among the objects read before its Serialize runs (so references back
    // to it work) and returns it; the caller owns it. When its Serialize throws, the object is
    // deleted before the exception passes on (its destructor must cope with a partial load).
    // A reference to an object read before returns that same pointer.
    void WriteObject(const CObject* pOb);
    CObject* ReadObject(const CRuntimeClass* pClassRefRequested);

    // Class references alone. ReadClass hands the stored schema to pSchema when given, else
    // to the object schema (GetObjectSchema). pObTag receives an object index when the data
    // holds an object reference instead; without pObTag that is badIndex.
    void WriteClass(const CRuntimeClass* pClassRef);
    CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = nullptr,
                             UINT* pSchema = nullptr, DWORD* pObTag = nullptr);
    // WriteClass when storing, ReadClass when loading.
    void SerializeClass(const CRuntimeClass* pClassRef);

    // The schema read with the current object's (or the last class reference's) class;
    // reading it resets it to (UINT)-1.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

    friend CArchive& operator<<(CArchive& ar, const CObject* pOb)
    {
        ar.WriteObject(pOb);
        return ar;
    }
    friend CArchive& operator>>(CArchive& ar, CObject*& pOb)
    {
        pOb = ar.ReadObject(nullptr);
        return ar;
    }
    friend CArchive& operator>>(CArchive& ar, const CObject*& pOb)
    {
        pOb = ar.ReadObject(nullptr);
        return ar;
    }

private:
    struct LoadEntry {
        CRuntimeClass* pClass;  // set for a class entry
        CObject* pObject;       // an object entry (null for index 0 and failed objects)
        UINT nSchema;           // the schema stored with a class
    };

    void CheckStoring() const;
    void CheckLoading() const;
    void Need(std::uint64_t nBytes) const;
    template <typename T> void WriteLE(T value);
    template <typename T> T ReadLE();
    void WriteTag(DWORD index, bool isClass);
    DWORD NextIndex();
    QString DecodeSingleByte(const char* data, qsizetype length);

    Mode m_nMode;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    UINT m_nObjectSchema = UINT(-1);
    int m_nDepth = 0;                                   // nesting of ReadObject
    std::unordered_map<const void*, DWORD> m_storeMap;  // objects and classes written
    DWORD m_nStoreCount = 1;
    std::vector<LoadEntry> m_loadMap;                   // index 0 is the null object
    void* m_iconv = nullptr;                            // converter for single-byte strings
    UINT m_iconvCodePage = 0;
};
