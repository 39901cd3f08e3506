#include "symbology/qrcodeencoder.h"

#include "framework/resourcemodule.h"
#include "framework/savefile.h"
#include "symbology/codepages.h"
#include "symbology/modulepainter.h"

#include <QFile>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

IMPLEMENT_DYNAMIC(CQRCodeEncoder, CObject)
IMPLEMENT_DYNAMIC(CQRCodeResourceManager, CObject)

namespace {

// Data capacity in bits by level index (M, L, H, Q: the level's two-bit indicator) and version.
constexpr int kCapacity[4][40] = {
    {128, 224, 352, 512, 688, 864, 992, 1232, 1456, 1728, 2032, 2320, 2672, 2920, 3320, 3624,
     4056, 4504, 5016, 5352, 5712, 6256, 6880, 7312, 8000, 8496, 9024, 9544, 10136, 10984,
     11640, 12328, 13048, 13800, 14496, 15312, 15936, 16816, 17728, 18672},
    {152, 272, 440, 640, 864, 1088, 1248, 1552, 1856, 2192, 2592, 2960, 3424, 3688, 4184, 4712,
     5176, 5768, 6360, 6888, 7456, 8048, 8752, 9392, 10208, 10960, 11744, 12248, 13048, 13880,
     14744, 15640, 16568, 17528, 18448, 19472, 20528, 21616, 22496, 23648},
    {72, 128, 208, 288, 368, 480, 528, 688, 800, 976, 1120, 1264, 1440, 1576, 1784, 2024, 2264,
     2504, 2728, 3080, 3248, 3536, 3712, 4112, 4304, 4768, 5024, 5288, 5608, 5960, 6344, 6760,
     7208, 7688, 7888, 8432, 8768, 9136, 9776, 10208},
    {104, 176, 272, 384, 496, 608, 704, 880, 1056, 1232, 1440, 1648, 1952, 2088, 2360, 2600,
     2936, 3176, 3560, 3880, 4096, 4544, 4912, 5312, 5744, 6032, 6464, 6968, 7288, 7880, 8264,
     8920, 9368, 9848, 10288, 10832, 11408, 12016, 12656, 13328},
};

constexpr int kTotalCodewords[40] = {
    26, 44, 70, 100, 134, 172, 196, 242, 292, 346, 404, 466, 532, 581, 655, 733, 815, 901, 991,
    1085, 1156, 1258, 1364, 1474, 1588, 1706, 1828, 1921, 2051, 2185, 2323, 2465, 2611, 2761,
    2876, 3034, 3196, 3362, 3532, 3706};

// Format information with its mask applied, by level index x 8 + mask; first character is the
// most significant bit.
constexpr const char* kFormat[32] = {
    "101010000010010", "101000100100101", "101111001111100", "101101101001011",
    "100010111111001", "100000011001110", "100111110010111", "100101010100000",
    "111011111000100", "111001011110011", "111110110101010", "111100010011101",
    "110011000101111", "110001100011000", "110110001000001", "110100101110110",
    "001011010001001", "001001110111110", "001110011100111", "001100111010000",
    "000011101100010", "000001001010101", "000110100001100", "000100000111011",
    "011010101011111", "011000001101000", "011111100110001", "011101000000110",
    "010010010110100", "010000110000011", "010111011011010", "010101111101101"};

// First copy of the format string: character k at (x, y).
constexpr int kFormatX[15] = {0, 1, 2, 3, 4, 5, 7, 8, 8, 8, 8, 8, 8, 8, 8};
constexpr int kFormatY[15] = {8, 8, 8, 8, 8, 8, 8, 8, 7, 5, 4, 3, 2, 1, 0};

constexpr int kBalance[21] = {90, 80, 70, 60, 50, 40, 30, 20, 10, 0, 0,
                              10, 20, 30, 40, 50, 60, 70, 80, 90, 90};

// Level field (0 L, 1 M, 2 Q, 3 H) to the level's indicator; anything else counts as M.
int LevelIndex(int level)
{
    switch (level) {
    case CQRCodeEncoder::LevelL: return 1;
    case CQRCodeEncoder::LevelQ: return 3;
    case CQRCodeEncoder::LevelH: return 2;
    default: return 0;
    }
}

int AlphanumericValue(BYTE b)
{
    if (b >= '0' && b <= '9')
        return b - '0';
    if (b >= 'A' && b <= 'Z')
        return b - 'A' + 10;
    static constexpr char kSymbols[] = " $%*+-./:";
    for (int i = 0; i < 9; ++i)
        if (b == BYTE(kSymbols[i]))
            return 36 + i;
    return -1;
}

// Extra count-indicator bits of a version; base widths are 9, 10 and 8.
int ExtraCountBits(int mode, int version)
{
    if (mode == CQRCodeEncoder::ModeByte)
        return version <= 9 ? 0 : 8;
    return version <= 9 ? 0 : version <= 26 ? 2 : 4;
}

struct BitEntry {
    std::uint32_t value;
    int width;
};

// Scores the eight masks at once: bit m of every byte is the module under mask m.
int ChooseMask(const std::vector<BYTE>& work, int side, int regionModules)
{
    std::array<long, 8> penalty{};
    std::array<long, 8> darkCount{};
    auto line = [&](auto at) {
        std::array<int, 8> run{};
        std::array<int, 8> history{};
        int previous = 0;
        for (int i = 0; i < side; ++i) {
            const int bits = at(i);
            for (int m = 0; m < 8; ++m) {
                const int bit = (bits >> m) & 1;
                run[m] = (i > 0 && bit == ((previous >> m) & 1)) ? run[m] + 1 : 1;
                if (run[m] == 5)
                    penalty[m] += 3;
                else if (run[m] > 5)
                    penalty[m] += 1;
                history[m] = ((history[m] << 1) | bit) & 0x7F;
                if (i >= 6 && history[m] == 0x5D)
                    penalty[m] += 40;
            }
            previous = bits;
        }
    };
    for (int y = 0; y < side; ++y)
        line([&](int x) { return int(work[std::size_t(y) * side + x]); });
    for (int x = 0; x < side; ++x)
        line([&](int y) { return int(work[std::size_t(y) * side + x]); });
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const BYTE v = work[std::size_t(y) * side + x];
            for (int m = 0; m < 8; ++m)
                darkCount[m] += (v >> m) & 1;
            if (x + 1 < side && y + 1 < side) {
                const BYTE r = work[std::size_t(y) * side + x + 1];
                const BYTE d = work[std::size_t(y + 1) * side + x];
                const BYTE dr = work[std::size_t(y + 1) * side + x + 1];
                // Bits where all four agree.
                const BYTE same = BYTE(~(v ^ r) & ~(v ^ d) & ~(v ^ dr));
                for (int m = 0; m < 8; ++m)
                    if ((same >> m) & 1)
                        penalty[m] += 3;
            }
        }
    int best = 0;
    for (int m = 0; m < 8; ++m) {
        penalty[m] += kBalance[darkCount[m] * 20 / regionModules];
        if (penalty[m] < penalty[best])
            best = m;
    }
    return best;
}

} // namespace

