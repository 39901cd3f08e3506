#include "datatest.h"

#include "data/connstring.h"

#include <QDir>

using Names = std::vector<CString>;

class BarcodeDB : public ::testing::Test {
protected:
    void SetUp() override { UseLanguage("ENU"); }
    QTemporaryDir dir;
};

TEST_F(BarcodeDB, OpenFileWritesTheOldProviderTexts)
{
    WriteFile(dir, "list.CSV", "a,b\n1,2\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("list.CSV"), connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(connection, QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";"
                                         "Extended Properties=\"Text;HDR=Yes;IMEX=1;FMT=Delimited\"").arg(dir.path()));
    EXPECT_EQ(db.GetTextFileTable(), "list.CSV");
    CString quote;
    EXPECT_TRUE(db.GetQuoteSuffix(quote));
    EXPECT_EQ(quote, "`");

    // Unknown kinds are refused before anything is opened, and the string is left alone.
    for (const char* name : {"/d/data.dbf", "/d/nodot"}) {
        CString kept = "kept";
        EXPECT_FALSE(db.OpenFile(name, kept));
        EXPECT_EQ(kept, "kept");
    }
    // Workbook texts, checked through the connection that failed to open them.
    CString xlsx = "kept";
    EXPECT_FALSE(db.OpenFile("/nonexistent/Book.XLSX", xlsx));
    EXPECT_EQ(xlsx, "kept");
    EXPECT_TRUE(db.GetLastError().contains("/nonexistent/Book.XLSX"));
}

TEST_F(BarcodeDB, GetFieldsFailureNamesTheTableAndKeepsTheWholeMessage)
{
    const auto failure = [](const QString& table) {
        CBarcodeDB db;
        Names names;
        try {
            db.GetFields(table, names);
        } catch (const CBarcodeDBException& e) {
            return e.GetErrorMessage();
        }
        return CString("no exception");
    };
    const QString longName(300, 'x');
    EXPECT_EQ(failure(""), " " + CResourceModule::Get().LoadString(95));
    EXPECT_EQ(failure(longName), longName + " " + CResourceModule::Get().LoadString(95));
}

TEST_F(BarcodeDB, NamesAreQuotedAndOnlyOneSelectRuns)
{
    WriteFile(dir, "we`ird.csv", "a b,x\nq,1\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("we`ird.csv"), connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(db.QuoteName("we`ird.csv"), "`we``ird.csv`");
    EXPECT_EQ(Fields(db, "we`ird.csv"), (Names{"a b", "x"}));
    EXPECT_EQ(Rows(db, "SELECT * FROM " + db.QuoteName("we`ird.csv") + "  ORDER BY `a b` ASC;  "),
              QStringList{"q|1"});
    for (const char* bad : {"DELETE FROM `we``ird.csv`", "SELECT 1; DELETE FROM `we``ird.csv`",
                            "ATTACH DATABASE '/tmp/x.db' AS x", "PRAGMA writable_schema=1",
                            "SELECT * FROM pragma_table_info('we`ird.csv') ; PRAGMA x"}) {
        EXPECT_THROW(db.OpenQuery(bad), CBarcodeDBException) << bad;
    }
    // The authorizer stops statements the word check lets through.
    EXPECT_THROW(db.OpenQuery("SELECT 1,2,3,4,5,6 UNION SELECT * FROM pragma_table_info('x')"), CBarcodeDBException);
    // A query with Jet's own syntax fails with SQLite's message.
    try {
        db.OpenQuery("SELECT Nz(x, 0) FROM `we``ird.csv`");
        FAIL();
    } catch (const CBarcodeDBException& e) {
        EXPECT_TRUE(e.GetErrorMessage().contains("Nz"));
    }
}

TEST_F(BarcodeDB, ConnectionStringsChooseTheReaderOrRefuse)
{
    WriteFile(dir, "t.csv", "a\n1\n");
    CBarcodeDB db;
    // Keys are case-blind, blanks around the separators do not count, quotes may be doubled.
    EXPECT_TRUE(db.OpenConnection(QStringLiteral(" provider = Microsoft.Jet.OLEDB.4.0 ; DATA SOURCE = \"%1\" ; "
                                                 "extended properties='Text;HDR=Yes'")
                                      .arg(dir.path())))
        << db.GetLastError().toStdString();
    EXPECT_EQ(Rows(db, "SELECT * FROM `T.CSV`"), QStringList{"1"});
    // Refused, each naming what it refuses: another provider, code named in the string.
    for (const auto& [refused, named] : {std::pair {"Provider=SQLOLEDB;Data Source=x", "SQLOLEDB"},
                                         {"Driver=/tmp/evil.so", ""}, {"DRIVER={/tmp/evil.so};DSN=x", ""},
                                         {"FILEDSN=/tmp/x.dsn", ""}, {"DSN=x;LoadExt=/tmp/evil.so", ""},
                                         {"DSN=x;SaveFile=/tmp/x.dsn", "SAVEFILE"}, {"Data Source=\"unclosed", ""}}) {
        EXPECT_FALSE(db.OpenConnection(refused)) << refused;
        EXPECT_TRUE(db.GetLastError().contains(named)) << refused;
    }

    auto parsed = CConnectionString::Parse("DSN=\"a\"\"b\";Driver={x}}y};PWD= p ");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Value("dsn"), "a\"b");
    EXPECT_EQ(parsed->Value("DRIVER"), "x}y");
    EXPECT_EQ(parsed->Value("pwd"), "p");
    CConnectionString written;
    written.Set("DSN", "a;b");
    written.Set("PWD", " x\"");
    written.Set("UID", "plain");
    written.Set("X", "form feed\f");
    EXPECT_EQ(written.ToString().toStdString(), "DSN=\"a;b\";PWD=\" x\"\"\";UID=plain;X=\"form feed\f\"");
    EXPECT_EQ(CConnectionString::Parse(written.ToString())->Pairs(), written.Pairs());
    EXPECT_EQ(CConnectionString::Parse(written.ToString(true))->Pairs(), written.Pairs());
}

TEST_F(BarcodeDB, StoredPathsReopenAndAWindowsPathIsLookedUpBesideTheLabel)
{
    // A folder holding the pair separator is quoted in the string written, so it opens again.
    QDir(dir.path()).mkdir("a;b");
    const QString path = WriteFile(dir, "a;b/t.csv", "a\n1\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(path, connection)) << db.GetLastError().toStdString();
    ASSERT_TRUE(db.OpenConnection(connection)) << db.GetLastError().toStdString();
    EXPECT_EQ(Rows(db, "SELECT * FROM `t.csv`"), QStringList{"1"});

    WriteFile(dir, "Items.csv", "Code\nA1\n");
    db.SetDocumentFolder(dir.path());
    ASSERT_TRUE(db.OpenConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"D:\\labels\\data\";"
                                  "Extended Properties=\"Text;HDR=Yes;IMEX=1;FMT=Delimited\""))
        << db.GetLastError().toStdString();
    // A folder source: the label's folder stands in for the missing one.
    EXPECT_EQ(Rows(db, "SELECT * FROM `items.CSV`"), QStringList{"A1"});
    CBarcodeDB other;
    EXPECT_FALSE(other.OpenConnection("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=D:\\data\\Book.xlsx;"
                                      "Extended Properties=\"Excel 12.0 Xml; HDR=YES; IMEX=1\""));
    EXPECT_TRUE(other.GetLastError().contains("D:\\data\\Book.xlsx"));
}
