#include "framework/ui/commandrouter.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QToolBar>

#include "framework/resourcemodule.h"
#include "framework/ui/uistrings.h"

namespace {
const char* const kIdProperty = "qbCommandId";

// A command's string in the string table: the status-bar prompt and, after "\n", the tooltip.
void DescribeCommand(QAction* action, UINT id)
{
    const CString text = AfxLoadString(id);
    if (text.isEmpty())
        return;
    const qsizetype newline = text.indexOf(u'\n');
    action->setStatusTip(newline < 0 ? text : text.left(newline));
    if (newline >= 0)
        action->setToolTip(text.mid(newline + 1));
}
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
    if (qApp) {
        connect(qApp, &QApplication::focusChanged, this, &CCommandRouter::RequestUpdate);
        qApp->installEventFilter(this);
    }
}

bool CCommandRouter::eventFilter(QObject* watched, QEvent* event)
{
    // A click or a drag may change what the commands show (a drawing tool that ends goes back
    // to the select tool), as a command does.
    if (event->type() == QEvent::MouseButtonRelease)
        RequestUpdate();
    return QObject::eventFilter(watched, event);
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
            break;
    // An update handler that only sets the check mark or the text leaves the enabled state to
    // the rule for commands without one: enabled exactly when some target would run it.
    if (ui.EnableChanged())
        return;
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

QList<QMenu*> CCommandRouter::BuildMenus(const CMenuTemplate& tmpl)
{
    QList<QMenu*> menus;
    for (const CMenuTemplateItem& item : tmpl.items) {
        if (item.kind != CMenuTemplateItem::Popup)
            continue;
        auto* menu = new QMenu(item.caption);
        FillMenu(menu, item.items);
        menus.append(menu);
    }
    return menus;
}

void CCommandRouter::FillMenu(QMenu* menu, const std::vector<CMenuTemplateItem>& items)
{
    WatchMenu(menu);
    for (const CMenuTemplateItem& item : items) {
        switch (item.kind) {
        case CMenuTemplateItem::Separator:
            menu->addSeparator();
            break;
        case CMenuTemplateItem::Popup: {
            QMenu* sub = menu->addMenu(item.caption);
            FillMenu(sub, item.items);
            break;
        }
        case CMenuTemplateItem::Command: {
            QAction* action = Action(item.id);
            DescribeCommand(action, item.id);
            // The menu's caption wins over a toolbar's empty one; the first shortcuts stay. A
            // command may have several keys, such as Ctrl++ and Ctrl+= where + needs Shift.
            if (!item.caption.isEmpty())
                action->setText(item.caption);
            if (action->shortcut().isEmpty() && !item.shortcut.isEmpty())
                action->setShortcuts(QKeySequence::listFromString(item.shortcut, QKeySequence::PortableText));
            menu->addAction(action);
            break;
        }
        }
    }
}

void CCommandRouter::BuildToolBar(QToolBar* toolbar, const CToolbarTemplate& tmpl, const QImage& strip,
                                  QRgb transparent)
{
    const int w = std::max(1, tmpl.imageWidth), h = std::max(1, tmpl.imageHeight);
    for (const CToolbarButton& button : tmpl.buttons) {
        if (button.IsSeparator()) {
            toolbar->addSeparator();
            continue;
        }
        QAction* action = Action(button.id);
        DescribeCommand(action, button.id);
        const int perRow = strip.width() / w;
        if (action->icon().isNull() && button.image >= 0 && perRow > 0 &&
            button.image / perRow < strip.height() / h) {
            QImage cell = strip.copy((button.image % perRow) * w, (button.image / perRow) * h, w, h)
                              .convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < cell.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
                for (int x = 0; x < cell.width(); ++x)
                    if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF))
                        line[x] = 0;
            }
            action->setIcon(QIcon(QPixmap::fromImage(cell)));
        }
        // A button without a menu entry is named by its tooltip.
        if (action->text().isEmpty())
            action->setText(action->toolTip().isEmpty() ? QString::number(button.id) : action->toolTip());
        toolbar->addAction(action);
    }
}
