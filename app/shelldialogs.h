#pragma once
// The shell's small dialogs: the welcome window shown at start-up, the about box and the
// popup notice of the main frame. Their layouts, pictures and texts come from the resource
// module by number; a dialog whose layout is missing is built with the same controls in code.

#include "framework/types.h"

#include <QDialog>
#include <QMap>
#include <QPointer>

#include <functional>

class QTimer;

namespace ShellIds {
constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT IDD_WELCOME = 140;
constexpr UINT IDD_NOTICE = 178;
constexpr UINT IDB_WELCOME = 139;
constexpr int IDC_ABOUT_TEXT = 160;
constexpr int IDC_ABOUT_TITLE = 164;
constexpr int IDC_VERSION = 166;
constexpr int IDC_WEB_LINK = 138;
constexpr int IDC_NOTICE_TITLE = 195;
constexpr int IDC_NOTICE_TEXT = 196;
constexpr int IDC_NOTICE_COMMAND1 = 197;
constexpr int IDC_NOTICE_COMMAND2 = 198;
constexpr UINT IDS_ABOUT_TITLE = 48;
constexpr UINT IDS_ABOUT_TEXT = 49;
constexpr UINT IDS_VERSION_LABEL = 50;
}

// The maker's web page, opened by the about box's link and the Help menu.
extern const char* const kMakerWebPage;

// The version line of the running program ("Version： 1.0.0.1").
CString ProgramVersionLine();

class CWelcomeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CWelcomeDlg(QWidget* parent = nullptr);
    // The dialog closes itself with IDOK when this timer first fires (one second).
    QTimer* CloseTimer() const { return m_timer; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* m_timer;
    QImage m_background;
};

class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    // Opens the maker's web page; the URL opener can be replaced (tests).
    void OnWebLink();
    static void SetUrlOpener(std::function<void(const QString&)> opener);
};

// The content of a popup notice: title, text and up to two command buttons. A click on a
// button closes the popup and sends the button's command to the target.
class CAlarmMsgDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAlarmMsgDlg(QWidget* parent = nullptr);

    // Keys "Title", "Text", "Command1", "Command2"; a missing key reads as empty. A command
    // button with empty text is hidden.
    void SetContent(const QMap<QString, QString>& content);
    // The commands of the two buttons; the target runs them (0 = nothing).
    void SetCommands(std::function<void(UINT id)> target, UINT command1, UINT command2);

signals:
    void closeRequested();

private:
    void OnButton(UINT command);
    std::function<void(UINT)> m_target;
    UINT m_command1 = 0;
    UINT m_command2 = 0;
};

// A small window without frame at the bottom right of its owner, hosting CAlarmMsgDlg. It does
// not close by itself.
class CPopupWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CPopupWindow(QWidget* owner);
    CAlarmMsgDlg* GetDlg() const { return m_dlg; }
    void ShowAtCorner();

private:
    QPointer<QWidget> m_owner;
    CAlarmMsgDlg* m_dlg;
};
