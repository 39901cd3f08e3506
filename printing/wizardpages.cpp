// The pages of the label wizard.

#include "printing/labelwizard.h"

#include "document/drawdoc.h"
#include "framework/printjob.h"
#include "framework/printserver.h"
#include "framework/resourcemodule.h"
#include "framework/settings.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"
#include "framework/webpage.h"
#include "printing/sheettext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPageSize>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

namespace {
constexpr UINT kUnitText = 87;

// Controls of the first page.
constexpr int kNewLabel = 136;
constexpr int kRecentLabel = 137;
constexpr int kBrowse = 138;
constexpr int kRecentList = 139;
// Of the printer page.
constexpr int kPrinters = 1139;
// Of the paper page.
constexpr int kPapers = 133;
constexpr int kPaperWidth = 141;
constexpr int kPaperHeight = 144;
constexpr int kPortrait = 142;
constexpr int kLandscape = 143;
constexpr int kPrinterForms = 138;
// Of the margins page.
constexpr int kTop = 148, kBottom = 125, kLeft = 126, kRight = 128;
// Of the grid page.
constexpr int kColumns = 149, kRows = 125;
constexpr int kAutoLabelSize = 150, kLabelWidth = 151, kLabelHeight = 126;
constexpr int kAutoGap = 152, kGapX = 153, kGapY = 127;

constexpr UINT kStrNoBrowser = 133;
constexpr UINT kStrServerWithoutPage = 620;
constexpr UINT kStrLabelFileFilter = 303;

bool IsChecked(QWidget* page, int id)
{
    auto* b = GetDlgItem<QAbstractButton>(page, id);
    return b && b->isChecked();
}

void SetChecked(QWidget* page, int id, bool on)
{
    if (auto* b = GetDlgItem<QAbstractButton>(page, id))
        b->setChecked(on);
}

}  // namespace

// --- CWzLblCreate ----------------------------------------------------------------------------

CWzLblCreate::CWzLblCreate() : CPropertyPage(122, CResourceModule::Get().LoadString(59))
{
    LoadWizardPage(this, 122, 59, 60);
    auto* list = GetDlgItem<QListWidget>(this, kRecentList);
    if (auto* b = GetDlgItem<QAbstractButton>(this, kNewLabel))
        connect(b, &QAbstractButton::clicked, this, [this, list] {
            if (CPropertySheet* sheet = GetSheet())
                sheet->SetWizardButtons(kWizButtonsFirst);
            if (list)
                list->setCurrentRow(-1);
        });
    if (auto* b = GetDlgItem<QAbstractButton>(this, kRecentLabel))
        connect(b, &QAbstractButton::clicked, this, [this, list] {
            if (CPropertySheet* sheet = GetSheet())
                sheet->SetWizardButtons(kWizButtonsFinishOnly);
            if (list && list->count() > 0)
                list->setCurrentRow(0);
        });
    if (list)
        connect(list, &QListWidget::itemSelectionChanged, this, [this, list] {
            if (list->currentRow() < 0 || !list->currentItem()->isSelected())
                return;
            SetChecked(this, kRecentLabel, true);
            if (CPropertySheet* sheet = GetSheet())
                sheet->SetWizardButtons(kWizButtonsFinishOnly);
        });
    if (auto* b = GetDlgItem<QAbstractButton>(this, kBrowse))
        connect(b, &QAbstractButton::clicked, this, &CWzLblCreate::OnBrowse);
}

BOOL CWzLblCreate::OnInitDialog()
{
    SetChecked(this, kNewLabel, true);
    m_strPath.clear();
    if (auto* list = GetDlgItem<QListWidget>(this, kRecentList)) {
        list->clear();
        for (const QString& file : CSettings().RecentFiles())
            list->addItem(QDir::toNativeSeparators(file));
        list->setCurrentRow(-1);
    }
    return TRUE;
}

BOOL CWzLblCreate::OnSetActive()
{
    GetSheet()->SetWizardButtons(kWizButtonsFirst);
    return CPropertyPage::OnSetActive();
}

