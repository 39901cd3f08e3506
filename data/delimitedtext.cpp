#include "data/delimitedtext.h"

#include "data/barcodedb.h"
#include "framework/resourcemodule.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const QString& fileName, const QString& cause)
{
    throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2").arg(fileName, cause));
}

bool IsValidUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        // Runs of ASCII, eight bytes at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int n;
        std::uint32_t cp;
        if ((c & 0xe0) == 0xc0) { n = 1; cp = c & 0x1f; }
        else if ((c & 0xf0) == 0xe0) { n = 2; cp = c & 0x0f; }
        else if ((c & 0xf8) == 0xf0) { n = 3; cp = c & 0x07; }
        else return false;
        if (end - p <= n)
            return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xc0) != 0x80)
                return false;
            cp = cp << 6 | (p[i] & 0x3f);
        }
        static constexpr std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        p += n + 1;
    }
    return true;
}

// The bytes a UTF-8 character takes by its first byte; 1 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead)
{
    return lead >= 0xc0 && lead < 0xe0 ? 2 : lead >= 0xe0 && lead < 0xf0 ? 3 : lead >= 0xf0 && lead < 0xf8 ? 4 : 1;
}

// Where the UTF-8 character that the end of bytes cuts begins; bytes.size() when none is cut.
std::size_t Utf8Cut(std::string_view bytes)
{
    for (std::size_t k = 1; k <= 3 && k <= bytes.size(); ++k) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - k]);
        if (b < 0x80)
            break;
        if (b >= 0xc0)
            return SequenceLength(b) > k ? bytes.size() - k : bytes.size();
    }
    return bytes.size();
}

void AppendUtf16(std::string_view bytes, bool bigEndian, std::string& out)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    // Not through QString::fromUtf16, which takes a U+FEFF or U+FFFE at the start of a chunk for a
    // byte-order mark.
    const QByteArray utf8 = QStringView(units.data(), qsizetype(units.size())).toUtf8();
    out.append(utf8.constData(), std::size_t(utf8.size()));
}

}  // namespace

std::pair<CTextEncoding, std::size_t> EncodingOfMark(std::string_view head)
{
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        return {CTextEncoding::Utf8, 3};
    if (head.substr(0, 2) == "\xFF\xFE")
        return {CTextEncoding::Utf16LE, 2};
    if (head.substr(0, 2) == "\xFE\xFF")
        return {CTextEncoding::Utf16BE, 2};
    return {CTextEncoding::Utf8, 0};
}

void CUtf8Check::Feed(std::string_view bytes)
{
    if (!m_valid)
        return;
    if (!m_pending.empty()) {
        const std::size_t need = SequenceLength(static_cast<unsigned char>(m_pending[0]));
        const std::size_t take = std::min(need - m_pending.size(), bytes.size());
        m_pending.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (m_pending.size() < need)
            return;
        m_valid = IsValidUtf8(m_pending);
        m_pending.clear();
        if (!m_valid)
            return;
    }
    const std::size_t cut = Utf8Cut(bytes);
    m_valid = IsValidUtf8(bytes.substr(0, cut));
    m_pending.assign(bytes.substr(cut));
}

CTextDecoder::CTextDecoder(CTextEncoding encoding, UINT codePage, const QString& fileName)
    : m_encoding(encoding), m_fileName(fileName)
{
    if (encoding != CTextEncoding::CodePage)
        return;
    const char* from = codePage == 936 ? "CP936" : codePage == 950 ? "CP950" : "CP1252";
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == iconv_t(-1))
        Fail(fileName, LoadMessage(475, "the code page %1 is not available").arg(codePage));
    m_iconv = cd;
    m_codePage = codePage;
}

CTextDecoder::~CTextDecoder()
{
    if (m_iconv)
        iconv_close(iconv_t(m_iconv));
}

void CTextDecoder::FailAt(std::string_view consumed)
{
    const auto line = 1 + m_lines + std::size_t(std::count(consumed.begin(), consumed.end(), '\n'));
    Fail(m_fileName, LoadMessage(476, "line %1 is not text in code page %2").arg(line).arg(m_codePage));
}

