#include "printing/prndataseldlg.h"

#include "document/printdatagrid.h"
#include "framework/resourcemodule.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/tablecolumns.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"
#include "framework/waitcursor.h"
#include "printing/printdataexport.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr int kPlaceholder = 191;
constexpr int kCheckAll = 3;
constexpr int kCheckNone = 4;
constexpr int kExport = 5;
constexpr UINT IDS_CANNOT_WRITE = 31;
constexpr UINT IDS_SAVED = 43;
constexpr UINT IDS_EXCEL_EXT = 124;
constexpr UINT IDS_EXCEL_FILTER = 302;
}  // namespace

CPrnDataSelDlg::CPrnDataSelDlg(CPrintDataGrid* grid, QWidget* parent) : QDialog(parent), m_grid(grid)
{
    if (!ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(kTemplate)))
        new QVBoxLayout(this);

    // The table takes the placeholder's place.
    m_table = new QTableView;
    if (QWidget* placeholder = GetDlgItem(this, kPlaceholder)) {
        ReplaceDlgControl(placeholder, m_table);
    } else {
        m_table->setParent(this);
        if (layout())
            layout()->addWidget(m_table);
    }
    m_table->setObjectName(QString::number(kPlaceholder));
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    QPalette colours = m_table->palette();
    colours.setColor(QPalette::AlternateBase, QColor(240, 240, 230));
    colours.setColor(QPalette::Highlight, QColor(255, 244, 204));
    colours.setColor(QPalette::HighlightedText, Qt::black);
    m_table->setPalette(colours);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setDefaultSectionSize(CPrintDataGrid::kColumnWidth);
    m_table->horizontalHeader()->setMinimumSectionSize(10);
    m_table->setModel(dynamic_cast<QAbstractItemModel*>(m_grid));
    KeepColumnsFitted(m_table);
    m_table->installEventFilter(this);
    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (m_grid && index.column() == 0)
            m_grid->Toggle(index.row());
    });

    if (auto* b = GetDlgItem<QAbstractButton>(this, kCheckAll))
        connect(b, &QAbstractButton::clicked, this, &CPrnDataSelDlg::OnCheckAll);
    if (auto* b = GetDlgItem<QAbstractButton>(this, kCheckNone))
        connect(b, &QAbstractButton::clicked, this, &CPrnDataSelDlg::OnCheckNone);
    if (auto* b = GetDlgItem<QAbstractButton>(this, kExport))
        connect(b, &QAbstractButton::clicked, this, &CPrnDataSelDlg::OnExport);
    m_table->setFocus();
}

CPrnDataSelDlg::~CPrnDataSelDlg()
{
    // The grid goes back to its document.
    m_table->setModel(nullptr);
}

bool CPrnDataSelDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        const QModelIndex current = m_table->currentIndex();
        if (m_grid && current.isValid())
            m_grid->Toggle(current.row());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CPrnDataSelDlg::OnCheckAll()
{
    if (m_grid)
        m_grid->SetAllChecked(true);
}

void CPrnDataSelDlg::OnCheckNone()
{
    if (m_grid)
        m_grid->SetAllChecked(false);
}

void CPrnDataSelDlg::OnExport()
{
    if (!m_grid)
        return;
    const CString ext = AfxLoadString(IDS_EXCEL_EXT);
    CFileDialog dialog(FALSE, ext, {}, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, AfxLoadString(IDS_EXCEL_FILTER), this);
    if (dialog.DoModal() != IDOK)
        return;
    CString error;
    BOOL written = FALSE;
    {
        CWaitCursor wait;
        written = ExportPrintDataToExcel(*m_grid, ext, dialog.GetPathName(), &error);
    }
    if (written)
        AfxMessageBox(IDS_SAVED, MB_OK | MB_ICONINFORMATION, this);
    else
        AfxMessageBox(AfxLoadString(IDS_CANNOT_WRITE) + u'\n' + error, MB_OK, this);
}
