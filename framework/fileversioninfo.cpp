#include "framework/fileversioninfo.h"

#include <QCoreApplication>
#include <QFile>

#include <cstring>

namespace {

const char kSectionName[] = ".qb_version";
const char kMarker[8] = {'Q', 'B', 'V', 'E', 'R', 'R', 'E', 'C'};

// Little-endian reads that fail instead of running past the end.
struct Reader {
    const uchar* data;
    quint64 size;

    bool Has(quint64 offset, quint64 count) const
    {
        return offset <= size && count <= size - offset;
    }
    bool U16(quint64 offset, quint32& out) const
    {
        if (!Has(offset, 2))
            return false;
        out = quint32(data[offset]) | quint32(data[offset + 1]) << 8;
        return true;
    }
    bool U32(quint64 offset, quint32& out) const
    {
        if (!Has(offset, 4))
            return false;
        out = quint32(data[offset]) | quint32(data[offset + 1]) << 8 |
              quint32(data[offset + 2]) << 16 | quint32(data[offset + 3]) << 24;
        return true;
    }
    bool U64(quint64 offset, quint64& out) const
    {
        quint32 lo = 0, hi = 0;
        if (!U32(offset, lo) || !U32(offset + 4, hi))
            return false;
        out = quint64(hi) << 32 | lo;
        return true;
    }
};

// Finds a section of a 64-bit little-endian ELF file by name; the span lies inside the file.
bool FindElfSection(const Reader& r, const char* wanted, quint64& offset, quint64& size)
{
    if (!r.Has(0, 64) || std::memcmp(r.data, "\x7f" "ELF", 4) != 0)
        return false;
    if (r.data[4] != 2 || r.data[5] != 1)  // 64-bit, little-endian only
        return false;
    quint64 shoff = 0;
    quint32 shentsize = 0, shnum = 0, shstrndx = 0;
    if (!r.U64(0x28, shoff) || !r.U16(0x3A, shentsize) || !r.U16(0x3C, shnum) ||
        !r.U16(0x3E, shstrndx))
        return false;
    if (shentsize < 64 || shnum == 0 || shstrndx >= shnum)
        return false;
    if (!r.Has(shoff, quint64(shentsize) * shnum))
        return false;
    auto header = [&](quint32 index) { return shoff + quint64(index) * shentsize; };

    quint64 strOffset = 0, strSize = 0;
    if (!r.U64(header(shstrndx) + 0x18, strOffset) || !r.U64(header(shstrndx) + 0x20, strSize) ||
        !r.Has(strOffset, strSize))
        return false;
    const quint64 wantedLength = std::strlen(wanted);

    for (quint32 i = 0; i < shnum; ++i) {
        quint32 name = 0, type = 0;
        quint64 off = 0, sz = 0;
        if (!r.U32(header(i), name) || !r.U32(header(i) + 4, type) ||
            !r.U64(header(i) + 0x18, off) || !r.U64(header(i) + 0x20, sz))
            return false;
        // The name and its terminator must lie inside the string table.
        if (name >= strSize || strSize - name < wantedLength + 1)
            continue;
        const uchar* n = r.data + strOffset + name;
        if (std::memcmp(n, wanted, wantedLength) != 0 || n[wantedLength] != 0)
            continue;
        if (type == 8 /* no bits in the file */ || !r.Has(off, sz))
            return false;
        offset = off;
        size = sz;
        return true;
    }
    return false;
}

}  // namespace

void CFileVersionInfo::Reset()
{
    std::memset(&m_fixed, 0, sizeof m_fixed);
    m_block.clear();
    m_translationCount = 0;
    m_valid = FALSE;
}

BOOL CFileVersionInfo::Create(const CString& path)
{
    Reset();
    if (path.isEmpty())
        return FALSE;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FALSE;
    const qint64 size = file.size();
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    if (!mapped)
        return FALSE;
    // Only the record is copied out of the mapping.
    const BOOL ok = CreateFromImage(QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), size));
    file.unmap(mapped);
    return ok;
}

BOOL CFileVersionInfo::CreateForRunningProgram()
{
    return Create(QCoreApplication::applicationFilePath());
}

BOOL CFileVersionInfo::CreateFromImage(const QByteArray& image)
{
    Reset();
    const Reader file{reinterpret_cast<const uchar*>(image.constData()), quint64(image.size())};
    quint64 offset = 0, size = 0;
    if (!FindElfSection(file, kSectionName, offset, size))
        return FALSE;
    const Reader rec{file.data + offset, size};
    constexpr quint64 kFixedAt = sizeof kMarker;
    constexpr quint64 kCountAt = kFixedAt + sizeof(VS_FIXEDFILEINFO);
    if (!rec.Has(0, kCountAt + 4) || std::memcmp(rec.data, kMarker, sizeof kMarker) != 0)
        return FALSE;

    DWORD words[13];
    for (int i = 0; i < 13; ++i)
        rec.U32(kFixedAt + 4 * quint64(i), words[i]);
    std::memcpy(&m_fixed, words, sizeof m_fixed);
    m_valid = m_fixed.dwSignature == kFixedFileInfoSignature;

    quint32 count = 0;
    rec.U32(kCountAt, count);
    // A count that the section cannot hold is damage, not a reason to read further.
    if (!m_valid || count == 0 || !rec.Has(kCountAt + 4, quint64(count) * 4)) {
        Reset();
        return FALSE;
    }
    m_translationCount = count;
    m_block = QByteArray(reinterpret_cast<const char*>(rec.data), qsizetype(kCountAt + 4 + quint64(count) * 4));
    return TRUE;
}

WORD CFileVersionInfo::FileVersion(int part) const
{
    switch (part) {
    case 0: return WORD(m_fixed.dwFileVersionMS >> 16);
    case 1: return WORD(m_fixed.dwFileVersionMS);
    case 2: return WORD(m_fixed.dwFileVersionLS >> 16);
    case 3: return WORD(m_fixed.dwFileVersionLS);
    default: return 0;
    }
}

DWORD CFileVersionInfo::Translation(DWORD index) const
{
    if (index >= m_translationCount)
        return 0;
    const Reader r{reinterpret_cast<const uchar*>(m_block.constData()), quint64(m_block.size())};
    quint32 value = 0;
    r.U32(sizeof kMarker + sizeof(VS_FIXEDFILEINFO) + 4 + 4 * quint64(index), value);
    return value;
}

CString FormatVersionLine(const CString& label, const CFileVersionInfo& info)
{
    return QStringLiteral("%1\uFF1A %2.%3.%4.%5")
        .arg(label)
        .arg(info.FileVersion(0))
        .arg(info.FileVersion(1))
        .arg(info.FileVersion(2))
        .arg(info.FileVersion(3));
}
