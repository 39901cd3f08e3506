#include "symbology/pdf417encoder.h"

#include "framework/archive.h"
#include "framework/dc.h"
#include "symbology/codepages.h"
#include "symbology/modulepainter.h"
#include "symbology/pdf417patterns.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kLatchText = 900;
constexpr int kLatchByte = 901;
constexpr int kLatchNumeric = 902;
constexpr int kShiftByte = 913;
constexpr int kLatchByte6 = 924;
constexpr int kPad = 900;
constexpr uint32_t kStartPattern = 0x1FEA8;  // 17 modules
constexpr uint32_t kStopPattern = 0x3FA29;   // 18 modules

// ---------------------------------------------------------------------------------------------
// Segmentation

struct Segment {
    char type;  // 'T' text, 'B' byte, 'N' numeric
    int start;
    int length;
};

bool IsText(uint8_t c)
{
    return c == 9 || c == 10 || c == 13 || (c >= 32 && c <= 126);
}

bool IsDigit(uint8_t c)
{
    return c >= '0' && c <= '9';
}

// Splits [start, end) into maximal runs of text and byte characters.
void SplitTextAndBytes(const uint8_t* text, int start, int end, std::vector<Segment>& out)
{
    int i = start;
    while (i < end) {
        const bool isText = IsText(text[i]);
        int j = i + 1;
        while (j < end && IsText(text[j]) == isText)
            ++j;
        out.push_back({isText ? 'T' : 'B', i, j - i});
        i = j;
    }
}

// One merge, the first that applies; false when none does.
bool MergeOnce(std::vector<Segment>& seg)
{
    const auto join = [&](size_t first, size_t last, char type) {
        Segment merged{type, seg[first].start, 0};
        for (size_t k = first; k <= last; ++k)
            merged.length += seg[k].length;
        seg.erase(seg.begin() + std::ptrdiff_t(first) + 1, seg.begin() + std::ptrdiff_t(last) + 1);
        seg[first] = merged;
    };
    // A lone byte between two text runs long enough together stays in text compaction.
    for (size_t i = 1; i + 1 < seg.size(); ++i) {
        if (seg[i].type == 'B' && seg[i].length == 1 && seg[i - 1].type == 'T' && seg[i + 1].type == 'T'
            && seg[i - 1].length + seg[i + 1].length >= 3) {
            join(i - 1, i + 1, 'T');
            return true;
        }
    }
    // A long text run takes in a lone byte or a text run beside it.
    const auto textTakes = [](const Segment& s) {
        return (s.type == 'B' && s.length == 1) || s.type == 'T';
    };
    for (size_t i = 0; i < seg.size(); ++i) {
        if (seg[i].type != 'T' || seg[i].length < 5)
            continue;
        if (i > 0 && textTakes(seg[i - 1])) {
            join(i - 1, i, 'T');
            return true;
        }
        if (i + 1 < seg.size() && textTakes(seg[i + 1])) {
            join(i, i + 1, 'T');
            return true;
        }
    }
    // A byte run takes in a short text run or a byte run beside it.
    const auto bytesTake = [](const Segment& s) {
        return (s.type == 'T' && s.length < 5) || s.type == 'B';
    };
    for (size_t i = 0; i < seg.size(); ++i) {
        if (seg[i].type != 'B')
            continue;
        if (i > 0 && bytesTake(seg[i - 1])) {
            join(i - 1, i, 'B');
            return true;
        }
        if (i + 1 < seg.size() && bytesTake(seg[i + 1])) {
            join(i, i + 1, 'B');
            return true;
        }
    }
    return false;
}

