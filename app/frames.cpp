#include "app/frames.h"

#include "app/commandids.h"
#include "app/shelldialogs.h"
#include "app/shellresources.h"
#include "framework/painterdc.h"
#include "framework/ui/commandrouter.h"
#include "framework/ui/uistrings.h"
#include "view/drawview.h"
#include "view/workspacebars.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QTreeWidget>

using namespace ShellCmd;

namespace {
QPointer<CMainFrame>& TheMainFrame()
{
    static QPointer<CMainFrame> frame;
    return frame;
}

QDockWidget* DressBar(QDockWidget* bar, UINT id, UINT captionId)
{
    bar->setWindowTitle(ShellRes::String(captionId));
    bar->setObjectName(QString::number(id));
    bar->setAllowedAreas(Qt::AllDockWidgetAreas);
    return bar;
}
}

// --- tab view --------------------------------------------------------------------------------

CTabbedViewView::CTabbedViewView(QWidget* parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("59648"));
    setTabPosition(QTabWidget::South);
    setDocumentMode(true);
}

int CTabbedViewView::AddView(QWidget* view, const CString& label)
{
    return addTab(view, label);
}

BOOL CTabbedViewView::SetActiveView(int index)
{
    if (index < 0 || index >= count())
        return FALSE;
    setCurrentIndex(index);
    return TRUE;
}

// --- child frame -----------------------------------------------------------------------------

CSplitFrame::CSplitFrame(QWidget* parent) : QMainWindow(parent)
{
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    m_tabView = new CTabbedViewView(this);
    auto* view = new CDrawView(m_tabView);
    m_tabView->AddView(view, ShellRes::String(kStrViewTab));
    setCentralWidget(m_tabView);

    // The objects bar selects in the view of this frame; the view fills both trees.
    auto* objectsBar = new CObjectsWorkSpaceBar(this);
    objectsBar->m_view = [this] { return GetActiveDrawView(); };
    m_objectsBar = DressBar(objectsBar, kViewObjectsBar, kStrObjectsBar);
    m_objectTree = objectsBar->Tree();
    auto* databaseBar = new CDatabaseWorkSpaceBar(this);
    m_databaseTree = databaseBar->Tree();
    view->SetTrees(m_objectTree, m_databaseTree);
    view->FillTrees();
    m_databaseBar = DressBar(databaseBar, kViewDatabaseBar, kStrDatabaseBar);
    addDockWidget(Qt::RightDockWidgetArea, m_objectsBar);
    addDockWidget(Qt::RightDockWidgetArea, m_databaseBar);
    tabifyDockWidget(m_objectsBar, m_databaseBar);
    // The database bar waits hidden until its command shows it.
    m_databaseBar->hide();
    m_objectsBar->raise();

    OnCommand(kViewObjectsBar, [this] { ToggleBar(m_objectsBar); });
    OnCommand(kViewDatabaseBar, [this] { ToggleBar(m_databaseBar); });
    OnUpdateCommandUI(kViewObjectsBar, [this](CCmdUI* ui) {
        ui->Enable();
        ui->SetCheck(m_objectsBar->isVisible());
    });
    // The database bar has no menu entry: its item leaves the menu the first time it opens.
    OnUpdateCommandUI(kViewDatabaseBar, [](CCmdUI* ui) {
        ui->Enable();
        ui->RemoveFromMenu();
    });
}

CDrawView* CSplitFrame::GetActiveDrawView() const
{
    return qobject_cast<CDrawView*>(m_tabView->GetActiveView());
}

void CSplitFrame::RemoveView()
{
    while (m_tabView->count() > 0) {
        QWidget* view = m_tabView->widget(0);
        m_tabView->removeTab(0);
        delete view;
    }
}

void CSplitFrame::ShowFloatingBars(BOOL active)
{
    // A floating bar is a window of its own above every tab: it shows with its own tab only.
    static const char* const kHiddenWithTab = "qbHiddenWithTab";
    for (QDockWidget* bar : {m_objectsBar, m_databaseBar}) {
        if (!active) {
            if (bar->isFloating() && bar->isVisible()) {
                bar->setProperty(kHiddenWithTab, true);
                bar->hide();
            }
        } else if (bar->property(kHiddenWithTab).toBool()) {
            bar->setProperty(kHiddenWithTab, false);
            bar->show();
        }
    }
}