void CWzLblCreate::OnBrowse()
{
    GetSheet()->SetWizardButtons(kWizButtonsFinishOnly);
    SetChecked(this, kRecentLabel, true);
    CFileDialog dialog(TRUE, QStringLiteral("tag"), {}, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                       CResourceModule::Get().LoadString(kStrLabelFileFilter), this);
    if (dialog.DoModal() != IDOK)
        return;
    m_strPath = dialog.GetPathName();
    GetSheet()->EndDialog(CDrawDoc::kWizardOpenFile);
}

BOOL CWzLblCreate::OnWizardFinish()
{
    if (IsChecked(this, kNewLabel))
        return TRUE;
    auto* list = GetDlgItem<QListWidget>(this, kRecentList);
    const QListWidgetItem* item = list ? list->currentItem() : nullptr;
    m_strPath = item && item->isSelected() ? item->text() : CString();
    GetSheet()->EndDialog(CDrawDoc::kWizardOpenFile);
    return FALSE;
}

// --- CWzPrnSelect ----------------------------------------------------------------------------

CWzPrnSelect::CWzPrnSelect() : CPropertyPage(120, CResourceModule::Get().LoadString(69))
{
    LoadWizardPage(this, 120, 69, 69);
    if (auto* combo = GetDlgItem<QComboBox>(this, kPrinters))
        connect(combo, &QComboBox::activated, this, [this, combo] {
            if (auto* sheet = qobject_cast<CWzSetupSheet*>(GetSheet()))
                sheet->Layout().SetPrinterName(combo->currentText());
        });
}

