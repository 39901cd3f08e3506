#pragma once
// The database set-up wizard: a source (a data file or an ODBC data source), one table of it,
// an optional sort order over its fields and a preview of the records. The sheet and its pages
// are built for each run over the choices the document keeps (CDBSetupState), so a second run
// starts from the first run's choices and a Cancel keeps whatever the pages stored.

#include "document/drawdoc.h"
#include "framework/ui/propertysheet.h"

class CBarcodeDB;
class CDrawDoc;
class CExBCGPODBCGridCtrl;
class CWizDBSetupSheet;
class QAbstractButton;
class QComboBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

// The query of a table and its sort fields: every name quoted with the source's identifier
// quote (a quote inside a name doubled), two spaces before ORDER BY, one space at the end when
// nothing is sorted. Directions other than 0 and 1 add nothing. An ODBC source without a
// quote character takes plain identifiers only: any other name gives an empty query. A source
// that does not open now is quoted with "`" when it is a data file, with '"' otherwise.
CString BuildQuery(const CString& connection, const CString& table, const std::vector<CDBSortEntry>& sort);
// The same on a source already open (or that failed to open with that connection string).
CString BuildQuery(CBarcodeDB& db, const CString& connection, const CString& table,
                   const std::vector<CDBSortEntry>& sort);

// Page 1: a data file (edit and browse button) or an ODBC data source (combo box).
class CWizDBDrvSelPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CWizDBDrvSelPage(CWizDBSetupSheet* sheet);
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnWizardFinish() override;

private:
    void SetMode(bool odbc);
    void OnBrowse();
    // Stores the path or the data source name; FALSE, after telling the user, when it is empty.
    BOOL Validate();

    CWizDBSetupSheet* m_sheet;
    QLineEdit* m_path;
    QComboBox* m_sources;
    QAbstractButton* m_browse;
    QRadioButton* m_file;
    QRadioButton* m_odbc;
};

// Page 2: the tables of the source; the one chosen before stays chosen.
class CWizDBTableSelPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CWizDBTableSelPage(CWizDBSetupSheet* sheet);
    BOOL OnSetActive() override;

    // The row of the entry that stands for a stored table name: the same name (case-blind),
    // else the first that begins with it, looking after the first entry and wrapping round;
    // -1 when none does, and always for an empty name.
    static int FindTable(const std::vector<CString>& tables, const CString& name);

private:
    std::vector<CString> ListTables();

    CWizDBSetupSheet* m_sheet;
    QListWidget* m_list;
};

// Page 3: the fields of the table, and the sort fields in order with their directions.
class CWizDBFieldSortPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CWizDBFieldSortPage(CWizDBSetupSheet* sheet);
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnWizardFinish() override;

private:
    void UpdateButtons();
    void OnAdd();
    void OnRemove();
    void OnMove(int step);
    void OnReset();
    void OnDirection(int direction);
    void StoreSortList();

    CWizDBSetupSheet* m_sheet;
    QListWidget* m_fields;
    QListWidget* m_sort;
    QRadioButton* m_ascending;
    QRadioButton* m_descending;
    // The fields could not be listed: the stored sort list is left as it was.
    bool m_listingFailed = false;
};

// Page 4: the records of the query in a read-only grid, one whole row selected at a time.
class CWizDBDataPreviewPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CWizDBDataPreviewPage(CWizDBSetupSheet* sheet);
    ~CWizDBDataPreviewPage() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    CExBCGPODBCGridCtrl* Grid() const { return m_grid; }

private:
    CWizDBSetupSheet* m_sheet;
    CExBCGPODBCGridCtrl* m_grid;
};

class CWizDBSetupSheet : public CPropertySheet {
    Q_OBJECT
public:
    // The wizard over the document's choices; the pages are the sheet's own.
    explicit CWizDBSetupSheet(CDBSetupState& state, QWidget* parent = nullptr);
    ~CWizDBSetupSheet() override;

    CDBSetupState& State() { return m_state; }
    // The query of the chosen table and sort fields.
    CString BuildQuery() const;
    CWizDBDataPreviewPage& PreviewPage() { return m_preview; }

private:
    CDBSetupState& m_state;
    CWizDBDrvSelPage m_source;
    CWizDBTableSelPage m_table;
    CWizDBFieldSortPage m_sort;
    CWizDBDataPreviewPage m_preview;
};

// Runs the wizard on the document; on Finish the choice goes into the document's data-source
// settings and the document is marked modified. Returns the wizard's result.
int RunDatabaseSetup(CDrawDoc* doc, QWidget* parent);