std::vector<Segment> Segmentate(const uint8_t* text, int length)
{
    std::vector<Segment> seg;
    int last = 0;  // end of the previous numeric run
    for (int i = 0; i < length;) {
        if (!IsDigit(text[i])) {
            ++i;
            continue;
        }
        int j = i;
        while (j < length && IsDigit(text[j]))
            ++j;
        if (j - i >= 13) {
            SplitTextAndBytes(text, last, i, seg);
            seg.push_back({'N', i, j - i});
            last = j;
        }
        i = j;
    }
    SplitTextAndBytes(text, last, length, seg);

    // Merges apart from numeric runs only ever join neighbours of the same stretch.
    while (MergeOnce(seg)) {
    }

    if (seg.size() == 1 && seg[0].type == 'T' && seg[0].length >= 8
        && std::all_of(text, text + length, IsDigit)) {
        seg[0].type = 'N';
    }
    return seg;
}

// ---------------------------------------------------------------------------------------------
// Compaction

enum SubMode { kUpper, kLower, kMixed, kPunct };

const char kMixedChars[] = "0123456789&\r\t,:#-.$/+%*=^";
const char kPunctChars[] = ";<>@[\\]_`~!\r\t,:\n-.$/\"|*()?{}'";

// The value of c in a sub-mode, or -1 when c is not of that class.
int ValueIn(SubMode mode, uint8_t c)
{
    switch (mode) {
    case kUpper:
        return c >= 'A' && c <= 'Z' ? c - 'A' : (c == ' ' ? 26 : -1);
    case kLower:
        return c >= 'a' && c <= 'z' ? c - 'a' : (c == ' ' ? 26 : -1);
    case kMixed: {
        if (c == ' ')
            return 26;
        const char* p = c ? std::strchr(kMixedChars, c) : nullptr;
        return p ? int(p - kMixedChars) : -1;
    }
    case kPunct: {
        const char* p = c ? std::strchr(kPunctChars, c) : nullptr;
        return p ? int(p - kPunctChars) : -1;
    }
    }
    return -1;
}

struct Codewords {
    int* cw;
    int count;  // codewords so far, the length descriptor included
    bool Fits(long long more) const { return count + more <= PDF417_MAX_DATA; }
    void Add(int value) { cw[count++] = value; }
};

bool CompactText(const uint8_t* text, int length, Codewords& out)
{
    std::vector<int> values;
    std::vector<int> shifted;  // byte characters (913 and the byte), in order after the pairs
    std::vector<int> codes;    // the segment's codewords
    values.reserve(size_t(length) * 2);
    const auto flush = [&]() {
        if (values.size() % 2 != 0)
            values.push_back(29);
        for (size_t i = 0; i < values.size(); i += 2)
            codes.push_back(30 * values[i] + values[i + 1]);
        values.clear();
    };
    const auto isPunct = [&](int i) { return i < length && ValueIn(kPunct, text[i]) >= 0; };
    const auto isUpper = [&](int i) { return i < length && ValueIn(kUpper, text[i]) >= 0; };

    SubMode mode = kUpper;
    for (int i = 0; i < length; ++i) {
        const uint8_t c = text[i];
        const int own = ValueIn(mode, c);
        if (own >= 0) {
            values.push_back(own);
            continue;
        }
        const int upper = ValueIn(kUpper, c);
        const int lower = ValueIn(kLower, c);
        const int mixed = ValueIn(kMixed, c);
        const int punct = ValueIn(kPunct, c);
        if (upper < 0 && lower < 0 && mixed < 0 && punct < 0) {
            // A byte character: shifted into byte compaction for one byte.
            if (values.size() % 2 != 0) {
                values.push_back(29);
                if (mode == kPunct)
                    mode = kUpper;
            }
            flush();
            codes.push_back(kShiftByte);
            codes.push_back(c);
            continue;
        }
        const bool punctAhead = isPunct(i + 1) && isPunct(i + 2);
        switch (mode) {
        case kUpper:
        case kLower:
            if (mode == kUpper && lower >= 0) {
                values.insert(values.end(), {27, lower});
                mode = kLower;
            } else if (mode == kLower && upper >= 0) {
                if (isUpper(i + 1) && isUpper(i + 2)) {
                    values.insert(values.end(), {28, 28, upper});
                    mode = kUpper;
                } else {
                    values.insert(values.end(), {27, upper});
                }
            } else if (mixed >= 0) {
                values.insert(values.end(), {28, mixed});
                mode = kMixed;
            } else if (punctAhead) {
                values.insert(values.end(), {28, 25, punct});
                mode = kPunct;
            } else {
                values.insert(values.end(), {29, punct});
            }
            break;
        case kMixed:
            if (lower >= 0) {
                values.insert(values.end(), {27, lower});
                mode = kLower;
            } else if (upper >= 0) {
                values.insert(values.end(), {28, upper});
                mode = kUpper;
            } else if (punctAhead) {
                values.insert(values.end(), {25, punct});
                mode = kPunct;
            } else {
                values.insert(values.end(), {29, punct});
            }
            break;
        case kPunct:
            values.push_back(29);
            mode = kUpper;
            --i;  // the same byte again, from upper
            break;
        }
    }
    flush();
    if (!out.Fits(qint64(codes.size())))
        return false;
    for (int code : codes)
        out.Add(code);
    return true;
}