BOOL CWzPrnSelect::OnInitDialog()
{
    auto* combo = GetDlgItem<QComboBox>(this, kPrinters);
    if (!combo)
        return TRUE;
    combo->clear();
    // Every print queue the print server offers, its remote ones too, each once.
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        if (!name.contains(QStringLiteral("!!")) && combo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            combo->addItem(name);
    combo->setCurrentIndex(-1);
    // The printer of Print Setup, else the default, is the entry of exactly its name ("Office"
    // is not "Office-Color").
    const QString defaultName = AfxGetAppPrinterName();
    if (!defaultName.isEmpty()) {
        combo->setCurrentIndex(combo->findText(defaultName, Qt::MatchExactly | Qt::MatchCaseSensitive));
        qobject_cast<CWzSetupSheet*>(GetSheet())->Layout().SetPrinterName(defaultName);
    }
    return TRUE;
}

BOOL CWzPrnSelect::OnSetActive()
{
    GetSheet()->SetWizardButtons(kWizButtonsAll);
    return CPropertyPage::OnSetActive();
}

// --- CWzPprSelect ----------------------------------------------------------------------------

CWzPprSelect::CWzPprSelect() : CWzBase(126, 67, 68)
{
    if (auto* combo = GetDlgItem<QComboBox>(this, kPapers))
        connect(combo, &QComboBox::activated, this, &CWzPprSelect::OnPaperChosen);
    if (auto* b = GetDlgItem<QAbstractButton>(this, kPortrait))
        connect(b, &QAbstractButton::clicked, this, [this] { OnOrientation(1); });
    if (auto* b = GetDlgItem<QAbstractButton>(this, kLandscape))
        connect(b, &QAbstractButton::clicked, this, [this] { OnOrientation(2); });
    if (auto* b = GetDlgItem<QAbstractButton>(this, kPrinterForms))
        connect(b, &QAbstractButton::clicked, this, &CWzPprSelect::OnPrinterForms);
}

PaperTurn CWzPprSelect::Turn() const
{
    auto* self = const_cast<CWzPprSelect*>(this);
    if (IsChecked(self, kPortrait))
        return PaperTurn::Portrait;
    if (IsChecked(self, kLandscape))
        return PaperTurn::Landscape;
    return PaperTurn::None;
}

const PaperInfo* CWzPprSelect::SelectedPaper() const
{
    auto* combo = GetDlgItem<QComboBox>(const_cast<CWzPprSelect*>(this), kPapers);
    const int entry = combo ? combo->currentIndex() : -1;
    if (entry < 0 || entry >= int(m_entries.size()))
        return nullptr;
    return &m_papers[size_t(m_entries[size_t(entry)])];
}

void CWzPprSelect::FillPaperList()
{
    CSheetLayout& layout = GetSheet()->Layout();
    m_papers.clear();
    const QPrinterInfo printer = QPrinterInfo::printerInfo(layout.GetPrinterName());
    if (!printer.isNull())
        for (const QPageSize& size : printer.supportedPageSizes()) {
            const QSizeF mm = size.size(QPageSize::Millimeter);
            m_papers.push_back({size.windowsId(), qRound(mm.width() * 10), qRound(mm.height() * 10), size.name()});
        }
    if (m_papers.empty())
        m_papers = FallbackPaperList();

    const CSize sheetPaper = layout.GetPaperSize();
    const PaperListChoice choice = ChoosePaper(m_papers, sheetPaper.cx, sheetPaper.cy, layout.GetOrientation());
    m_entries = choice.entries;
    if (auto* combo = GetDlgItem<QComboBox>(this, kPapers)) {
        combo->clear();
        for (int index : m_entries)
            combo->addItem(m_papers[size_t(index)].name, m_papers[size_t(index)].code);
        combo->setCurrentIndex(choice.selected);
    }
    if (choice.fallback >= 0) {
        // No paper of the printer is the sheet's: the sheet takes one of them, code and all.
        const PaperInfo& paper = m_papers[size_t(choice.fallback)];
        const CSize size = OrientedPaperSize(paper, Turn(), sheetPaper);
        layout.SetPaperSize(size.cx, size.cy);
        layout.SetPaperCode(paper.code);
    }
    if (auto* forms = GetDlgItem(this, kPrinterForms))
        forms->setEnabled(!printer.isNull());
}

BOOL CWzPprSelect::OnInitDialog()
{
    const bool portrait = GetSheet()->Layout().GetOrientation() == 1;
    SetChecked(this, portrait ? kPortrait : kLandscape, true);
    FillPaperList();
    ShowSheetData();
    // The papers are read again when the user comes back from elsewhere, for example from the
    // print server's page of the printer.
    if (QWidget* window = GetSheet(); window && window != m_watchedWindow) {
        window->installEventFilter(this);
        m_watchedWindow = window;
    }
    return TRUE;
}

BOOL CWzPprSelect::OnSetActive()
{
    SetButtons(kWizButtonsAll);
    FillPaperList();
    ShowSheetData();
    return CWzBase::OnSetActive();
}

bool CWzPprSelect::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::WindowActivate && GetSheet() &&
        GetSheet()->GetActivePage() == this) {
        FillPaperList();
        ShowSheetData();
    }
    return CWzBase::eventFilter(watched, event);
}

void CWzPprSelect::ShowSheetData()
{
    CWzBase::ShowSheetData();
    if (!GetSheet())
        return;
    const CSize paper = GetSheet()->Layout().GetPaperSize();
    const CString unit = CResourceModule::Get().LoadString(kUnitText);
    SetDlgItemText(this, kPaperWidth, FormatMillimetres(paper.cx) + u' ' + unit);
    SetDlgItemText(this, kPaperHeight, FormatMillimetres(paper.cy) + u' ' + unit);
}

void CWzPprSelect::OnPaperChosen(int entry)
{
    if (entry < 0 || entry >= int(m_entries.size()))
        return;
    CSheetLayout& layout = GetSheet()->Layout();
    const PaperInfo& paper = m_papers[size_t(m_entries[size_t(entry)])];
    const CSize size = OrientedPaperSize(paper, Turn(), layout.GetPaperSize());
    layout.SetPaperSize(size.cx, size.cy);
    layout.SetPaperCode(paper.code);
    ShowSheetData();
}

