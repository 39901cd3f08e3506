#pragma once
// A print-data grid whose records the test gives: it opens on any connection string and fills
// with the fields and records set beforehand. ScriptedGridMaker installs it as the documents'
// grid for its lifetime.

#include "document/printdatagrid.h"

class ScriptedGrid : public CPrintDataGrid {
public:
    BOOL Open(const CString& connection, const CString&, const CString&, int, CString*) override
    {
        m_strConnection = connection;
        return TRUE;
    }
    void Close() override
    {
        CPrintDataGrid::Close();
        open = false;
    }
    BOOL IsOpen() const override { return open; }
    BOOL Fill(const CString& sql, CString*) override
    {
        ForgetChanges();
        std::vector<std::unique_ptr<Row>> rows;
        rows.reserve(records.size());
        for (std::size_t i = 0; i < records.size(); ++i)
            rows.push_back(std::make_unique<Row>(Row {int(i), true, true, records[i]}));
        Reset(fields, std::move(rows));
        m_strQuery = sql;
        open = true;
        return TRUE;
    }
    std::vector<CString> fields;
    std::vector<std::vector<CString>> records;
    bool open = false;
};

struct ScriptedGridMaker {
    PrintDataGridMaker previous = SetPrintDataGridMaker([] { return std::make_unique<ScriptedGrid>(); });
    ~ScriptedGridMaker() { SetPrintDataGridMaker(previous); }
};
