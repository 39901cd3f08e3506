#include "framework/ui/progressdialog.h"

#include "framework/progress.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/uistrings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>

namespace {

class DialogProgress : public CProgress {
public:
    DialogProgress(const QString& text, int showAfterMs) : m_text(text), m_showAfterMs(showAfterMs)
    {
        m_clock.start();
    }
    ~DialogProgress() override
    {
        delete m_dialog.data();
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }

    bool Step(std::int64_t done, std::int64_t total) override
    {
        if (QThread::currentThread() != qApp->thread())
            return true;
        if (!m_dialog && !m_shown && m_clock.elapsed() >= m_showAfterMs)
            Show();
        if (!m_dialog)
            return !m_shown;  // closed under the work: taken as Cancel
        if (total > 0)
            m_dialog->setValue(int(std::clamp<std::int64_t>(done * kScale / total, 0, kScale - 1)));
        // Paints, and the click on Cancel; the dialog is modal, so no other window takes input.
        QCoreApplication::processEvents();
        return m_dialog && !m_dialog->wasCanceled();
    }

private:
    static constexpr int kScale = 1000;

    void Show()
    {
        m_shown = true;
        // The work's wait cursor would stand over the Cancel button too.
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        auto* dialog = new QProgressDialog(QApplication::activeWindow());
        dialog->setObjectName(QLatin1String(kProgressDialogName));
        dialog->setWindowTitle(AfxGetAppName());
        dialog->setLabelText(m_text);
        auto* cancel = new QPushButton(dialog);
        cancel->setObjectName(QString::number(IDCANCEL));
        cancel->setText(QStringLiteral("Cancel"));
        dialog->setCancelButton(cancel);
        dialog->setRange(0, kScale);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setMinimumDuration(0);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setValue(0);
        dialog->show();
        m_dialog = dialog;
    }

    QString m_text;
    int m_showAfterMs;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog;
    bool m_shown = false;
};

}  // namespace

void InstallProgressDialogs(int showAfterMs)
{
    SetProgressMaker([showAfterMs](const QString& text) -> std::unique_ptr<CProgress> {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return nullptr;
        return std::make_unique<DialogProgress>(text, showAfterMs);
    });
}
