#include "data/ui/dbsetupwizard.h"

#include "data/barcodedb.h"
#include "data/connstring.h"
#include "data/filesource.h"
#include "data/ui/dbgrid.h"
#include "framework/resourcemanager.h"
#include "framework/resourcemodule.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Strings.
constexpr UINT kStrWizardTitle = 14;
constexpr UINT kStrSourceSubtitle = 73;
constexpr UINT kStrTableSubtitle = 55;
constexpr UINT kStrSortSubtitle = 74;
constexpr UINT kStrChooseSource = 13;
constexpr UINT kStrFilter = 11;
constexpr UINT kStrDefaultExt = 12;
constexpr UINT kStrCannotOpen = 94;
constexpr UINT kWizardPicture = 161;
constexpr int kHeaderHeight = 48;

// Layouts and their controls.
constexpr UINT kSourcePage = 161;
constexpr UINT kTablePage = 158;
constexpr UINT kSortPage = 159;
constexpr UINT kPreviewPage = 160;
constexpr UINT kStrPreviewSubtitle = 72;
constexpr UINT kRowMarkerBitmap = 168;
constexpr int kPathEdit = 180;
constexpr int kSourceCombo = 133;
constexpr int kBrowse = 138;
constexpr int kFileRadio = 140;
constexpr int kOdbcRadio = 141;
constexpr int kTableList = 181;
constexpr int kFieldList = 185;
constexpr int kSortList = 184;
constexpr int kAdd = 138;
constexpr int kRemove = 141;
constexpr int kReset = 142;
constexpr int kUp = 182;
constexpr int kDown = 183;
constexpr int kAscending = 140;
constexpr int kDescending = 143;

constexpr UINT kStrOpenFailedCaption = 300;
constexpr UINT kStrOpenFailedText = 301;

CString String(UINT id)
{
    return CResourceModule::Get().LoadString(id);
}

void LoadPage(CPropertyPage* page, UINT templateId, UINT subtitleId)
{
    ApplyDialogLayout(page, CResourceModule::Get().LoadDialogLayout(templateId));
    page->SetHeaderTitle(String(kStrWizardTitle));
    page->SetHeaderSubTitle(String(subtitleId));
}

template <typename T>
T* Control(QWidget* page, int id)
{
    T* control = GetDlgItem<T>(page, id);
    Q_ASSERT(control);
    return control;
}

