#pragma once
// The label wizard: a property sheet that keeps its own sheet layout (CSheetLayout) and the pages
// that edit it. A new label runs it as a five-page wizard whose first page can open a label file
// instead; an existing label runs it as a four-page sheet with OK and Cancel.

#include "framework/ui/propertysheet.h"
#include "printing/paperlist.h"
#include "printing/sheetlayout.h"
#include "printing/sheetpreview.h"

#include <functional>
#include <vector>

class CDrawDoc;
class QLineEdit;

// Wizard buttons the pages ask for.
constexpr DWORD kWizButtonsAll = PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH;
constexpr DWORD kWizButtonsFirst = PSWIZB_NEXT | PSWIZB_FINISH;
constexpr DWORD kWizButtonsLast = PSWIZB_BACK | PSWIZB_FINISH;
constexpr DWORD kWizButtonsFinishOnly = PSWIZB_FINISH;

// Gives a page its layout (template) and its header title and subtitle from the string table.
void LoadWizardPage(CPropertyPage* page, UINT templateId, UINT titleId, UINT subtitleId);

class CWzSetupSheet : public CPropertySheet
{
    Q_OBJECT
public:
    // As a wizard it shows caption 14 and header picture 121; as a sheet caption 24.
    explicit CWzSetupSheet(QWidget* parent = nullptr);

    // The layout the pages edit; the printer name starts as the default printer's.
    CSheetLayout& Layout() { return m_layout; }
    // Wizard (Back, Next, Finish on every page) or sheet (tabs, OK, Cancel) for the next run.
    void SetWizardForm(bool wizard);

private:
    CSheetLayout m_layout;
};

// A page with the sheet's paper size (145), label size (146) and the sheet preview (147).
class CWzBase : public CPropertyPage
{
    Q_OBJECT
public:
    CWzBase(UINT templateId, UINT titleId, UINT subtitleId);

    CWzSetupSheet* GetSheet() const { return qobject_cast<CWzSetupSheet*>(CPropertyPage::GetSheet()); }
    // The sizes and the preview from the sheet's layout.
    virtual void ShowSheetData();
    BOOL OnSetActive() override;

protected:
    QLineEdit* Edit(int id) const;
    // Writes a box without its change handler running; the text already holds the value.
    void SetEditText(int id, const CString& text);
    bool Filling() const { return m_filling; }
    void SetHighlight(int code);
    // Runs onFocus(true) when the edit gains the focus and onFocus(false) when it loses it.
    void WatchFocus(int id, std::function<void(bool)> onFocus);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void SetButtons(DWORD buttons);

private:
    bool m_filling = false;
    std::vector<std::pair<QObject*, std::function<void(bool)>>> m_focusWatch;
};

// First page of a new label: design a new label, or open a recent or browsed label file.
class CWzLblCreate : public CPropertyPage
{
    Q_OBJECT
public:
    CWzLblCreate();
    // The file chosen to be opened in place of a new label.
    const CString& GetPathName() const { return m_strPath; }

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;

private:
    void OnBrowse();
    CString m_strPath;
};

// The printer the sheet is laid out for.
class CWzPrnSelect : public CPropertyPage
{
    Q_OBJECT
public:
    CWzPrnSelect();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};

// Paper and orientation.
class CWzPprSelect : public CWzBase
{
    Q_OBJECT
public:
    CWzPprSelect();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void ShowSheetData() override;

    const std::vector<PaperInfo>& Papers() const { return m_papers; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The printer's papers into the list, the sheet's paper chosen (or the sheet takes one).
    void FillPaperList();
    void OnPaperChosen(int entry);
    void OnOrientation(int orientation);
    void OnPrinterForms();
    PaperTurn Turn() const;
    const PaperInfo* SelectedPaper() const;

    std::vector<PaperInfo> m_papers;
    std::vector<int> m_entries;  // the paper index of each list entry
    QWidget* m_watchedWindow = nullptr;
};

// The four margins.
class CWzPprMargins : public CWzBase
{
    Q_OBJECT
public:
    CWzPprMargins();
    BOOL OnSetActive() override;

private:
    void OnMarginChanged();
};

// Columns and rows, label size and gaps.
class CWzLblDivide : public CWzBase
{
    Q_OBJECT
public:
    CWzLblDivide();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

private:
    void OnAutoLabelSize();
    void OnAutoGap();
    void OnCountChanged(bool columns);
    void OnLabelSizeChanged(bool width);
    void OnGapChanged(bool horizontal);
    // The boxes of automatic values show what the solver made of them.
    void ShowSolvedValues();
    void UpdateEnabled();
};

// A page for stock label formats. No format list ships with the program, so its lists stay empty;
// the wizard does not show it.
class CWzLblDesign : public CWzBase
{
    Q_OBJECT
public:
    CWzLblDesign();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

private:
    void SetFormatMode(bool fromFormat);
};

// Runs the wizard on a document (see CDrawDoc::RunLabelWizard): copies the document's layout in,
// runs it, and copies the result back on Finish or OK, marking an existing document modified
// when anything changed.
int RunLabelWizard(CDrawDoc* doc, BOOL bNew, CString* openPath);
// Makes RunLabelWizard the documents' label wizard.
void InstallLabelWizard();
