#include "printing/tagprintdlg.h"

#include "document/drawdoc.h"
#include "framework/printjob.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"
#include "framework/waitcursor.h"
#include "printing/labelcount.h"
#include "printing/prndataseldlg.h"
#include "printing/sheetlayout.h"
#include "printing/tagselectdlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QScrollBar>
#include <QShowEvent>

#include <limits>

namespace {
constexpr int kCountBox = 158;
constexpr int kCountUpDown = 159;
constexpr int kSelectLabels = 3;
constexpr int kPrintData = 4;
constexpr int kPrintDataText = 200;
constexpr int kMaxPage = 65535;

// A printer's properties window set to a page: its paper list to the queue's paper of the same
// name, or of the same size, or else to its custom size with the page's measures; and its
// orientation.
void ShowPage(QWidget* window, QComboBox* sizes, const QPageLayout& layout)
{
    const QPageSize paper = layout.pageSize();
    int same = -1, custom = -1;
    for (int i = 0; i < sizes->count(); ++i) {
        const QVariant data = sizes->itemData(i);
        if (!data.canConvert<QPageSize>()) {
            custom = i;
            continue;
        }
        const QPageSize offered = data.value<QPageSize>();
        if (!paper.key().isEmpty() && offered.key() == paper.key()) {
            same = i;
            break;
        }
        if (same < 0 && offered.isEquivalentTo(paper))
            same = i;
    }
    auto* width = window->findChild<QDoubleSpinBox*>(QStringLiteral("pageWidth"));
    auto* height = window->findChild<QDoubleSpinBox*>(QStringLiteral("pageHeight"));
    auto* units = window->findChild<QComboBox*>(QStringLiteral("unitCombo"));
    if (same >= 0) {
        sizes->setCurrentIndex(same);
    } else if (custom >= 0 && width && height && units && units->currentData().canConvert<QPageLayout::Unit>()) {
        sizes->setCurrentIndex(custom);
        const QRectF page = layout.fullRect(units->currentData().value<QPageLayout::Unit>());
        width->setValue(page.width());
        height->setValue(page.height());
    }
    // The window takes an orientation from a click on its button only.
    const bool landscape = layout.orientation() == QPageLayout::Landscape;
    auto* turn = window->findChild<QAbstractButton*>(landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"));
    if (turn && !turn->isChecked())
        turn->click();
}

// The file the print dialog last sent a job to, and the label of that job: its path, or its
// title while it has none.
struct PrintFileOwner {
    QString file, label;
};
PrintFileOwner& LastPrintFile()
{
    static PrintFileOwner owner;
    return owner;
}

QString LabelIdentity(const CDrawDoc* doc)
{
    return doc->GetPathName().isEmpty() ? QStringLiteral("untitled:") + doc->GetTitle() : doc->GetPathName();
}

CLabelCountBox* BindCount(QWidget* form, QObject* owner)
{
    return new CLabelCountBox(GetDlgItem<QLineEdit>(form, kCountBox), GetDlgItem<QScrollBar>(form, kCountUpDown), owner);
}

constexpr UINT IDS_SOURCE_UNREACHABLE = 94;
constexpr UINT IDS_NO_PAGE_IN_RANGE = 320;

// The print-data button and its text are shown, and the button enabled, only for a document
// with a data source.
void ShowPrintData(QWidget* form, const CDrawDoc* doc)
{
    const bool source = doc && !doc->GetConnectionString().isEmpty();
    if (auto* button = GetDlgItem(form, kPrintData)) {
        button->setEnabled(source);
        button->setVisible(source);
    }
    if (auto* text = GetDlgItem(form, kPrintDataText))
        text->setVisible(source);
}
}  // namespace

// --- print data ---------------------------------------------------------------------------------

BOOL LoadPrintData(CDrawDoc* doc, BOOL always, QWidget* parent)
{
    if (!doc || doc->GetConnectionString().isEmpty())
        return FALSE;
    CPrintDataGrid* grid = doc->GetPrintDataGrid();
    // A grid open on the same source and query keeps its rows and ticks.
    if (!always && grid->HoldsRecordsOf(doc->GetConnectionString(), doc->GetQuery()))
        return TRUE;
    CString error;
    bool loaded = false;
    {
        CWaitCursor wait;
        grid->Close();
        grid->SetLabelFile(doc->GetPathName());
        loaded = grid->Open(doc->GetConnectionString(), {}, {}, 0, &error) && grid->Fill(doc->GetQuery(), &error);
        if (!loaded)
            grid->Close();
    }
    if (!loaded)
        AfxMessageBox(AfxLoadString(IDS_SOURCE_UNREACHABLE) + u'\n' + error, MB_OK | MB_ICONERROR, parent);
    return loaded ? TRUE : FALSE;
}

void RunPrintData(CDrawDoc* doc, CLabelCountBox* count, QWidget* parent)
{
    if (!doc)
        return;
    // The dialog offers every record afresh; called off, it leaves the job's records as they
    // were: the rows chosen before, or none when the grid held no records of the document.
    CPrintDataGrid* grid = doc->GetPrintDataGrid();
    const bool held = grid->HoldsRecordsOf(doc->GetConnectionString(), doc->GetQuery());
    const CPrintDataGrid::Choice before = held ? grid->GetChoice() : CPrintDataGrid::Choice();
    if (!LoadPrintData(doc, TRUE, parent))
        return;
    CPrnDataSelDlg dialog(grid, parent);
    if (dialog.exec() != QDialog::Accepted) {
        if (held)
            grid->RestoreChoice(before);
        else
            grid->Close();
        return;
    }
    // The number of chosen records goes into the box as if typed.
    count->SetCount(doc->FillPrintDataGrid());
    count->Settle();
}

// --- print dialog ------------------------------------------------------------------------------

CTagPrintDlg::CTagPrintDlg(CDrawDoc* doc, QPrinter* printer, QWidget* parent)
    : QPrintDialog(printer, parent), m_doc(doc)
{
    setOption(QAbstractPrintDialog::PrintPageRange, true);
    setMinMax(1, kMaxPage);
    if (printer)
        printer->setCopyCount(1);

    m_tab = LoadDialogForm(CResourceModule::Get().LoadDialogLayout(kTemplate), nullptr);
    if (!m_tab) {
        // Without its layout the tab still holds the count.
        m_tab = new QWidget;
        m_tab->setWindowTitle(QStringLiteral("Labels"));
        auto* box = new QLineEdit(m_tab);
        box->setObjectName(QString::number(kCountBox));
        auto* upDown = new QScrollBar(m_tab);
        upDown->setObjectName(QString::number(kCountUpDown));
        upDown->move(box->width(), 0);
    }
    m_count = BindCount(m_tab, this);
    if (auto* select = GetDlgItem<QAbstractButton>(m_tab, kSelectLabels))
        connect(select, &QAbstractButton::clicked, this, &CTagPrintDlg::OnSelectLabels);
    if (auto* data = GetDlgItem<QAbstractButton>(m_tab, kPrintData))
        connect(data, &QAbstractButton::clicked, this, [this] { RunPrintData(m_doc, m_count, this); });
    setOptionTabs({m_tab});
    // The count is what is asked most: the options open on the labels tab. Qt's button that shows
    // them is known by its role in the dialog's own button box; its caption is translated.
    if (auto* tabs = qobject_cast<QTabWidget*>(m_tab->parentWidget() ? m_tab->parentWidget()->parentWidget() : nullptr))
        tabs->setCurrentWidget(m_tab);
    for (auto* box : findChildren<QDialogButtonBox*>()) {
        if (m_tab->isAncestorOf(box))
            continue;
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QDialogButtonBox::ResetRole && !m_tab->isVisibleTo(this))
                button->click();
    }
    ProposePrintFile();
    HideServerPageList();
    // Each job asks for its own pages: a range left on the printer by an earlier job is not
    // offered again.
    if (printer) {
        printer->setPrintRange(QPrinter::AllPages);
        printer->setPageRanges(QPageRanges());
    }
    InitCount();
    // The printer's properties are a window of their own, made anew for each printer chosen:
    // its paper controls are watched when it shows.
    qApp->installEventFilter(this);
    ShowPrintData(m_tab, m_doc);
    LoadPrintData(m_doc, FALSE, parent);
}

