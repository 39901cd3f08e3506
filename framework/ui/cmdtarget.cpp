#include "framework/ui/cmdtarget.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

CCmdUI::CCmdUI(UINT id, QAction* action, QMenu* menu) : m_nID(id), m_action(action), m_menu(menu) {}

void CCmdUI::Enable(BOOL on)
{
    m_bEnableChanged = TRUE;
    if (m_action)
        m_action->setEnabled(on != FALSE);
}

void CCmdUI::SetCheck(int check)
{
    if (!m_action)
        return;
    m_action->setCheckable(true);
    m_action->setChecked(check != 0);
}

void CCmdUI::SetRadio(BOOL on)
{
    if (!m_action)
        return;
    // A menu draws a radio mark for actions of an exclusive group; a group of its own, that
    // still allows "none", lets every handler decide the state by itself.
    if (!m_action->actionGroup()) {
        auto* group = new QActionGroup(m_action);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        group->addAction(m_action);
    }
    m_action->setCheckable(true);
    m_action->setChecked(on != FALSE);
}

void CCmdUI::SetText(const CString& text)
{
    if (m_action)
        m_action->setText(text);
}

void CCmdUI::RemoveFromMenu()
{
    if (m_menu && m_action)
        m_menu->removeAction(m_action);
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code, CCmdUI* pCmdUI)
{
    if (code == CN_UPDATE_COMMAND_UI) {
        if (auto it = m_updates.find(id); it != m_updates.end()) {
            it->second(pCmdUI);
            return TRUE;
        }
        for (const auto& r : m_updateRanges)
            if (id >= r.first && id <= r.last) {
                r.handler(pCmdUI);
                return TRUE;
            }
        return FALSE;
    }
    if (auto it = m_commands.find({id, code}); it != m_commands.end()) {
        // A copy: the handler may close the window that owns this target.
        auto handler = it->second;
        handler();
        return TRUE;
    }
    if (code == CN_COMMAND)
        for (const auto& r : m_ranges)
            if (id >= r.first && id <= r.last) {
                auto handler = r.handler;
                handler(id);
                return TRUE;
            }
    return FALSE;
}

BOOL CCmdTarget::HasCommandHandler(UINT id, int code) const
{
    if (m_commands.count({id, code}))
        return TRUE;
    if (code == CN_COMMAND)
        for (const auto& r : m_ranges)
            if (id >= r.first && id <= r.last)
                return TRUE;
    return FALSE;
}

void CCmdTarget::OnCommand(UINT id, std::function<void()> handler)
{
    m_commands[{id, CN_COMMAND}] = std::move(handler);
}

void CCmdTarget::OnCommandRange(UINT first, UINT last, std::function<void(UINT)> handler)
{
    m_ranges.push_back({first, last, std::move(handler)});
}

void CCmdTarget::OnNotify(UINT id, int code, std::function<void()> handler)
{
    m_commands[{id, code}] = std::move(handler);
}

void CCmdTarget::OnUpdateCommandUI(UINT id, std::function<void(CCmdUI*)> handler)
{
    m_updates[id] = std::move(handler);
}

void CCmdTarget::OnUpdateCommandUIRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler)
{
    m_updateRanges.push_back({first, last, std::move(handler)});
}