bool CompactBytes(const uint8_t* text, int length, Codewords& out)
{
    if (!out.Fits(1 + qint64(length) - length / 6))
        return false;
    out.Add(length % 6 == 0 ? kLatchByte6 : kLatchByte);
    int i = 0;
    for (; i + 6 <= length; i += 6) {
        uint64_t n = 0;
        for (int k = 0; k < 6; ++k)
            n = (n << 8) | text[i + k];
        int group[5];
        for (int k = 4; k >= 0; --k) {
            group[k] = int(n % 900);
            n /= 900;
        }
        for (int v : group)
            out.Add(v);
    }
    for (; i < length; ++i)
        out.Add(text[i]);
    return true;
}

bool CompactNumeric(const uint8_t* text, int length, Codewords& out)
{
    const long long needed = 1 + 15LL * (length / 44) + (length % 44 ? length % 44 / 3 + 1 : 0);
    if (!out.Fits(needed))
        return false;
    out.Add(kLatchNumeric);
    for (int i = 0; i < length; i += 44) {
        const int digits = std::min(44, length - i);
        // "1" followed by the digits, in base 900: repeated division of the decimal string.
        std::vector<int> number(size_t(digits) + 1);
        number[0] = 1;
        for (int k = 0; k < digits; ++k)
            number[size_t(k) + 1] = text[i + k] - '0';
        std::vector<int> group;
        while (!(number.size() == 1 && number[0] == 0)) {
            std::vector<int> quotient;
            int rem = 0;
            for (int d : number) {
                rem = rem * 10 + d;
                if (!quotient.empty() || rem / 900 != 0)
                    quotient.push_back(rem / 900);
                rem %= 900;
            }
            group.push_back(rem);
            number = quotient.empty() ? std::vector<int>{0} : quotient;
        }
        for (auto it = group.rbegin(); it != group.rend(); ++it)
            out.Add(*it);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Error correction over GF(929)

constexpr int kPrime = 929;

// Coefficients a[0..k-1] of g(x) = x^k + a[k-1] x^(k-1) + ... + a[0] = (x - 3)(x - 9)...(x - 3^k).
std::vector<int> Generator(int k)
{
    std::vector<int> g{1};  // highest degree first
    int root = 1;
    for (int i = 1; i <= k; ++i) {
        root = root * 3 % kPrime;
        std::vector<int> next(g.size() + 1, 0);
        for (size_t j = 0; j < g.size(); ++j) {
            next[j] = (next[j] + g[j]) % kPrime;
            next[j + 1] = (next[j + 1] + kPrime - g[j] * root % kPrime) % kPrime;
        }
        g = std::move(next);
    }
    return std::vector<int>(g.rbegin(), g.rend() - 1);
}

// Appends the k error-correction codewords of data[0..n): the negated remainder of
// data(x) x^k divided by g(x).
void AppendErrorCorrection(int* cw, int n, int level)
{
    const std::vector<int>& a = PDF417ErrorCoefficients(level);
    const int k = int(a.size());
    std::vector<int> rem(size_t(k), 0);  // rem[j]: coefficient of x^j
    for (int i = 0; i < n; ++i) {
        const int t = (cw[i] + rem[size_t(k) - 1]) % kPrime;
        for (int j = k - 1; j > 0; --j)
            rem[size_t(j)] = (rem[size_t(j) - 1] + kPrime - t * a[size_t(j)] % kPrime) % kPrime;
        rem[0] = (kPrime - t * a[0] % kPrime) % kPrime;
    }
    for (int j = k - 1; j >= 0; --j)
        cw[n + (k - 1 - j)] = (kPrime - rem[size_t(j)]) % kPrime;
}

// ---------------------------------------------------------------------------------------------
// Sizing and layout

int LargestLevel(int room)
{
    int level = -1;
    while (level < 8 && (2 << (level + 1)) <= room)
        ++level;
    return std::max(level, 0);
}

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

void Fallback(int& rows, int& columns)
{
    if (columns < 22) {
        columns = 16;
        rows = 58;
    } else {
        columns = 29;
        rows = 32;
    }
}

class BitWriter {
public:
    BitWriter(uint8_t* row) : m_row(row) {}
    void Put(uint32_t bits, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if ((bits >> i) & 1u)
                m_row[m_pos / 8] |= uint8_t(0x80 >> (m_pos % 8));
            ++m_pos;
        }
    }

private:
    uint8_t* m_row;
    int m_pos = 0;
};

}  // namespace

