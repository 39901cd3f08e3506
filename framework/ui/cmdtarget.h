#pragma once
// Command targets and update handlers: the objects a command is routed through (view,
// document, child frame, main frame, application) register their handlers by command id.

#include "framework/types.h"

#include <functional>
#include <map>
#include <vector>
#include <utility>

class QAction;
class QMenu;

// Notification codes of a routed command. 0 is a plain command (a menu item, a toolbar button
// or a button click); positive codes are control notifications such as a combo box's.
constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;
constexpr int CBN_SELCHANGE = 1;
constexpr int CBN_SELENDOK = 9;

// The state an update handler sets on one command: enabled, checked, radio and caption. It
// writes through to the command's QAction, so menus and toolbar buttons follow.
class CCmdUI
{
public:
    CCmdUI(UINT id, QAction* action, QMenu* menu = nullptr);

    UINT m_nID;

    void Enable(BOOL on = TRUE);
    // 0 unchecked, 1 checked; 2 (indeterminate) shows as checked, a menu has no third state.
    void SetCheck(int check = 1);
    void SetRadio(BOOL on = TRUE);
    void SetText(const CString& text);

    // The menu being opened when the update comes from a menu, else null.
    QMenu* Menu() const { return m_menu; }
    // Takes the command out of the menu being opened (for commands that must have no menu
    // entry); does nothing outside a menu update.
    void RemoveFromMenu();

    QAction* Action() const { return m_action; }
    // TRUE once the update handler called Enable; otherwise the router decides.
    BOOL EnableChanged() const { return m_bEnableChanged; }

private:
    QAction* m_action;
    QMenu* m_menu;
    BOOL m_bEnableChanged = FALSE;
};

class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    // code CN_COMMAND (or a control notification): runs the handler; CN_UPDATE_COMMAND_UI:
    // runs the update handler with pCmdUI. TRUE when this target took the command.
    virtual BOOL OnCmdMsg(UINT id, int code, CCmdUI* pCmdUI);
    // TRUE when this target would run the command (used to enable commands without an
    // update handler).
    virtual BOOL HasCommandHandler(UINT id, int code = CN_COMMAND) const;

protected:
    void OnCommand(UINT id, std::function<void()> handler);
    void OnCommandRange(UINT first, UINT last, std::function<void(UINT)> handler);
    void OnNotify(UINT id, int code, std::function<void()> handler);
    void OnUpdateCommandUI(UINT id, std::function<void(CCmdUI*)> handler);
    void OnUpdateCommandUIRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler);

private:
    struct Range {
        UINT first, last;
        std::function<void(UINT)> handler;
    };
    std::map<std::pair<UINT, int>, std::function<void()>> m_commands;
    std::vector<Range> m_ranges;
    std::map<UINT, std::function<void(CCmdUI*)>> m_updates;
    struct UpdateRange {
        UINT first, last;
        std::function<void(CCmdUI*)> handler;
    };
    std::vector<UpdateRange> m_updateRanges;
};
