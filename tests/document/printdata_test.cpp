// The document's print-data grid: reducing it to the ticked records, and the record values that
// bound objects print while a job runs.

#include "document/drawdoc.h"
#include "framework/recordingdc.h"
#include "objects/drawtext.h"
#include "objects/xmlhelper.h"
#include "support/scriptedgrid.h"

#include <gtest/gtest.h>

namespace {

// A document on connection "C" whose grid holds `n` records of fields A and B ("a0", "b0", ...).
struct Doc {
    ScriptedGridMaker maker;
    CDrawDoc doc;
    ScriptedGrid* grid = nullptr;
    explicit Doc(int n)
    {
        doc.SetConnectionString("C");
        doc.SetTableName("T");
        doc.SetQuery("select");
        grid = static_cast<ScriptedGrid*>(doc.GetPrintDataGrid());
        grid->fields = {"A", "B"};
        for (int i = 0; i < n; ++i)
            grid->records.push_back({QString("a%1").arg(i), QString("b%1").arg(i)});
        grid->Open("C", {}, {}, 0, nullptr);
        grid->Fill("select", nullptr);
    }
    std::vector<int> Ids() const
    {
        std::vector<int> ids;
        for (int i = 0; i < grid->GetRowCount(); ++i)
            ids.push_back(grid->GetRow(i).id);
        return ids;
    }
};

TEST(PrintDataGrid, FillingForPrintKeepsTheTickedRowsInIdOrder)
{
    // Check none, then tick 5 and 2: both orders give the two rows by id.
    for (const std::vector<int>& ticks : {std::vector<int> {2, 5}, std::vector<int> {5, 2}}) {
        Doc d(8);
        d.grid->SetAllChecked(false);
        for (int row : ticks)
            d.grid->Toggle(row);
        EXPECT_EQ(d.doc.FillPrintDataGrid(), 2);
        EXPECT_EQ(d.Ids(), (std::vector<int> {2, 5}));
        EXPECT_EQ(d.grid->GetValue(1, 2), "b5");
    }
    {
        // Unticking row 3 removes it; a row unticked and ticked again stays.
        Doc d(8);
        d.grid->Toggle(3);
        d.grid->Toggle(6);
        d.grid->Toggle(6);
        EXPECT_EQ(d.grid->GetChangedRows().size(), 2u);
        EXPECT_EQ(d.doc.FillPrintDataGrid(), 7);
        EXPECT_EQ(d.Ids(), (std::vector<int> {0, 1, 2, 4, 5, 6, 7}));
    }
    {
        // Check all after check none: every row counts, earlier changes notwithstanding.
        Doc d(8);
        d.grid->SetAllChecked(false);
        d.grid->Toggle(1);
        d.grid->SetAllChecked(true);
        EXPECT_EQ(d.grid->GetAllCheckedFlag(), 1);
        EXPECT_EQ(d.doc.FillPrintDataGrid(), 8);
    }
}

// A data-bound text object of the document, storing "STORED".
CDrawText* BoundText(CDrawDoc& doc)
{
    auto* text = new CDrawText(CRect(0, 0, 1000, 300), nullptr, "STORED");
    text->Content().mode = CONTENT_DATA;
    doc.Add(text);
    return text;
}

TEST(PrintDataGrid, BoundObjectsPrintTheRecordOfTheirLabel)
{
    Doc d(5);
    CDrawText* text = BoundText(d.doc);
    AddDataItem(text->Content(), "T", "A", "No. ", "<TAB>");
    AddDataItem(text->Content(), "", "B", "<", ">");
    AddDataItem(text->Content(), "", "Missing", "[", "]");
    AddDataItem(text->Content(), "Other", "A", "(", ")");

    CRecordingDC printer(CSize(2480, 3508), 300, true);
    CRecordingDC screen;
    // Before the job begins there are no records.
    EXPECT_EQ(text->GetDrawString(&printer, 1), "STORED");

    d.doc.BeginPrintRecords();
    EXPECT_EQ(text->GetDrawString(&printer, 0), "No. a0\t<b0>[]()");
    EXPECT_EQ(text->GetDrawString(&printer, 4), "No. a4\t<b4>[]()");
    // Past the last record, on the screen and when measuring the stored text stays.
    EXPECT_EQ(text->GetDrawString(&printer, 5), "STORED");
    EXPECT_EQ(text->GetDrawString(&screen, 1), "STORED");
    EXPECT_EQ(text->GetDrawString(nullptr, 1), "STORED");
    // Fixed and serial objects do not read records.
    text->Content().mode = CONTENT_FIXED;
    EXPECT_EQ(text->GetDrawString(&printer, 1), "STORED");
    text->Content().mode = CONTENT_DATA;

    // The records are those the grid holds when the job begins: after a choice, row i is the
    // i-th chosen record.
    d.doc.EndPrintRecords();
    d.grid->Toggle(0);
    d.grid->Toggle(2);
    d.doc.FillPrintDataGrid();
    d.doc.BeginPrintRecords();
    EXPECT_EQ(text->GetDrawString(&printer, 0), "No. a1\t<b1>[]()");
    EXPECT_EQ(text->GetDrawString(&printer, 1), "No. a3\t<b3>[]()");
    EXPECT_EQ(text->GetDrawString(&printer, 3), "STORED");
    d.doc.EndPrintRecords();
    EXPECT_EQ(text->GetDrawString(&printer, 0), "STORED");
}

TEST(PrintDataGrid, AJobWithoutRecordsOfTheDocumentsSourcePrintsTheStoredText)
{
    CRecordingDC printer(CSize(2480, 3508), 300, true);
    {
        // The grid was filled on another connection string.
        Doc d(3);
        CDrawText* text = BoundText(d.doc);
        AddDataItem(text->Content(), "", "A", "", "");
        d.doc.SetConnectionString("D");
        d.doc.BeginPrintRecords();
        EXPECT_EQ(text->GetDrawString(&printer, 0), "STORED");
        // Nor when the document's query changed (another table of the same folder).
        d.doc.SetConnectionString("C");
        d.doc.SetQuery("other");
        d.doc.BeginPrintRecords();
        EXPECT_EQ(text->GetDrawString(&printer, 0), "STORED");
        d.doc.SetQuery("select");
        d.doc.BeginPrintRecords();
        EXPECT_EQ(text->GetDrawString(&printer, 0), "a0");
        // A grid whose connection failed or was closed holds no records either.
        d.doc.SetConnectionString("C");
        d.grid->Close();
        d.doc.BeginPrintRecords();
        EXPECT_EQ(text->GetDrawString(&printer, 0), "STORED");
    }
    {
        // Without a data layer the document's grid cannot be opened.
        CDrawDoc doc;
        doc.SetConnectionString("C");
        CString error;
        EXPECT_FALSE(doc.GetPrintDataGrid()->Open("C", {}, {}, 0, &error));
        EXPECT_FALSE(error.isEmpty());
        CDrawText* text = BoundText(doc);
        AddDataItem(text->Content(), "", "A", "", "");
        doc.BeginPrintRecords();
        EXPECT_EQ(text->GetDrawString(&printer, 0), "STORED");
    }
}

}  // namespace
