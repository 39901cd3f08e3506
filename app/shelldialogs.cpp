#include "app/shelldialogs.h"

#include "framework/ui/dialoglayout.h"
#include "app/shellresources.h"
#include "framework/fileversioninfo.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/uistrings.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace ShellIds;

const char* const kMakerWebPage = "https://brellinwick.example/quillbar";

CString ProgramVersionLine()
{
    CFileVersionInfo info;
    info.CreateForRunningProgram();
    return FormatVersionLine(ShellRes::String(IDS_VERSION_LABEL), info);
}

namespace {
QLabel* AddLabel(QWidget* parent, QLayout* layout, int id)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    layout->addWidget(label);
    return label;
}

QPushButton* AddButton(QWidget* parent, QLayout* layout, int id, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    layout->addWidget(button);
    return button;
}
}

// --- welcome ---------------------------------------------------------------------------------

CWelcomeDlg::CWelcomeDlg(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
      m_timer(new QTimer(this))
{
    if (!ApplyDialogLayout(this, ShellRes::DialogLayout(IDD_WELCOME))) {
        auto* layout = new QVBoxLayout(this);
        layout->addStretch(1);
        AddLabel(this, layout, IDC_VERSION)->setAlignment(Qt::AlignCenter);
        setFixedSize(420, 260);
    }
    m_background = ShellRes::Bitmap(IDB_WELCOME);
    if (auto* version = GetDlgItem<QLabel>(this, IDC_VERSION)) {
        QFont font = version->font();
        font.setPixelSize(16);  // 12 points at 96 dpi
        version->setFont(font);
        version->setText(ProgramVersionLine());
    }
    // Closes on the first tick even when nobody touches it; Enter and Escape close it earlier.
    m_timer->setSingleShot(true);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { done(IDOK); });
    m_timer->start();
}

void CWelcomeDlg::paintEvent(QPaintEvent* event)
{
    if (m_background.isNull())
        return QDialog::paintEvent(event);
    QPainter painter(this);
    painter.drawTiledPixmap(rect(), QPixmap::fromImage(m_background));
}

// --- about -----------------------------------------------------------------------------------

namespace {
std::function<void(const QString&)>& UrlOpener()
{
    static std::function<void(const QString&)> opener = [](const QString& url) {
        QDesktopServices::openUrl(QUrl(url));
    };
    return opener;
}
}

void CAboutDlg::SetUrlOpener(std::function<void(const QString&)> opener)
{
    UrlOpener() = std::move(opener);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    if (!ApplyDialogLayout(this, ShellRes::DialogLayout(IDD_ABOUTBOX))) {
        setWindowTitle(AfxGetAppName());
        auto* layout = new QVBoxLayout(this);
        AddLabel(this, layout, IDC_ABOUT_TITLE);
        AddLabel(this, layout, IDC_VERSION);
        auto* text = new QPlainTextEdit(this);
        text->setObjectName(QString::number(IDC_ABOUT_TEXT));
        text->setReadOnly(true);
        layout->addWidget(text);
        auto* row = new QHBoxLayout;
        AddButton(this, row, IDC_WEB_LINK, {})->setFlat(true);
        row->addStretch(1);
        connect(AddButton(this, row, IDOK, tr("OK")), &QPushButton::clicked, this, &QDialog::accept);
        layout->addLayout(row);
    }
    SetDlgItemText(this, IDC_ABOUT_TITLE, ShellRes::String(IDS_ABOUT_TITLE));
    SetDlgItemText(this, IDC_ABOUT_TEXT, ShellRes::String(IDS_ABOUT_TEXT));
    SetDlgItemText(this, IDC_VERSION, ProgramVersionLine());
    // The link shows the address it opens.
    const QString page = QString::fromLatin1(kMakerWebPage);
    if (auto* link = GetDlgItem<QAbstractButton>(this, IDC_WEB_LINK)) {
        link->setText(page);
        connect(link, &QAbstractButton::clicked, this, &CAboutDlg::OnWebLink);
    } else if (auto* label = GetDlgItem<QLabel>(this, IDC_WEB_LINK)) {
        label->setTextFormat(Qt::RichText);
        label->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(page.toHtmlEscaped()));
        connect(label, &QLabel::linkActivated, this, &CAboutDlg::OnWebLink);
    }
}

