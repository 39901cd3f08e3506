// One small table written in every kind of source gives the same tables, fields and rows.
#include "datatest.h"

#include "framework/compoundfile.h"

#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

using Names = std::vector<CString>;

// The second row's city is one that a Traditional Chinese code page can hold.
struct Sample
{
    QString city1 = QStringLiteral("Zürich");
    const QString city2 = QStringLiteral("臺北");
    QStringList header() const { return {"Code", "Name", "City", "Price", "When", "Note"}; }
    QList<QStringList> rows() const
    {
        return {{"00077", "plain", city2, "3", "2024-03-02 10:30:00", "x"},
                {"00123", "it's", city1, "12.5", "2024-03-01", ""}};
    }
    QStringList expected() const  // sorted by Price, descending
    {
        return {"00123|it's|" + city1 + "|12.5|2024-03-01|<null>", "00077|plain|" + city2 + "|3|2024-03-02 10:30:00|x"};
    }
    QByteArray Delimited(char delimiter) const
    {
        QStringList lines{header().join(QLatin1Char(delimiter))};
        for (const QStringList& row : rows())
            lines << row.join(QLatin1Char(delimiter));
        return (lines.join("\r\n") + "\r\n").toUtf8();
    }
};

// A BIFF8 workbook written record by record: sheets of text, number, Boolean and error cells
// as spreadsheet programs store them.
class BiffBook
{
public:
    enum Kind { Label, Number, Boolean, Error };
    struct Cell
    {
        int row, column;
        Kind kind;
        QString text = {};  // a label's text
        double value = 0;   // a number, the Boolean's 0 or 1, or the error code
    };

    void AddSheet(const QString& name, std::vector<Cell> cells) { m_sheets.push_back({name, std::move(cells)}); }

    // Saves the workbook at path in a compound file, as the stream "Workbook".
    bool Save(const QString& path) const
    {
        QByteArray out;
        Record(out, 0x0809, Bof(0x0005));
        std::vector<qsizetype> positionAt;
        for (const auto& [name, cells] : m_sheets) {
            QByteArray d;
            positionAt.push_back(out.size() + 4);
            U32(d, 0);  // filled in below
            U16(d, 0);  // visible worksheet
            d.append(char(name.size())).append(char(1));
            for (QChar c : name)
                U16(d, c.unicode());
            Record(out, 0x0085, d);
        }
        Record(out, 0x000A, {});
        for (std::size_t s = 0; s < m_sheets.size(); ++s) {
            const quint32 position = quint32(out.size());
            for (int i = 0; i < 4; ++i)
                out[positionAt[s] + i] = char((position >> (8 * i)) & 0xFF);
            Record(out, 0x0809, Bof(0x0010));
            int rows = 0, columns = 0;
            for (const Cell& cell : m_sheets[s].second) {
                rows = std::max(rows, cell.row + 1);
                columns = std::max(columns, cell.column + 1);
            }
            QByteArray dimensions;
            U32(dimensions, 0), U32(dimensions, quint32(rows)), U16(dimensions, 0), U16(dimensions, columns), U16(dimensions, 0);
            Record(out, 0x0200, dimensions);
            for (const Cell& cell : m_sheets[s].second) {
                QByteArray d;
                U16(d, cell.row), U16(d, cell.column), U16(d, 15);
                if (cell.kind == Label) {
                    U16(d, int(cell.text.size()));
                    d.append(char(1));
                    for (QChar c : cell.text)
                        U16(d, c.unicode());
                    Record(out, 0x0204, d);
                } else if (cell.kind == Number) {
                    d.append(reinterpret_cast<const char*>(&cell.value), 8);
                    Record(out, 0x0203, d);
                } else {
                    d.append(char(int(cell.value))).append(char(cell.kind == Error ? 1 : 0));
                    Record(out, 0x0205, d);
                }
            }
            Record(out, 0x000A, {});
        }
        if (out.size() < 4096)  // in the file's big sectors, not its mini stream
            out.append(4096 - out.size(), '\0');
        CCompoundFile file;
        file.GetRoot().WriteStream(QStringLiteral("Workbook"), out);
        QString error;
        return file.Save(path, error);
    }

private:
    static void U16(QByteArray& d, int v) { d.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }
    static void U32(QByteArray& d, quint32 v) { U16(d, int(v & 0xFFFF)), U16(d, int(v >> 16)); }
    static void Record(QByteArray& out, int type, const QByteArray& data)
    {
        U16(out, type);
        U16(out, int(data.size()));
        out.append(data);
    }
    static QByteArray Bof(int kind)
    {
        QByteArray d;
        U16(d, 0x0600), U16(d, kind), U16(d, 0x0DBB), U16(d, 0x07CC), U32(d, 0), U32(d, 0x0206);
        return d;
    }
    std::vector<std::pair<QString, std::vector<Cell>>> m_sheets;
};

