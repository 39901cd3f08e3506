#include "framework/ui/propertysheet.h"

#include "framework/ui/dialogids.h"

#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

// --- CPropertyPage ---------------------------------------------------------------------------

CPropertyPage::CPropertyPage(UINT templateId, const CString& caption, QWidget* parent)
    : QWidget(parent), m_templateId(templateId), m_caption(caption)
{
}

CPropertyPage::~CPropertyPage()
{
    if (m_sheet)
        m_sheet->RemovePage(this);
}

void CPropertyPage::SetCaption(const CString& caption)
{
    m_caption = caption;
    if (m_sheet && m_sheet->m_tabs) {
        const int i = m_sheet->m_tabs->indexOf(this);
        if (i >= 0)
            m_sheet->m_tabs->setTabText(i, caption);
    }
}

void CPropertyPage::SetHeaderTitle(const CString& title)
{
    m_headerTitle = title;
    if (m_sheet && m_sheet->GetActivePage() == this)
        m_sheet->ShowHeader(this);
}

void CPropertyPage::SetHeaderSubTitle(const CString& subtitle)
{
    m_headerSubTitle = subtitle;
    if (m_sheet && m_sheet->GetActivePage() == this)
        m_sheet->ShowHeader(this);
}

void CPropertyPage::SetModified(BOOL modified)
{
    m_modified = modified;
    if (m_sheet)
        m_sheet->UpdateApply();
}

BOOL CPropertyPage::OnInitDialog() { return TRUE; }
BOOL CPropertyPage::OnSetActive() { return TRUE; }
BOOL CPropertyPage::OnKillActive() { return TRUE; }

BOOL CPropertyPage::OnApply()
{
    OnOK();
    m_modified = FALSE;
    return TRUE;
}

void CPropertyPage::OnOK() {}
void CPropertyPage::OnCancel() {}
BOOL CPropertyPage::OnQueryCancel() { return TRUE; }
LRESULT CPropertyPage::OnWizardNext() { return 0; }
LRESULT CPropertyPage::OnWizardBack() { return 0; }
BOOL CPropertyPage::OnWizardFinish() { return TRUE; }

// --- CPropertySheet --------------------------------------------------------------------------

CPropertySheet::CPropertySheet(const CString& caption, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(caption);
}

CPropertySheet::~CPropertySheet()
{
    // The pages belong to the caller: hand back every page that is still alive.
    for (auto& page : m_pages)
        if (page) {
            page->m_sheet = nullptr;
            page->hide();
            page->setParent(nullptr);
        }
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (!page || GetPageIndex(page) >= 0)
        return;
    page->m_sheet = this;
    m_pages.emplace_back(page);
    if (m_tabs) {
        m_switching = true;
        m_tabs->addTab(page, page->Caption());
        m_switching = false;
    } else if (m_stack) {
        m_stack->addWidget(page);
    } else {
        page->setParent(this);
        page->hide();
    }
}

void CPropertySheet::RemovePage(CPropertyPage* page)
{
    const int index = GetPageIndex(page);
    if (index < 0)
        return;
    if (m_tabs) {
        m_switching = true;
        m_tabs->removeTab(m_tabs->indexOf(page));
        m_switching = false;
    }
    if (m_stack)
        m_stack->removeWidget(page);
    m_pages.erase(m_pages.begin() + index);
    page->m_sheet = nullptr;
    if (m_active == index)
        m_active = -1;
    else if (m_active > index)
        --m_active;
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    if (index < 0 || index >= int(m_pages.size()))
        return nullptr;
    return m_pages[size_t(index)];
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const
{
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == page)
            return int(i);
    return -1;
}

void CPropertySheet::SetWizardMode(bool wizard)
{
    // The window of a run in progress keeps its form; the next run takes the new one.
    if (!isVisible())
        m_wizard = wizard;
}

void CPropertySheet::SetHeaderBitmap(const QPixmap& bitmap)
{
    m_headerBitmap = bitmap;
    if (m_headerPicture)
        m_headerPicture->setPixmap(bitmap);
}