void CSplitFrame::closeEvent(QCloseEvent* event)
{
    if (m_canClose && !m_canClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CSplitFrame::ToggleBar(QDockWidget* bar)
{
    bar->setVisible(!bar->isVisible());
}

// --- main frame ------------------------------------------------------------------------------

CMainFrame::CMainFrame(CCommandRouter* router, QWidget* parent)
    : QMainWindow(parent), m_router(router), m_mdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("CMainFrame"));
    TheMainFrame() = this;
    // Documents as tabs, like the tabbed groups of the original frame.
    m_mdiArea->setViewMode(QMdiArea::TabbedView);
    m_mdiArea->setTabsClosable(true);
    m_mdiArea->setTabsMovable(true);
    m_mdiArea->setDocumentMode(true);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        // Losing the focus to another program deactivates every child; the current one stays.
        if (sub)
            m_current = sub;
        // A tab's window always fills the area. The area restores the window it maximised
        // before when it maximises another; once that other one is gone, the restored window
        // would show as a loose sub-window.
        if (sub && !sub->isMaximized())
            sub->showMaximized();
        // Only the view of the active label shows its selection and takes the mouse.
        CSplitFrame* active = ActiveChild();
        for (CSplitFrame* child : Children()) {
            if (CDrawView* view = child->GetActiveDrawView())
                view->OnActivateView(child == active);
            child->ShowFloatingBars(child == active);
        }
        UpdateMenuBar();
        emit activeChildChanged(ActiveChild());
        m_router->RequestUpdate();
    });

    OnCommand(kViewComponentsBar, [this] { ToggleBar(m_componentsBar); });
    OnCommand(kViewBarcodesBar, [this] { ToggleBar(m_barcodesBar); });
    OnUpdateCommandUI(kViewComponentsBar, [this](CCmdUI* ui) {
        ui->Enable(m_componentsBar != nullptr);
        ui->SetCheck(m_componentsBar && m_componentsBar->isVisible());
    });
    OnUpdateCommandUI(kViewBarcodesBar, [this](CCmdUI* ui) {
        ui->Enable(m_barcodesBar != nullptr);
        ui->SetCheck(m_barcodesBar && m_barcodesBar->isVisible());
    });
    OnCommand(kViewToolbar, [this] { ToggleBar(m_mainToolBar); });
    OnUpdateCommandUI(kViewToolbar, [this](CCmdUI* ui) { ui->SetCheck(m_mainToolBar && m_mainToolBar->isVisible()); });
    OnCommand(kViewStatusBar, [this] { ToggleBar(statusBar()); });
    OnUpdateCommandUI(kViewStatusBar, [this](CCmdUI* ui) { ui->SetCheck(statusBar()->isVisible()); });
}

CMainFrame::~CMainFrame()
{
    // The menus are kept apart from the menu bar while they are not shown.
    qDeleteAll(m_frameMenus);
    qDeleteAll(m_documentMenus);
}

CMainFrame* CMainFrame::Instance()
{
    return TheMainFrame();
}

CZoomComboBox* CMainFrame::GetZoomComboButton()
{
    CMainFrame* frame = Instance();
    return frame ? frame->m_zoomBox : nullptr;
}

BOOL CMainFrame::Create()
{
    m_baseTitle = AfxGetAppName();
    const CString suffix = ShellRes::String(kStrTitleSuffix);
    if (!suffix.isEmpty())
        m_baseTitle = QStringLiteral("%1(%2)").arg(m_baseTitle, suffix);
    setWindowTitle(m_baseTitle);

    // The bars' context menu lists the main toolbar by the short name of its View command.
    m_mainToolBar = addToolBar(ShellRes::String(kViewToolbar).section(u'\n', 1));
    m_mainToolBar->setObjectName(QString::number(kViewToolbar));
    // The drawing toolbar sits to the left of the main toolbar on the same row.
    m_secondToolBar = new QToolBar(this);
    m_secondToolBar->setObjectName(QString::number(kViewComponentsBar));
    insertToolBar(m_mainToolBar, m_secondToolBar);

    auto* status = statusBar();
    status->setObjectName(QString::number(kViewStatusBar));
    // The idle prompt shows whenever no command prompt does: a prompt is a temporary message
    // over it, and leaving the item clears the message.
    auto* idle = new QLabel(ShellRes::String(kStrIdlePrompt), status);
    idle->setObjectName(QString::number(kStrIdlePrompt));
    status->addWidget(idle, 1);

    // The palettes drag their entries onto the editing view of the active label.
    auto activeView = [this]() -> CDrawView* {
        CSplitFrame* child = ActiveChild();
        return child ? child->GetActiveDrawView() : nullptr;
    };
    auto* components = new CComponentsWorkSpaceBar(this);
    components->m_activeView = activeView;
    auto* barcodes = new CBarcodesWorkSpaceBar(this);
    barcodes->m_activeView = activeView;
    m_componentsBar = DressBar(components, kViewObjectsBar, kStrComponentsBar);
    m_barcodesBar = DressBar(barcodes, kViewBarcodesBar, kStrBarcodesBar);
    if (!m_componentsBar || !m_barcodesBar || !m_mainToolBar || !m_secondToolBar)
        return FALSE;
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    addDockWidget(Qt::LeftDockWidgetArea, m_componentsBar);
    addDockWidget(Qt::LeftDockWidgetArea, m_barcodesBar);
    tabifyDockWidget(m_componentsBar, m_barcodesBar);
    m_barcodesBar->raise();

    m_zoomBox = new CZoomComboBox(this);
    ResetZoomBox();
    UpdateMenuBar();
    return TRUE;
}

