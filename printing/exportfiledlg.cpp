#include "printing/exportfiledlg.h"

#include "framework/resourcemodule.h"
#include "framework/textnumbers.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr UINT kTemplate = 170;
constexpr int kResolutionEdit = 185;
constexpr int kPathEdit = 125;
constexpr int kBrowseButton = 3;
constexpr UINT kStrDefaultExt = 26;
constexpr UINT kStrNoPath = 44;
constexpr UINT kStrRange = 45;
const char* const kFilter =
    "Windows BMP(*.bmp)|*.bmp|JPG/JPEG(*.jpg)|*.jpg;*.JPEG|GIF(*.gif)|*.gif|PNG(*.png)|*.png|||";

QPushButton* Button(QWidget* parent, int id, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::number(id));
    return b;
}

}  // namespace

CExportFileDlg::CExportFileDlg(QWidget* parent) : QDialog(parent)
{
    if (!ApplyDialogLayout(this, CResourceModule::Get().LoadDialogLayout(kTemplate))) {
        // Without the resource module: the same controls in a plain form.
        auto* layout = new QVBoxLayout(this);
        auto* form = new QFormLayout;
        auto* row = new QHBoxLayout;
        auto* path = new QLineEdit(this);
        path->setObjectName(QString::number(kPathEdit));
        row->addWidget(path);
        row->addWidget(Button(this, kBrowseButton, QStringLiteral("Browse...")));
        form->addRow(QStringLiteral("File:"), row);
        auto* dpi = new QLineEdit(this);
        dpi->setObjectName(QString::number(kResolutionEdit));
        form->addRow(QStringLiteral("Resolution (dpi):"), dpi);
        layout->addLayout(form);
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* ok = Button(this, IDOK, QStringLiteral("OK"));
        ok->setDefault(true);
        buttons->addButton(ok, QDialogButtonBox::AcceptRole);
        buttons->addButton(Button(this, IDCANCEL, QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    m_resolution = GetDlgItem<QLineEdit>(this, kResolutionEdit);
    m_path = GetDlgItem<QLineEdit>(this, kPathEdit);
    m_cancel = GetDlgItem<QPushButton>(this, IDCANCEL);
    if (auto* ok = GetDlgItem<QPushButton>(this, IDOK)) {
        // OK checks before it closes the dialog; Enter presses it.
        ok->disconnect(this);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &CExportFileDlg::OnOK);
    }
    if (auto* browse = GetDlgItem<QPushButton>(this, kBrowseButton))
        connect(browse, &QPushButton::clicked, this, &CExportFileDlg::OnBrowse);
    if (m_resolution) {
        m_resolution->setText(QStringLiteral("300"));
        m_resolution->installEventFilter(this);
    }
}

int CExportFileDlg::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

CString CExportFileDlg::CheckResolution(int dpi)
{
    if (dpi >= kMinResolution && dpi <= kMaxResolution)
        return {};
    return QStringLiteral("%1 %2 ~ %3.").arg(AfxLoadString(kStrRange)).arg(kMinResolution).arg(kMaxResolution);
}

BOOL CExportFileDlg::ValidateResolution()
{
    if (!m_resolution)
        return TRUE;
    const CString complaint = CheckResolution(Wtoi(m_resolution->text()));
    if (complaint.isEmpty())
        return TRUE;
    m_bChecking = TRUE;
    AfxMessageBox(complaint, MB_ICONWARNING, this);
    m_bChecking = FALSE;
    m_resolution->setFocus(Qt::OtherFocusReason);
    m_resolution->selectAll();
    return FALSE;
}

bool CExportFileDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the resolution for another control of the dialog checks it, unless the way out
    // is Cancel; a message box or another window taking the focus does not count.
    if (watched == m_resolution && event->type() == QEvent::FocusOut && !m_bChecking) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason
            || reason == Qt::ShortcutFocusReason) {
            QTimer::singleShot(0, this, [this] {
                QWidget* focus = QApplication::focusWidget();
                if (isVisible() && focus != m_cancel && focus != m_resolution && focus && focus->window() == this)
                    ValidateResolution();
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CExportFileDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter is OK, with its checks, wherever the focus is.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CExportFileDlg::OnBrowse()
{
    // A new file is welcome; an existing one is replaced only when the user agrees.
    CFileDialog dialog(FALSE, AfxLoadString(kStrDefaultExt), {}, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       QString::fromLatin1(kFilter), this);
    if (dialog.DoModal() != IDOK)
        return;
    if (m_path)
        m_path->setText(dialog.GetPathName());
    m_strFileExt = dialog.GetFileExt();
}

void CExportFileDlg::OnOK()
{
    const CString path = m_path ? m_path->text() : CString();
    if (path.isEmpty()) {
        AfxMessageBox(kStrNoPath, MB_ICONWARNING, this);
        if (m_path)
            m_path->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!ValidateResolution())
        return;
    m_strFilePath = path;
    m_nResolution = Wtoi(m_resolution ? m_resolution->text() : CString());
    accept();
}
