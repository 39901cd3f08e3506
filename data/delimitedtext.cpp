#include "data/delimitedtext.h"

#include "data/barcodedb.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const QString& fileName, const QString& cause)
{
    throw CBarcodeDBException(QStringLiteral("\"%1\" cannot be read: %2").arg(fileName, cause));
}

bool IsValidUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
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

std::string FromUtf16(std::string_view bytes, bool bigEndian)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    return QString::fromUtf16(units.data(), qsizetype(units.size())).toStdString();
}

}  // namespace

std::string DecodeText(std::string_view bytes, UINT codePage, const QString& fileName)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        if (!IsValidUtf8(bytes))
            return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toStdString();
        return std::string(bytes);
    }
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return FromUtf16(bytes.substr(2), false);
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return FromUtf16(bytes.substr(2), true);
    if (IsValidUtf8(bytes))
        return std::string(bytes);

    const char* from = codePage == 936 ? "CP936" : codePage == 950 ? "CP950" : "CP1252";
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == iconv_t(-1))
        Fail(fileName, QStringLiteral("the code page %1 is not available").arg(codePage));
    std::string out(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == std::size_t(-1)) {
        const std::size_t at = std::size_t(in - bytes.data());
        const auto line = 1 + std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(at), '\n');
        Fail(fileName, QStringLiteral("line %1 is not text in code page %2").arg(line).arg(codePage));
    }
    out.resize(out.size() - outLeft);
    return out;
}

char GuessDelimiter(std::string_view utf8)
{
    // The first separator of the first line outside quoted fields (a doubled quote inside one
    // closes and opens it again).
    bool quoted = false;
    for (char c : utf8) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == ',' || c == ';' || c == '\t')
            return c;
        else if (c == '\n' || c == '\r')
            break;
    }
    return ',';
}

void ParseDelimited(std::string_view s, char delimiter, CImportTable& table)
{
    const std::size_t n = s.size();
    std::size_t i = 0;
    std::string field;
    std::vector<std::string> header;
    bool inHeader = true;
    while (i < n) {
        // One record.
        if (s[i] == '\n' || s[i] == '\r') {  // an empty line
            i += (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (!inHeader)
            table.BeginRow();
        for (;;) {
            bool quoted = false;
            std::string_view value;
            if (i < n && s[i] == '"') {
                quoted = true;
                field.clear();
                ++i;
                for (;;) {
                    const std::size_t q = s.find('"', i);
                    if (q == std::string_view::npos) {  // no closing quote: the rest is the field
                        field.append(s.substr(i));
                        i = n;
                        break;
                    }
                    field.append(s.substr(i, q - i));
                    i = q + 1;
                    if (i < n && s[i] == '"') {
                        field.push_back('"');
                        ++i;
                        continue;
                    }
                    break;
                }
                // Text between the closing quote and the delimiter is kept.
                const std::size_t start = i;
                while (i < n && s[i] != delimiter && s[i] != '\n' && s[i] != '\r')
                    ++i;
                field.append(s.substr(start, i - start));
                value = field;
            } else {
                const std::size_t start = i;
                while (i < n && s[i] != delimiter && s[i] != '\n' && s[i] != '\r')
                    ++i;
                value = s.substr(start, i - start);
            }
            (void)quoted;
            if (inHeader)
                header.emplace_back(value);
            else
                table.Add(CImportCell::Text, value);
            if (i < n && s[i] == delimiter) {
                ++i;
                continue;
            }
            break;
        }
        if (i < n)
            i += (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
        if (inHeader) {
            table.header = std::move(header);
            inHeader = false;
        }
    }
}

void CheckRegularFile(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode))
        Fail(path, QStringLiteral("it is a folder"));
    if (!S_ISREG(st.st_mode))
        Fail(path, QStringLiteral("it is not a regular file"));
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
}

std::string ReadWholeFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    CheckRegularFile(path);
    // O_NONBLOCK: should the name have become a FIFO since, opening does not wait for a writer.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        Fail(path, QStringLiteral("it is not a regular file"));
    }
    std::string bytes;
    bytes.resize(std::size_t(opened.st_size));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size())
            bytes.resize(bytes.size() + 65536);
        const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            Fail(path, QString::fromLocal8Bit(std::strerror(e)));
        }
        if (r == 0)
            break;
        got += std::size_t(r);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

void ReadDelimitedFile(const QString& path, UINT codePage, CImportTable& table)
{
    const std::string bytes = ReadWholeFile(path);
    const std::string text = DecodeText(bytes, codePage, path);
    const bool tab = path.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive);
    ParseDelimited(text, tab ? '\t' : GuessDelimiter(text), table);
}