// The list box's search for a text, exact or by its beginning, case-blind, starting after
// the first entry and wrapping round.
int FindString(const std::vector<CString>& entries, const CString& text, bool exact)
{
    const int n = int(entries.size());
    for (int k = 1; k <= n; ++k) {
        const int i = k % n;
        const CString& entry = entries[size_t(i)];
        if (exact ? entry.compare(text, Qt::CaseInsensitive) == 0 : entry.startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

std::vector<CString> Entries(const QListWidget* list)
{
    std::vector<CString> entries;
    for (int i = 0; i < list->count(); ++i)
        entries.push_back(list->item(i)->text());
    return entries;
}

QListWidgetItem* SortItem(const CString& field, int direction)
{
    auto* item = new QListWidgetItem(field);
    item->setData(Qt::UserRole, direction);
    return item;
}

void SelectRow(QListWidget* list, int row)
{
    if (row >= list->count())
        row = list->count() - 1;
    list->setCurrentRow(row);
}

// Why a source did not open, as the data-access object tells it.
CString OpenFailure(const CBarcodeDB& db)
{
    return db.GetLastError().isEmpty() ? String(kStrCannotOpen) : db.GetLastError();
}

// Connection strings of data files name one of the two file providers.
bool IsFileConnection(const CString& connection)
{
    const std::optional<CConnectionString> parsed = CConnectionString::Parse(connection);
    return parsed && IsFileProvider(parsed->Value(QStringLiteral("Provider")));
}

}  // namespace

// --- query -----------------------------------------------------------------------------------

CString BuildQuery(const CString& connection, const CString& table, const std::vector<CDBSortEntry>& sort)
{
    CBarcodeDB db;
    db.OpenConnection(connection);
    return BuildQuery(db, connection, table, sort);
}

CString BuildQuery(CBarcodeDB& db, const CString& connection, const CString& table,
                   const std::vector<CDBSortEntry>& sort)
{
    const bool open = db.IsOpen();
    // A source that cannot be opened now still gets quoted names: a data file its own quote,
    // so the stored query runs as soon as the file is back, an ODBC source the standard one.
    const CString fallback = IsFileConnection(connection) ? QStringLiteral("`") : QStringLiteral("\"");
    auto quoted = [&](const CString& name) { return open ? db.QuoteName(name) : QuoteIdentifier(name, fallback); };
    try {
        CString order;
        for (const CDBSortEntry& entry : sort) {
            if (entry.direction != 0 && entry.direction != 1)
                continue;
            order += (order.isEmpty() ? QString() : QStringLiteral(", ")) + quoted(entry.field)
                     + (entry.direction == 0 ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
        }
        if (!order.isEmpty())
            order = QStringLiteral(" ORDER BY ") + order;
        return QStringLiteral("SELECT * FROM %1 %2").arg(quoted(table), order);
    } catch (const CBarcodeDBException&) {
        // A name the source cannot quote: no query rather than one with a name pasted in raw.
        return {};
    }
}

// --- page 1: source --------------------------------------------------------------------------

CWizDBDrvSelPage::CWizDBDrvSelPage(CWizDBSetupSheet* sheet) : CPropertyPage(kSourcePage), m_sheet(sheet)
{
    LoadPage(this, kSourcePage, kStrSourceSubtitle);
    m_path = Control<QLineEdit>(this, kPathEdit);
    m_sources = Control<QComboBox>(this, kSourceCombo);
    m_browse = Control<QAbstractButton>(this, kBrowse);
    m_file = Control<QRadioButton>(this, kFileRadio);
    m_odbc = Control<QRadioButton>(this, kOdbcRadio);
    connect(m_file, &QRadioButton::clicked, this, [this] { SetMode(false); });
    connect(m_odbc, &QRadioButton::clicked, this, [this] { SetMode(true); });
    connect(m_browse, &QAbstractButton::clicked, this, &CWizDBDrvSelPage::OnBrowse);
}

BOOL CWizDBDrvSelPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_sources->clear();
    for (const CString& name : GetOdbcDataSourceNames())
        m_sources->addItem(name);
    m_sources->setCurrentIndex(-1);
    m_file->setChecked(true);
    SetMode(false);
    m_path->setText(m_sheet->State().dataFilePath);
    return TRUE;
}

void CWizDBDrvSelPage::SetMode(bool odbc)
{
    m_path->setVisible(!odbc);
    m_browse->setVisible(!odbc);
    m_sources->setVisible(odbc);
    m_sheet->State().kind = odbc ? 1 : 0;
}

void CWizDBDrvSelPage::OnBrowse()
{
    CFileDialog dialog(TRUE, String(kStrDefaultExt), {}, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, String(kStrFilter),
                       this);
    if (dialog.DoModal() == IDOK)
        m_path->setText(dialog.GetPathName());
}

BOOL CWizDBDrvSelPage::OnSetActive()
{
    m_sheet->SetWizardButtons(PSWIZB_NEXT | PSWIZB_DISABLEDFINISH);
    m_path->setText(m_sheet->State().dataFilePath);
    return CPropertyPage::OnSetActive();
}

BOOL CWizDBDrvSelPage::Validate()
{
    CDBSetupState& state = m_sheet->State();
    if (m_file->isChecked()) {
        if (m_path->text().isEmpty()) {
            AfxMessageBox(kStrChooseSource, MB_ICONWARNING, this);
            return FALSE;
        }
        state.dataFilePath = m_path->text();
        return TRUE;
    }
    if (m_odbc->isChecked()) {
        if (m_sources->currentText().isEmpty()) {
            AfxMessageBox(kStrChooseSource, MB_ICONWARNING, this);
            m_sources->showPopup();
            return FALSE;
        }
        state.dataSourceName = m_sources->currentText();
        // Written as the data-access object opens it: a name holding ";" cannot add keys.
        state.connection = QStringLiteral("DSN=") + CConnectionString::QuoteValue(state.dataSourceName, true);
        return TRUE;
    }
    return FALSE;
}

LRESULT CWizDBDrvSelPage::OnWizardNext()
{
    return Validate() ? CPropertyPage::OnWizardNext() : -1;
}

BOOL CWizDBDrvSelPage::OnWizardFinish()
{
    return Validate();
}

// --- page 2: table ---------------------------------------------------------------------------

CWizDBTableSelPage::CWizDBTableSelPage(CWizDBSetupSheet* sheet) : CPropertyPage(kTablePage), m_sheet(sheet)
{
    LoadPage(this, kTablePage, kStrTableSubtitle);
    m_list = Control<QListWidget>(this, kTableList);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_sheet->State().table = m_list->item(row)->text();
    });
}

