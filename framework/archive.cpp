#include "framework/archive.h"

#include "framework/codepage.h"

#include <QtEndian>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

std::atomic<UINT> g_codePage{1252};

// Objects nest through their Serialize; a crafted file could nest them until the stack ends.
constexpr int kMaxObjectDepth = 200;
// Longer class names cannot be stored: the reader refuses them.
constexpr std::size_t kMaxClassName = 63;

constexpr WORD kNullTag = 0;
constexpr WORD kNewClassTag = 0xFFFF;
constexpr WORD kClassTag = 0x8000;
constexpr WORD kBigObjectTag = 0x7FFF;
constexpr DWORD kBigClassTag = 0x80000000u;

const char* CauseText(int cause)
{
    switch (cause) {
    case CArchiveException::none: return "no error";
    case CArchiveException::readOnly: return "write to an archive that is loading";
    case CArchiveException::endOfFile: return "unexpected end of data";
    case CArchiveException::writeOnly: return "read from an archive that is storing";
    case CArchiveException::badIndex: return "invalid object or class reference";
    case CArchiveException::badClass: return "unknown or unexpected class";
    case CArchiveException::badSchema: return "unsupported schema";
    default: return "malformed data";
    }
}

} // namespace

CArchiveException::CArchiveException(int cause, const std::string& detail)
    : m_cause(cause), m_message(std::string("archive: ") + CauseText(cause))
{
    if (!detail.empty())
        m_message += " (" + detail + ")";
}

void SetArchiveCodePage(UINT nCodePage) { g_codePage.store(nCodePage); }
UINT GetArchiveCodePage() { return g_codePage.load(); }

// ---------------------------------------------------------------------------------------------

CArchive::CArchive(Mode nMode) : m_nMode(nMode)
{
    m_loadMap.push_back({nullptr, nullptr, 0});
}

CArchive::CArchive(const QByteArray& data, Mode nMode) : m_nMode(nMode), m_buffer(data)
{
    m_loadMap.push_back({nullptr, nullptr, 0});
}

CArchive::~CArchive()
{
    if (m_iconv)
        iconv_close(static_cast<iconv_t>(m_iconv));
}

void CArchive::CheckStoring() const
{
    if (!IsStoring())
        throw CArchiveException(CArchiveException::readOnly);
}

void CArchive::CheckLoading() const
{
    if (!IsLoading())
        throw CArchiveException(CArchiveException::writeOnly);
}

void CArchive::Need(std::uint64_t nBytes) const
{
    CheckLoading();
    if (nBytes > std::uint64_t(GetBytesRemaining()))
        throw CArchiveException(CArchiveException::endOfFile);
}

template <typename T>
void CArchive::WriteLE(T value)
{
    CheckStoring();
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    m_buffer.append(bytes, qsizetype(sizeof(T)));
}

template <typename T>
T CArchive::ReadLE()
{
    Need(sizeof(T));
    T value = qFromLittleEndian<T>(m_buffer.constData() + m_pos);
    m_pos += qsizetype(sizeof(T));
    return value;
}

CArchive& CArchive::operator<<(BYTE by) { WriteLE(by); return *this; }
CArchive& CArchive::operator<<(char ch) { WriteLE(BYTE(ch)); return *this; }
CArchive& CArchive::operator<<(WORD w) { WriteLE(w); return *this; }
CArchive& CArchive::operator<<(short n) { WriteLE(n); return *this; }
CArchive& CArchive::operator<<(DWORD dw) { WriteLE(dw); return *this; }
CArchive& CArchive::operator<<(int n) { WriteLE(std::int32_t(n)); return *this; }
CArchive& CArchive::operator<<(std::uint64_t n) { WriteLE(n); return *this; }
CArchive& CArchive::operator<<(std::int64_t n) { WriteLE(n); return *this; }
CArchive& CArchive::operator<<(float f) { WriteLE(std::bit_cast<std::uint32_t>(f)); return *this; }
CArchive& CArchive::operator<<(double d) { WriteLE(std::bit_cast<std::uint64_t>(d)); return *this; }
CArchive& CArchive::operator<<(const CPoint& pt) { return *this << pt.x << pt.y; }
CArchive& CArchive::operator<<(const CSize& size) { return *this << size.cx << size.cy; }

CArchive& CArchive::operator<<(const CRect& rect)
{
    return *this << rect.left << rect.top << rect.right << rect.bottom;
}