void CPropertySheet::EndDialog(int result)
{
    done(result);
}

void CPropertySheet::SetWizardButtons(DWORD flags)
{
    m_wizardFlags = flags;
    m_wizardFlagsSet = true;
    UpdateWizardButtons();
}

int CPropertySheet::IndexOfTemplate(UINT templateId) const
{
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] && m_pages[i]->TemplateId() == templateId)
            return int(i);
    return -1;
}

void CPropertySheet::Build()
{
    if (m_built)
        return;
    m_built = true;
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto addButton = [&](int id, const QString& text, void (CPropertySheet::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::number(id));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        m_buttons.push_back(b);
        return b;
    };

    if (m_wizard) {
        // The header: the page's title and subtitle on the left, the sheet's picture right.
        auto* header = new QHBoxLayout;
        auto* texts = new QVBoxLayout;
        m_title = new QLabel(this);
        m_title->setObjectName(QStringLiteral("headerTitle"));
        QFont f = m_title->font();
        f.setBold(true);
        m_title->setFont(f);
        texts->addWidget(m_title);
        m_subtitle = new QLabel(this);
        m_subtitle->setObjectName(QStringLiteral("headerSubTitle"));
        m_subtitle->setWordWrap(true);
        m_subtitle->setContentsMargins(16, 0, 0, 0);
        texts->addWidget(m_subtitle);
        texts->addStretch(1);
        header->addLayout(texts, 1);
        m_headerPicture = new QLabel(this);
        m_headerPicture->setObjectName(QStringLiteral("headerBitmap"));
        m_headerPicture->setPixmap(m_headerBitmap);
        m_headerPicture->setVisible(!m_headerBitmap.isNull());
        header->addWidget(m_headerPicture, 0, Qt::AlignRight | Qt::AlignTop);
        layout->addLayout(header);
        auto* topLine = new QFrame(this);
        topLine->setFrameShape(QFrame::HLine);
        layout->addWidget(topLine);
        m_stack = new QStackedWidget(this);
        for (auto& page : m_pages)
            if (page)
                m_stack->addWidget(page);
        layout->addWidget(m_stack, 1);
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        layout->addWidget(line);
        addButton(ID_WIZBACK, tr("< &Back"), &CPropertySheet::OnBackClicked);
        addButton(ID_WIZNEXT, tr("&Next >"), &CPropertySheet::OnNextClicked)->setDefault(true);
        addButton(ID_WIZFINISH, tr("Finish"), &CPropertySheet::OnFinishClicked);
        addButton(IDCANCEL, tr("Cancel"), &CPropertySheet::reject);
    } else {
        m_tabs = new QTabWidget(this);
        m_switching = true;
        for (auto& page : m_pages)
            if (page)
                m_tabs->addTab(page, page->Caption());
        m_switching = false;
        connect(m_tabs, &QTabWidget::currentChanged, this, &CPropertySheet::OnTabChanged);
        layout->addWidget(m_tabs, 1);
        addButton(IDOK, tr("OK"), &CPropertySheet::OnOkClicked)->setDefault(true);
        addButton(IDCANCEL, tr("Cancel"), &CPropertySheet::reject);
        if (!(m_flags & PSH_NOAPPLYNOW))
            addButton(ID_APPLY_NOW, tr("&Apply"), &CPropertySheet::OnApplyClicked);
    }
    layout->addLayout(buttons);

    const int first = std::clamp(m_startPage, 0, std::max(0, GetPageCount() - 1));
    if (GetPageCount() > 0) {
        if (m_wizard) {
            // The first page that agrees to show, searching forwards from the start page.
            for (int i = first; i < GetPageCount(); ++i)
                if (Activate(i))
                    break;
        } else {
            Activate(first);
        }
    }
    UpdateApply();
    UpdateWizardButtons();
}