void CWzPprSelect::OnOrientation(int orientation)
{
    CSheetLayout& layout = GetSheet()->Layout();
    // A click on the radio button already checked turns nothing.
    if (layout.GetOrientation() == orientation)
        return;
    layout.SetOrientation(orientation);
    if (const PaperInfo* paper = SelectedPaper()) {
        const CSize size = OrientedPaperSize(*paper, orientation == 1 ? PaperTurn::Portrait : PaperTurn::Landscape,
                                             layout.GetPaperSize());
        layout.SetPaperSize(size.cx, size.cy);
    }
    layout.TurnMargins(orientation == 2);
    ShowSheetData();
}

void CWzPprSelect::OnPrinterForms()
{
    const CString name = GetSheet()->Layout().GetPrinterName();
    if (name.isEmpty())
        return;
    // The page of the queue on the print server in use, where its papers are set up. A server
    // reached through a local socket has no page; without a browser to show it, the user learns
    // where it is.
    const CPrintServer server = AfxGetPrintServer();
    const QUrl page = PrinterWebPage(server, name);
    if (page.isEmpty()) {
        AfxMessageBox(CResourceModule::Get().LoadString(kStrServerWithoutPage).arg(server.socket),
                      MB_OK | MB_ICONINFORMATION, this);
        return;
    }
    AfxShowWebPage(page, [self = QPointer<QWidget>(this), page] {
        AfxMessageBox(CResourceModule::Get().LoadString(kStrNoBrowser).arg(page.toDisplayString()),
                      MB_OK | MB_ICONWARNING, self.data());
    });
}

// --- CWzPprMargins ---------------------------------------------------------------------------

CWzPprMargins::CWzPprMargins() : CWzBase(127, 65, 66)
{
    const std::pair<int, int> edits[] = {{kTop, kHighlightTopMargin}, {kBottom, kHighlightBottomMargin},
                                         {kLeft, kHighlightLeftMargin}, {kRight, kHighlightRightMargin}};
    for (const auto& [id, highlight] : edits) {
        if (QLineEdit* edit = Edit(id))
            connect(edit, &QLineEdit::textChanged, this, &CWzPprMargins::OnMarginChanged);
        WatchFocus(id, [this, id = id, highlight = highlight](bool in) {
            SetHighlight(in ? highlight : kHighlightNone);
            // Leaving a box shows its value as it is kept.
            if (!in)
                if (QLineEdit* edit = Edit(id))
                    edit->setText(FormatMillimetres(ReadDecimal(edit->text()) * 10.0));
        });
    }
}

BOOL CWzPprMargins::OnSetActive()
{
    CWzBase::OnSetActive();
    SetButtons(kWizButtonsAll);
    const CRect m = GetSheet()->Layout().GetMargins();
    SetEditText(kTop, FormatMillimetres(m.top));
    SetEditText(kBottom, FormatMillimetres(m.bottom));
    SetEditText(kLeft, FormatMillimetres(m.left));
    SetEditText(kRight, FormatMillimetres(m.right));
    return TRUE;
}

void CWzPprMargins::OnMarginChanged()
{
    if (Filling() || !GetSheet())
        return;
    auto read = [this](int id) { return ReadTenths(Edit(id) ? Edit(id)->text() : CString(), kMarginNudge); };
    GetSheet()->Layout().SetMargins(CRect(read(kLeft), read(kTop), read(kRight), read(kBottom)));
    ShowSheetData();
}

// --- CWzLblDivide ----------------------------------------------------------------------------

