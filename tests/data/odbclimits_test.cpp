// Long values and the query's deadline over ODBC, with the SQLite ODBC driver.
#include "datatest.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace {

const char* const kDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// A value whose every piece differs from its neighbours, ending in a character outside the
// Basic Multilingual Plane, so that a piece lost, repeated or cut shows.
std::string LongValue(std::size_t bytes)
{
    std::string value(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        value[i] = char('a' + (i / 4093 + i) % 26);
    value.replace(bytes - 4, 4, "\xF0\x9F\x93\xA6");
    return value;
}

class OdbcLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseLanguage("ENU");
        if (!QFileInfo::exists(kDriver))
            GTEST_SKIP() << "libsqliteodbc is not installed";
        // The data source names the driver's file itself, so no driver list is needed.
        OdbcSystemFolder();
        ASSERT_EQ(sqlite3_open(db.toUtf8().constData(), &h), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(h, "CREATE TABLE Short (N INTEGER); INSERT INTO Short VALUES (1), (2), (3)", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        WriteFile(dir, "odbc.ini", QStringLiteral("[Long]\nDriver=%1\nDatabase=%2\n").arg(kDriver, db).toUtf8());
        qputenv("ODBCINI", dir.filePath("odbc.ini").toUtf8());
    }
    void TearDown() override
    {
        sqlite3_close(h);
        qunsetenv("ODBCINI");
    }

    QTemporaryDir dir;
    const QString db = dir.filePath("long.db");
    sqlite3* h = nullptr;
};

TEST_F(OdbcLimits, LongValuesComeWholeWithinAPrintJobsTime)
{
    const std::string ten = LongValue(10 << 20);
    const std::string hundred = LongValue(100 << 20);
    ASSERT_EQ(sqlite3_exec(h, "CREATE TABLE Long (Id INTEGER, Value TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(h, "INSERT INTO Long VALUES (?, ?)", -1, &insert, nullptr), SQLITE_OK);
    for (const auto& [id, value] : {std::pair{1, &ten}, std::pair{2, &hundred}}) {
        sqlite3_bind_int(insert, 1, id);
        sqlite3_bind_text(insert, 2, value->data(), int(value->size()), SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);

    CBarcodeDB source;
    ASSERT_TRUE(source.OpenDSN("Long")) << source.GetLastError().toStdString();
    source.SetTimeLimit(CBarcodeDB::kPrintSeconds);
    std::unique_ptr<CRecordSet> set;
    try {
        set = source.OpenQuery("SELECT Id, Value FROM Long ORDER BY Id");
    } catch (const CBarcodeDBException& e) {
        FAIL() << e.GetErrorMessage().toStdString();
    }
    ASSERT_EQ(set->GetRecordCount(), 2);
    EXPECT_TRUE(set->GetText(0, 1).toStdString() == ten) << "the 10 MB value differs";
    EXPECT_TRUE(set->GetText(1, 1).toStdString() == hundred) << "the 100 MB value differs";
}

TEST_F(OdbcLimits, TheDeadlineHoldsBetweenRows)
{
    CBarcodeDB source;
    ASSERT_TRUE(source.OpenDSN("Long")) << source.GetLastError().toStdString();
    EXPECT_EQ(Rows(source, "SELECT N FROM Short ORDER BY N"), (QStringList{"1", "2", "3"}));
    // A limit already passed when the first row comes: the rows stop with the message.
    source.SetTimeLimit(0);
    try {
        source.OpenQuery("SELECT N FROM Short");
        ADD_FAILURE() << "the query ran past its deadline";
    } catch (const CBarcodeDBException& e) {
        EXPECT_EQ(e.GetErrorMessage(), "The query ran longer than 0 seconds and was stopped.");
    }
}

// Listing fields reads no row: a view whose every row fails lists its fields, and so does a table
// whose name is a catalog pattern beside tables it would match. A query that outlasts its limit
// inside the driver's one call is stopped there.
TEST_F(OdbcLimits, FieldsComeWithoutRowsAndEveryStepKeepsTheDeadline)
{
    ASSERT_EQ(sqlite3_exec(h,
                           "CREATE TABLE T (N INTEGER); INSERT INTO T VALUES (1);"
                           "CREATE VIEW Broken AS SELECT N AS Id, abs(-9223372036854775807 - N) AS Bad FROM T;"
                           "CREATE TABLE \"A_%\" (First TEXT, Second TEXT); CREATE TABLE \"AB%x\" (Other TEXT);"
                           "CREATE TABLE \"AxB%\" (Wrong TEXT);"
                           "CREATE VIEW Slow AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                           "WHERE x < 100000000000) SELECT count(*) AS Total FROM c;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    CBarcodeDB source;
    ASSERT_TRUE(source.OpenDSN("Long")) << source.GetLastError().toStdString();
    using Names = std::vector<CString>;
    for (const auto& [table, names] : {std::pair{"Broken", Names{"Id", "Bad"}}, std::pair{"A_%", Names{"First", "Second"}},
                                       std::pair{"Slow", Names{"Total"}}, std::pair{"Short", Names{"N"}}})
        EXPECT_NO_THROW(EXPECT_EQ(Fields(source, table), names) << table) << table;
    std::vector<CString> fields;
    EXPECT_THROW(source.GetFields("Missing", fields), CBarcodeDBException);
    EXPECT_THROW(source.OpenStoredQuery("SELECT * FROM \"Broken\""), CBarcodeDBException);

    source.SetTimeLimit(1);
    for (const bool stored : {true, false}) {
        try {
            stored ? source.OpenStoredQuery("SELECT * FROM \"Slow\"") : source.OpenQuery("SELECT Total FROM Slow");
            ADD_FAILURE() << "the query ran past its deadline";
        } catch (const CBarcodeDBException& e) {
            EXPECT_EQ(e.GetErrorMessage().toStdString(), "The query ran longer than 1 seconds and was stopped.") << stored;
        }
    }
}

}  // namespace