int CWizDBTableSelPage::FindTable(const std::vector<CString>& tables, const CString& name)
{
    // No table chosen yet (a new label) finds none, so the first table is offered; as a prefix
    // the empty name would match every entry and the search would stop at the second.
    if (name.isEmpty())
        return -1;
    const int exact = FindString(tables, name, true);
    return exact >= 0 ? exact : FindString(tables, name, false);
}

std::vector<CString> CWizDBTableSelPage::ListTables()
{
    CDBSetupState& state = m_sheet->State();
    std::vector<CString> tables;
    CBarcodeDB db;
    try {
        bool open;
        if (state.kind == 1) {
            open = db.OpenDSN(state.dataSourceName);
        } else {
            open = db.OpenFile(state.dataFilePath, state.connection);
        }
        if (!open) {
            AfxMessageBox(OpenFailure(db), MB_ICONERROR, this);
        } else if (state.kind != 1 && IsTextFilePath(state.dataFilePath)) {
            tables.push_back(db.GetTextFileTable());
        } else {
            db.GetTables(tables);
        }
    } catch (const CBarcodeDBException& e) {
        tables.clear();
        AfxMessageBox(e.GetErrorMessage(), MB_ICONERROR, this);
    }
    db.Close();
    return tables;
}

BOOL CWizDBTableSelPage::OnSetActive()
{
    m_sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH);
    const std::vector<CString> tables = ListTables();
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (const CString& table : tables)
        m_list->addItem(table);
    if (!tables.empty()) {
        const int found = FindTable(tables, m_sheet->State().table);
        m_list->setCurrentRow(found >= 0 ? found : 0);
        m_sheet->State().table = m_list->currentItem()->text();
    }
    return CPropertyPage::OnSetActive();
}

// --- page 3: sort ----------------------------------------------------------------------------

CWizDBFieldSortPage::CWizDBFieldSortPage(CWizDBSetupSheet* sheet) : CPropertyPage(kSortPage), m_sheet(sheet)
{
    LoadPage(this, kSortPage, kStrSortSubtitle);
    m_fields = Control<QListWidget>(this, kFieldList);
    m_sort = Control<QListWidget>(this, kSortList);
    m_ascending = Control<QRadioButton>(this, kAscending);
    m_descending = Control<QRadioButton>(this, kDescending);
    connect(Control<QAbstractButton>(this, kAdd), &QAbstractButton::clicked, this, &CWizDBFieldSortPage::OnAdd);
    connect(Control<QAbstractButton>(this, kRemove), &QAbstractButton::clicked, this, &CWizDBFieldSortPage::OnRemove);
    connect(Control<QAbstractButton>(this, kReset), &QAbstractButton::clicked, this, &CWizDBFieldSortPage::OnReset);
    connect(Control<QAbstractButton>(this, kUp), &QAbstractButton::clicked, this, [this] { OnMove(-1); });
    connect(Control<QAbstractButton>(this, kDown), &QAbstractButton::clicked, this, [this] { OnMove(1); });
    connect(m_ascending, &QRadioButton::clicked, this, [this] { OnDirection(0); });
    connect(m_descending, &QRadioButton::clicked, this, [this] { OnDirection(1); });
    connect(m_sort, &QListWidget::currentRowChanged, this, &CWizDBFieldSortPage::UpdateButtons);
}

