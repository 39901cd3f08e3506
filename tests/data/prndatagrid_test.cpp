// The print-data grid over the data engine: filling from a query, the table it offers to the
// print-data dialog, and failures of the source.

#include "data/prndatagrid.h"
#include "datatest.h"

namespace {

struct CsvSource {
    QTemporaryDir dir;
    CString connection;
    CString query;
    explicit CsvSource(const QByteArray& csv, const char* name = "list.csv")
    {
        WriteFile(dir, name, csv);
        CBarcodeDB db;
        EXPECT_TRUE(db.OpenFile(dir.filePath(name), connection)) << db.GetLastError().toStdString();
        query = "SELECT * FROM " + db.QuoteName(db.GetTextFileTable());
    }
};

TEST(PrnDataSelDBGrid, FillsEveryRecordAsTextBehindACheckColumn)
{
    UseLanguage("ENU");
    CsvSource source("Code,Name,Price\n00123,it's,1.50\n7,,2\n8,Z\xc3\xbcrich,3\n");
    CPrnDataSelDBGrid grid;
    CString error;
    ASSERT_TRUE(grid.Open(source.connection, {}, {}, 0, &error)) << error.toStdString();
    EXPECT_FALSE(grid.IsOpen());
    ASSERT_TRUE(grid.Fill(source.query, &error)) << error.toStdString();
    EXPECT_TRUE(grid.IsOpen());
    EXPECT_EQ(grid.GetConnectionString(), source.connection);

    ASSERT_EQ(grid.columnCount(), 4);
    ASSERT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.headerData(0, Qt::Horizontal).toString(), "Print");
    EXPECT_EQ(grid.FindColumn("Price"), 3);
    // Values stay as the source wrote them; a missing value is the empty text.
    const auto text = [&grid](int r, int c) { return grid.data(grid.index(r, c)).toString(); };
    EXPECT_EQ(QStringList({text(0, 1), text(0, 3), text(1, 2), text(2, 2)}),
              QStringList({"00123", "1.50", "", "Z\u00fcrich"}));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(grid.data(grid.index(r, 0), Qt::CheckStateRole), Qt::Checked);
        EXPECT_EQ(grid.GetRow(r).id, r);
        EXPECT_FALSE(grid.flags(grid.index(r, 2)) & Qt::ItemIsEditable);
    }

    // Unticking through the model records the row and tells the views.
    int changed = 0;
    QObject::connect(&grid, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    EXPECT_TRUE(grid.setData(grid.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(grid.data(grid.index(1, 0), Qt::CheckStateRole), Qt::Unchecked);
    EXPECT_EQ(grid.GetChangedRows().count(1), 1u);
    EXPECT_FALSE(grid.setData(grid.index(1, 2), "x", Qt::EditRole));

    // A refill starts over with every record ticked.
    ASSERT_TRUE(grid.Fill(source.query));
    EXPECT_TRUE(grid.GetChangedRows().empty());
    EXPECT_EQ(grid.data(grid.index(1, 0), Qt::CheckStateRole), Qt::Checked);

    grid.Close();
    EXPECT_FALSE(grid.IsOpen());
    EXPECT_TRUE(grid.GetConnectionString().isEmpty());
}

TEST(PrnDataSelDBGrid, FailuresOfTheSourceLeaveTheGridClosed)
{
    {
        // The data file is gone.
        CsvSource source("A\n1\n");
        CString connection = source.connection;
        QFile::remove(source.dir.filePath("list.csv"));
        source.dir.remove();
        CPrnDataSelDBGrid grid;
        CString error;
        EXPECT_FALSE(grid.Open(connection, {}, {}, 0, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(grid.IsOpen());
        EXPECT_FALSE(grid.Fill("SELECT 1"));
    }
    {
        // A query that does not run keeps the rows but is not open.
        CsvSource source("A\n1\n2\n");
        CPrnDataSelDBGrid grid;
        ASSERT_TRUE(grid.Open(source.connection, {}, {}, 0, nullptr));
        ASSERT_TRUE(grid.Fill(source.query));
        grid.Toggle(0);
        CString error;
        EXPECT_FALSE(grid.Fill("SELECT * FROM `nothing.csv`", &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(grid.IsOpen());
        EXPECT_EQ(grid.GetRowCount(), 2);
        EXPECT_TRUE(grid.GetChangedRows().empty());
        EXPECT_EQ(grid.GetAllCheckedFlag(), 1);
    }
}

}  // namespace
