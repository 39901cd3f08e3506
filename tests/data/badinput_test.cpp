// Real Access databases, and files that are damaged, missing or not files at all: each gives
// its data or a message naming the file and the cause, with no crash and no hang.
#include "datatest.h"
#include "support/waitbound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringEncoder>
#include <sys/stat.h>
#include <xlsxwriter.h>
#include <unistd.h>

namespace {

using Names = std::vector<CString>;

QString AccessFile(const char* name)
{
    return QStringLiteral(QB_ACCESS_TESTDATA_DIR "/") + QLatin1String(name);
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override { UseLanguage("ENU"); }
    // Opening fails and the message names the file and holds the cause.
    void ExpectRefused(const QString& path, const QString& cause)
    {
        SCOPED_TRACE(path.toStdString());
        CBarcodeDB db;
        CString connection = "kept";
        EXPECT_FALSE(db.OpenFile(path, connection));
        EXPECT_EQ(connection, "kept");
        EXPECT_TRUE(db.GetLastError().contains(path)) << db.GetLastError().toStdString();
        EXPECT_TRUE(db.GetLastError().contains(cause)) << db.GetLastError().toStdString();
    }
    QTemporaryDir dir;
};

TEST_F(BadInput, AccessDatabasesReadInPlace)
{
    if (!QDir(QStringLiteral(QB_ACCESS_TESTDATA_DIR)).exists())
        GTEST_SKIP() << "no Access test databases";
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(AccessFile("test97.mdb"), connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(connection, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + AccessFile("test97.mdb"));
    EXPECT_EQ(Tables(db), (Names{"Table1", "Table2", "Table3", "Table4"}));
    EXPECT_EQ(Fields(db, "Table1"), (Names{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
    EXPECT_EQ(Rows(db, "SELECT COUNT(*) FROM `Table1`"), QStringList{"2"});
    EXPECT_EQ(Rows(db, "SELECT A, F, G, H, I FROM `Table1` WHERE E = 333333333"),
              QStringList{"abcdefg|444.555|1974-09-21|3.5|True"});

    // A copy whose path holds the pair separator still opens through the string written.
    QTemporaryDir copies;
    const QString copy = copies.filePath("a;b.mdb");
    ASSERT_TRUE(QFile::copy(AccessFile("numeric2000.mdb"), copy));
    ASSERT_TRUE(db.OpenFile(copy, connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(connection, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + copy + "\"");
    ASSERT_TRUE(db.OpenConnection(connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(Tables(db), Names{"test"});
    EXPECT_EQ(Rows(db, "SELECT * FROM `test`"), QStringList{"some data|1|0|0|4|-1|1"});
}

TEST_F(BadInput, DamagedAccessAndWorkbookFilesAreReportedAsDamaged)
{
    if (!QDir(QStringLiteral(QB_ACCESS_TESTDATA_DIR)).exists())
        GTEST_SKIP() << "no Access test databases";
    // This byte makes the library read the catalogue forever: the reader is stopped.
    QFile original(AccessFile("numeric2000.mdb"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray bytes = original.readAll();
    ASSERT_GT(bytes.size(), 128991);
    bytes[128991] = char(190);
    QElapsedTimer timer;
    timer.start();
    ExpectRefused(WriteFile(dir, "loops.mdb", bytes), "damaged");
    // The reader's own bounds end it within seconds; only a reader that escaped them gets this far.
    EXPECT_LT(timer.elapsed(), HangBoundMs(45000));

    // This workbook byte crashes the library's open.
    const QString xls = dir.filePath("crash.xls");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", R"(
import sys, xlwt
book = xlwt.Workbook(encoding='utf-8')
sheet = book.add_sheet('T')
for c, name in enumerate(['Code', 'Name', 'Price']):
    sheet.write(0, c, name)
sheet.write(1, 0, '00123'); sheet.write(1, 1, "it's"); sheet.write(1, 2, 12.5)
book.save(sys.argv[1])
)", xls});
    ASSERT_TRUE(python.waitForFinished(30000)) << "python3 writing a workbook did not finish within 30 s";
    if (python.exitCode() != 0)
        GTEST_SKIP() << "python3-xlwt is not installed";
    QFile file(xls);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray book = file.readAll();
    ASSERT_EQ(book.size(), 5632);
    file.seek(1677);
    file.write(QByteArray(1, char(145)));
    file.close();
    ExpectRefused(xls, "damaged");
}

// A text over more than two of the workbook's records, which the .xls library reads as no sheet or
// cuts short, is refused; one over two records is read whole.
TEST_F(BadInput, AnXlsCellTooLongForTheLibraryIsRefusedNotEmpty)
{
    const QString tooLong = dir.filePath("long.xls"), longest = dir.filePath("longest.xls"), wide = dir.filePath("wide.xls");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", R"(
import sys, xlwt
for path, length, first in ((sys.argv[1], 20000, 'a'), (sys.argv[2], 16000, 'a'), (sys.argv[3], 9000, '\u4e00')):
    book = xlwt.Workbook(encoding='utf-8')
    sheet = book.add_sheet('T')
    sheet.write(0, 0, 'Text'); sheet.write(0, 1, 'After')
    sheet.write(1, 0, ''.join(chr(ord(first) + i % 26) for i in range(length))); sheet.write(1, 1, 'end')
    book.save(path)
)", tooLong, longest, wide});
    ASSERT_TRUE(python.waitForFinished(30000)) << "python3 writing a workbook did not finish within 30 s";
    if (python.exitCode() != 0)
        GTEST_SKIP() << "python3-xlwt is not installed";
    ExpectRefused(tooLong, "a cell holds a text of 20000 characters, longer than the reader of .xls workbooks can take");
    ExpectRefused(wide, "a cell holds a text of 9000 characters, longer than the reader of .xls workbooks can take");

    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(longest, connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(Rows(db, "SELECT length(Text), substr(Text, 15990), After FROM `T$`"), QStringList{"16000|zabcdefghij|end"});
}

TEST_F(BadInput, FilesThatCannotBeRead)
{
    ExpectRefused(dir.filePath("missing.csv"), "No such file");
    ExpectRefused(dir.filePath("missing.xlsx"), "No such file");
    QDir(dir.path()).mkdir("folder.csv");
    ExpectRefused(dir.filePath("folder.csv"), "folder");
    const QString fifo = dir.filePath("x.csv");
    ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
    ExpectRefused(fifo, "not a regular file");
    ExpectRefused(WriteFile(dir, "zip.xlsx", "PK\x03\x04 not really"), "zip.xlsx");
    ExpectRefused(WriteFile(dir, "text.xls", "not a workbook"), "text.xls");
    // More columns than the database holds: what the file has and what the program takes.
    QByteArray wide;
    for (int c = 0; c < 2100; ++c)
        wide += "c" + QByteArray::number(c) + ",";
    ExpectRefused(WriteFile(dir, "wide.csv", wide + "\n"), "the table \"wide.csv\" has 2101 columns, and a table can have at most 2000.");
    // A worksheet with a value in column 2101, and one with values in its last column on many
    // rows, refused without filling the columns between.
    for (const auto& [name, last, rows] : {std::tuple{"wide.xlsx", 2100, 1}, std::tuple{"widest.xlsx", 16383, 20000}}) {
        const QString sheet = dir.filePath(name);
        lxw_workbook* book = workbook_new(sheet.toUtf8().constData());
        lxw_worksheet* far = workbook_add_worksheet(book, "Wide");
        worksheet_write_string(far, 0, 0, "Code", nullptr);
        for (int row = 1; row <= rows; ++row)
            worksheet_write_number(far, lxw_row_t(row), lxw_col_t(last), row, nullptr);
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
        ExpectRefused(sheet, QStringLiteral("the worksheet \"Wide\" has %1 columns, and a table can have at most 2000.")
                                 .arg(last + 1));
    }

    // An undecodable line in the language's code page is named.
    UseLanguage("CHT");
    QStringEncoder big5("Big5");
    QByteArray text = big5(QStringLiteral("名稱,價格\n蘋果,1\n"));
    text += "\x81\x30,2\n";
    ExpectRefused(WriteFile(dir, "bad950.csv", text), QStringLiteral("第 3 行"));
}

TEST_F(BadInput, UnreadableFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const QString locked = WriteFile(dir, "locked.csv", "a\n1\n");
    ASSERT_EQ(chmod(locked.toUtf8().constData(), 0), 0);
    ExpectRefused(locked, "Permission denied");
}

TEST_F(BadInput, HeadersAndRaggedRowsOfText)
{
    // Empty and repeated names become F plus the column number; short rows are padded, quoted
    // fields keep their delimiters, quotes and line breaks.
    WriteFile(dir, "r.csv", "a,,A,b\n\"x,1\",\"say \"\"hi\"\"\",\"two\nlines\"\n1\n\n2,3,4,5,6\r\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("r.csv"), connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(Fields(db, "r.csv"), (Names{"a", "F2", "F3", "b", "F5"}));
    EXPECT_EQ(Rows(db, "SELECT * FROM `r.csv`"),
              (QStringList{"x,1|say \"hi\"|two\nlines|<null>|<null>", "1|<null>|<null>|<null>|<null>", "2|3|4|5|6"}));
    // Text sorts without regard to case; "00123" and "12.50" stay text.
    WriteFile(dir, "n.csv", "k,v\nb,00123\nA,12.50\nc,7\n");
    EXPECT_EQ(Rows(db, "SELECT k FROM `n.csv` ORDER BY k"), (QStringList{"A", "b", "c"}));
    EXPECT_EQ(Rows(db, "SELECT v FROM `n.csv` ORDER BY v"), (QStringList{"00123", "12.50", "7"}));
    // A NUL in a name is dropped rather than ending the statement that names the column.
    WriteFile(dir, "z.csv", QByteArray("a\0b,c\n1,2\n", 10));
    EXPECT_EQ(Fields(db, "z.csv"), (Names{"ab", "c"}));
}

// A generated name that another column of the header bears, in any case, takes "_" and a count.
TEST_F(BadInput, GeneratedColumnNamesAreNamesNoOtherColumnHas)
{
    const std::pair<QByteArray, Names> headers[] = {{"F2,,x", {"F2", "F2_1", "x"}},
                                                    {",F1,", {"F1_1", "F1", "F3"}},
                                                    {"A,A,F2", {"A", "F2_1", "F2"}},
                                                    {"f3,,,F3_1", {"f3", "F2", "F3_2", "F3_1"}}};
    CBarcodeDB db;
    CString connection;
    for (const auto& [header, names] : headers) {
        SCOPED_TRACE(header.toStdString());
        const QString name = QString::fromLatin1(header.toHex()) + ".csv";
        const QStringList values = QStringList({"1", "2", "3", "4"}).mid(0, qsizetype(names.size()));
        ASSERT_TRUE(db.OpenFile(WriteFile(dir, name, header + "\n" + values.join(u',').toUtf8() + "\n"), connection))
            << db.GetLastError().toStdString();
        EXPECT_EQ(Fields(db, name), names);
        EXPECT_EQ(Rows(db, "SELECT * FROM `" + name + "`"), QStringList{values.join(u'|')});
    }
}

// A table that cannot even be made (big.csv's statement holds its header more than once) leaves the
// connection reading the other tables of the folder, with nothing of it left behind.
TEST_F(BadInput, ARefusedTextFileLeavesTheOtherTablesOfItsFolderReadable)
{
    const EngineBound bound(8 << 20);
    WriteFile(dir, "first.csv", "a\n1\n");
    WriteFile(dir, "big.csv", "a," + QByteArray(6 << 20, 'n') + "\n1,2\n");
    WriteFile(dir, "wide.csv", QByteArray("a") + QByteArray(2000, ',') + "\n");
    WriteFile(dir, "third.csv", "c\n3\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("first.csv"), connection)) << db.GetLastError().toStdString();
    for (const auto& [name, cause] : {std::pair{"big.csv", "its data does not fit into the 8 MiB the data engine may hold"},
                                      std::pair{"wide.csv", "has 2001 columns"}}) {
        try {
            db.OpenQuery(QStringLiteral("SELECT * FROM `%1`").arg(name));
            ADD_FAILURE() << name << " was read";
        } catch (const CBarcodeDBException& e) {
            EXPECT_TRUE(e.GetErrorMessage().contains(cause)) << e.what();
        }
    }
    EXPECT_EQ(Rows(db, "SELECT * FROM `third.csv`"), QStringList{"3"});
    EXPECT_EQ(Rows(db, "SELECT name FROM sqlite_schema ORDER BY name"), (QStringList{"first.csv", "third.csv"}));
}

}  // namespace