// ---------------------------------------------------------------------------------------------

CQRCodeEncoder::CQRCodeEncoder() = default;
CQRCodeEncoder::~CQRCodeEncoder() = default;

int CQRCodeEncoder::DataCapacityBits(int version, int levelIndex)
{
    if (version < 1 || version > 40 || levelIndex < 0 || levelIndex > 3)
        return 0;
    return kCapacity[levelIndex][version - 1];
}

int CQRCodeEncoder::TotalCodewords(int version)
{
    return version < 1 || version > 40 ? 0 : kTotalCodewords[version - 1];
}

int CQRCodeEncoder::RemainderBits(int version)
{
    if (version < 2 || version >= 35)
        return 0;
    if (version <= 6)
        return 7;
    if (version <= 13)
        return 0;
    if (version <= 20 || version >= 28)
        return 3;
    return 4;
}

const char* CQRCodeEncoder::FormatString(int index)
{
    return index < 0 || index >= 32 ? nullptr : kFormat[index];
}

void CQRCodeEncoder::SetStructuredAppend(int position, UINT total, UINT parity)
{
    if (total < 2 || total > 16 || position < 1 || position > 16 || parity > 255)
        return;
    m_nSATotal = int(total);
    m_nSAPosition = position;
    m_nSAParity = int(parity);
}

void CQRCodeEncoder::SetStoredStructuredAppend(int total, int position, int parity)
{
    m_nSATotal = total;
    m_nSAPosition = position;
    m_nSAParity = parity;
}