CWzLblDivide::CWzLblDivide() : CWzBase(128, 63, 64)
{
    if (QLineEdit* e = Edit(kColumns))
        connect(e, &QLineEdit::textChanged, this, [this] { OnCountChanged(true); });
    if (QLineEdit* e = Edit(kRows))
        connect(e, &QLineEdit::textChanged, this, [this] { OnCountChanged(false); });
    if (QLineEdit* e = Edit(kLabelWidth))
        connect(e, &QLineEdit::textChanged, this, [this] { OnLabelSizeChanged(true); });
    if (QLineEdit* e = Edit(kLabelHeight))
        connect(e, &QLineEdit::textChanged, this, [this] { OnLabelSizeChanged(false); });
    if (QLineEdit* e = Edit(kGapX))
        connect(e, &QLineEdit::textChanged, this, [this] { OnGapChanged(true); });
    if (QLineEdit* e = Edit(kGapY))
        connect(e, &QLineEdit::textChanged, this, [this] { OnGapChanged(false); });
    if (auto* b = GetDlgItem<QAbstractButton>(this, kAutoLabelSize))
        connect(b, &QAbstractButton::clicked, this, &CWzLblDivide::OnAutoLabelSize);
    if (auto* b = GetDlgItem<QAbstractButton>(this, kAutoGap))
        connect(b, &QAbstractButton::clicked, this, &CWzLblDivide::OnAutoGap);
    const std::pair<int, int> marked[] = {{kLabelWidth, kHighlightLabelWidth}, {kLabelHeight, kHighlightLabelHeight},
                                          {kGapX, kHighlightGapX}, {kGapY, kHighlightGapY}};
    for (const auto& [id, highlight] : marked)
        WatchFocus(id, [this, id = id, highlight = highlight](bool in) {
            SetHighlight(in ? highlight : kHighlightNone);
            // Leaving a box shows the value the sheet took from it (a width beyond the largest
            // label reads as the largest).
            if (in || !GetSheet() || !Edit(id))
                return;
            const CSheetLayout& layout = GetSheet()->Layout();
            const bool isGap = id == kGapX || id == kGapY;
            const CSize taken = isGap ? layout.GetGap() : layout.GetLabelSize();
            const CString text = FormatMillimetres(id == kLabelWidth || id == kGapX ? taken.cx : taken.cy, isGap ? 2 : 1);
            if (Edit(id)->text() != text)
                SetEditText(id, text);
        });
}

BOOL CWzLblDivide::OnInitDialog()
{
    const CSheetLayout& layout = GetSheet()->Layout();
    SetChecked(this, kAutoLabelSize, layout.GetAutoLabelSize());
    SetChecked(this, kAutoGap, layout.GetAutoGap());
    ShowSheetData();
    return TRUE;
}

BOOL CWzLblDivide::OnSetActive()
{
    const CSheetLayout& layout = GetSheet()->Layout();
    const CSize grid = layout.GetGrid();
    const CSize label = layout.GetLabelSize();
    const CSize gap = layout.GetGap();
    SetEditText(kColumns, QString::number(grid.cx));
    SetEditText(kRows, QString::number(grid.cy));
    SetEditText(kLabelWidth, FormatMillimetres(label.cx));
    SetEditText(kLabelHeight, FormatMillimetres(label.cy));
    SetEditText(kGapX, FormatMillimetres(gap.cx, 2));
    SetEditText(kGapY, FormatMillimetres(gap.cy, 2));
    UpdateEnabled();
    SetButtons(kWizButtonsLast);
    return CWzBase::OnSetActive();
}

void CWzLblDivide::UpdateEnabled()
{
    const bool autoSize = IsChecked(this, kAutoLabelSize);
    const bool autoGap = IsChecked(this, kAutoGap);
    for (int id : {kLabelWidth, kLabelHeight})
        if (QLineEdit* e = Edit(id))
            e->setEnabled(!autoSize);
    for (int id : {kGapX, kGapY})
        if (QLineEdit* e = Edit(id))
            e->setEnabled(!autoGap);
}

void CWzLblDivide::ShowSolvedValues()
{
    const CSheetLayout& layout = GetSheet()->Layout();
    auto show = [this](int id, int tenths) {
        const CString text = FormatMillimetres(tenths);
        if (Edit(id) && Edit(id)->text() != text)
            SetEditText(id, text);
    };
    if (layout.GetAutoLabelSize()) {
        show(kLabelWidth, layout.GetLabelSize().cx);
        show(kLabelHeight, layout.GetLabelSize().cy);
    }
    if (layout.GetAutoGap()) {
        show(kGapX, layout.GetGap().cx);
        show(kGapY, layout.GetGap().cy);
    }
}

