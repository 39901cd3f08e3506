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
#include <algorithm>
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
    throw CBarcodeDBException(LoadMessage(425, "\"%1\" cannot be read: %2").arg(fileName, cause));
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
            Fail(path, LoadMessage(478, "it is not a regular file"));
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
        if (n)
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

// Reads until want bytes are in buffer or the bytes end; gives how many are in.
std::size_t ReadAtLeast(CByteSource& bytes, char* buffer, std::size_t want, std::size_t capacity)
{
    std::size_t have = 0;
    while (have < want) {
        const std::size_t n = bytes.Read(buffer + have, capacity - have);
        if (n == 0)
            break;
        have += n;
    }
    return have;
}

// The encoding the byte-order mark names, and the mark's length.
std::pair<CTextEncoding, std::size_t> MarkOf(CByteSource& bytes)
{
    char head[3];
    bytes.Rewind();
    return EncodingOfMark(std::string_view(head, ReadAtLeast(bytes, head, 3, 3)));
}

// One pass over the bytes: the byte-order mark is taken off, and the rest goes to each in
// chunks, with the count of bytes read so far, until each gives false. Gives the count of bytes
// read.
template <typename Each>
std::int64_t Pass(CByteSource& bytes, Each&& each)
{
    bytes.Rewind();
    // No more room than the bytes take (and a byte to see their end): small files are read often.
    const std::size_t capacity = std::size_t(std::clamp<std::int64_t>(bytes.Size() + 1, 4, std::int64_t(kChunk)));
    std::string buffer(capacity, '\0');
    const std::size_t have = ReadAtLeast(bytes, buffer.data(), 3, capacity);
    std::int64_t total = std::int64_t(have);
    const std::size_t mark = EncodingOfMark(std::string_view(buffer.data(), have)).second;
    std::string_view chunk(buffer.data() + mark, have - mark);
    for (;;) {
        if (!chunk.empty() && !each(chunk, total))
            break;
        const std::size_t n = bytes.Read(buffer.data(), capacity);
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

// One import: what it reads, its messages and its progress.
class TextImport {
public:
    TextImport(CSqliteSource& source, CByteSource& bytes, const QString& fileName, const std::string& table,
               UINT codePage)
        : m_source(source), m_bytes(bytes), m_fileName(fileName), m_table(table), m_codePage(codePage),
          m_size(bytes.Size()),
          m_tooLong(LoadMessage(479, "\"%1\": %2").arg(fileName, ValueTooLongMessage(CSqliteSource::kValueLimit)))
    {
    }

    void Run()
    {
        std::tie(m_encoding, m_markLength) = MarkOf(m_bytes);
        // The rows take about as many bytes in the engine as their text has, which is the size of
        // the file, or half of it in UTF-16: a file beyond what the engine has free is refused
        // before it is read.
        const std::int64_t text = m_encoding == CTextEncoding::Utf16LE || m_encoding == CTextEncoding::Utf16BE
            ? m_size / 2
            : m_size;
        if (text > CSqliteSource::HeapFree())
            throw Refusal(text);
        m_progress = BeginProgress(CResourceModule::Get().LoadString(340).arg(QFileInfo(m_fileName).fileName()));
        m_delimiter = m_fileName.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive) ? '\t' : FindDelimiter();
        Scan();
        Write();
    }

private:
    // The first separator of the header line. Text of a code page splits like UTF-8: the bytes
    // of its characters are never quotes, delimiters or line breaks.
    char FindDelimiter()
    {
        CDelimiterGuess guess;
        CTextDecoder decoder(m_encoding, m_codePage, m_fileName);
        Pass(m_bytes, [&](std::string_view chunk, std::int64_t) { return !guess.Feed(Decode(decoder, chunk, m_text)); });
        return guess.Delimiter();
    }

    // First pass: the columns, which of them hold only numbers, the room the rows will take in
    // the engine, and whether text without a mark is UTF-8. Refuses what the engine cannot hold.
    void Scan()
    {
        const std::size_t columnLimit = std::size_t(CSqliteSource::kColumnLimit);
        const long long available = CSqliteSource::HeapFree();
        std::int64_t room = 0, longest = 0;
        // Pages of the engine hold a little more than their rows; the longest row is held once
        // more while it is written.
        const auto needed = [&] { return room + room / 20 + longest; };
        bool header = true;
        CUtf8Check utf8;
        CDelimitedParser scan(
            m_delimiter,
            [&](const std::vector<std::string_view>& fields) {
                if (fields.size() > m_numeric.size()) {
                    if (fields.size() > columnLimit)
                        throw CBarcodeDBException(
                            CSqliteSource::TooManyColumns(m_fileName, m_table, fields.size()));
                    m_numeric.resize(fields.size(), 1);
                }
                if (header) {
                    header = false;
                    return;
                }
                // A row takes its values, a byte of type for each, and about ten bytes of its own.
                std::int64_t row = std::int64_t(fields.size()) + 10;
                for (std::size_t c = 0; c < fields.size(); ++c) {
                    const std::size_t length = scan.Lengths()[c];
                    row += std::int64_t(length);
                    if (m_numeric[c] && length != 0 && (length != fields[c].size() || !CanonicalNumber(fields[c])))
                        m_numeric[c] = 0;
                }
                room += row;
                longest = std::max(longest, row);
            },
            std::size_t(CSqliteSource::kValueLimit), m_tooLong, kNumberLength);
        CTextDecoder decoder(m_encoding, m_codePage, m_fileName);
        const std::int64_t read = Pass(m_bytes, [&](std::string_view chunk, std::int64_t done) {
            if (m_encoding == CTextEncoding::Utf8)
                utf8.Feed(chunk);
            scan.Feed(Decode(decoder, chunk, m_text));
            // Refused as soon as the rows so far show it; the message tells what the whole file
            // would need at their rate.
            if (needed() > available) {
                const double rate = double(needed()) / double(std::max<std::int64_t>(done, 1));
                throw Refusal(std::max<long long>(needed(), (long long)(rate * double(m_size))));
            }
            Step(done);
            return true;
        });
        Finish(decoder, scan, read);
        if (needed() > available)
            throw Refusal(needed());

        if (m_encoding == CTextEncoding::Utf8 && !utf8.Valid())
            m_encoding = m_markLength ? CTextEncoding::Utf8Lossy : CTextEncoding::CodePage;
        if (m_numeric.empty())
            m_numeric.assign(1, 1);
    }

    // Second pass: the rows into the engine.
    void Write()
    {
        std::unique_ptr<CSqliteSource::CTableWriter> writer;
        CDelimitedParser split(
            m_delimiter,
            [&](const std::vector<std::string_view>& fields) {
                if (fields.size() > m_numeric.size())
                    throw Changed();
                if (!writer)
                    writer = std::make_unique<CSqliteSource::CTableWriter>(
                        m_source, m_fileName, m_table, std::vector<std::string>(fields.begin(), fields.end()), m_numeric);
                else
                    writer->Row(fields);
            },
            std::size_t(CSqliteSource::kValueLimit), m_tooLong);
        CTextDecoder decoder(m_encoding, m_codePage, m_fileName);
        const std::int64_t read = Pass(m_bytes, [&](std::string_view chunk, std::int64_t done) {
            split.Feed(Decode(decoder, chunk, m_text));
            Step(m_size + done);
            return true;
        });
        Finish(decoder, split, read);
        if (!writer)  // an empty file: a table of one column and no rows
            writer = std::make_unique<CSqliteSource::CTableWriter>(m_source, m_fileName, m_table,
                                                                   std::vector<std::string>{}, m_numeric);
        writer->Commit();
    }

    // The end of a pass: what the decoder held back, the last record, and a check that the file
    // kept its size.
    void Finish(CTextDecoder& decoder, CDelimitedParser& parser, std::int64_t read)
    {
        m_text.clear();
        decoder.Finish(m_text);
        parser.Feed(m_text);
        parser.Finish();
        if (read != m_size)
            throw Changed();
    }

    void Step(std::int64_t done)
    {
        if (!m_progress->Step(done, std::max<std::int64_t>(2 * m_size, 1)))
            throw CBarcodeDBException(CResourceModule::Get().LoadString(341).arg(QFileInfo(m_fileName).fileName()));
    }

    CBarcodeDBException Refusal(long long needed) const
    {
        return CBarcodeDBException(CResourceModule::Get()
                                       .LoadString(342)
                                       .arg(m_fileName)
                                       .arg(std::max<long long>(needed >> 20, 1))
                                       .arg(CSqliteSource::HeapLimit() >> 20)
                                       .arg(CSqliteSource::HeapFree() >> 20));
    }

    CBarcodeDBException Changed() const
    {
        return CBarcodeDBException(CResourceModule::Get().LoadString(346).arg(m_fileName));
    }

    CSqliteSource& m_source;
    CByteSource& m_bytes;
    QString m_fileName;
    std::string m_table;
    UINT m_codePage;
    std::int64_t m_size;
    CString m_tooLong;
    std::unique_ptr<CProgress> m_progress;
    CTextEncoding m_encoding = CTextEncoding::Utf8;
    std::size_t m_markLength = 0;
    char m_delimiter = ',';
    std::vector<char> m_numeric;  // one a column
    std::string m_text;           // the text of the chunk in hand, when decoding changes it
};

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
    TextImport(source, bytes, fileName, table, codePage).Run();
}

void ImportDelimitedFile(CSqliteSource& source, const QString& path, const std::string& table, UINT codePage)
{
    const auto bytes = OpenByteFile(path);
    ImportDelimitedText(source, *bytes, path, table, codePage);
}
