// Importing delimited text as a stream: the same table whatever chunks the bytes come in, memory
// bounded by the engine's limit and a fixed amount, refusal of data the engine cannot hold before
// any of it is written, and cancelling.
#include "datatest.h"

#include "data/sqlitesource.h"
#include "data/textimport.h"
#include "framework/progress.h"

#include <QStringEncoder>
#include <fstream>
#include <malloc.h>
#include <sqlite3.h>

namespace {

// Fields that span chunk ends in every way: quotes doubled and left open, delimiters and line
// breaks inside quotes, text after a closing quote, CRLF, empty lines, short rows, a trailing
// delimiter, a character outside the Basic Multilingual Plane, and a U+FEFF that is no mark.
const QString kTricky = QStringLiteral(
    "Code,Name,Note\r\n"
    "\r\n"
    "001,\"a, \"\"quoted\"\"\r\nname\",臺北 📦\r\n"
    "2,\"x\"tail,\n"
    "\n\n"
    "3\r"
    "4,,\"\"\r\n"
    "5,la\uFEFFst,\"open to the end, \"\"still\r\n");

const QStringList kTrickyRows = {
    "001|a, \"quoted\"\r\nname|臺北 📦", "2|xtail|<null>", "3|<null>|<null>", "4|<null>|<null>",
    "5|la\uFEFFst|open to the end, \"still\r\n"};

QStringList Import(const std::string& bytes, std::size_t chunk, UINT codePage)
{
    CSqliteSource source;
    const auto chunks = MemoryBytes(bytes, chunk);
    ImportDelimitedText(source, *chunks, "t.csv", "t.csv", codePage);
    const auto set = source.Select("SELECT * FROM `t.csv` ORDER BY rowid");
    QStringList rows;
    for (std::int64_t r = 0; r < set->GetRecordCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < set->GetFieldCount(); ++c)
            cells << (set->GetText(r, c).isNull() ? QStringLiteral("<null>") : set->GetText(r, c));
        rows << cells.join(u'|');
    }
    return rows;
}

std::string Encoded(const QString& text, QStringConverter::Encoding encoding, const char* mark = "")
{
    QStringEncoder encoder(encoding);
    const QByteArray bytes = encoder(text);
    return mark + bytes.toStdString();
}

TEST(TextImport, ChunkEndsChangeNothing)
{
    UseLanguage("ENU");
    QString big5Text = kTricky;
    big5Text.remove(QStringLiteral(" 📦")).remove(QChar(0xFEFF));
    QStringList big5Rows = kTrickyRows;
    big5Rows[0].remove(QStringLiteral(" 📦"));
    big5Rows[4].remove(QChar(0xFEFF));
    QStringEncoder big5("Big5");
    const std::string cp950 = QByteArray(big5(big5Text)).toStdString();
    ASSERT_FALSE(big5.hasError());

    const std::vector<std::tuple<const char*, std::string, QStringList>> files = {
        {"UTF-8", Encoded(kTricky, QStringConverter::Utf8), kTrickyRows},
        {"UTF-8 with a mark", Encoded(kTricky, QStringConverter::Utf8, "\xEF\xBB\xBF"), kTrickyRows},
        {"UTF-16LE", Encoded(kTricky, QStringConverter::Utf16LE, "\xFF\xFE"), kTrickyRows},
        {"UTF-16BE", Encoded(kTricky, QStringConverter::Utf16BE, "\xFE\xFF"), kTrickyRows},
        {"code page 950", cp950, big5Rows},
    };
    for (const auto& [what, bytes, rows] : files)
        for (std::size_t chunk : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(5), bytes.size()}) {
            SCOPED_TRACE(std::string(what) + ", chunks of " + std::to_string(chunk));
            EXPECT_EQ(Import(bytes, chunk, 950), rows);
        }

    // A line the code page cannot read is named, however the bytes come.
    const std::string bad = cp950.substr(0, 20) + "\r\n9,\x81\x30\r\n";
    for (std::size_t chunk : {std::size_t(1), bad.size()})
        try {
            Import(bad, chunk, 950);
            ADD_FAILURE() << "undecodable text was read";
        } catch (const CBarcodeDBException& e) {
            EXPECT_TRUE(e.GetErrorMessage().contains("line 4 is not text in code page 950")) << e.what();
        }
}

// Records the import's reports: how often, how far, and the most memory the program itself held
// beyond what it held at the start, apart from the engine's.
struct Recorder
{
    Recorder()
    {
        baseline = HeapInUse() - sqlite3_memory_used();
        previous = SetProgressMaker([this](const QString& text) -> std::unique_ptr<CProgress> {
            this->text = text;
            return std::make_unique<Sink>(*this);
        });
    }
    ~Recorder() { SetProgressMaker(previous); }

    static long long HeapInUse()
    {
        const struct mallinfo2 info = mallinfo2();
        return static_cast<long long>(info.uordblks + info.hblkhd);
    }

    struct Sink : CProgress
    {
        explicit Sink(Recorder& r) : recorder(r) {}
        bool Step(std::int64_t done, std::int64_t total) override
        {
            ++recorder.steps;
            recorder.done = done;
            recorder.total = total;
            recorder.peak = std::max(recorder.peak, HeapInUse() - sqlite3_memory_used() - recorder.baseline);
            return !recorder.cancelAt || done < recorder.cancelAt;
        }
        Recorder& recorder;
    };