void CTagPrintDlg::ProposePrintFile()
{
    // Qt's dialog offers the file the printer wrote last. That file belongs to the label it was
    // printed for: another label is offered a file of its own name in the same folder.
    auto* name = findChild<QLineEdit*>(QStringLiteral("filename"));
    const QString last = printer() ? printer()->outputFileName() : QString();
    if (!name || !m_doc || last.isEmpty() || last != LastPrintFile().file || LastPrintFile().label == LabelIdentity(m_doc))
        return;
    QString base = QFileInfo(m_doc->GetTitle()).completeBaseName();
    base.replace(u'/', u'_');
    if (base.isEmpty())
        return;
    name->setText(QFileInfo(last).dir().filePath(base + QStringLiteral(".pdf")));
}

void CTagPrintDlg::HideServerPageList()
{
    // Qt's list of pages ("2,4") is handed to the print server as the job's page ranges, on top
    // of the range our page loop prints, so the server would cut the pages a second time from
    // the sheets already chosen; print to file cannot take it at all. The pages from-to choice
    // stays: the page loop alone applies it, to printer, file and preview alike.
    for (const char* name : {"pagesRadioButton", "pagesLineEdit"})
        if (auto* control = findChild<QWidget*>(QLatin1String(name)))
            control->hide();
}