const std::vector<int>& PDF417ErrorCoefficients(int level)
{
    static const std::vector<int> table[9] = {
        Generator(2), Generator(4), Generator(8), Generator(16), Generator(32),
        Generator(64), Generator(128), Generator(256), Generator(512)};
    return table[std::clamp(level, 0, 8)];
}

void PDF417Init(PDF417Param* p)
{
    *p = PDF417Param();
}

void PDF417Free(PDF417Param* p)
{
    p->bitMatrix.clear();
    p->bitMatrix.shrink_to_fit();
    p->bitMatrixLength = 0;
}

void PDF417Encode(PDF417Param* p)
{
    p->error = PDF417_ERROR_SUCCESS;
    PDF417Free(p);
    if (p->options & PDF417_USE_RAW_CODEWORDS) {
        if (p->lenCodewords < 1 || p->lenCodewords > PDF417_MAX_DATA
            || p->codewords[0] != p->lenCodewords) {
            p->error = PDF417_ERROR_INVALID_PARAMS;
            return;
        }
    } else {
        const uint8_t* text = p->text ? p->text : reinterpret_cast<const uint8_t*>("");
        if (p->lenText < 0)
            p->lenText = int(std::strlen(reinterpret_cast<const char*>(text)));
        if (p->lenText > PDF417_MAX_TEXT) {
            p->error = PDF417_ERROR_TEXT_TOO_BIG;
            return;
        }
        Codewords out{p->codewords, 1};
        for (const Segment& s : Segmentate(text, p->lenText)) {
            const bool first = out.count == 1;
            bool ok = true;
            switch (s.type) {
            case 'T':
                // Text compaction is where a symbol begins.
                if (!first) {
                    ok = out.Fits(1);
                    if (ok)
                        out.Add(kLatchText);
                }
                ok = ok && CompactText(text + s.start, s.length, out);
                break;
            case 'B':
                ok = CompactBytes(text + s.start, s.length, out);
                break;
            default:
                ok = CompactNumeric(text + s.start, s.length, out);
                break;
            }
            if (!ok) {
                p->error = PDF417_ERROR_TEXT_TOO_BIG;
                return;
            }
        }
        p->lenCodewords = out.count;
        p->codewords[0] = out.count;
    }

    const int count = p->lenCodewords;
    int level = p->errorLevel;
    if (!(p->options & PDF417_USE_ERROR_LEVEL))
        level = count < 41 ? 2 : count < 161 ? 3 : count < 321 ? 4 : 5;
    level = std::clamp(level, 0, LargestLevel(PDF417_MAX_CODEWORDS - count));

    int columns = std::clamp(p->codeColumns, 1, 30);
    int rows = std::clamp(p->codeRows, 3, 90);
    const int tot = count + (2 << level);
    bool sized = false;
    if (p->options & PDF417_FIXED_RECTANGLE) {
        if (rows * columns > PDF417_MAX_CODEWORDS)
            Fallback(rows, columns);
        sized = rows * columns >= tot;
    }
    if (!sized && (p->options & PDF417_FIXED_ROWS)) {
        columns = CeilDiv(tot, rows);
        if (columns > 30) {
            columns = 30;
            rows = CeilDiv(tot, 30);
        }
        sized = true;
    }
    if (!sized) {
        if (!(p->options & (PDF417_FIXED_RECTANGLE | PDF417_FIXED_COLUMNS | PDF417_FIXED_ROWS))) {
            const double r = std::clamp(double(p->aspectRatio), 0.001, 1000.0);
            const double h = p->yHeight;
            const double b = 73.0 * r - 4.0;
            const double c = (std::sqrt(68.0 * r * tot * h + b * b) - b) / (34.0 * r);
            columns = std::clamp(int(std::floor(c + 0.5)), 1, 30);
        }
        rows = std::max(3, CeilDiv(tot, columns));
        if (rows > 90) {
            rows = 90;
            columns = CeilDiv(tot, 90);
        }
    }
    if (rows * columns > PDF417_MAX_CODEWORDS)
        Fallback(rows, columns);

    // The level rises to fill the symbol; the data is padded up to the error correction.
    level = 0;
    const int room = rows * columns - count;
    while (level < 8 && (4 << level) <= room)
        ++level;
    const int ecCount = 2 << level;
    const int dataCount = rows * columns - ecCount;
    for (int i = count; i < dataCount; ++i)
        p->codewords[i] = kPad;
    p->codewords[0] = dataCount;
    AppendErrorCorrection(p->codewords, dataCount, level);
    p->lenCodewords = rows * columns;
    p->errorLevel = level;
    p->codeRows = rows;
    p->codeColumns = columns;

    p->bitColumns = 17 * (columns + 4) + 1;
    const int rowBytes = (p->bitColumns + 7) / 8;
    p->bitMatrixLength = rowBytes * rows;
    p->bitMatrix.assign(size_t(p->bitMatrixLength), 0);
    for (int r = 0; r < rows; ++r) {
        const int cluster = r % 3;
        const int g = 30 * (r / 3);
        int left = 0;
        int right = 0;
        switch (cluster) {
        case 0:
            left = g + (rows - 1) / 3;
            right = g + columns - 1;
            break;
        case 1:
            left = g + 3 * level + (rows - 1) % 3;
            right = g + (rows - 1) / 3;
            break;
        default:
            left = g + columns - 1;
            right = g + 3 * level + (rows - 1) % 3;
            break;
        }
        BitWriter w(p->bitMatrix.data() + size_t(r) * rowBytes);
        w.Put(kStartPattern, 17);
        w.Put(PDF417Pattern(cluster, left), 17);
        for (int c = 0; c < columns; ++c)
            w.Put(PDF417Pattern(cluster, p->codewords[r * columns + c]), 17);
        w.Put(PDF417Pattern(cluster, right), 17);
        w.Put(kStopPattern, 18);
    }
    if (p->options & PDF417_INVERT_BITMAP) {
        for (uint8_t& b : p->bitMatrix)
            b = uint8_t(~b);
    }
}

