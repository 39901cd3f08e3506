#pragma once
// Property sheets and wizards: a dialog with pages. As a sheet it shows the pages as tabs with
// OK, Cancel and Apply; in wizard mode it shows one page at a time with Back, Next, Finish and
// Cancel. The sheet does not own its pages: they are usually members of the caller, and the
// sheet lets go of any page still alive when it is destroyed.

#include "framework/types.h"

#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <vector>

class CPropertySheet;
class QAbstractButton;
class QLabel;
class QStackedWidget;
class QTabWidget;

using LRESULT = long;

// Which buttons of a wizard are enabled (SetWizardButtons).
constexpr DWORD PSWIZB_BACK = 0x1;
constexpr DWORD PSWIZB_NEXT = 0x2;
constexpr DWORD PSWIZB_FINISH = 0x4;
constexpr DWORD PSWIZB_DISABLEDFINISH = 0x8;

// Flags of a sheet: PSH_NOAPPLYNOW shows no Apply button.
constexpr DWORD PSH_NOAPPLYNOW = 0x80;

// Buttons for PressButton.
constexpr int PSBTN_BACK = 0;
constexpr int PSBTN_NEXT = 1;
constexpr int PSBTN_FINISH = 2;
constexpr int PSBTN_OK = 3;
constexpr int PSBTN_APPLYNOW = 4;
constexpr int PSBTN_CANCEL = 5;

class CPropertyPage : public QWidget
{
    Q_OBJECT
    friend class CPropertySheet;

public:
    // templateId names the page (the dialog layout it is built from, if any) and is what
    // OnWizardNext and OnWizardBack return to jump to it.
    explicit CPropertyPage(UINT templateId = 0, const CString& caption = {}, QWidget* parent = nullptr);
    ~CPropertyPage() override;

    UINT TemplateId() const { return m_templateId; }
    CString Caption() const { return m_caption; }
    void SetCaption(const CString& caption);

    // A wizard shows the page's header title and subtitle above it; an empty title shows the
    // caption.
    void SetHeaderTitle(const CString& title);
    void SetHeaderSubTitle(const CString& subtitle);
    CString HeaderTitle() const { return m_headerTitle; }
    CString HeaderSubTitle() const { return m_headerSubTitle; }

    CPropertySheet* GetSheet() const { return m_sheet; }
    // Enables the sheet's Apply button; Apply then calls OnApply of the modified pages.
    void SetModified(BOOL modified = TRUE);
    BOOL IsModified() const { return m_modified; }

    // Once in each run of the sheet, before the page is first shown.
    virtual BOOL OnInitDialog();
    // TRUE to show the page; a wizard skips a page that answers FALSE.
    virtual BOOL OnSetActive();
    // FALSE keeps the page (its data did not validate).
    virtual BOOL OnKillActive();
    // FALSE keeps the sheet open. The default calls OnOK and clears the modified flag.
    virtual BOOL OnApply();
    virtual void OnOK();
    virtual void OnCancel();
    // FALSE refuses to cancel.
    virtual BOOL OnQueryCancel();
    // 0 goes to the neighbouring page, -1 stays, any other value goes to the page of that
    // template id.
    virtual LRESULT OnWizardNext();
    virtual LRESULT OnWizardBack();
    // FALSE keeps the wizard open.
    virtual BOOL OnWizardFinish();

private:
    UINT m_templateId;
    CString m_caption;
    CString m_headerTitle;
    CString m_headerSubTitle;
    CPropertySheet* m_sheet = nullptr;
    BOOL m_modified = FALSE;
    bool m_activated = false;
};

class CPropertySheet : public QDialog
{
    Q_OBJECT
    friend class CPropertyPage;

public:
    explicit CPropertySheet(const CString& caption = {}, QWidget* parent = nullptr);
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* page);
    void RemovePage(CPropertyPage* page);
    int GetPageCount() const { return int(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(const CPropertyPage* page) const;

    // Wizard mode (Back, Next, Finish, one page at a time) or a sheet (tabs, OK, Cancel). It
    // may change between runs: each run of DoModal builds the window anew.
    void SetWizardMode(bool wizard = true);
    bool IsWizard() const { return m_wizard; }
    // The picture at the right of a wizard's page header.
    void SetHeaderBitmap(const QPixmap& bitmap);
    void SetWizardButtons(DWORD flags);
    DWORD WizardButtons() const { return m_wizardFlags; }
    // Sheet flags (PSH_*); they take effect when the sheet is built, before it first shows.
    DWORD GetFlags() const { return m_flags; }
    void SetFlags(DWORD flags) { m_flags = flags; }
    // The page shown first.
    void SetStartPage(int index) { m_startPage = index; }

    // IDOK or IDCANCEL for a sheet; ID_WIZFINISH or IDCANCEL for a wizard; the result given to
    // EndDialog when a page ends the run itself.
    int DoModal();
    // Ends the run at once with the given result, without asking the pages.
    void EndDialog(int result);

    int GetActiveIndex() const { return m_active; }
    CPropertyPage* GetActivePage() const { return GetPage(m_active); }
    BOOL SetActivePage(int index);
    BOOL SetActivePage(CPropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
    // Acts as if the user clicked the button (PSBTN_*); FALSE when it is not available.
    BOOL PressButton(int button);
    // A button of the sheet by its id (IDOK, IDCANCEL, ID_APPLY_NOW, ID_WIZBACK, ...).
    QAbstractButton* Button(int id) const;

protected:
    void setVisible(bool visible) override;
    void reject() override;

private:
    void Build();
    // Takes the window of the last run apart; the pages stay.
    void Unbuild();
    void ShowHeader(const CPropertyPage* page);
    static void FocusFirstField(CPropertyPage* page);
    bool Activate(int index);
    void OnTabChanged(int index);
    void OnOkClicked();
    void OnApplyClicked();
    void OnBackClicked();
    void OnNextClicked();
    void OnFinishClicked();
    void UpdateWizardButtons();
    void UpdateApply();
    int IndexOfTemplate(UINT templateId) const;
    bool ApplyAll();

    std::vector<QPointer<CPropertyPage>> m_pages;
    bool m_wizard = false;
    bool m_built = false;
    bool m_wizardFlagsSet = false;
    bool m_switching = false;
    DWORD m_wizardFlags = 0;
    DWORD m_flags = 0;
    int m_active = -1;
    int m_startPage = 0;
    QTabWidget* m_tabs = nullptr;
    QStackedWidget* m_stack = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QLabel* m_headerPicture = nullptr;
    QPixmap m_headerBitmap;
    std::vector<QAbstractButton*> m_buttons;
};