void CTagPrintDlg::SetLabelCount(int count)
{
    m_nInitialCount = count;
    InitCount();
}

int CTagPrintDlg::GetLabelCount() const
{
    return m_doc ? m_doc->GetLabelsToPrint() : m_nInitialCount;
}

void CTagPrintDlg::InitCount()
{
    m_count->SetCount(m_nInitialCount);
}

void CTagPrintDlg::accept()
{
    const bool cells = m_bChoosingCells;
    m_bChoosingCells = false;
    // Chosen cells print on one sheet; otherwise the count in the box makes the pages.
    if (!cells)
        m_count->Settle();
    m_jobPages = cells ? 1 : JobPages(m_count->Count());
    m_ended = false;
    QPrintDialog::accept();
    if (!m_ended)
        return;  // the dialog stays open
    KeepDocumentPaper();
    if (cells) {
        CTagSelectDlg select(parentWidget());
        if (select.DoModal(m_doc) != IDOK) {
            setResult(QDialog::Rejected);
            return;
        }
    } else if (m_doc) {
        m_doc->SetLabelsToPrint(m_count->Count());
        m_doc->GetSelectTags().clear();
    }
    // The file of this job is this label's from now on.
    if (m_doc && printer() && printer()->outputFormat() == QPrinter::PdfFormat && !printer()->outputFileName().isEmpty())
        LastPrintFile() = {printer()->outputFileName(), LabelIdentity(m_doc)};
}

void CTagPrintDlg::done(int result)
{
    // Qt's OK has written the pages asked for to the printer by now.
    QPrinter* p = printer();
    if (result == QDialog::Accepted && p && p->printRange() == QPrinter::PageRange &&
        p->fromPage() > m_jobPages) {
        AfxMessageBox(AfxLoadString(IDS_NO_PAGE_IN_RANGE).arg(m_jobPages), MB_OK | MB_ICONWARNING, this);
        return;
    }
    m_ended = result == QDialog::Accepted;
    QPrintDialog::done(result);
}

std::int64_t CTagPrintDlg::JobPages(int count) const
{
    if (!m_doc)
        return std::numeric_limits<std::int64_t>::max();
    const int* grid = m_doc->GetLabelGrid();
    return SheetPageCount(count, grid[0], grid[1], false);
}

void CTagPrintDlg::OnSelectLabels()
{
    // The way of the OK button, so that the dialog's own checks run first: a file to print to
    // that exists is replaced only when the user says so, and No keeps the dialog open.
    QPushButton* ok = nullptr;
    for (auto* box : findChildren<QDialogButtonBox*>())
        if (!m_tab->isAncestorOf(box) && box->button(QDialogButtonBox::Ok))
            ok = box->button(QDialogButtonBox::Ok);
    m_bChoosingCells = true;
    if (ok)
        ok->click();
    else
        accept();
    m_bChoosingCells = false;
}