void CPropertySheet::Unbuild()
{
    if (!m_built)
        return;
    // The pages leave the old window's tabs or stack before it goes.
    for (auto& page : m_pages)
        if (page) {
            page->hide();
            page->setParent(this);
            page->m_activated = false;
        }
    const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : children)
        if (!qobject_cast<CPropertyPage*>(w))
            delete w;
    delete layout();
    m_buttons.clear();
    m_tabs = nullptr;
    m_stack = nullptr;
    m_title = m_subtitle = m_headerPicture = nullptr;
    m_active = -1;
    m_wizardFlags = 0;
    m_wizardFlagsSet = false;
    m_built = false;
}

void CPropertySheet::ShowHeader(const CPropertyPage* page)
{
    if (!m_title || !page)
        return;
    m_title->setText(page->HeaderTitle().isEmpty() ? page->Caption() : page->HeaderTitle());
    m_subtitle->setText(page->HeaderSubTitle());
    m_subtitle->setVisible(!page->HeaderSubTitle().isEmpty());
}

QAbstractButton* CPropertySheet::Button(int id) const
{
    for (QAbstractButton* b : m_buttons)
        if (b->objectName() == QString::number(id))
            return b;
    return nullptr;
}

// The first control of a page that Tab reaches takes the focus, as a new wizard page gives it.
void CPropertySheet::FocusFirstField(CPropertyPage* page)
{
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && w->isVisibleTo(page) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
}

// Shows page index; in a wizard a page that refuses (OnSetActive FALSE) is not shown and
// false is returned. The caller has already asked the previous page to let go.
bool CPropertySheet::Activate(int index)
{
    CPropertyPage* page = GetPage(index);
    if (!page)
        return false;
    if (!page->m_activated) {
        page->m_activated = true;
        page->OnInitDialog();
    }
    if (m_wizard) {
        m_stack->setCurrentWidget(page);
        const int previous = m_active;
        m_active = index;
        if (!page->OnSetActive()) {
            m_active = previous;
            if (CPropertyPage* back = GetPage(previous))
                m_stack->setCurrentWidget(back);
            return false;
        }
        ShowHeader(page);
        UpdateWizardButtons();
        FocusFirstField(page);
        return true;
    }
    m_switching = true;
    m_tabs->setCurrentWidget(page);
    m_switching = false;
    m_active = index;
    page->OnSetActive();
    return true;
}

BOOL CPropertySheet::SetActivePage(int index)
{
    Build();
    if (!GetPage(index))
        return FALSE;
    if (index == m_active)
        return TRUE;
    if (CPropertyPage* current = GetActivePage(); current && !current->OnKillActive())
        return FALSE;
    return Activate(index) ? TRUE : FALSE;
}

void CPropertySheet::OnTabChanged(int tabIndex)
{
    if (m_switching)
        return;
    const int index = GetPageIndex(qobject_cast<CPropertyPage*>(m_tabs->widget(tabIndex)));
    if (index < 0 || index == m_active)
        return;
    if (CPropertyPage* current = GetActivePage(); current && !current->OnKillActive()) {
        // The page did not validate: stay on it.
        m_switching = true;
        m_tabs->setCurrentWidget(current);
        m_switching = false;
        return;
    }
    Activate(index);
}

bool CPropertySheet::ApplyAll()
{
    for (size_t i = 0; i < m_pages.size(); ++i) {
        CPropertyPage* page = m_pages[i];
        if (page && page->m_activated && !page->OnApply()) {
            if (int(i) != m_active)
                Activate(int(i));
            return false;
        }
    }
    return true;
}

void CPropertySheet::OnOkClicked()
{
    if (CPropertyPage* current = GetActivePage(); current && !current->OnKillActive())
        return;
    if (ApplyAll())
        done(IDOK);
}

void CPropertySheet::OnApplyClicked()
{
    if (CPropertyPage* current = GetActivePage(); current && !current->OnKillActive())
        return;
    for (auto& page : m_pages)
        if (page && page->m_modified && !page->OnApply())
            break;
    UpdateApply();
}