void CTextDecoder::Feed(std::string_view bytes, std::string& out)
{
    switch (m_encoding) {
    case CTextEncoding::Utf8:
        out.append(bytes);
        return;
    case CTextEncoding::Utf8Lossy: {
        m_pending.append(bytes);
        const std::size_t cut = Utf8Cut(m_pending);
        out.append(QString::fromUtf8(m_pending.data(), qsizetype(cut)).toStdString());
        m_pending.erase(0, cut);
        return;
    }
    case CTextEncoding::Utf16LE:
    case CTextEncoding::Utf16BE: {
        const bool big = m_encoding == CTextEncoding::Utf16BE;
        m_pending.append(bytes);
        std::size_t whole = m_pending.size() & ~std::size_t(1);
        // A leading surrogate at the end waits for its partner.
        if (whole >= 2) {
            const auto hi = static_cast<unsigned char>(m_pending[whole - (big ? 2 : 1)]);
            if (hi >= 0xd8 && hi <= 0xdb)
                whole -= 2;
        }
        AppendUtf16(std::string_view(m_pending).substr(0, whole), big, out);
        m_pending.erase(0, whole);
        return;
    }
    case CTextEncoding::CodePage: {
        m_pending.append(bytes);
        const std::size_t before = out.size();
        out.resize(before + m_pending.size() * 3 + 16);
        char* in = m_pending.data();
        std::size_t inLeft = m_pending.size();
        char* o = out.data() + before;
        std::size_t outLeft = out.size() - before;
        const std::size_t rc = iconv(iconv_t(m_iconv), &in, &inLeft, &o, &outLeft);
        const std::size_t consumed = std::size_t(in - m_pending.data());
        out.resize(out.size() - outLeft);
        if (rc == std::size_t(-1) && errno != EINVAL)  // EINVAL: a character the chunk cuts
            FailAt(std::string_view(m_pending).substr(0, consumed));
        m_lines += std::size_t(std::count(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(consumed), '\n'));
        m_pending.erase(0, consumed);
        return;
    }
    }
}

void CTextDecoder::Finish(std::string& out)
{
    if (m_pending.empty())
        return;
    switch (m_encoding) {
    case CTextEncoding::Utf8:
        break;
    case CTextEncoding::Utf8Lossy:
        out.append(QString::fromUtf8(m_pending.data(), qsizetype(m_pending.size())).toStdString());
        break;
    case CTextEncoding::Utf16LE:
    case CTextEncoding::Utf16BE:
        AppendUtf16(m_pending, m_encoding == CTextEncoding::Utf16BE, out);
        break;
    case CTextEncoding::CodePage:
        FailAt({});
    }
    m_pending.clear();
}

bool CDelimiterGuess::Feed(std::string_view utf8)
{
    // The first separator of the first line outside quoted fields (a doubled quote inside one
    // closes and opens it again).
    for (const char c : utf8) {
        if (m_done)
            break;
        if (c == '"')
            m_quoted = !m_quoted;
        else if (m_quoted)
            continue;
        else if (c == ',' || c == ';' || c == '\t')
            m_found = c, m_done = true;
        else if (c == '\n' || c == '\r')
            m_done = true;
    }
    return m_done;
}

CDelimitedParser::CDelimitedParser(char delimiter, RecordSink sink, std::size_t longestRecord, CString tooLong,
                                   std::size_t keep)
    : m_delimiter(delimiter), m_sink(std::move(sink)), m_longest(longestRecord), m_tooLong(std::move(tooLong)),
      m_keep(keep)
{
    m_ends.fill(false);
    m_ends[static_cast<unsigned char>(delimiter)] = m_ends['\n'] = m_ends['\r'] = true;
}

void CDelimitedParser::Append(std::string_view text)
{
    m_recordLength += text.size();
    if (m_recordLength > m_longest)
        throw CBarcodeDBException(m_tooLong);
    if (m_fieldLength < m_keep)
        m_text.append(text.substr(0, m_keep - m_fieldLength));
    m_fieldLength += text.size();
}