void CMainFrame::ResetZoomBox()
{
    if (!m_mainToolBar || !m_zoomBox)
        return;
    // The box takes the place of its command's button, wherever the toolbar has it; a toolbar
    // without that button (not filled yet, or the box already there) leaves the box where it is.
    const auto actions = m_mainToolBar->actions();
    QAction* button = nullptr;
    for (QAction* a : actions)
        if (a != m_zoomBoxAction && CommandIdOf(a) == kZoomBox) {
            button = a;
            break;
        }
    const bool placed = m_zoomBoxAction && actions.contains(m_zoomBoxAction);
    if (!button && placed)
        return;
    QAction* before = nullptr;
    if (button) {
        // The box takes over the command's prompt and tooltip.
        m_zoomBox->setToolTip(button->toolTip());
        m_zoomBox->setStatusTip(button->statusTip());
        const qsizetype i = actions.indexOf(button);
        before = i + 1 < actions.size() ? actions[i + 1] : nullptr;
        if (before == m_zoomBoxAction)
            before = i + 2 < actions.size() ? actions[i + 2] : nullptr;
        m_mainToolBar->removeAction(button);
    }
    if (!m_zoomBoxAction) {
        m_zoomBoxAction = before ? m_mainToolBar->insertWidget(before, m_zoomBox) : m_mainToolBar->addWidget(m_zoomBox);
        return;
    }
    // The box's own entry moves: the toolbar hides the box while it is out and shows it again.
    if (placed)
        m_mainToolBar->removeAction(m_zoomBoxAction);
    m_mainToolBar->insertAction(before, m_zoomBoxAction);
}

QMdiSubWindow* CMainFrame::AddChild(CSplitFrame* child)
{
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->showMaximized();
    m_current = sub;
    return sub;
}

CSplitFrame* CMainFrame::ActiveChild() const
{
    const QList<QMdiSubWindow*> subs = m_mdiArea->subWindowList();
    QMdiSubWindow* sub = m_mdiArea->activeSubWindow();
    if (!sub && m_current && subs.contains(m_current.data()))
        sub = m_current;
    if (!sub && !subs.isEmpty())
        sub = subs.last();
    return sub ? qobject_cast<CSplitFrame*>(sub->widget()) : nullptr;
}

void CMainFrame::ActivateChild(QMdiSubWindow* sub)
{
    if (!sub)
        return;
    m_current = sub;
    m_mdiArea->setActiveSubWindow(sub);
    UpdateMenuBar();
    emit activeChildChanged(ActiveChild());
    m_router->RequestUpdate();
}

QList<CSplitFrame*> CMainFrame::Children() const
{
    QList<CSplitFrame*> children;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList())
        if (auto* child = qobject_cast<CSplitFrame*>(sub->widget()))
            children.append(child);
    return children;
}

void CMainFrame::SetMenus(QList<QMenu*> frameMenus, QList<QMenu*> documentMenus)
{
    menuBar()->clear();
    qDeleteAll(m_frameMenus);
    qDeleteAll(m_documentMenus);
    m_frameMenus = std::move(frameMenus);
    m_documentMenus = std::move(documentMenus);
    UpdateMenuBar();
}

void CMainFrame::UpdateMenuBar()
{
    const QList<QMenu*>& wanted = Children().isEmpty() ? m_frameMenus : m_documentMenus;
    QList<QAction*> present = menuBar()->actions();
    bool same = present.size() == wanted.size();
    for (qsizetype i = 0; same && i < wanted.size(); ++i)
        same = present[i] == wanted[i]->menuAction();
    if (same)
        return;
    menuBar()->clear();
    for (QMenu* menu : wanted)
        menuBar()->addMenu(menu);
}

void CMainFrame::SetDocumentTitle(const CString& title)
{
    setWindowTitle(title.isEmpty() ? m_baseTitle : QStringLiteral("%1 - %2").arg(m_baseTitle, title));
}

CPopupWindow* CMainFrame::ShowPopupNotice(const CString& text, const CString& command1,
                                          const CString& command2, UINT id1, UINT id2)
{
    auto* popup = new CPopupWindow(this);
    popup->GetDlg()->SetContent({{QStringLiteral("Text"), text},
                                 {QStringLiteral("Command1"), command1},
                                 {QStringLiteral("Command2"), command2}});
    QPointer<CCommandRouter> router(m_router);
    popup->GetDlg()->SetCommands(
        [router](UINT id) {
            if (router && id)
                router->Execute(id);
        },
        id1, id2);
    popup->ShowAtCorner();
    return popup;
}

QMenu* CMainFrame::createPopupMenu()
{
    // Bars without a name would show as entries without text.
    QMenu* menu = QMainWindow::createPopupMenu();
    if (!menu)
        return nullptr;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->text().isEmpty())
            menu->removeAction(a);
    while (!menu->actions().isEmpty() && menu->actions().constLast()->isSeparator())
        menu->removeAction(menu->actions().constLast());
    return menu;
}

void CMainFrame::ToggleBar(QWidget* bar)
{
    if (bar)
        bar->setVisible(!bar->isVisible());
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_canClose && !m_canClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