int CQRCodeEncoder::CalcParity(const std::vector<BYTE>& bytes)
{
    if (bytes.size() < 2)
        return -1;
    int parity = 0;
    for (BYTE b : bytes)
        parity ^= b;
    return parity;
}

std::vector<int> CQRCodeEncoder::Settings() const
{
    return {LevelIndex(m_nLevel), m_nDataMode, m_nSATotal, m_nSAPosition, m_nSAParity, m_forcedMask};
}

void CQRCodeEncoder::Clear()
{
    m_matrix.clear();
    m_strDrawn.clear();
    m_built.clear();
    m_haveBuilt = false;
    m_overflow = false;
}

const CQRCodeEncoder::Matrix& CQRCodeEncoder::Encode(const std::vector<BYTE>& bytes)
{
    std::vector<int> settings = Settings();
    if (m_haveBuilt && bytes == m_built && settings == m_builtSettings)
        return m_matrix;
    m_matrix.clear();
    m_overflow = false;
    m_built = bytes;
    m_builtSettings = std::move(settings);
    m_haveBuilt = true;
    if (!Build(bytes))
        m_matrix.clear();
    return m_matrix;
}

bool CQRCodeEncoder::Build(const std::vector<BYTE>& bytes)
{
    const int level = LevelIndex(m_nLevel);
    const std::size_t count = bytes.size();

    // A stored numeric or alphanumeric mode holds only when every byte belongs to it.
    int mode = ModeByte;
    if (m_nDataMode == ModeNumeric
        && std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return b >= '0' && b <= '9'; }))
        mode = ModeNumeric;
    else if (m_nDataMode == ModeAlphanumeric
             && std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return AlphanumericValue(b) >= 0; }))
        mode = ModeAlphanumeric;

    std::vector<BitEntry> entries;
    entries.reserve(count + 40);
    if (m_nSATotal >= 2 && m_nSATotal <= 16 && m_nSAPosition >= 1 && m_nSAPosition <= 16
        && m_nSAParity >= 0 && m_nSAParity <= 255) {
        entries.push_back({3, 4});
        entries.push_back({std::uint32_t(m_nSAPosition - 1), 4});
        entries.push_back({std::uint32_t(m_nSATotal - 1), 4});
        entries.push_back({std::uint32_t(m_nSAParity), 8});
    }
    std::size_t countEntry = 0;
    if (mode == ModeAlphanumeric) {
        entries.push_back({2, 4});
        countEntry = entries.size();
        entries.push_back({std::uint32_t(count), 9});
        for (std::size_t i = 0; i < count; i += 2) {
            const int first = AlphanumericValue(bytes[i]);
            if (i + 1 < count)
                entries.push_back({std::uint32_t(first * 45 + AlphanumericValue(bytes[i + 1])), 11});
            else
                entries.push_back({std::uint32_t(first), 6});
        }
    } else if (mode == ModeNumeric) {
        entries.push_back({1, 4});
        countEntry = entries.size();
        entries.push_back({std::uint32_t(count), 10});
        for (std::size_t i = 0; i < count; i += 3) {
            const std::size_t group = std::min<std::size_t>(3, count - i);
            std::uint32_t value = 0;
            for (std::size_t k = 0; k < group; ++k)
                value = value * 10 + std::uint32_t(bytes[i + k] - '0');
            entries.push_back({value, group == 1 ? 4 : group == 2 ? 7 : 10});
        }
    } else {
        entries.push_back({4, 4});
        countEntry = entries.size();
        entries.push_back({std::uint32_t(count), 8});
        for (BYTE b : bytes)
            entries.push_back({b, 8});
    }

    std::int64_t bits = 0;
    for (const BitEntry& e : entries)
        bits += e.width;
    int version = 0;
    for (int v = 1; v <= 40; ++v)
        if (bits + ExtraCountBits(mode, v) <= kCapacity[level][v - 1]) {
            version = v;
            break;
        }
    if (version == 0) {
        m_overflow = true;
        return false;
    }
    m_nVersion = version;
    entries[countEntry].width += ExtraCountBits(mode, version);
    bits += ExtraCountBits(mode, version);
    const int capacity = kCapacity[level][version - 1];
    if (bits <= capacity - 4)
        entries.push_back({0, 4});
    else if (bits < capacity)
        entries.push_back({0, int(capacity - bits)});

    // Data codewords, most significant bit first, then the pad codewords.
    const int dataCount = capacity / 8;
    const int total = kTotalCodewords[version - 1];
    std::vector<BYTE> stream(std::size_t(total), 0);
    std::size_t bitPos = 0;
    for (const BitEntry& e : entries)
        for (int b = e.width - 1; b >= 0; --b, ++bitPos)
            if ((e.value >> b) & 1)
                stream[bitPos / 8] |= BYTE(0x80 >> (bitPos % 8));
    for (std::size_t i = (bitPos + 7) / 8, k = 0; i < std::size_t(dataCount); ++i, ++k)
        stream[i] = (k % 2 == 0) ? 236 : 17;

    // The tables of this version and level, each checked against its layout.
    auto& manager = CQRCodeResourceManager::GetInstance();
    CQRCodeResourceManager::Entry* layout = nullptr;
    CQRCodeResourceManager::Entry* frame = nullptr;
    CQRCodeResourceManager::Entry* generator = nullptr;
    const int side = 4 * version + 17;
    const std::size_t n = std::size_t(total) * 8 + std::size_t(RemainderBits(version));
    if (!manager.GetResource(QStringLiteral("IDR_QRV%1_%2").arg(version).arg(level), layout)
        || !IsValidLayout(version, level, layout->buffer, layout->size))
        return false;
    if (!manager.GetResource(QStringLiteral("IDR_QRVFR%1").arg(version), frame)
        || frame->size != std::size_t(side) * (side + 1))
        return false;
    const BYTE* xs = layout->buffer;
    const BYTE* ys = xs + n;
    const BYTE* masks = ys + n;
    const BYTE* formatX = masks + n;
    const BYTE* formatY = formatX + 15;
    const int ec = formatY[15];
    const BYTE* blockList = formatY + 16;
    std::vector<int> blocks;
    for (int i = 0; i < 128 && (i == 0 || blockList[i] != 0); ++i)
        blocks.push_back(blockList[i]);
    if (!manager.GetResource(QStringLiteral("IDR_RSC%1").arg(ec), generator)
        || generator->size != 256u * std::size_t(ec))
        return false;

    // Error correction of each block, written after all data codewords, block by block.
    std::size_t dataAt = 0;
    std::size_t ecAt = std::size_t(dataCount);
    std::vector<BYTE> remainder(std::size_t(ec) + 1);
    for (int blockTotal : blocks) {
        std::fill(remainder.begin(), remainder.end(), 0);
        for (int i = 0; i < blockTotal - ec; ++i) {
            const BYTE factor = BYTE(stream[dataAt + i] ^ remainder[0]);
            std::memmove(remainder.data(), remainder.data() + 1, std::size_t(ec) - 1);
            remainder[std::size_t(ec) - 1] = 0;
            const BYTE* row = generator->buffer + std::size_t(factor) * ec;
            for (int k = 0; k < ec; ++k)
                remainder[k] ^= row[k];
        }
        std::memcpy(stream.data() + ecAt, remainder.data(), std::size_t(ec));
        dataAt += std::size_t(blockTotal - ec);
        ecAt += std::size_t(ec);
    }

    // Every byte of the working matrix holds its module under all eight masks.
    std::vector<BYTE> work(std::size_t(side) * side, 0);
    const std::size_t streamBits = std::size_t(total) * 8;
    for (std::size_t k = 0; k < n; ++k) {
        const BYTE value = k < streamBits ? ((stream[k / 8] & (0x80 >> (k % 8))) ? 0xFF : 0x00) : 0xFF;
        work[std::size_t(ys[k]) * side + xs[k]] = BYTE(value ^ masks[k]);
    }
    const int mask = (m_forcedMask >= 0 && m_forcedMask < 8) ? m_forcedMask
                                                            : ChooseMask(work, side, int(n));
    m_mask = mask;

    const char* format = kFormat[level * 8 + mask];
    for (int k = 0; k < 15; ++k) {
        const BYTE value = format[k] == '1' ? 0xFF : 0x00;
        work[std::size_t(kFormatY[k]) * side + kFormatX[k]] = value;
        work[std::size_t(formatY[k]) * side + formatX[k]] = value;
    }

    const BYTE* templ = frame->buffer;
    m_matrix.assign(std::size_t(side), std::vector<bool>(std::size_t(side), false));
    for (int x = 0; x < side; ++x)
        for (int y = 0; y < side; ++y)
            m_matrix[x][y] = (work[std::size_t(y) * side + x] & (1 << mask)) != 0
                || templ[std::size_t(y) * (side + 1) + x] == '1';
    return true;
}