void CWzLblDivide::OnAutoLabelSize()
{
    CSheetLayout& layout = GetSheet()->Layout();
    layout.SetAutoLabelSize(IsChecked(this, kAutoLabelSize));
    UpdateEnabled();
    SetEditText(kLabelWidth, FormatMillimetres(layout.GetLabelSize().cx));
    SetEditText(kLabelHeight, FormatMillimetres(layout.GetLabelSize().cy));
    ShowSolvedValues();
    ShowSheetData();
}

void CWzLblDivide::OnAutoGap()
{
    CSheetLayout& layout = GetSheet()->Layout();
    layout.SetAutoGap(IsChecked(this, kAutoGap));
    UpdateEnabled();
    SetEditText(kGapX, FormatMillimetres(layout.GetGap().cx));
    SetEditText(kGapY, FormatMillimetres(layout.GetGap().cy));
    ShowSolvedValues();
    ShowSheetData();
}

void CWzLblDivide::OnCountChanged(bool columns)
{
    if (Filling() || !GetSheet())
        return;
    CSheetLayout& layout = GetSheet()->Layout();
    // Only 1 to the most cells is taken: 0, a negative number or letters leave the grid.
    if (const std::optional<int> count = ReadCellCount(Edit(columns ? kColumns : kRows)->text())) {
        const CSize grid = layout.GetGrid();
        layout.SetGrid(columns ? *count : grid.cx, columns ? grid.cy : *count);
    }
    ShowSolvedValues();
    ShowSheetData();
}

void CWzLblDivide::OnLabelSizeChanged(bool width)
{
    if (Filling() || !GetSheet())
        return;
    CSheetLayout& layout = GetSheet()->Layout();
    const int value = ReadTenths(Edit(width ? kLabelWidth : kLabelHeight)->text(), kSizeNudge);
    // A label has a size: 0 or less is not taken.
    if (value > 0) {
        const CSize label = layout.GetLabelSize();
        layout.SetLabelSize(width ? value : label.cx, width ? label.cy : value);
    }
    ShowSolvedValues();
    ShowSheetData();
}

void CWzLblDivide::OnGapChanged(bool horizontal)
{
    if (Filling() || !GetSheet())
        return;
    CSheetLayout& layout = GetSheet()->Layout();
    // Gaps may be 0 or negative (labels that overlap).
    const int value = ReadTenths(Edit(horizontal ? kGapX : kGapY)->text(), kSizeNudge);
    const CSize gap = layout.GetGap();
    layout.SetGap(horizontal ? value : gap.cx, horizontal ? gap.cy : value);
    ShowSolvedValues();
    ShowSheetData();
}

// --- CWzLblDesign ----------------------------------------------------------------------------

CWzLblDesign::CWzLblDesign() : CWzBase(125, 61, 62)
{
    if (auto* b = GetDlgItem<QAbstractButton>(this, 140))
        connect(b, &QAbstractButton::clicked, this, [this] { SetFormatMode(false); });
    if (auto* b = GetDlgItem<QAbstractButton>(this, 141))
        connect(b, &QAbstractButton::clicked, this, [this] { SetFormatMode(true); });
}

BOOL CWzLblDesign::OnInitDialog()
{
    SetChecked(this, 140, true);
    SetFormatMode(false);
    return TRUE;
}

BOOL CWzLblDesign::OnSetActive()
{
    SetButtons(IsChecked(this, 141) ? kWizButtonsLast : kWizButtonsAll);
    return CWzBase::OnSetActive();
}

void CWzLblDesign::SetFormatMode(bool fromFormat)
{
    for (int id : {145, 146, 153, 154, 147})
        if (QWidget* w = GetDlgItem(this, id))
            w->setVisible(fromFormat);
    for (int id : {133, 152})
        if (QWidget* w = GetDlgItem(this, id))
            w->setEnabled(fromFormat);
    if (!fromFormat) {
        SetDlgItemText(this, 145, CString());
        SetDlgItemText(this, 146, CString());
        if (auto* combo = GetDlgItem<QComboBox>(this, 133))
            combo->setCurrentIndex(-1);
        if (auto* list = GetDlgItem<QListWidget>(this, 152))
            list->clear();
    }
    SetButtons(fromFormat ? kWizButtonsLast : kWizButtonsAll);
}