class Sources : public ::testing::Test {
protected:
    void SetUp() override { UseLanguage("ENU"); }

    // Opens the file and checks what every source must give.
    void Check(const QString& path, const QString& table, const Sample& sample = {})
    {
        SCOPED_TRACE(path.toStdString());
        CBarcodeDB db;
        CString connection;
        ASSERT_TRUE(db.OpenFile(path, connection)) << db.GetLastError().toStdString();
        CheckOpen(db, table, sample);
    }
    void CheckOpen(CBarcodeDB& db, const QString& table, const Sample& sample = {})
    {
        const Names tables = Tables(db);
        EXPECT_NE(std::find(tables.begin(), tables.end(), table), tables.end());
        Names fields = Fields(db, table);
        EXPECT_EQ(QStringList(fields.begin(), fields.end()), sample.header());
        EXPECT_EQ(Rows(db, "SELECT * FROM " + db.QuoteName(table) + "  ORDER BY " + db.QuoteName("Price") + " DESC"),
                  sample.expected());
    }
    QTemporaryDir dir;
};

TEST_F(Sources, DelimitedTextInEachEncodingAndDelimiter)
{
    Sample sample;
    Check(WriteFile(dir, "t.csv", "\xEF\xBB\xBF" + sample.Delimited(',')), "t.csv");
    Check(WriteFile(dir, "t.tab", sample.Delimited('\t')), "t.tab");
    Check(WriteFile(dir, "semi.txt", sample.Delimited(';')), "semi.txt");

    UseLanguage("CHT");
    Sample big5;
    big5.city1 = QStringLiteral("臺中");
    QStringEncoder encoder("Big5");
    const QByteArray cp950 = encoder(QString::fromUtf8(big5.Delimited(',')));
    ASSERT_FALSE(encoder.hasError());
    Check(WriteFile(dir, "big5.csv", cp950), "big5.csv", big5);
}