bool CQRCodeEncoder::IsValidLayout(int version, int levelIndex, const BYTE* table, std::size_t size)
{
    const int total = TotalCodewords(version);
    const int capacity = DataCapacityBits(version, levelIndex);
    if (total == 0 || capacity == 0 || !table)
        return false;
    const int side = 4 * version + 17;
    const std::size_t n = std::size_t(total) * 8 + std::size_t(RemainderBits(version));
    if (size != 3 * n + 30 + 1 + 128)
        return false;
    const BYTE* format = table + 3 * n;
    const int ec = format[30];
    const BYTE* blockList = format + 31;
    int blockSum = 0;
    int dataSum = 0;
    for (int i = 0; i < 128 && (i == 0 || blockList[i] != 0); ++i) {
        if (blockList[i] <= ec)
            return false;
        blockSum += blockList[i];
        dataSum += blockList[i] - ec;
    }
    if (ec < 1 || blockSum != total || dataSum * 8 != capacity)
        return false;
    for (std::size_t k = 0; k < n; ++k)
        if (table[k] >= side || table[n + k] >= side)
            return false;
    for (int k = 0; k < 30; ++k)
        if (format[k] >= side)
            return false;
    return true;
}

CSize CQRCodeEncoder::GetSymbolSize(const CString& text)
{
    std::vector<BYTE> bytes;
    ConvertToCodePage(m_nCodePage, text.isEmpty() ? QStringLiteral("<EMPTY>") : text, bytes);
    const Matrix& matrix = Encode(bytes);
    return CSize(LONG(matrix.size()), LONG(matrix.size()));
}

