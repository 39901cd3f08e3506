#include "printing/labelwizard.h"

#include "document/drawdoc.h"
#include "framework/printjob.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "printing/sheettext.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>

namespace {
constexpr UINT kSheetCaption = 24;
constexpr UINT kWizardCaption = 14;
constexpr UINT kWizardPicture = 121;
constexpr UINT kUnitText = 87;
constexpr int kPaperSizeText = 145;
constexpr int kLabelSizeText = 146;
constexpr int kSheetPreview = 147;
constexpr int kHeaderHeight = 48;
}  // namespace

// --- CWzSetupSheet ---------------------------------------------------------------------------

CWzSetupSheet::CWzSetupSheet(QWidget* parent) : CPropertySheet(CResourceModule::Get().LoadString(kSheetCaption), parent)
{
    const QImage picture = CResourceModule::Get().LoadBitmap(kWizardPicture);
    if (!picture.isNull())
        SetHeaderBitmap(QPixmap::fromImage(picture.scaledToHeight(kHeaderHeight, Qt::SmoothTransformation)));
    SetFlags(GetFlags() | PSH_NOAPPLYNOW);
    m_layout.SetPrinterName(AfxGetAppPrinterName());
    SetWizardForm(true);
}

void CWzSetupSheet::SetWizardForm(bool wizard)
{
    SetWizardMode(wizard);
    setWindowTitle(CResourceModule::Get().LoadString(wizard ? kWizardCaption : kSheetCaption));
}

// --- CWzBase ---------------------------------------------------------------------------------

void LoadWizardPage(CPropertyPage* page, UINT templateId, UINT titleId, UINT subtitleId)
{
    ApplyDialogLayout(page, CResourceModule::Get().LoadDialogLayout(templateId));
    page->SetHeaderTitle(CResourceModule::Get().LoadString(titleId));
    page->SetHeaderSubTitle(CResourceModule::Get().LoadString(subtitleId));
}

CWzBase::CWzBase(UINT templateId, UINT titleId, UINT subtitleId)
    : CPropertyPage(templateId, CResourceModule::Get().LoadString(titleId))
{
    LoadWizardPage(this, templateId, titleId, subtitleId);
}

void CWzBase::ShowSheetData()
{
    CWzSetupSheet* sheet = GetSheet();
    if (!sheet)
        return;
    const CSheetLayout& layout = sheet->Layout();
    const CString unit = CResourceModule::Get().LoadString(kUnitText);
    const CSize paper = layout.GetPaperSize();
    const CSize label = layout.GetLabelSize();
    SetDlgItemText(this, kPaperSizeText, FormatSheetSize(paper.cx, paper.cy, unit));
    SetDlgItemText(this, kLabelSizeText, FormatSheetSize(label.cx, label.cy, unit));
    if (auto* preview = GetDlgItem<CDesignPreview>(this, kSheetPreview))
        preview->ShowLayout(layout);
}

BOOL CWzBase::OnSetActive()
{
    ShowSheetData();
    return CPropertyPage::OnSetActive();
}

QLineEdit* CWzBase::Edit(int id) const
{
    return GetDlgItem<QLineEdit>(const_cast<CWzBase*>(this), id);
}

void CWzBase::SetEditText(int id, const CString& text)
{
    if (QLineEdit* edit = Edit(id)) {
        const bool was = m_filling;
        m_filling = true;
        edit->setText(text);
        m_filling = was;
    }
}

void CWzBase::SetHighlight(int code)
{
    if (auto* preview = GetDlgItem<CDesignPreview>(this, kSheetPreview))
        preview->SetHighlight(code);
}

void CWzBase::WatchFocus(int id, std::function<void(bool)> onFocus)
{
    if (QWidget* w = GetDlgItem(this, id)) {
        w->installEventFilter(this);
        m_focusWatch.emplace_back(w, std::move(onFocus));
    }
}

bool CWzBase::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        for (auto& [object, onFocus] : m_focusWatch)
            if (object == watched)
                onFocus(event->type() == QEvent::FocusIn);
    return CPropertyPage::eventFilter(watched, event);
}

void CWzBase::SetButtons(DWORD buttons)
{
    if (CPropertySheet* sheet = CPropertyPage::GetSheet())
        sheet->SetWizardButtons(buttons);
}

// --- running the wizard ----------------------------------------------------------------------

int RunLabelWizard(CDrawDoc* doc, BOOL bNew, CString* openPath)
{
    CWzSetupSheet sheet(QApplication::activeWindow());
    CWzLblCreate create;
    CWzPrnSelect printer;
    CWzPprSelect paper;
    CWzPprMargins margins;
    CWzLblDivide divide;
    if (bNew) {
        doc->SetAutoGap(TRUE);
        doc->SetAutoLabelSize(TRUE);
        sheet.AddPage(&create);
    }
    for (CPropertyPage* page : std::initializer_list<CPropertyPage*> {&printer, &paper, &margins, &divide})
        sheet.AddPage(page);
    sheet.SetWizardForm(bNew != FALSE);
    sheet.Layout().CopyFromDocument(*doc);

    const int result = sheet.DoModal();
    if (result == CDrawDoc::kWizardOpenFile) {
        if (openPath)
            *openPath = create.GetPathName();
    } else if (result == ID_WIZFINISH || result == IDOK) {
        // An existing label that took a new layout has changes to save.
        if (sheet.Layout().CopyToDocument(*doc) && !bNew)
            doc->SetModifiedFlag(TRUE);
    }
    return result;
}

void InstallLabelWizard()
{
    CDrawDoc::c_labelWizard = RunLabelWizard;
}