CArchive& CArchive::operator>>(BYTE& by) { by = ReadLE<BYTE>(); return *this; }
CArchive& CArchive::operator>>(char& ch) { ch = char(ReadLE<BYTE>()); return *this; }
CArchive& CArchive::operator>>(WORD& w) { w = ReadLE<WORD>(); return *this; }
CArchive& CArchive::operator>>(short& n) { n = ReadLE<short>(); return *this; }
CArchive& CArchive::operator>>(DWORD& dw) { dw = ReadLE<DWORD>(); return *this; }
CArchive& CArchive::operator>>(int& n) { n = ReadLE<std::int32_t>(); return *this; }
CArchive& CArchive::operator>>(std::uint64_t& n) { n = ReadLE<std::uint64_t>(); return *this; }
CArchive& CArchive::operator>>(std::int64_t& n) { n = ReadLE<std::int64_t>(); return *this; }
CArchive& CArchive::operator>>(float& f) { f = std::bit_cast<float>(ReadLE<std::uint32_t>()); return *this; }
CArchive& CArchive::operator>>(double& d) { d = std::bit_cast<double>(ReadLE<std::uint64_t>()); return *this; }

// The compound values check their whole size first, so that a short read changes nothing.
CArchive& CArchive::operator>>(CPoint& pt)
{
    Need(8);
    return *this >> pt.x >> pt.y;
}

CArchive& CArchive::operator>>(CSize& size)
{
    Need(8);
    return *this >> size.cx >> size.cy;
}

CArchive& CArchive::operator>>(CRect& rect)
{
    Need(16);
    return *this >> rect.left >> rect.top >> rect.right >> rect.bottom;
}

void CArchive::Write(const void* lpBuf, UINT nMax)
{
    CheckStoring();
    if (nMax > 0)
        m_buffer.append(static_cast<const char*>(lpBuf), qsizetype(nMax));
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    Need(nMax);
    if (nMax > 0)
        std::memcpy(lpBuf, m_buffer.constData() + m_pos, nMax);
    m_pos += qsizetype(nMax);
    return nMax;
}

void CArchive::WriteCount(std::uint64_t dwCount)
{
    if (dwCount < 0xFFFF) {
        *this << WORD(dwCount);
        return;
    }
    *this << WORD(0xFFFF);
    if (dwCount < 0xFFFFFFFFu) {
        *this << DWORD(dwCount);
        return;
    }
    *this << DWORD(0xFFFFFFFFu) << dwCount;
}

std::uint64_t CArchive::ReadCount()
{
    WORD w = ReadLE<WORD>();
    if (w != 0xFFFF)
        return w;
    DWORD dw = ReadLE<DWORD>();
    if (dw != 0xFFFFFFFFu)
        return dw;
    return ReadLE<std::uint64_t>();
}

// ---------------------------------------------------------------------------------------------
// Strings

CArchive& CArchive::operator<<(const CString& str)
{
    const auto length = std::uint64_t(str.size());
    *this << BYTE(0xFF) << WORD(0xFFFE);
    if (length < 0xFF) {
        *this << BYTE(length);
    } else {
        *this << BYTE(0xFF);
        if (length < 0xFFFE) {
            *this << WORD(length);
        } else {
            *this << WORD(0xFFFF);
            if (length < 0xFFFFFFFFu)
                *this << DWORD(length);
            else
                *this << DWORD(0xFFFFFFFFu) << length;
        }
    }
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + str.size() * 2);
    char* out = m_buffer.data() + start;
    for (QChar c : str) {
        qToLittleEndian<quint16>(c.unicode(), out);
        out += 2;
    }
    return *this;
}

CArchive& CArchive::operator>>(CString& str)
{
    // A length of 0xFF says "a longer form follows"; the word 0xFFFE in place of a length marks
    // UTF-16 text, after which the length starts over.
    bool wide = false;
    std::uint64_t length = ReadLE<BYTE>();
    if (length == 0xFF) {
        WORD w = ReadLE<WORD>();
        bool done = false;
        if (w == 0xFFFE) {
            wide = true;
            BYTE b = ReadLE<BYTE>();
            if (b < 0xFF) {
                length = b;
                done = true;
            } else {
                w = ReadLE<WORD>();
            }
        }
        if (!done) {
            if (w < 0xFFFF) {
                length = w;
            } else {
                DWORD dw = ReadLE<DWORD>();
                length = dw < 0xFFFFFFFFu ? dw : ReadLE<std::uint64_t>();
            }
        }
    }

    const char* data = m_buffer.constData() + m_pos;
    if (wide) {
        if (length > std::uint64_t(GetBytesRemaining()) / 2)
            throw CArchiveException(CArchiveException::endOfFile, "string longer than the data");
        QString result(qsizetype(length), Qt::Uninitialized);
        QChar* out = result.data();
        for (qsizetype i = 0; i < qsizetype(length); ++i)
            out[i] = QChar(qFromLittleEndian<quint16>(data + 2 * i));
        m_pos += qsizetype(length) * 2;
        str = std::move(result);
    } else {
        if (length > std::uint64_t(GetBytesRemaining()))
            throw CArchiveException(CArchiveException::endOfFile, "string longer than the data");
        str = DecodeSingleByte(data, qsizetype(length));
        m_pos += qsizetype(length);
    }
    return *this;
}