void CAboutDlg::OnWebLink()
{
    if (UrlOpener())
        UrlOpener()(QString::fromLatin1(kMakerWebPage));
}

// --- popup notice ----------------------------------------------------------------------------

CAlarmMsgDlg::CAlarmMsgDlg(QWidget* parent) : QDialog(parent, Qt::Widget)
{
    if (!ApplyDialogLayout(this, ShellRes::DialogLayout(IDD_NOTICE))) {
        auto* layout = new QVBoxLayout(this);
        QLabel* title = AddLabel(this, layout, IDC_NOTICE_TITLE);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        AddLabel(this, layout, IDC_NOTICE_TEXT)->setWordWrap(true);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        AddButton(this, row, IDC_NOTICE_COMMAND1, {});
        AddButton(this, row, IDC_NOTICE_COMMAND2, {});
        layout->addLayout(row);
    }
    if (auto* b = GetDlgItem<QAbstractButton>(this, IDC_NOTICE_COMMAND1))
        connect(b, &QAbstractButton::clicked, this, [this] { OnButton(m_command1); });
    if (auto* b = GetDlgItem<QAbstractButton>(this, IDC_NOTICE_COMMAND2))
        connect(b, &QAbstractButton::clicked, this, [this] { OnButton(m_command2); });
}

void CAlarmMsgDlg::SetContent(const QMap<QString, QString>& content)
{
    SetDlgItemText(this, IDC_NOTICE_TITLE, content.value(QStringLiteral("Title")));
    SetDlgItemText(this, IDC_NOTICE_TEXT, content.value(QStringLiteral("Text")));
    const std::pair<int, const char*> buttons[] = {{IDC_NOTICE_COMMAND1, "Command1"},
                                                   {IDC_NOTICE_COMMAND2, "Command2"}};
    for (const auto& [id, key] : buttons)
        if (auto* b = GetDlgItem<QAbstractButton>(this, id)) {
            const QString text = content.value(QString::fromLatin1(key));
            b->setText(text);
            b->setVisible(!text.isEmpty());
        }
}

void CAlarmMsgDlg::SetCommands(std::function<void(UINT)> target, UINT command1, UINT command2)
{
    m_target = std::move(target);
    m_command1 = command1;
    m_command2 = command2;
}

void CAlarmMsgDlg::OnButton(UINT command)
{
    if (!m_target)
        return;
    // Close first, as the command may take a while or open a dialog of its own.
    emit closeRequested();
    m_target(command);
}

CPopupWindow::CPopupWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_owner(owner), m_dlg(new CAlarmMsgDlg(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowOpacity(200.0 / 255.0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    // The small caption: the program's name and a close button.
    auto* caption = new QHBoxLayout;
    caption->setContentsMargins(6, 2, 2, 2);
    auto* name = new QLabel(AfxGetAppName(), this);
    caption->addWidget(name, 1);
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("\u00D7"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    caption->addWidget(close);
    layout->addLayout(caption);
    layout->addWidget(m_dlg);
    connect(m_dlg, &CAlarmMsgDlg::closeRequested, this, &QWidget::close, Qt::QueuedConnection);
    setStyleSheet(QStringLiteral("CPopupWindow { border: 1px solid palette(mid); }"));
}

void CPopupWindow::ShowAtCorner()
{
    adjustSize();
    QRect area = m_owner ? m_owner->frameGeometry() : QRect();
    if (area.isEmpty())
        if (QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
    move(area.right() - width() - 8, area.bottom() - height() - 8);
    show();
}