void CDelimitedParser::EndField()
{
    m_offsets.push_back(m_fieldStart);
    m_lengths.push_back(m_fieldLength);
    m_fieldStart = m_text.size();
    m_fieldLength = 0;
}

void CDelimitedParser::EndRecord()
{
    m_views.clear();
    for (std::size_t f = 0; f < m_offsets.size(); ++f) {
        const std::size_t end = f + 1 < m_offsets.size() ? m_offsets[f + 1] : m_text.size();
        m_views.emplace_back(m_text.data() + m_offsets[f], end - m_offsets[f]);
    }
    m_sink(m_views);
    m_text.clear();
    m_offsets.clear();
    m_lengths.clear();
    m_recordLength = 0;
    m_fieldStart = 0;
    m_state = State::LineStart;
}

std::size_t CDelimitedParser::WholeRecord(std::string_view s)
{
    const std::size_t n = s.size();
    std::size_t i = 0, recordLength = 0;
    m_views.clear();
    m_lengths.clear();
    for (;;) {
        std::string_view field;
        if (s[i] == '"') {
            const std::size_t close = s.find('"', i + 1);
            // A quote left open, or one that may be doubled or followed by text, is left to Feed.
            if (close == std::string_view::npos || close + 1 >= n || !m_ends[static_cast<unsigned char>(s[close + 1])])
                return 0;
            field = s.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            std::size_t j = i;
            while (j < n && !m_ends[static_cast<unsigned char>(s[j])])
                ++j;
            if (j == n)
                return 0;
            field = s.substr(i, j - i);
            i = j;
        }
        recordLength += field.size();
        if (recordLength > m_longest)
            throw CBarcodeDBException(m_tooLong);
        m_views.push_back(field.substr(0, m_keep));
        m_lengths.push_back(field.size());
        // s[i] ends the field.
        if (s[i++] != m_delimiter)
            break;
        if (i == n)
            return 0;
    }
    m_sink(m_views);
    m_lengths.clear();
    return i;
}

void CDelimitedParser::Feed(std::string_view s)
{
    const char d = m_delimiter;
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        switch (m_state) {
        case State::LineStart:
            if (s[i] == '\n' || s[i] == '\r') {  // an empty line, or the LF of a CRLF
                ++i;
                break;
            }
            // Most records lie whole in the text at hand, and their fields are taken from it
            // as they are.
            if (const std::size_t taken = WholeRecord(s.substr(i))) {
                i += taken;
                break;
            }
            m_views.clear();
            m_lengths.clear();
            m_state = State::FieldStart;
            [[fallthrough]];
        case State::FieldStart:
            if (s[i] == '"') {
                m_state = State::Quoted;
                ++i;
                break;
            }
            m_state = State::Unquoted;
            [[fallthrough]];
        case State::Unquoted: {
            std::size_t j = i;
            while (j < n && !m_ends[static_cast<unsigned char>(s[j])])
                ++j;
            Append(s.substr(i, j - i));
            i = j;
            if (i < n) {
                const char c = s[i++];
                EndField();
                if (c == d)
                    m_state = State::FieldStart;
                else
                    EndRecord();
            }
            break;
        }
        case State::Quoted: {
            const std::size_t q = s.find('"', i);
            const std::size_t j = q == std::string_view::npos ? n : q;
            Append(s.substr(i, j - i));
            i = j;
            if (i < n) {
                ++i;
                m_state = State::QuoteSeen;
            }
            break;
        }
        case State::QuoteSeen:
            if (s[i] == '"') {  // a doubled quote
                Append("\"");
                ++i;
                m_state = State::Quoted;
            } else {
                m_state = State::Unquoted;
            }
            break;
        }
    }
}

void CDelimitedParser::Finish()
{
    if (m_state == State::LineStart)
        return;
    EndField();
    EndRecord();
}

char GuessDelimiter(std::string_view utf8)
{
    CDelimiterGuess guess;
    guess.Feed(utf8);
    return guess.Delimiter();
}

void CheckRegularFile(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode))
        Fail(path, LoadMessage(477, "it is a folder"));
    if (!S_ISREG(st.st_mode))
        Fail(path, LoadMessage(478, "it is not a regular file"));
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
}