void CQRCodeEncoder::Draw(CDC* pDC, const CString& text, const CRect& rect)
{
    if (!pDC)
        return;
    GetSymbolSize(text);
    m_strDrawn = text;
    const int side = int(m_matrix.size());
    const int extent = int(std::clamp<std::int64_t>(std::int64_t(side) * m_nModuleSize, 0, INT_MAX));
    PaintModuleRuns(pDC, rect.left, rect.top, extent, extent, side, side,
                    [this](int row, int column) { return bool(m_matrix[column][row]); });
}

// ---------------------------------------------------------------------------------------------

CQRCodeResourceManager& CQRCodeResourceManager::GetInstance()
{
    static CQRCodeResourceManager* manager = new CQRCodeResourceManager;  // lives with the process
    return *manager;
}

BOOL CQRCodeResourceManager::GetResource(const CString& name, Entry*& entry)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto found = m_cache.find(name);
    if (found == m_cache.end()) {
        const auto packed = CResourceModule::Get().FindResource(QStringLiteral("QRCODE"), name);
        QByteArray inflated;
        if (!packed || !InflateBytes(*packed, inflated))
            return FALSE;
        found = m_cache.emplace(name, std::make_pair(Entry{}, std::move(inflated))).first;
        found->second.first.size = UINT(found->second.second.size());
        found->second.first.buffer = reinterpret_cast<const BYTE*>(found->second.second.constData());
    }
    entry = &found->second.first;
    return TRUE;
}

void CQRCodeResourceManager::ClearCache()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_cache.clear();
}

bool InflateBytes(const QByteArray& in, QByteArray& out, qsizetype limit)
{
    out.clear();
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    zs.avail_in = uInt(in.size());
    char piece[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(piece);
        zs.avail_out = sizeof piece;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        const qsizetype produced = qsizetype(sizeof piece - zs.avail_out);
        if (out.size() + produced > limit) {
            rc = Z_MEM_ERROR;
            break;
        }
        out.append(piece, produced);
        if (rc == Z_OK && produced == 0 && zs.avail_in == 0) {
            rc = Z_BUF_ERROR;  // the stream stops before its end
            break;
        }
    }
    const bool clean = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    if (!clean)
        out.clear();
    return clean;
}

BOOL InflateFile(const CString& source, const CString& destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return FALSE;
    const QByteArray packed = in.readAll();
    QByteArray inflated;
    if (in.error() != QFileDevice::NoError || !InflateBytes(packed, inflated, qsizetype(1) << 30))
        return FALSE;
    QString error;
    return WriteFileAtomically(destination, inflated, error) ? TRUE : FALSE;
}