    ProgressMaker previous;
    QString text;
    long long baseline = 0;
    long long peak = 0;
    int steps = 0;
    std::int64_t done = 0, total = 0;
    std::int64_t cancelAt = 0;  // Cancel is pressed once this far
};

// A file of about megabytes MB: eight columns, numbers in two of them.
QString WriteLarge(const QTemporaryDir& dir, const QString& name, int megabytes)
{
    const QString path = dir.filePath(name);
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << "Code,Name,City,Price,Quantity,Date,Note,Flag\r\n";
    static const char* const fractions[] = {"", ".25", ".5", ".75"};
    for (int i = 0; out.tellp() < std::streamoff(megabytes) * 1000000; ++i)
        out << "00" << 100000 + i << ",\"Item " << i << ", boxed\",Zürich," << i % 1000 << fractions[i % 4] << ','
            << i % 977 << ",2024-03-1" << i % 10 << ",a note of some length,True\r\n";
    return path;
}

TEST(TextImport, MemoryStaysWithinTheEngineAndAFixedAmount)
{
    UseLanguage("ENU");
    QTemporaryDir dir;
    const QString path = WriteLarge(dir, "large.csv", 40);
    Recorder recorder;
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(path, connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(recorder.text, "Reading large.csv");
    EXPECT_GE(recorder.steps, 40);
    EXPECT_EQ(recorder.done, recorder.total);
    // A buffer of the file's chunks and their text, and the record being split: far less than
    // the 40 MB of the file.
    EXPECT_LT(recorder.peak, 8 << 20);
    const QStringList last = Rows(db, "SELECT count(*), max(Price), max(Quantity), typeof(Code) FROM `large.csv`");
    ASSERT_EQ(last.size(), 1);
    EXPECT_TRUE(last[0].endsWith("|999.75|976|text")) << last[0].toStdString();
}

TEST(TextImport, DataTheEngineCannotHoldIsRefusedBeforeItIsWritten)
{
    UseLanguage("ENU");
    QTemporaryDir dir;
    const QString large = WriteLarge(dir, "large.csv", 40);
    const QString small = WriteLarge(dir, "small.csv", 4);
    const EngineBound bound(24 << 20);

    const sqlite3_int64 before = sqlite3_memory_used();
    sqlite3_memory_highwater(1);
    CBarcodeDB db;
    CString connection;
    Recorder recorder;
    // Its size shows it at once: nothing of it is read.
    EXPECT_FALSE(db.OpenFile(large, connection));
    EXPECT_EQ(recorder.steps, 0);
    EXPECT_TRUE(db.GetLastError().startsWith("\"" + large + "\" cannot be read: its data needs about "))
        << db.GetLastError().toStdString();
    EXPECT_TRUE(db.GetLastError().contains(" MiB, and the data engine holds at most 24 MiB, of which "))
        << db.GetLastError().toStdString();
    EXPECT_LT(sqlite3_memory_highwater(0) - before, 2 << 20);

    // Short rows take more room than their text: the scan stops as soon as they show it.
    const QString rows = WriteFile(dir, "rows.csv", "a\n" + QByteArray("1\n").repeated(5 << 20));
    EXPECT_FALSE(db.OpenFile(rows, connection));
    EXPECT_TRUE(db.GetLastError().contains(" MiB, and the data engine holds at most 24 MiB, of which "))
        << db.GetLastError().toStdString();
    EXPECT_GT(recorder.steps, 0);
    EXPECT_LT(recorder.done, QFileInfo(rows).size() / 2);

    // What fits is read under the same bound.
    ASSERT_TRUE(db.OpenFile(small, connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(Rows(db, "SELECT typeof(Price), typeof(Name) FROM `small.csv` WHERE rowid = 2"), QStringList{"real|text"});
}

TEST(TextImport, CancelLeavesNoPartOfTheTable)
{
    UseLanguage("ENU");
    QTemporaryDir dir;
    WriteFile(dir, "first.csv", "a\n1\n");
    const QString large = WriteLarge(dir, "large.csv", 4);
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("first.csv"), connection));
    {
        // Cancelled while rows are written: the query that needed the file fails with it.
        Recorder recorder;
        recorder.cancelAt = QFileInfo(large).size() * 3 / 2;
        try {
            db.OpenQuery("SELECT count(*) FROM `large.csv`");
            ADD_FAILURE() << "the cancelled import gave rows";
        } catch (const CBarcodeDBException& e) {
            EXPECT_EQ(e.GetErrorMessage(), "Reading \"large.csv\" was cancelled.");
        }
        EXPECT_GE(recorder.done, recorder.cancelAt);
        EXPECT_LT(recorder.done, recorder.total);
    }
    // Nothing of it stayed: the next query reads the whole file again.
    const QStringList count = Rows(db, "SELECT count(*) FROM `large.csv`");
    ASSERT_EQ(count.size(), 1);
    EXPECT_GT(count[0].toInt(), 40000);
    EXPECT_EQ(Rows(db, "SELECT * FROM `first.csv`"), QStringList{"1"});
}

}  // namespace