void CPropertySheet::OnBackClicked()
{
    CPropertyPage* current = GetActivePage();
    if (!current)
        return;
    const LRESULT r = current->OnWizardBack();
    if (r == -1)
        return;
    const int target = r == 0 ? m_active - 1 : IndexOfTemplate(UINT(r));
    if (target < 0 || !current->OnKillActive())
        return;
    for (int i = target; i >= 0; --i)
        if (Activate(i))
            return;
}

void CPropertySheet::OnNextClicked()
{
    CPropertyPage* current = GetActivePage();
    if (!current)
        return;
    const LRESULT r = current->OnWizardNext();
    if (r == -1)
        return;
    const int target = r == 0 ? m_active + 1 : IndexOfTemplate(UINT(r));
    if (target < 0 || target >= GetPageCount() || !current->OnKillActive())
        return;
    const int step = target > m_active ? 1 : -1;
    for (int i = target; i >= 0 && i < GetPageCount(); i += step)
        if (Activate(i))
            return;
}

void CPropertySheet::OnFinishClicked()
{
    CPropertyPage* current = GetActivePage();
    if (current && (!current->OnKillActive() || !current->OnWizardFinish()))
        return;
    done(ID_WIZFINISH);
}

void CPropertySheet::reject()
{
    if (CPropertyPage* current = GetActivePage(); current && !current->OnQueryCancel())
        return;
    for (auto& page : m_pages)
        if (page && page->m_activated)
            page->OnCancel();
    done(IDCANCEL);
}

void CPropertySheet::UpdateWizardButtons()
{
    if (!m_wizard || !m_built)
        return;
    DWORD flags = m_wizardFlags;
    if (!m_wizardFlagsSet) {
        flags = 0;
        if (m_active > 0)
            flags |= PSWIZB_BACK;
        if (m_active + 1 < GetPageCount())
            flags |= PSWIZB_NEXT;
        else
            flags |= PSWIZB_FINISH;
    }
    if (auto* b = Button(ID_WIZBACK))
        b->setEnabled(flags & PSWIZB_BACK);
    if (auto* b = Button(ID_WIZNEXT))
        b->setEnabled(flags & PSWIZB_NEXT);
    if (auto* b = Button(ID_WIZFINISH))
        b->setEnabled((flags & PSWIZB_FINISH) && !(flags & PSWIZB_DISABLEDFINISH));
    if (auto* finish = qobject_cast<QPushButton*>(Button(ID_WIZFINISH)))
        if (auto* next = qobject_cast<QPushButton*>(Button(ID_WIZNEXT))) {
            const bool finishDefault = finish->isEnabled() && !next->isEnabled();
            finish->setDefault(finishDefault);
            next->setDefault(!finishDefault);
        }
}

void CPropertySheet::UpdateApply()
{
    if (auto* apply = Button(ID_APPLY_NOW)) {
        bool any = false;
        for (auto& page : m_pages)
            any = any || (page && page->m_modified);
        apply->setEnabled(any);
    }
}

BOOL CPropertySheet::PressButton(int button)
{
    Build();
    int id = 0;
    switch (button) {
    case PSBTN_BACK: id = ID_WIZBACK; break;
    case PSBTN_NEXT: id = ID_WIZNEXT; break;
    case PSBTN_FINISH: id = ID_WIZFINISH; break;
    case PSBTN_OK: id = IDOK; break;
    case PSBTN_APPLYNOW: id = ID_APPLY_NOW; break;
    case PSBTN_CANCEL: id = IDCANCEL; break;
    default: return FALSE;
    }
    QAbstractButton* b = Button(id);
    if (!b || !b->isEnabled())
        return FALSE;
    b->click();
    return TRUE;
}

void CPropertySheet::setVisible(bool visible)
{
    // Built before the window shows, so that the button captions reach the buttons.
    if (visible)
        Build();
    QDialog::setVisible(visible);
}

int CPropertySheet::DoModal()
{
    // Every run starts from a fresh window in the form asked for, on the start page.
    Unbuild();
    Build();
    return exec();
}