// ---------------------------------------------------------------------------------------------

IMPLEMENT_SERIAL(CPDF417Encoder, CObject, VERSIONABLE_SCHEMA | 1)

CPDF417Encoder::CPDF417Encoder() : m_nCodePage(GetOEMCP())
{
    PDF417Init(&m_param);
}

CPDF417Encoder::~CPDF417Encoder() = default;

void CPDF417Encoder::Serialize(CArchive& ar)
{
    CObject::Serialize(ar);
}

CSize CPDF417Encoder::GetSymbolSize(const CString& text)
{
    std::vector<uint8_t> bytes;
    ConvertToCodePage(m_nCodePage, text, bytes);
    return GetSymbolSize(bytes);
}

CSize CPDF417Encoder::GetSymbolSize(const std::vector<uint8_t>& bytes)
{
    Reset();
    if (bytes.empty())
        return CSize(0, 0);
    return Build(bytes);
}

CSize CPDF417Encoder::Build(const std::vector<uint8_t>& bytes)
{
    PDF417Init(&m_param);
    m_param.options = m_nOptions & ~PDF417_USE_RAW_CODEWORDS;
    m_param.codeRows = m_nRows;
    m_param.codeColumns = m_nColumns;
    m_param.errorLevel = m_nErrorLevel;
    // Every byte counts: a UTF-16 text is full of zeros.
    m_param.text = bytes.data();
    m_param.lenText = int(std::min<size_t>(bytes.size(), size_t(PDF417_MAX_TEXT) + 1));
    PDF417Encode(&m_param);
    m_param.text = nullptr;
    if (m_param.error != PDF417_ERROR_SUCCESS) {
        PDF417Free(&m_param);
        return CSize(0, 0);
    }
    return CSize(GetModuleColumns(), GetModuleRows());
}

