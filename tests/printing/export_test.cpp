// The export of the chosen print data to an Excel 97-2003 workbook, read back with freexl.

#include "printing/biffworkbook.h"
#include "printing/printdataexport.h"
#include "support/scriptedgrid.h"
#include "support/testoutput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <freexl.h>
#include <gtest/gtest.h>

namespace {

// The worksheets of a workbook: name and cells (an empty cell reads as "<null>").
struct Workbook {
    bool ok = false;
    std::vector<std::string> sheets;
    std::vector<std::vector<std::string>> cells;  // of the first sheet
};

Workbook Read(const QString& path)
{
    Workbook book;
    const void* handle = nullptr;
    if (freexl_open(QFile::encodeName(path).constData(), &handle) != FREEXL_OK)
        return book;
    unsigned int count = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count);
    for (unsigned short i = 0; i < count; ++i) {
        const char* name = nullptr;
        freexl_get_worksheet_name(handle, i, &name);
        book.sheets.push_back(name ? name : "");
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (count > 0 && freexl_select_active_worksheet(handle, 0) == FREEXL_OK &&
        freexl_worksheet_dimensions(handle, &rows, &columns) == FREEXL_OK) {
        book.ok = true;
        for (unsigned int r = 0; r < rows; ++r) {
            std::vector<std::string> row;
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell;
                if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK)
                    row.push_back("<error>");
                else if (cell.type == FREEXL_CELL_SST_TEXT || cell.type == FREEXL_CELL_TEXT)
                    row.push_back(cell.value.text_value);
                else if (cell.type == FREEXL_CELL_NULL)
                    row.push_back("<null>");
                else
                    row.push_back("<other>");
            }
            book.cells.push_back(row);
        }
    }
    freexl_close(handle);
    return book;
}

// A filled grid of the fields and records.
struct Grid {
    ScriptedGrid grid;
    Grid(std::vector<CString> fields, std::vector<std::vector<CString>> records)
    {
        grid.fields = std::move(fields);
        grid.records = std::move(records);
        grid.Fill({}, nullptr);
    }
};

class PrintDataExport : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// The script of the test suite reads this workbook back with another reader (xlrd).
TEST_F(PrintDataExport, TheTickedRowsFollowTheHeaderAsText)
{
    const CString longText(10000, u'x');
    const CString longWide = CString(4100, u'\u6578') + "end";  // past one record in UTF-16
    Grid g({"Code", "Unit Price", "City"}, {{"00123", "it's", "Z\u00fcrich"},
                                            {"skipped", "", ""},
                                            {"", longText, "NULL is empty"},
                                            {"4", "5", longWide}});
    g.grid.Toggle(1);
    const QString path = TestOutputDir() + "/export-sample.xls";
    CString error;
    ASSERT_TRUE(ExportPrintDataToExcel(g.grid, "xls", path, &error)) << error.toStdString();
    const Workbook book = Read(path);
    ASSERT_TRUE(book.ok);
    EXPECT_EQ(book.sheets, (std::vector<std::string> {"xls"}));
    ASSERT_EQ(book.cells.size(), 4u);
    EXPECT_EQ(book.cells[0], (std::vector<std::string> {"Code", "Unit Price", "City"}));
    EXPECT_EQ(book.cells[1], (std::vector<std::string> {"00123", "it's", "Z\u00fcrich"}));
    EXPECT_EQ(book.cells[2], (std::vector<std::string> {"<null>", longText.toStdString(), "NULL is empty"}));
    EXPECT_EQ(book.cells[3], (std::vector<std::string> {"4", "5", longWide.toStdString()}));
}

TEST_F(PrintDataExport, ManySharedStringsCrossRecordBoundaries)
{
    // Texts of every length from 1 to 60, some repeated, some outside Latin-1: string headers
    // and characters land on every position of the records.
    std::vector<std::vector<CString>> records;
    for (int i = 0; i < 3000; ++i) {
        const CString text = QString("%1:").arg(i % 2500) + CString(i % 60, i % 7 == 0 ? u'\u00e9' : u'\u4e2d');
        records.push_back({text, QString::number(i)});
    }
    Grid g({"A", "B"}, records);
    const QString path = Path("many.xls");
    CString error;
    ASSERT_TRUE(ExportPrintDataToExcel(g.grid, "xls", path, &error)) << error.toStdString();
    const Workbook book = Read(path);
    ASSERT_EQ(book.cells.size(), records.size() + 1);
    for (std::size_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(book.cells[i + 1][0], records[i][0].toStdString()) << "row " << i;
        ASSERT_EQ(book.cells[i + 1][1], records[i][1].toStdString()) << "row " << i;
    }
}

TEST_F(PrintDataExport, NoTickedRowsGiveTheHeaderAlone)
{
    Grid g({"A", "B"}, {{"1", "2"}});
    g.grid.SetAllChecked(false);
    const QString path = Path("empty.xls");
    ASSERT_TRUE(ExportPrintDataToExcel(g.grid, "xls", path, nullptr));
    const Workbook book = Read(path);
    EXPECT_EQ(book.cells, (std::vector<std::vector<std::string>> {{"A", "B"}}));
}

TEST_F(PrintDataExport, WhatTheFormatCannotHoldIsRefusedBeforeWriting)
{
    const QString path = Path("old.xls");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the old file");
    }
    auto unchanged = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "the old file" &&
               QDir(dir.path()).entryList(QDir::Files).size() == 1;
    };
    {
        std::vector<std::vector<CString>> records(70000, std::vector<CString> {"v"});
        Grid g({"A"}, records);
        CString error;
        EXPECT_FALSE(ExportPrintDataToExcel(g.grid, "xls", path, &error));
        // The message counts every row: 70,000 records and the header.
        EXPECT_TRUE(error.contains("70001 rows") && error.contains("65536")) << error.toStdString();
        EXPECT_TRUE(unchanged());
        // 65,535 records and the header fit.
        g.grid.SetAllChecked(false);
        for (int i = 0; i < 65535; ++i)
            g.grid.Toggle(i);
        ASSERT_TRUE(ExportPrintDataToExcel(g.grid, "xls", Path("full.xls"), &error)) << error.toStdString();
        EXPECT_EQ(Read(Path("full.xls")).cells.size(), 65536u);
        QFile::remove(Path("full.xls"));
    }
    // Too many columns, or a cell too long.
    const struct { std::vector<CString> fields; std::vector<std::vector<CString>> records; const char* limit; }
        refused[] = {{std::vector<CString>(257, "F"), {}, "256"}, {{"A"}, {{CString(32768, u'y')}}, "32767"}};
    for (const auto& c : refused) {
        Grid g(c.fields, c.records);
        CString error;
        EXPECT_FALSE(ExportPrintDataToExcel(g.grid, "xls", path, &error));
        EXPECT_TRUE(error.contains(c.limit)) << error.toStdString();
        EXPECT_TRUE(unchanged());
    }
    {
        // A folder that does not exist.
        Grid g({"A"}, {{"1"}});
        CString error;
        EXPECT_FALSE(ExportPrintDataToExcel(g.grid, "xls", Path("missing/out.xls"), &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
