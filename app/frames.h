#pragma once
// The program's windows: the main frame with its menu bar, toolbars, zoom box, status bar and
// docking bars; the child frame of each open label with its own docking bars; the tab view that
// fills the child frame and hosts the label's editing view.

#include "app/zoombox.h"
#include "framework/types.h"
#include "framework/ui/cmdtarget.h"
#include "objects/drawviewbase.h"

#include <QMainWindow>
#include <QPointer>
#include <QTabWidget>

#include <functional>

class CCommandRouter;
class CDrawView;
class CPopupWindow;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QTreeWidget;

class CTabbedViewView : public QTabWidget, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CTabbedViewView(QWidget* parent = nullptr);
    int AddView(QWidget* view, const CString& label);
    QWidget* GetActiveView() const { return currentWidget(); }
    BOOL SetActiveView(int index);
};

class CSplitFrame : public QMainWindow, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CSplitFrame(QWidget* parent = nullptr);

    CTabbedViewView* TabView() const { return m_tabView; }
    // The editing view of the active tab (null when the view was removed).
    CDrawView* GetActiveDrawView() const;
    // Takes the view out, as after a label wizard that was not finished.
    void RemoveView();
    QDockWidget* ObjectsBar() const { return m_objectsBar; }
    QDockWidget* DatabaseBar() const { return m_databaseBar; }
    QTreeWidget* ObjectTree() const { return m_objectTree; }
    QTreeWidget* DatabaseTree() const { return m_databaseTree; }

    // Shows the frame's floating bars while its tab is the active one, hides them otherwise.
    void ShowFloatingBars(BOOL active);

    // The frame's document, for the route (set by the application).
    CCmdTarget* m_pDocumentTarget = nullptr;
    // Asked before the window closes; false keeps it open.
    std::function<bool()> m_canClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ToggleBar(QDockWidget* bar);

    CTabbedViewView* m_tabView;
    QDockWidget* m_objectsBar;
    QDockWidget* m_databaseBar;
    QTreeWidget* m_objectTree;
    QTreeWidget* m_databaseTree;
};

class CMainFrame : public QMainWindow, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CMainFrame(CCommandRouter* router, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the bars and lays the frame out; FALSE when a bar could not be made.
    BOOL Create();

    // The zoom box of the main toolbar of the running program's main frame, or null.
    static CZoomComboBox* GetZoomComboButton();
    static CMainFrame* Instance();
    CZoomComboBox* ZoomBox() const { return m_zoomBox; }

    // TRUE while documents are opened rather than created new: a new window then runs no
    // label wizard.
    BOOL m_bOpenFlag = FALSE;

    QMdiArea* MdiArea() const { return m_mdiArea; }
    QMdiSubWindow* AddChild(CSplitFrame* child);
    CSplitFrame* ActiveChild() const;
    void ActivateChild(QMdiSubWindow* sub);
    QList<CSplitFrame*> Children() const;

    QToolBar* MainToolBar() const { return m_mainToolBar; }
    QToolBar* SecondToolBar() const { return m_secondToolBar; }
    QDockWidget* ComponentsBar() const { return m_componentsBar; }
    QDockWidget* BarcodesBar() const { return m_barcodesBar; }

    // The menus of the frame without a document and with one; the menu bar switches between
    // them as labels open and close.
    void SetMenus(QList<QMenu*> frameMenus, QList<QMenu*> documentMenus);
    void UpdateMenuBar();
    // Puts the zoom box in place of its command's button on the main toolbar, also when the
    // toolbar was filled (or emptied and filled again) after the box was first placed.
    void ResetZoomBox();
    void SetDocumentTitle(const CString& title);

    // A notice at the bottom right of the frame with up to two command buttons; commands go
    // through the router. It stays until closed.
    CPopupWindow* ShowPopupNotice(const CString& text, const CString& command1 = {},
                                  const CString& command2 = {}, UINT id1 = 0, UINT id2 = 0);

    // Asked before the frame closes; false keeps it open.
    std::function<bool()> m_canClose;

signals:
    void activeChildChanged(CSplitFrame* child);

protected:
    void closeEvent(QCloseEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    void ToggleBar(QWidget* bar);

    CCommandRouter* m_router;
    QMdiArea* m_mdiArea;
    QToolBar* m_mainToolBar = nullptr;
    QToolBar* m_secondToolBar = nullptr;
    QDockWidget* m_componentsBar = nullptr;
    QDockWidget* m_barcodesBar = nullptr;
    CZoomComboBox* m_zoomBox = nullptr;
    QAction* m_zoomBoxAction = nullptr;  // the box's entry on the main toolbar
    QList<QMenu*> m_frameMenus;
    QList<QMenu*> m_documentMenus;
    CString m_baseTitle;
    QPointer<QMdiSubWindow> m_current;  // the last child made active
};