void CPDF417Encoder::Reset()
{
    PDF417Free(&m_param);
    m_param.error = PDF417_ERROR_SUCCESS;
    m_param.text = nullptr;
    m_param.lenText = -1;
    m_strText.clear();
    m_drawn = false;
}

void CPDF417Encoder::Draw(CDC* pDC, const CString& text, const CRect& rect, int rowHeight)
{
    const int settings[5] = {int(m_nCodePage), m_nOptions, m_nRows, m_nColumns, m_nErrorLevel};
    const bool same = m_drawn && text == m_strText
        && std::equal(std::begin(settings), std::end(settings), std::begin(m_drawnSettings));
    if (!same) {
        GetSymbolSize(text);
        m_strText = text;
        std::copy(std::begin(settings), std::end(settings), std::begin(m_drawnSettings));
        m_drawn = true;
    }
    const int columns = GetModuleColumns();
    const int rows = GetModuleRows();
    if (columns == 0 || rows == 0)
        return;
    PaintModuleRuns(pDC, rect.left, rect.top, rect.Width(), rowHeight * rows, rows, columns,
                    [this](int r, int c) { return IsDark(r, c); });
}

int CPDF417Encoder::GetModuleColumns() const
{
    return m_param.bitMatrixLength > 0 ? m_param.bitColumns : 0;
}

int CPDF417Encoder::GetModuleRows() const
{
    if (m_param.bitMatrixLength <= 0 || m_param.bitColumns <= 0)
        return 0;
    return m_param.bitMatrixLength / ((m_param.bitColumns + 7) / 8);
}

bool CPDF417Encoder::IsDark(int row, int column) const
{
    if (row < 0 || row >= GetModuleRows() || column < 0 || column >= GetModuleColumns())
        return false;
    const int rowBytes = (m_param.bitColumns + 7) / 8;
    return (m_param.bitMatrix[size_t(row) * rowBytes + size_t(column / 8)] & (0x80 >> (column % 8))) != 0;
}
