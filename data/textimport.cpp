#include "data/textimport.h"

#include "data/barcodedb.h"
#include "data/dataconnection.h"
#include "data/delimitedtext.h"
#include "data/sqlitesource.h"
#include "data/values.h"
#include "framework/progress.h"
#include "framework/resourcemodule.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = 1 << 20;
// The first pass keeps no more of a field than a number in its canonical form can take.
constexpr std::size_t kNumberLength = 32;

[[noreturn]] void Fail(const QString& fileName, const QString& cause)
{
    throw CBarcodeDBException(QStringLiteral("\"%1\" cannot be read: %2").arg(fileName, cause));
}

class FileBytes : public CByteSource {
public:
    explicit FileBytes(const QString& path) : m_path(path)
    {
        CheckRegularFile(path);
        // O_NONBLOCK: should the name have become a FIFO since, opening does not wait for a writer.
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
        struct stat opened;
        if (::fstat(m_fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(m_fd);
            Fail(path, QStringLiteral("it is not a regular file"));
        }
        m_size = opened.st_size;
    }
    ~FileBytes() override { ::close(m_fd); }

    std::int64_t Size() const override { return m_size; }
    std::size_t Read(char* buffer, std::size_t max) override
    {
        for (;;) {
            const ssize_t r = ::read(m_fd, buffer, max);
            if (r >= 0)
                return std::size_t(r);
            if (errno != EINTR)
                Fail(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    void Rewind() override
    {
        if (::lseek(m_fd, 0, SEEK_SET) != 0)
            Fail(m_path, QString::fromLocal8Bit(std::strerror(errno)));
    }

private:
    QString m_path;
    int m_fd = -1;
    std::int64_t m_size = 0;
};

class InMemory : public CByteSource {
public:
    InMemory(std::string_view bytes, std::size_t chunk) : m_bytes(bytes), m_chunk(std::max<std::size_t>(chunk, 1)) {}
    std::int64_t Size() const override { return std::int64_t(m_bytes.size()); }
    std::size_t Read(char* buffer, std::size_t max) override
    {
        const std::size_t n = std::min({max, m_chunk, m_bytes.size() - m_at});
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return n;
    }
    void Rewind() override { m_at = 0; }

private:
    std::string_view m_bytes;
    std::size_t m_chunk;
    std::size_t m_at = 0;
};

// One pass over the bytes: the byte-order mark is taken off, and the rest goes to each in
// chunks. Gives the count of bytes read.
template <typename Each>
std::int64_t Pass(CByteSource& bytes, Each&& each)
{
    bytes.Rewind();
    std::string buffer(kChunk, '\0');
    std::size_t have = 0;
    // At least the three bytes a mark may take, unless the file is shorter.
    while (have < 3) {
        const std::size_t n = bytes.Read(buffer.data() + have, kChunk - have);
        if (n == 0)
            break;
        have += n;
    }
    std::int64_t total = std::int64_t(have);
    const std::size_t mark = EncodingOfMark(std::string_view(buffer.data(), have)).second;
    std::string_view chunk(buffer.data() + mark, have - mark);
    for (;;) {
        if (!chunk.empty() && !each(chunk, total))
            break;
        const std::size_t n = bytes.Read(buffer.data(), kChunk);
        if (n == 0)
            break;
        total += std::int64_t(n);
        chunk = std::string_view(buffer.data(), n);
    }
    return total;
}

// The text of a chunk: the chunk itself when the decoder would copy it unchanged, else its
// decoded form in text.
std::string_view Decode(CTextDecoder& decoder, std::string_view chunk, std::string& text)
{
    if (decoder.PassesThrough())
        return chunk;
    text.clear();
    decoder.Feed(chunk, text);
    return text;
}

}  // namespace

std::unique_ptr<CByteSource> OpenByteFile(const QString& path)
{
    return std::make_unique<FileBytes>(path);
}

std::unique_ptr<CByteSource> MemoryBytes(std::string_view bytes, std::size_t chunk)
{
    return std::make_unique<InMemory>(bytes, chunk);
}

void ImportDelimitedText(CSqliteSource& source, CByteSource& bytes, const QString& fileName, const std::string& table,
                         UINT codePage)
{
    CResourceModule& strings = CResourceModule::Get();
    const std::int64_t size = bytes.Size();
    auto refuse = [&](long long needed) {
        return CBarcodeDBException(strings.LoadString(342)
                                       .arg(fileName)
                                       .arg(std::max<long long>(needed >> 20, 1))
                                       .arg(CSqliteSource::HeapLimit() >> 20)
                                       .arg(CSqliteSource::HeapFree() >> 20));
    };
    // Whatever its encoding, the text takes at least a quarter of the file's bytes in the engine:
    // a file beyond that is refused before it is read.
    if (size / 4 > CSqliteSource::HeapFree())
        throw refuse(size / 4);

    const auto progress = BeginProgress(strings.LoadString(340).arg(QFileInfo(fileName).fileName()));
    const std::int64_t work = std::max<std::int64_t>(2 * size, 1);
    auto step = [&](std::int64_t done) {
        if (!progress->Step(done, work))
            throw CBarcodeDBException(strings.LoadString(341).arg(QFileInfo(fileName).fileName()));
    };
    const CString tooLong = QStringLiteral("\"%1\": %2").arg(fileName, ValueTooLongMessage(CSqliteSource::kValueLimit));
    const std::size_t columnLimit = std::size_t(source.ColumnLimit());

    // The encoding as far as the mark tells it, and the delimiter.
    std::string head(3, '\0');
    bytes.Rewind();
    std::size_t headLength = 0;
    while (headLength < 3) {
        const std::size_t n = bytes.Read(head.data() + headLength, 3 - headLength);
        if (n == 0)
            break;
        headLength += n;
    }
    const auto [marked, markLength] = EncodingOfMark(std::string_view(head.data(), headLength));
    std::string text;
    char delimiter = '\t';
    if (!fileName.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive)) {
        // Text of a code page splits like UTF-8: the bytes of its characters are never quotes,
        // delimiters or line breaks.
        CDelimiterGuess guess;
        CTextDecoder decoder(marked, codePage, fileName);
        Pass(bytes, [&](std::string_view chunk, std::int64_t) {
            text.clear();
            decoder.Feed(chunk, text);
            return !guess.Feed(text);
        });
        delimiter = guess.Delimiter();
    }

    // First pass: columns, numbers, room, and whether text without a mark is UTF-8.
    std::size_t columns = 0;
    std::int64_t rows = 0;
    std::int64_t room = 0;
    std::vector<char> numeric;
    bool header = true;
    CUtf8Check utf8;
    std::int64_t longest = 0;
    std::unique_ptr<CDelimitedParser> scan;
    scan = std::make_unique<CDelimitedParser>(
        delimiter,
        [&](const std::vector<std::string_view>& fields) {
            if (fields.size() > columns) {
                columns = fields.size();
                if (columns > columnLimit)
                    throw CBarcodeDBException(
                        CSqliteSource::TooManyColumns(fileName, table, columns, int(columnLimit)));
                numeric.resize(columns, 1);
            }
            if (header) {
                header = false;
                return;
            }
            ++rows;
            // A row takes its values, a byte of type for each, and about ten bytes of its own.
            std::int64_t row = std::int64_t(fields.size()) + 10;
            for (std::size_t c = 0; c < fields.size(); ++c) {
                const std::size_t length = scan->Lengths()[c];
                row += std::int64_t(length);
                if (numeric[c] && length != 0 && (length != fields[c].size() || !CanonicalNumber(fields[c])))
                    numeric[c] = 0;
            }
            room += row;
            longest = std::max(longest, row);
        },
        std::size_t(CSqliteSource::kValueLimit), tooLong, kNumberLength);
    {
        CTextDecoder decoder(marked, codePage, fileName);
        const std::int64_t read = Pass(bytes, [&](std::string_view chunk, std::int64_t done) {
            if (marked == CTextEncoding::Utf8)
                utf8.Feed(chunk);
            scan->Feed(Decode(decoder, chunk, text));
            step(done);
            return true;
        });
        text.clear();
        decoder.Finish(text);
        scan->Feed(text);
        scan->Finish();
        if (read != size)
            throw CBarcodeDBException(strings.LoadString(346).arg(fileName));
    }
    // Pages of the engine hold a little more than their rows; the longest row is held once more
    // while it is written.
    const long long needed = room + room / 20 + longest;
    if (needed > CSqliteSource::HeapFree())
        throw refuse(needed);

    CTextEncoding encoding = marked;
    if (marked == CTextEncoding::Utf8 && !utf8.Valid())
        encoding = markLength ? CTextEncoding::Utf8Lossy : CTextEncoding::CodePage;
    if (numeric.empty())
        numeric.assign(1, 1);

    // Second pass: the rows into the engine.
    std::unique_ptr<CSqliteSource::CTableWriter> writer;
    CDelimitedParser split(
        delimiter,
        [&](const std::vector<std::string_view>& fields) {
            if (fields.size() > numeric.size())
                throw CBarcodeDBException(strings.LoadString(346).arg(fileName));
            if (!writer) {
                writer = std::make_unique<CSqliteSource::CTableWriter>(
                    source, fileName, table, std::vector<std::string>(fields.begin(), fields.end()), numeric);
                return;
            }
            writer->Row(fields);
        },
        std::size_t(CSqliteSource::kValueLimit), tooLong);
    CTextDecoder decoder(encoding, codePage, fileName);
    const std::int64_t read = Pass(bytes, [&](std::string_view chunk, std::int64_t done) {
        split.Feed(Decode(decoder, chunk, text));
        step(size + done);
        return true;
    });
    text.clear();
    decoder.Finish(text);
    split.Feed(text);
    split.Finish();
    if (read != size)
        throw CBarcodeDBException(strings.LoadString(346).arg(fileName));
    if (!writer)  // an empty file: a table of one column and no rows
        writer = std::make_unique<CSqliteSource::CTableWriter>(source, fileName, table, std::vector<std::string>{},
                                                               numeric);
    writer->Commit();
}

void ImportDelimitedFile(CSqliteSource& source, const QString& path, const std::string& table, UINT codePage)
{
    const auto bytes = OpenByteFile(path);
    ImportDelimitedText(source, *bytes, path, table, codePage);
}