BOOL CWizDBFieldSortPage::OnSetActive()
{
    CDBSetupState& state = m_sheet->State();
    m_sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH);
    const QSignalBlocker blockFields(m_fields), blockSort(m_sort);
    m_fields->clear();
    m_sort->clear();
    m_listingFailed = false;
    CBarcodeDB db;
    if (!db.OpenConnection(state.connection)) {
        MessageBox(this, String(kStrOpenFailedText), String(kStrOpenFailedCaption), MB_ICONERROR);
        return FALSE;
    }
    std::vector<CString> fields;
    try {
        db.GetFields(state.table, fields);
    } catch (const CBarcodeDBException& e) {
        m_listingFailed = true;
        AfxMessageBox(e.GetErrorMessage(), MB_ICONERROR, this);
    }
    db.Close();
    for (const CString& field : fields)
        m_fields->addItem(field);
    for (const CDBSortEntry& entry : state.sortList) {
        const int found = FindString(Entries(m_fields), entry.field, true);
        if (found < 0)
            continue;
        m_sort->addItem(SortItem(m_fields->item(found)->text(), entry.direction));
        delete m_fields->takeItem(found);
    }
    m_fields->setCurrentRow(0);
    m_sort->setCurrentRow(0);
    UpdateButtons();
    return CPropertyPage::OnSetActive();
}

void CWizDBFieldSortPage::UpdateButtons()
{
    const int s = m_sort->currentRow();
    const int n = m_sort->count();
    Control<QWidget>(this, kAdd)->setEnabled(m_fields->count() >= 1);
    Control<QWidget>(this, kRemove)->setEnabled(n >= 1);
    Control<QWidget>(this, kReset)->setEnabled(n >= 1);
    Control<QWidget>(this, kUp)->setEnabled(n > 1 && s > 0);
    Control<QWidget>(this, kDown)->setEnabled(n > 1 && s < n - 1);
    m_ascending->setEnabled(s >= 0);
    m_descending->setEnabled(s >= 0);
    // Both unchecked first: radios of one group allow no state with neither checked otherwise.
    m_ascending->setAutoExclusive(false);
    m_descending->setAutoExclusive(false);
    const int direction = s >= 0 ? m_sort->item(s)->data(Qt::UserRole).toInt() : -1;
    m_ascending->setChecked(direction == 0);
    m_descending->setChecked(direction == 1);
    m_ascending->setAutoExclusive(true);
    m_descending->setAutoExclusive(true);
}

void CWizDBFieldSortPage::OnAdd()
{
    const int row = m_fields->currentRow();
    if (row >= 0) {
        const QSignalBlocker block(m_sort);
        QListWidgetItem* item = m_fields->takeItem(row);
        m_sort->addItem(SortItem(item->text(), 0));
        delete item;
        m_sort->setCurrentRow(m_sort->count() - 1);
        SelectRow(m_fields, row);
    }
    UpdateButtons();
}

void CWizDBFieldSortPage::OnRemove()
{
    const int row = m_sort->currentRow();
    if (row >= 0) {
        const QSignalBlocker block(m_sort);
        QListWidgetItem* item = m_sort->takeItem(row);
        m_fields->addItem(item->text());
        delete item;
        m_fields->setCurrentRow(m_fields->count() - 1);
        SelectRow(m_sort, row);
    }
    UpdateButtons();
}

void CWizDBFieldSortPage::OnMove(int step)
{
    const int row = m_sort->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_sort->count())
        return;
    const QSignalBlocker block(m_sort);
    QListWidgetItem* item = m_sort->takeItem(row);
    m_sort->insertItem(target, item);
    m_sort->setCurrentRow(target);
    UpdateButtons();
}

void CWizDBFieldSortPage::OnReset()
{
    m_sheet->State().sortList.clear();
    OnSetActive();
}

void CWizDBFieldSortPage::OnDirection(int direction)
{
    if (QListWidgetItem* item = m_sort->currentItem())
        item->setData(Qt::UserRole, direction);
}

