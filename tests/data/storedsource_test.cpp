// What a label file may hold as its data source, and the bounds every query runs under.
#include "datatest.h"

#include "data/delimitedtext.h"
#include "data/prndatagrid.h"
#include "data/storedsource.h"
#include "support/waitbound.h"

#include <QElapsedTimer>

namespace {

TEST(StoredSource, ConnectionStringsOnlyInTheFormsTheProgramWrites)
{
    const char* text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/d\";"
                       "Extended Properties=\"Text;HDR=Yes;IMEX=1;FMT=Delimited\"";
    for (const char* accepted :
         {text, "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Book.xlsx;Extended Properties=\"Excel 12.0 Xml; HDR=YES; IMEX=1\"",
          "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\d\\x.mdb", "DSN=shop", "DSN={a;b}", " provider = Microsoft.Jet.OLEDB.4.0 ; DATA SOURCE = /d ; "})
        EXPECT_EQ(CheckStoredConnection(accepted), "") << accepted;
    // Each refusal names the key.
    for (const auto& [refused, named] :
         std::vector<std::pair<const char*, const char*>> {{"DRIVER=x;DRIVER=/tmp/evil.so", "DRIVER"},
                                                           {"DSN=x;DSN=y", "DSN"},
                                                           {"DRIVER=SQLite3;Database=/tmp/x.db", "DRIVER"},
                                                           {"DSN=x;Database=/tmp/x.db;JournalMode=WAL", "DATABASE"},
                                                           {"DSN=x;LoadExt=/tmp/evil.so", "LOADEXT"},
                                                           {"FILEDSN=/tmp/x.dsn", "FILEDSN"},
                                                           {"DSN=x;SaveFile=/tmp/x.dsn", "SAVEFILE"},
                                                           {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d;Mode=Share", "MODE"},
                                                           {"Provider=Microsoft.Jet.OLEDB.4.0;Provider=SQLOLEDB;Data Source=/d", "PROVIDER"},
                                                           {"Provider=SQLOLEDB;Data Source=x", "SQLOLEDB"},
                                                           {"Data Source=\"unclosed", "closing quote"},
                                                           {"", "empty"}})
        EXPECT_TRUE(CheckStoredConnection(refused).contains(named)) << refused << ": " << CheckStoredConnection(refused).toStdString();
}

TEST(StoredSource, QueriesOnlyInTheWizardsShape)
{
    using Order = std::vector<std::pair<CString, bool>>;
    const std::vector<std::tuple<const char*, const char*, const char*, Order>> accepted = {
        {"SELECT * FROM `list.csv`  ORDER BY `Price` DESC, `Code` ASC", "`", "list.csv", {{"Price", true}, {"Code", false}}},
        {"SELECT * FROM `we``ird`  ORDER BY `a b` ASC", "`", "we`ird", {{"a b", false}}},
        {"SELECT * FROM `Items` ", "`", "Items", {}},
        {"SELECT * FROM ``", "`", "", {}},  // the version-3 form of an empty table name
        {"SELECT * FROM \"it\"\"s\" ", "\"", "it\"s", {}},
        {"SELECT * FROM Items  ORDER BY Code DESC", "", "Items", {{"Code", true}}},
    };
    for (const auto& [query, quote, table, order] : accepted) {
        CString why;
        const auto parsed = ParseStoredQuery(query, quote, &why);
        ASSERT_TRUE(parsed) << query << ": " << why.toStdString();
        EXPECT_EQ(parsed->table, table);
        EXPECT_EQ(parsed->order, order);
    }
    for (const char* refused :
         {"SELECT load_extension('/tmp/x.so')", "SELECT fts3_tokenizer('simple')", "SELECT zeroblob(1e9), zeroblob(1e9)",
          "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT * FROM r",
          "SELECT * FROM `t` WHERE 1", "SELECT * FROM `t`;", "SELECT * FROM `t`; DROP TABLE `t`", "select * from `t`",
          "SELECT * FROM `t`  ORDER BY `a`", "SELECT * FROM `t`  ORDER BY `a` ASC,`b` DESC", "SELECT * FROM `t",
          "SELECT * FROM `t` -- x", "SELECT * FROM `t`  ORDER BY (SELECT load_extension('x')) ASC",
          "SELECT * FROM `t`, `u`", "SELECT * FROM `t`  ", "SELECT * FROM t", "SELECT  * FROM `t`", ""})
        EXPECT_FALSE(ParseStoredQuery(refused, "`")) << refused;
    EXPECT_FALSE(ParseStoredQuery("SELECT * FROM `a b`", ""));
}

// The print-data grid runs what a label file stores: a refusal names the label file, and the
// names must be the source's.
TEST(StoredSource, ThePrintGridRunsOnlyStoredQueriesOfItsSource)
{
    UseLanguage("ENU");
    QTemporaryDir dir;
    WriteFile(dir, "list.csv", "Code,Name\nB,2\nA,1\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("list.csv"), connection));
    CPrnDataSelDBGrid grid;
    grid.SetLabelFile(dir.filePath("stranger.tag"));
    CString error;
    ASSERT_TRUE(grid.Open(connection, {}, {}, 0, &error)) << error.toStdString();
    ASSERT_TRUE(grid.Fill("SELECT * FROM `LIST.CSV`  ORDER BY `code` ASC", &error)) << error.toStdString();
    EXPECT_EQ(grid.GetValue(0, 1), "A");
    for (const char* query : {"SELECT fts3_tokenizer('simple')", "SELECT * FROM `other.csv` ",
                              "SELECT * FROM `list.csv`  ORDER BY `Price` ASC"}) {
        EXPECT_FALSE(grid.Fill(query, &error)) << query;
        EXPECT_TRUE(error.contains("stranger.tag")) << error.toStdString();
    }
    EXPECT_FALSE(grid.Open("DRIVER=x;DRIVER=/tmp/evil.so", {}, {}, 0, &error));
    EXPECT_TRUE(error.contains("stranger.tag") && error.contains("DRIVER")) << error.toStdString();
}

// Queries of the program's own (tests, the grids) run on the same engine: a deadline, a memory
// bound, and neither extensions nor the tokenizer's address.
TEST(StoredSource, TheEngineBoundsEveryQuery)
{
    UseLanguage("ENU");
    QTemporaryDir dir;
    WriteFile(dir, "t.csv", "a\n1\n");
    CBarcodeDB db;
    CString connection;
    ASSERT_TRUE(db.OpenFile(dir.filePath("t.csv"), connection));
    db.SetTimeLimit(1);
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"SELECT count(*) FROM (WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT n FROM r)",
         "longer than 1 seconds"},
        {"SELECT * FROM (WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT n FROM r) ORDER BY 1 DESC",
         "longer than 1 seconds"},
        {"SELECT zeroblob(1e9), zeroblob(1e9)", ""},
        {"SELECT load_extension('/nonexistent.so')", "not authorized"},
        {"SELECT fts3_tokenizer('simple')", "not authorized"},
    };
    for (const auto& [query, said] : cases) {
        QElapsedTimer t;
        t.start();
        try {
            db.OpenQuery(query);
            ADD_FAILURE() << query;
        } catch (const CBarcodeDBException& e) {
            EXPECT_TRUE(e.GetErrorMessage().contains(said)) << query << ": " << e.GetErrorMessage().toStdString();
        }
        // The limit is a second; only a query that ignores it gets this far.
        EXPECT_LT(t.elapsed(), HangBoundMs(20000)) << query;
    }
    EXPECT_EQ(Rows(db, "SELECT * FROM `t.csv`"), QStringList {"1"});
}

TEST(StoredSource, TheDelimiterGuessSkipsQuotedFields)
{
    for (const auto& [text, delimiter] : std::vector<std::pair<const char*, char>> {
             {"\"Name; Title\",Code\n", ','}, {"\"a,\"\"b\"\";c\";d\n", ';'}, {"a;b,c\n", ';'}, {"\"x\ny,z\";w\n", ';'}, {"abc", ','}})
        EXPECT_EQ(GuessDelimiter(text), delimiter) << text;
}

}  // namespace