QString CArchive::DecodeSingleByte(const char* data, qsizetype length)
{
    if (length == 0)
        return QString();
    const UINT codePage = GetArchiveCodePage();
    if (m_iconv && m_iconvCodePage != codePage) {
        iconv_close(static_cast<iconv_t>(m_iconv));
        m_iconv = nullptr;
    }
    if (!m_iconv) {
        if (const char* name = IconvCodePageName(codePage)) {
            iconv_t cd = iconv_open("UTF-16LE", name);
            if (cd != iconv_t(-1)) {
                m_iconv = cd;
                m_iconvCodePage = codePage;
            }
        }
    }
    if (!m_iconv)  // a code page the system cannot convert: keep the bytes as Latin-1
        return QString::fromLatin1(data, length);

    auto cd = static_cast<iconv_t>(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // One UTF-16 unit per input byte is enough for the usual code pages; grow if not.
    QByteArray out(length * 2 + 8, Qt::Uninitialized);
    char* in = const_cast<char*>(data);
    std::size_t inLeft = std::size_t(length);
    std::size_t used = 0;
    auto convert = [&](char** inp, std::size_t* inLeftp) {
        for (;;) {
            char* outp = out.data() + used;
            std::size_t outLeft = std::size_t(out.size()) - used;
            std::size_t r = iconv(cd, inp, inLeftp, &outp, &outLeft);
            used = std::size_t(outp - out.data());
            if (r != std::size_t(-1))
                return 0;
            if (errno != E2BIG)
                return errno;
            out.resize(out.size() * 2);
        }
    };
    while (inLeft > 0) {
        int err = convert(&in, &inLeft);
        if (err == 0)
            break;
        // A byte the code page does not define (or a lead byte cut off at the end): the
        // replacement character stands for it, and conversion goes on after it.
        if (std::size_t(out.size()) - used < 2)
            out.resize(out.size() * 2);
        qToLittleEndian<quint16>(0xFFFD, out.data() + used);
        used += 2;
        ++in;
        --inLeft;
    }
    convert(nullptr, nullptr);

    QString result(qsizetype(used / 2), Qt::Uninitialized);
    QChar* chars = result.data();
    for (std::size_t i = 0; i < used / 2; ++i)
        chars[i] = QChar(qFromLittleEndian<quint16>(out.constData() + 2 * i));
    return result;
}

// ---------------------------------------------------------------------------------------------
// Classes and objects

DWORD CArchive::NextIndex()
{
    if (m_nStoreCount >= kBigClassTag - 1)
        throw CArchiveException(CArchiveException::genericException, "too many objects");
    return m_nStoreCount++;
}

void CArchive::WriteTag(DWORD index, bool isClass)
{
    if (index < kBigObjectTag) {
        *this << WORD(isClass ? (kClassTag | index) : index);
    } else {
        *this << kBigObjectTag << DWORD(isClass ? (kBigClassTag | index) : index);
    }
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef)
{
    CheckStoring();
    auto it = m_storeMap.find(pClassRef);
    if (it != m_storeMap.end()) {
        WriteTag(it->second, true);
        return;
    }
    const std::size_t nameLength = std::strlen(pClassRef->m_lpszClassName);
    if (nameLength > kMaxClassName)
        throw CArchiveException(CArchiveException::badClass, "class name too long");
    *this << kNewClassTag << WORD(pClassRef->m_wSchema & 0xFFFF) << WORD(nameLength);
    Write(pClassRef->m_lpszClassName, UINT(nameLength));
    m_storeMap.emplace(pClassRef, NextIndex());
}

void CArchive::WriteObject(const CObject* pOb)
{
    CheckStoring();
    if (!pOb) {
        *this << kNullTag;
        return;
    }
    auto it = m_storeMap.find(pOb);
    if (it != m_storeMap.end()) {
        WriteTag(it->second, false);
        return;
    }
    WriteClass(pOb->GetRuntimeClass());
    m_storeMap.emplace(pOb, NextIndex());
    const_cast<CObject*>(pOb)->Serialize(*this);
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema,
                                   DWORD* pObTag)
{
    CheckLoading();
    const WORD wTag = ReadLE<WORD>();
    CRuntimeClass* pClass = nullptr;
    UINT nSchema = 0;

    if (wTag == kNewClassTag) {
        const WORD wSchema = ReadLE<WORD>();
        const WORD nameLength = ReadLE<WORD>();
        if (nameLength > kMaxClassName)
            throw CArchiveException(CArchiveException::badClass, "class name too long");
        char name[kMaxClassName + 1] = {};
        Read(name, nameLength);
        if (std::memchr(name, 0, nameLength))
            throw CArchiveException(CArchiveException::badClass, "null byte in a class name");
        pClass = CRuntimeClass::FromName(name);
        if (!pClass)
            throw CArchiveException(CArchiveException::badClass, name);
        if ((pClass->m_wSchema & ~VERSIONABLE_SCHEMA) != wSchema &&
            !(pClass->m_wSchema & VERSIONABLE_SCHEMA))
            throw CArchiveException(CArchiveException::badSchema,
                                    std::string(name) + " schema " + std::to_string(wSchema));
        nSchema = wSchema;
        m_loadMap.push_back({pClass, nullptr, nSchema});
    } else {
        bool isClass;
        DWORD index;
        if (wTag == kBigObjectTag) {
            const DWORD tag = ReadLE<DWORD>();
            isClass = (tag & kBigClassTag) != 0;
            index = tag & ~kBigClassTag;
        } else {
            isClass = (wTag & kClassTag) != 0;
            index = wTag & ~kClassTag;
        }
        if (!isClass) {
            if (!pObTag)
                throw CArchiveException(CArchiveException::badIndex, "object where a class was expected");
            *pObTag = index;
            return nullptr;
        }
        if (index == 0 || index >= m_loadMap.size() || !m_loadMap[index].pClass)
            throw CArchiveException(CArchiveException::badIndex, "class index " + std::to_string(index));
        pClass = m_loadMap[index].pClass;
        nSchema = m_loadMap[index].nSchema;
    }

    if (pClassRefRequested && !pClass->IsDerivedFrom(pClassRefRequested))
        throw CArchiveException(CArchiveException::badClass,
                                std::string(pClass->m_lpszClassName) + " is not a " +
                                    pClassRefRequested->m_lpszClassName);
    if (pSchema)
        *pSchema = nSchema;
    else
        m_nObjectSchema = nSchema;
    return pClass;
}

void CArchive::SerializeClass(const CRuntimeClass* pClassRef)
{
    if (IsStoring())
        WriteClass(pClassRef);
    else
        ReadClass(pClassRef);
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested)
{
    CheckLoading();
    UINT nSchema = 0;
    DWORD obTag = 0;
    CRuntimeClass* pClass = ReadClass(pClassRefRequested, &nSchema, &obTag);
    if (!pClass) {
        if (obTag >= m_loadMap.size() || m_loadMap[obTag].pClass)
            throw CArchiveException(CArchiveException::badIndex, "object index " + std::to_string(obTag));
        CObject* pOb = m_loadMap[obTag].pObject;
        if (pOb && pClassRefRequested && !pOb->IsKindOf(pClassRefRequested))
            throw CArchiveException(CArchiveException::badClass, "object of another class");
        return pOb;
    }

    if (m_nDepth >= kMaxObjectDepth)
        throw CArchiveException(CArchiveException::genericException, "objects nested too deeply");
    CObject* pOb = pClass->CreateObject();
    if (!pOb)
        throw CArchiveException(CArchiveException::badClass,
                                std::string(pClass->m_lpszClassName) + " cannot be created");
    const std::size_t index = m_loadMap.size();
    m_loadMap.push_back({nullptr, pOb, 0});

    const UINT nSchemaSave = m_nObjectSchema;
    m_nObjectSchema = nSchema;
    ++m_nDepth;
    try {
        pOb->Serialize(*this);
    } catch (...) {
        --m_nDepth;
        m_loadMap[index].pObject = nullptr;
        delete pOb;
        throw;
    }
    --m_nDepth;
    m_nObjectSchema = nSchemaSave;
    return pOb;
}

UINT CArchive::GetObjectSchema()
{
    const UINT nResult = m_nObjectSchema;
    m_nObjectSchema = UINT(-1);
    return nResult;
}
