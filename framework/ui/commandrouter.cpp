#include "framework/ui/commandrouter.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

namespace {
const char* const kIdProperty = "qbCommandId";
}

UINT CommandIdOf(const QAction* action)
{
    if (!action)
        return 0;
    return action->property(kIdProperty).toUInt();
}

CCommandRouter::CCommandRouter(QObject* parent) : QObject(parent), m_updateTimer(new QTimer(this))
{
    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(0);
    connect(m_updateTimer, &QTimer::timeout, this, &CCommandRouter::UpdateAll);
    if (qApp)
        connect(qApp, &QApplication::focusChanged, this, &CCommandRouter::RequestUpdate);
}

CCommandRouter::~CCommandRouter() = default;

std::vector<CCmdTarget*> CCommandRouter::CurrentRoute() const
{
    if (!m_route)
        return {};
    return m_route();
}

QAction* CCommandRouter::FindAction(UINT id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QAction* CCommandRouter::Action(UINT id)
{
    if (QAction* a = FindAction(id))
        return a;
    auto* action = new QAction(this);
    action->setProperty(kIdProperty, id);
    // Commands without a handler start disabled, as they show until the first update.
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions[id] = action;
    return action;
}

QAction* CCommandRouter::AddAction(UINT id, const CString& text, const QKeySequence& shortcut,
                                   const QIcon& icon)
{
    QAction* action = Action(id);
    if (action->text().isEmpty() && !text.isEmpty())
        action->setText(text);
    if (action->shortcut().isEmpty() && !shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (action->icon().isNull() && !icon.isNull())
        action->setIcon(icon);
    return action;
}

BOOL CCommandRouter::Execute(UINT id, int code)
{
    bool handled = false;
    for (CCmdTarget* target : CurrentRoute()) {
        if (target && target->OnCmdMsg(id, code, nullptr)) {
            handled = true;
            break;
        }
    }
    emit commandRouted(id, code, handled);
    RequestUpdate();
    return handled ? TRUE : FALSE;
}

void CCommandRouter::UpdateCommand(UINT id, QMenu* menu)
{
    QAction* action = FindAction(id);
    if (!action)
        return;
    CCmdUI ui(id, action, menu);
    const auto route = CurrentRoute();
    for (CCmdTarget* target : route)
        if (target && target->OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui))
            return;
    // No update handler anywhere: enabled exactly when some target would run the command.
    bool runnable = false;
    for (CCmdTarget* target : route)
        if (target && target->HasCommandHandler(id)) {
            runnable = true;
            break;
        }
    action->setEnabled(runnable);
}

void CCommandRouter::UpdateAll()
{
    // Ids first: an update handler may remove or create actions.
    std::vector<UINT> ids;
    ids.reserve(m_actions.size());
    for (const auto& entry : m_actions)
        ids.push_back(entry.first);
    for (UINT id : ids)
        UpdateCommand(id);
}

void CCommandRouter::UpdateMenu(QMenu* menu)
{
    if (!menu)
        return;
    const auto actions = menu->actions();
    for (QAction* action : actions) {
        if (action->menu())
            continue;
        if (UINT id = CommandIdOf(action))
            UpdateCommand(id, menu);
    }
}

void CCommandRouter::WatchMenu(QMenu* menu)
{
    QPointer<QMenu> guard(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, guard] { UpdateMenu(guard); });
}

void CCommandRouter::RequestUpdate()
{
    if (!m_updateTimer->isActive())
        m_updateTimer->start();
}