bool CTagPrintDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        // A window of the dialog's own: one whose chain of parents leads to the dialog.
        auto* w = static_cast<QWidget*>(watched);
        QObject* owner = w;
        while (owner && owner != this)
            owner = owner->parent();
        if (owner && w->isWindow())
            WatchPaperControls(w);
    }
    return QPrintDialog::eventFilter(watched, event);
}

void CTagPrintDlg::WatchPaperControls(QWidget* window)
{
    // Only a user's choice counts: a list's activation and a button's click come from the user,
    // never from the dialog filling itself in.
    static const char* const kWatched = "qbPaperWatched";
    const auto chosen = [this] { m_paperChosen = true; };
    for (QComboBox* sizes : window->findChildren<QComboBox*>(QStringLiteral("pageSizeCombo"))) {
        if (sizes->property(kWatched).toBool())
            continue;
        sizes->setProperty(kWatched, true);
        // A new properties window opens on the queue's default paper: it shows the job's.
        if (printer())
            ShowPage(window, sizes, JobPage());
        connect(sizes, &QComboBox::activated, this, chosen);
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        static const QStringList orientations = {"portrait", "landscape", "reversePortrait", "reverseLandscape"};
        if (!orientations.contains(button->objectName()) || button->property(kWatched).toBool())
            continue;
        button->setProperty(kWatched, true);
        connect(button, &QAbstractButton::clicked, this, chosen);
    }
}

QPageLayout CTagPrintDlg::JobPage() const
{
    // Until the user chooses a paper, the job takes the document's on the printer chosen in the
    // dialog, whatever page an earlier job left on the printer (a file's page is not a queue's).
    const QPageLayout page = printer()->pageLayout();
    if (m_paperChosen || !m_doc)
        return page;
    QString queue;
    if (auto* printers = findChild<QComboBox*>(QStringLiteral("printers")))
        if (const QPrinterInfo info = QPrinterInfo::printerInfo(printers->currentText()); !info.isNull())
            queue = info.printerName();
    const float* paper = m_doc->GetPaperSize();
    return AfxPrinterPaperLayout(queue, page, m_doc->GetPaperCode(), SaturateInt(paper[0]), SaturateInt(paper[1]),
                                 m_doc->GetOrientation());
}

void CTagPrintDlg::KeepDocumentPaper()
{
    if (!m_paperChosen)
        UseDocumentPaper(printer(), m_doc);
}

void UseDocumentPaper(QPrinter* printer, CDrawDoc* doc)
{
    if (!printer || !doc)
        return;
    const float* paper = doc->GetPaperSize();
    AfxSetPrinterPaper(printer, doc->GetPaperCode(), SaturateInt(paper[0]), SaturateInt(paper[1]),
                       doc->GetOrientation());
}

// --- preview dialog ----------------------------------------------------------------------------

CTagPreviewDlg::CTagPreviewDlg(CDrawDoc* doc, QWidget* parent) : QDialog(parent), m_doc(doc)
{
    ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(kTemplate));
    m_count = BindCount(this, this);
    m_count->m_changed = [this](int count) {
        if (m_doc)
            m_doc->SetLabelsToPrint(count);
    };
    if (auto* data = GetDlgItem<QAbstractButton>(this, kPrintData))
        connect(data, &QAbstractButton::clicked, this, [this] { RunPrintData(m_doc, m_count, this); });
    SetLabelCount(GetLabelCount());
    ShowPrintData(this, m_doc);
    LoadPrintData(m_doc, FALSE, parent);
}

void CTagPreviewDlg::SetLabelCount(int count)
{
    if (m_doc)
        m_doc->SetLabelsToPrint(count);
    m_count->SetCount(count);
}

int CTagPreviewDlg::GetLabelCount() const
{
    return m_doc ? m_doc->GetLabelsToPrint() : 1;
}

void CTagPreviewDlg::accept()
{
    m_count->Settle();
    if (m_doc)
        m_doc->GetSelectTags().clear();
    QDialog::accept();
}
