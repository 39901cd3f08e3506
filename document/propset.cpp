#include "document/propset.h"

#include <cstring>

FMTID MakeFmtId(DWORD d1, WORD d2, WORD d3, std::array<BYTE, 8> d4)
{
    FMTID id {};
    for (int i = 0; i < 4; ++i)
        id[i] = BYTE(d1 >> (8 * i));
    id[4] = BYTE(d2);
    id[5] = BYTE(d2 >> 8);
    id[6] = BYTE(d3);
    id[7] = BYTE(d3 >> 8);
    std::memcpy(id.data() + 8, d4.data(), 8);
    return id;
}

const FMTID FMTID_SummaryInformation =
    MakeFmtId(0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9});

// A cursor over a byte range that never reads past its end.
class CPropertyStreamReader {
public:
    CPropertyStreamReader(const QByteArray& bytes, qsizetype begin, qsizetype end)
        : m_bytes(bytes), m_begin(begin), m_end(end), m_pos(begin) {}

    qsizetype Pos() const { return m_pos; }
    qsizetype End() const { return m_end; }
    qsizetype Remaining() const { return m_end - m_pos; }
    bool Seek(qsizetype pos)
    {
        if (pos < m_begin || pos > m_end)
            return false;
        m_pos = pos;
        return true;
    }
    bool Read(void* out, qsizetype n)
    {
        if (n < 0 || n > Remaining())
            return false;
        std::memcpy(out, m_bytes.constData() + m_pos, size_t(n));
        m_pos += n;
        return true;
    }
    bool ReadDword(DWORD& v)
    {
        BYTE b[4];
        if (!Read(b, 4))
            return false;
        v = DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
        return true;
    }
    bool ReadWord(WORD& v)
    {
        BYTE b[2];
        if (!Read(b, 2))
            return false;
        v = WORD(b[0] | b[1] << 8);
        return true;
    }
    // A reader over [begin, end) of the same bytes, which must lie inside this one's range.
    CPropertyStreamReader Sub(qsizetype begin, qsizetype end) const
    {
        return CPropertyStreamReader(m_bytes, begin, end);
    }
    bool ReadBytes(qsizetype n, QByteArray& out)
    {
        if (n < 0 || n > Remaining())
            return false;
        out = m_bytes.mid(m_pos, n);
        m_pos += n;
        return true;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_begin;
    qsizetype m_end;
    qsizetype m_pos;
};

namespace {

void PutDword(QByteArray& out, DWORD v)
{
    char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}

void PatchDword(QByteArray& out, qsizetype at, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char(v >> (8 * i));
}

// Size of one element of a base type: >= 0 fixed, -1 a 4-byte length then that many bytes,
// -2 a 4-byte count then twice that many bytes, -3 a type that cannot be stored.
int ElementSize(DWORD baseType)
{
    switch (baseType) {
    case VT_EMPTY:
    case VT_VARIANT:
        return 0;
    case 16:  // VT_I1
    case 17:  // VT_UI1
        return 1;
    case VT_I2:
    case VT_BOOL:
    case 18:  // VT_UI2
        return 2;
    case VT_I4:
    case VT_R4:
    case 10:  // VT_ERROR
    case 19:  // VT_UI4
    case 22:  // VT_INT
    case 23:  // VT_UINT
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case 21:  // VT_UI8
    case VT_FILETIME:
        return 8;
    case VT_CLSID:
        return 16;
    case VT_BSTR:
    case VT_LPSTR:
    case VT_BLOB:
    case 66: case 67: case 68: case 69: case 70: case 71:
    case 73: case 74: case 75:
        return -1;
    case VT_LPWSTR:
        return -2;
    default:
        return -3;
    }
}

// Reads the value of `type` at the reader's position and returns its stream form.
bool ReadValue(CPropertyStreamReader& in, DWORD type, QByteArray& out)
{
    const qsizetype start = in.Pos();
    const int size = ElementSize(type & ~DWORD(VT_VECTOR));
    if (size == -3 || (type & ~DWORD(VT_VECTOR | 0x0FFF)) != 0)
        return false;
    DWORD count = 1;
    if (type & VT_VECTOR) {
        if (!in.ReadDword(count))
            return false;
    }
    if (size >= 0) {
        const quint64 total = quint64(count) * quint64(size);
        if (total > quint64(in.Remaining()))
            return false;
        in.Seek(in.Pos() + qsizetype(total));
    } else {
        // Each element has at least its 4-byte length, so the count is bounded by what remains.
        if (quint64(count) * 4 > quint64(in.Remaining()))
            return false;
        for (DWORD i = 0; i < count; ++i) {
            DWORD len = 0;
            if (!in.ReadDword(len))
                return false;
            const quint64 bytes = size == -2 ? quint64(len) * 2 : quint64(len);
            if (bytes > quint64(in.Remaining()))
                return false;
            in.Seek(in.Pos() + qsizetype(bytes));
        }
    }
    const qsizetype end = in.Pos();
    in.Seek(start);
    return in.ReadBytes(end - start, out);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CProperty::CProperty(DWORD id, const void* value, DWORD type, DWORD size) : m_id(id), m_type(type)
{
    if (!value)
        return;
    if (type == VT_LPSTR)
        SetText(QByteArray(static_cast<const char*>(value)));
    else
        m_value = QByteArray(static_cast<const char*>(value), qsizetype(size));
}

void CProperty::SetText(const QByteArray& bytes)
{
    m_type = VT_LPSTR;
    m_value.clear();
    PutDword(m_value, DWORD(bytes.size() + 1));
    m_value.append(bytes);
    m_value.append('\0');
}

QByteArray CProperty::GetText() const
{
    if ((m_type & ~DWORD(VT_VECTOR)) != m_type || ElementSize(m_type) != -1 || m_value.size() < 4)
        return {};
    QByteArray text = m_value.mid(4);
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

bool CProperty::WriteToStream(QByteArray& out) const
{
    if (ElementSize(m_type & ~DWORD(VT_VECTOR)) == -3)
        return false;
    PutDword(out, m_type);
    out.append(m_value);
    out.append(QByteArray((4 - m_value.size() % 4) % 4, '\0'));
    return true;
}

bool CProperty::ReadFromStream(CPropertyStreamReader& in)
{
    DWORD type = 0;
    QByteArray value;
    if (!in.ReadDword(type) || !ReadValue(in, type, value))
        return false;
    m_type = type;
    m_value = value;
    return true;
}

// ---------------------------------------------------------------------------------------------

CProperty& CPropertySection::Set(DWORD id, DWORD type, const QByteArray& streamForm)
{
    if (CProperty* p = Get(id)) {
        p->SetRaw(type, streamForm);
        return *p;
    }
    m_properties.emplace_back(id, nullptr, type);
    m_properties.back().SetRaw(type, streamForm);
    return m_properties.back();
}

CProperty& CPropertySection::SetText(DWORD id, const QByteArray& bytes)
{
    CProperty& p = Set(id, VT_LPSTR, {});
    p.SetText(bytes);
    return p;
}

CProperty* CPropertySection::Get(DWORD id)
{
    for (CProperty& p : m_properties)
        if (p.GetID() == id)
            return &p;
    return nullptr;
}

const CProperty* CPropertySection::Get(DWORD id) const
{
    return const_cast<CPropertySection*>(this)->Get(id);
}

bool CPropertySection::SetName(DWORD id, const QString& name)
{
    const QString key = name.toLower();
    if (m_names.contains(key))
        return false;
    m_names.insert(key, id);
    return true;
}

bool CPropertySection::WriteDictionary(QByteArray& out) const
{
    PutDword(out, DWORD(m_names.size() + 1));
    PutDword(out, 0);
    PutDword(out, DWORD(m_sectionName.size() + 1));
    out.append(m_sectionName);
    out.append('\0');
    for (auto it = m_names.begin(); it != m_names.end(); ++it) {
        const QByteArray name = it.key().toUtf8();
        PutDword(out, it.value());
        PutDword(out, DWORD(name.size() + 1));
        out.append(name);
        out.append('\0');
    }
    return true;
}

bool CPropertySection::WriteToStream(QByteArray& out)
{
    if (!Get(0))
        Set(0, VT_EMPTY, {});
    const qsizetype start = out.size();
    PutDword(out, 0);
    PutDword(out, DWORD(m_properties.size()));
    const qsizetype table = out.size();
    out.append(QByteArray(qsizetype(m_properties.size()) * 8, '\0'));
    qsizetype entry = table;
    for (const CProperty& p : m_properties) {
        PatchDword(out, entry, p.GetID());
        PatchDword(out, entry + 4, DWORD(out.size() - start));
        entry += 8;
        const bool ok = p.GetID() == 0 ? WriteDictionary(out) : p.WriteToStream(out);
        if (!ok)
            return false;
    }
    PatchDword(out, start, DWORD(out.size() - start));
    return true;
}

bool CPropertySection::ReadDictionary(CPropertyStreamReader& in)
{
    DWORD count = 0;
    if (!in.ReadDword(count) || quint64(count) * 8 > quint64(in.Remaining()))
        return false;
    bool haveName = false;
    for (DWORD i = 0; i < count; ++i) {
        DWORD id = 0, len = 0;
        QByteArray name;
        if (!in.ReadDword(id) || !in.ReadDword(len) || len > 256 || !in.ReadBytes(len, name))
            return false;
        const qsizetype zero = name.indexOf('\0');
        if (zero >= 0)
            name.truncate(zero);
        if (id == 0 && !haveName) {
            m_sectionName = name;
            haveName = true;
        } else {
            SetName(id, QString::fromUtf8(name));
        }
    }
    return true;
}

bool CPropertySection::ReadFromStream(CPropertyStreamReader& outer)
{
    m_properties.clear();
    m_names.clear();
    m_sectionName.clear();
    const qsizetype start = outer.Pos();
    DWORD size = 0, count = 0;
    if (!outer.ReadDword(size) || !outer.ReadDword(count))
        return false;
    if (size < 8 || quint64(size) > quint64(outer.End() - start))
        return false;
    // Property offsets are relative to the section and must stay inside it.
    CPropertyStreamReader in = outer.Sub(start, start + qsizetype(size));
    if (quint64(count) * 8 > quint64(size - 8))
        return false;
    in.Seek(start + 8);
    std::list<CProperty> properties;
    for (DWORD i = 0; i < count; ++i) {
        DWORD id = 0, offset = 0;
        if (!in.ReadDword(id) || !in.ReadDword(offset))
            return false;
        const qsizetype next = in.Pos();
        if (!in.Seek(start + qsizetype(offset)))
            return false;
        if (id == 0) {
            if (!ReadDictionary(in))
                return false;
            properties.emplace_back(0, nullptr, VT_EMPTY);
        } else {
            CProperty p(id, nullptr, VT_EMPTY);
            if (!p.ReadFromStream(in))
                return false;
            properties.push_back(std::move(p));
        }
        in.Seek(next);
    }
    m_properties = std::move(properties);
    outer.Seek(start + qsizetype(size));
    return true;
}

QByteArray CPropertySet::WriteToStream()
{
    QByteArray out;
    char head[4] = {char(m_byteOrder), char(m_byteOrder >> 8), char(m_formatVersion),
                    char(m_formatVersion >> 8)};
    out.append(head, 4);
    PutDword(out, m_osVersion);
    out.append(reinterpret_cast<const char*>(m_clsid.data()), 16);
    PutDword(out, DWORD(m_sections.size()));
    const qsizetype table = out.size();
    out.append(QByteArray(qsizetype(m_sections.size()) * 20, '\0'));
    qsizetype entry = table;
    for (CPropertySection& s : m_sections) {
        for (int i = 0; i < 16; ++i)
            out[entry + i] = char(s.GetFormatID()[size_t(i)]);
        PatchDword(out, entry + 16, DWORD(out.size()));
        entry += 20;
        if (!s.WriteToStream(out))
            return {};
    }
    return out;
}

bool CPropertySet::ReadFromStream(const QByteArray& bytes)
{
    m_sections.clear();
    CPropertyStreamReader in(bytes, 0, bytes.size());
    WORD byteOrder = 0, format = 0;
    DWORD os = 0, count = 0;
    CLSID clsid {};
    if (!in.ReadWord(byteOrder) || !in.ReadWord(format) || !in.ReadDword(os)
        || !in.Read(clsid.data(), 16) || !in.ReadDword(count))
        return false;
    if (byteOrder != 0xFFFE || quint64(count) * 20 > quint64(in.Remaining()))
        return false;
    std::list<CPropertySection> sections;
    for (DWORD i = 0; i < count; ++i) {
        FMTID fmtid {};
        DWORD offset = 0;
        if (!in.Read(fmtid.data(), 16) || !in.ReadDword(offset))
            return false;
        const qsizetype next = in.Pos();
        CPropertySection section(fmtid);
        if (!in.Seek(qsizetype(offset)) || !section.ReadFromStream(in))
            return false;
        sections.push_back(std::move(section));
        in.Seek(next);
    }
    m_byteOrder = byteOrder;
    m_formatVersion = format;
    m_osVersion = os;
    m_clsid = clsid;
    m_sections = std::move(sections);
    return true;
}

// ---------------------------------------------------------------------------------------------

CPropertySet::CPropertySet() = default;

CPropertySection* CPropertySet::AddSection(const FMTID& fmtid)
{
    if (CPropertySection* s = GetSection(fmtid))
        return s;
    m_sections.emplace_back(fmtid);
    return &m_sections.back();
}

CPropertySection* CPropertySet::GetSection(const FMTID& fmtid)
{
    for (CPropertySection& s : m_sections)
        if (s.GetFormatID() == fmtid)
            return &s;
    return nullptr;
}

const CPropertySection* CPropertySet::GetSection(const FMTID& fmtid) const
{
    return const_cast<CPropertySet*>(this)->GetSection(fmtid);
}