TEST_F(Sources, Workbooks)
{
    for (bool constantMemory : {false, true}) {
        const QString path = dir.filePath(constantMemory ? "cm.xlsx" : "plain.xlsx");
        lxw_workbook_options options{};
        options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
        lxw_workbook* book = workbook_new_opt(path.toUtf8().constData(), &options);
        lxw_worksheet* other = workbook_add_worksheet(book, "Other");
        worksheet_write_string(other, 0, 0, "x", nullptr);
        lxw_worksheet* sheet = workbook_add_worksheet(book, "T");
        lxw_format* dateFormat = workbook_add_format(book);
        format_set_num_format(dateFormat, "yyyy-mm-dd hh:mm");
        Sample sample;
        for (int c = 0; c < 6; ++c)
            worksheet_write_string(sheet, 0, lxw_col_t(c), sample.header()[c].toUtf8().constData(), nullptr);
        const lxw_datetime when[] = {{2024, 3, 2, 10, 30, 0}, {2024, 3, 1, 0, 0, 0}};
        for (int r = 0; r < 2; ++r) {
            const QStringList row = sample.rows()[r];
            for (int c : {0, 1, 2})
                worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c), row[c].toUtf8().constData(), nullptr);
            worksheet_write_number(sheet, lxw_row_t(r + 1), 3, row[3].toDouble(), nullptr);
            worksheet_write_datetime(sheet, lxw_row_t(r + 1), 4, const_cast<lxw_datetime*>(&when[r]), dateFormat);
            if (!row[5].isEmpty())
                worksheet_write_string(sheet, lxw_row_t(r + 1), 5, row[5].toUtf8().constData(), nullptr);
        }
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
        Check(path, "T$");
    }
    const QString upper = dir.filePath("UP.XLSX");
    ASSERT_TRUE(QFile::copy(dir.filePath("plain.xlsx"), upper));
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(upper, connection));
    EXPECT_EQ(connection, "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + upper
                              + ";Extended Properties=\"Excel 12.0 Xml; HDR=YES; IMEX=1\"");

    // The older binary format, as python's xlwt writes it.
    const QString xls = dir.filePath("t.xls");
    const QString script = QStringLiteral(R"(
import sys, datetime, xlwt
book = xlwt.Workbook(encoding='utf-8')
sheet = book.add_sheet('T')
dates = xlwt.easyxf(num_format_str='YYYY-MM-DD hh:mm')
for c, name in enumerate(['Code', 'Name', 'City', 'Price', 'When', 'Note']):
    sheet.write(0, c, name)
rows = [('00077', 'plain', '臺北', 3, datetime.datetime(2024, 3, 2, 10, 30), 'x'),
        ('00123', "it's", 'Zürich', 12.5, datetime.datetime(2024, 3, 1), None)]
for r, row in enumerate(rows, 1):
    for c, value in enumerate(row):
        if value is not None:
            sheet.write(r, c, value, dates if c == 4 else xlwt.Style.default_style)
book.save(sys.argv[1])
)");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", script, xls});
    ASSERT_TRUE(python.waitForFinished(30000)) << "python3 writing a workbook did not finish within 30 s";
    if (python.exitCode() != 0)
        GTEST_SKIP() << "python3-xlwt is not installed: " << python.readAllStandardError().toStdString();
    Check(xls, "T$");
    ASSERT_TRUE(db.OpenFile(xls, connection));
    EXPECT_EQ(connection, "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + xls
                              + ";Extended Properties=\"Excel 8.0; HDR=YES;IMEX=1\"");
}

