#pragma once
// The command router: one QAction per command id, shared by menus, toolbars and shortcuts.
// A triggered action goes along the route (active view, its document, child frame, main frame,
// application) and the first target with a handler takes it. Update handlers set enabled,
// checked and radio state when a menu opens and, coalesced, after focus, selection or
// document changes and after every mouse-button release (a drag may end a tool).

#include "framework/types.h"
#include "framework/ui/cmdtarget.h"

#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class QToolBar;
struct CMenuTemplate;
struct CMenuTemplateItem;
struct CToolbarTemplate;

class CCommandRouter : public QObject
{
    Q_OBJECT
public:
    using Route = std::function<std::vector<CCmdTarget*>()>;

    explicit CCommandRouter(QObject* parent = nullptr);
    ~CCommandRouter() override;

    void SetRoute(Route route) { m_route = std::move(route); }
    std::vector<CCmdTarget*> CurrentRoute() const;

    // The action of a command id, created on first use; its text and shortcut are set by the
    // first caller that gives them.
    QAction* Action(UINT id);
    QAction* FindAction(UINT id) const;
    QAction* AddAction(UINT id, const CString& text, const QKeySequence& shortcut = {},
                       const QIcon& icon = {});
    const std::map<UINT, QAction*>& Actions() const { return m_actions; }

    // Routes a command (or a control notification) and reports whether a target took it.
    BOOL Execute(UINT id, int code = CN_COMMAND);
    // Sets the state of one command; menu is the menu being opened, if any.
    void UpdateCommand(UINT id, QMenu* menu = nullptr);
    void UpdateAll();
    // Updates the commands of a menu just before it opens. Connect it to aboutToShow.
    void UpdateMenu(QMenu* menu);
    void WatchMenu(QMenu* menu);
    // Asks for an update of every command once control returns to the event loop.
    void RequestUpdate();

    // The popups of a menu template as menus whose items are the router's actions; the
    // caller owns the menus.
    QList<QMenu*> BuildMenus(const CMenuTemplate& menu);
    // Fills a toolbar from a template; the pictures are cells of the strip, whose colour
    // transparent becomes transparent.
    void BuildToolBar(QToolBar* toolbar, const CToolbarTemplate& tmpl, const QImage& strip,
                      QRgb transparent = qRgb(255, 0, 255));

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // After a command was routed; handled is false when nobody took it.
    void commandRouted(UINT id, int code, bool handled);

private:
    void FillMenu(QMenu* menu, const std::vector<CMenuTemplateItem>& items);

    Route m_route;
    std::map<UINT, QAction*> m_actions;
    QTimer* m_updateTimer;
};

// The id of an action made by the router, or 0.
UINT CommandIdOf(const QAction* action);