void CWizDBFieldSortPage::StoreSortList()
{
    if (m_listingFailed)
        return;
    std::vector<CDBSortEntry>& list = m_sheet->State().sortList;
    list.clear();
    for (int i = 0; i < m_sort->count(); ++i)
        list.push_back({m_sort->item(i)->text(), m_sort->item(i)->data(Qt::UserRole).toInt()});
}

BOOL CWizDBFieldSortPage::OnKillActive()
{
    StoreSortList();
    return CPropertyPage::OnKillActive();
}

BOOL CWizDBFieldSortPage::OnWizardFinish()
{
    StoreSortList();
    return CPropertyPage::OnWizardFinish();
}

// --- page 4: preview ------------------------------------------------------------------------

CWizDBDataPreviewPage::CWizDBDataPreviewPage(CWizDBSetupSheet* sheet) : CPropertyPage(kPreviewPage), m_sheet(sheet)
{
    LoadPage(this, kPreviewPage, kStrPreviewSubtitle);
    QWidget* form = Control<QWidget>(this, kPreviewPage);
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    m_grid = new CExBCGPODBCGridCtrl(form);
    layout->addWidget(m_grid);
    CResourceManager* images = CResourceManager::GetInstance();
    images->LoadImages(kRowMarkerBitmap);
    const QImage marker = images->GetImage(kRowMarkerBitmap, 1);
    if (!marker.isNull())
        m_grid->Model()->SetRowMarker(QIcon(QPixmap::fromImage(marker)));
}

CWizDBDataPreviewPage::~CWizDBDataPreviewPage() = default;

BOOL CWizDBDataPreviewPage::OnSetActive()
{
    const CDBSetupState& state = m_sheet->State();
    m_sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool open = m_grid->OpenConnectionString(state.connection);
    m_grid->SetDbSort(FALSE);
    m_grid->EnableVirtualMode();
    m_grid->SetReadOnly();
    m_grid->SetWholeRowSel();
    if (open)
        m_grid->OpenQuery(BuildQuery(m_grid->Database(), state.connection, state.table, state.sortList));
    QApplication::restoreOverrideCursor();
    return CPropertyPage::OnSetActive();
}

BOOL CWizDBDataPreviewPage::OnKillActive()
{
    m_grid->CloseSource();
    return CPropertyPage::OnKillActive();
}

// --- the sheet -------------------------------------------------------------------------------

CWizDBSetupSheet::CWizDBSetupSheet(CDBSetupState& state, QWidget* parent)
    : CPropertySheet({}, parent), m_state(state), m_source(this), m_table(this), m_sort(this), m_preview(this)
{
    SetWizardMode(true);
    SetFlags(GetFlags() | PSH_NOAPPLYNOW);
    const QImage picture = CResourceModule::Get().LoadBitmap(kWizardPicture);
    if (!picture.isNull())
        SetHeaderBitmap(QPixmap::fromImage(picture.scaledToHeight(kHeaderHeight, Qt::SmoothTransformation)));
    AddPage(&m_source);
    AddPage(&m_table);
    AddPage(&m_sort);
    AddPage(&m_preview);
}

CWizDBSetupSheet::~CWizDBSetupSheet() = default;

CString CWizDBSetupSheet::BuildQuery() const
{
    return ::BuildQuery(m_state.connection, m_state.table, m_state.sortList);
}

int RunDatabaseSetup(CDrawDoc* doc, QWidget* parent)
{
    CWizDBSetupSheet sheet(doc->GetDBSetupState(), parent);
    const int result = sheet.DoModal();
    if (result == ID_WIZFINISH) {
        const CDBSetupState& state = sheet.State();
        doc->SetTableName(state.table);
        doc->SetQuery(sheet.BuildQuery());
        doc->SetConnectionString(state.connection);
        doc->SetDataSourceName(state.dataSourceName);
        doc->SetDataFilePath(state.dataFilePath);
        const auto kind = quint32(state.kind);
        doc->SetDataSourceKind({BYTE(kind), BYTE(kind >> 8), BYTE(kind >> 16), BYTE(kind >> 24)});
        doc->SetModifiedFlag(TRUE);
    }
    return result;
}