TEST_F(Sources, BooleanCellsReadAsTrueAndFalseFromEveryWorkbook)
{
    // The same rows with a Boolean column in both workbook formats.
    const QString xlsx = dir.filePath("flags.xlsx");
    lxw_workbook* book = workbook_new(xlsx.toUtf8().constData());
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Items");
    worksheet_write_string(sheet, 0, 0, "Code", nullptr);
    worksheet_write_string(sheet, 0, 1, "Flag", nullptr);
    for (int r : {1, 2}) {
        worksheet_write_string(sheet, lxw_row_t(r), 0, r == 1 ? "A" : "B", nullptr);
        worksheet_write_boolean(sheet, lxw_row_t(r), 1, r == 1, nullptr);
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    // The .xls also holds an error value, and a sheet before it whose cell at the same place
    // is the number 1.
    using C = BiffBook::Cell;
    BiffBook biff;
    biff.AddSheet("Numbers", {{0, 0, BiffBook::Label, "Code"}, {0, 1, BiffBook::Label, "Count"},
                              {1, 0, BiffBook::Label, "A"}, {1, 1, BiffBook::Number, {}, 1}});
    biff.AddSheet("Items", {{0, 0, BiffBook::Label, "Code"}, {0, 1, BiffBook::Label, "Flag"},
                            C{1, 0, BiffBook::Label, "A"}, C{1, 1, BiffBook::Boolean, {}, 1},
                            C{2, 0, BiffBook::Label, "B"}, C{2, 1, BiffBook::Boolean, {}, 0},
                            C{3, 0, BiffBook::Label, "C"}, C{3, 1, BiffBook::Error, {}, 0x07}});
    const QString xls = dir.filePath("flags.xls");
    ASSERT_TRUE(biff.Save(xls));

    const QStringList expected{"A|True", "B|False"};
    for (const QString& path : {xlsx, xls}) {
        SCOPED_TRACE(path.toStdString());
        CBarcodeDB db;
        CString connection;
        ASSERT_TRUE(db.OpenFile(path, connection)) << db.GetLastError().toStdString();
        EXPECT_EQ(Rows(db, "SELECT * FROM `Items$` WHERE Code <> 'C'"), expected);
    }
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(xls, connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(Rows(db, "SELECT * FROM `Items$` WHERE Code = 'C'"), QStringList{"C|<null>"});
    EXPECT_EQ(Rows(db, "SELECT * FROM `Numbers$`"), QStringList{"A|1"});
}

TEST_F(Sources, OdbcDataSourceNamesAndSqliteDsn)
{
    // A driver manager set-up of our own: a system file naming the SQLite driver and a user file.
    const QString driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
    if (!QFileInfo::exists(driver))
        GTEST_SKIP() << "libsqliteodbc is not installed";
    const QString db = dir.filePath("t.db");
    sqlite3* sql = nullptr;
    ASSERT_EQ(sqlite3_open(db.toUtf8().constData(), &sql), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(sql,
                           "CREATE TABLE T (Code TEXT, Name TEXT, City TEXT, Price REAL, \"When\" TEXT, Note TEXT);"
                           "INSERT INTO T VALUES ('00077','plain','臺北',3,'2024-03-02 10:30:00','x');"
                           "INSERT INTO T VALUES ('00123','it''s','Zürich',12.5,'2024-03-01',NULL);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(sql);
    const QDir sys(OdbcSystemFolder());
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(sys.filePath("odbcinst.ini"), ("[SQLite3]\nDriver=" + driver + "\n").toUtf8());
    write(sys.filePath("odbc.ini"), ("[Both]\nDriver=SQLite3\nDatabase=" + db + "\n\n[SystemOnly]\nDriver=SQLite3\nDatabase="
                                    + db + "\n").toUtf8());
    qputenv("ODBCINI", dir.filePath("missing.ini").toUtf8());
    // System names come even when the user has no file.
    EXPECT_EQ(GetOdbcDataSourceNames(), (Names{"Both", "SystemOnly"}));
    WriteFile(dir, "user.ini", ("[Mine]\nDriver=SQLite3\nDatabase=" + db + "\n\n[Both]\nDriver=SQLite3\nDatabase=" + db
                                + "\n").toUtf8());
    qputenv("ODBCINI", dir.filePath("user.ini").toUtf8());
    EXPECT_EQ(GetOdbcDataSourceNames(), (Names{"Mine", "Both", "Both", "SystemOnly"}));

    CBarcodeDB source;
    ASSERT_TRUE(source.OpenDSN("Mine")) << source.GetLastError().toStdString();
    CString quote;
    EXPECT_TRUE(source.GetQuoteSuffix(quote));
    EXPECT_EQ(quote, "\"");
    CheckOpen(source, "T");
    // The connection only reads.
    EXPECT_THROW(source.OpenQuery("DELETE FROM T"), CBarcodeDBException);
    EXPECT_THROW(source.OpenQuery("SELECT 1; DELETE FROM T"), CBarcodeDBException);
    EXPECT_EQ(Rows(source, "SELECT COUNT(*) FROM T"), QStringList{"2"});
    // A driver's message comes back whole.
    EXPECT_FALSE(source.OpenDSN("NoSuchName"));
    EXPECT_FALSE(source.GetLastError().isEmpty());
    QFile::remove(sys.filePath("odbc.ini"));
    QFile::remove(sys.filePath("odbcinst.ini"));
    qunsetenv("ODBCINI");
}

}  // namespace
