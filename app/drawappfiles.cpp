// The file commands of the application: open, save, save as, send by mail and the question
// before a changed label closes; the file dialogs open where the user last opened or saved a
// label.

#include "app/drawapp.h"

#include "app/frames.h"
#include "app/labelfiles.h"
#include "app/shellresources.h"
#include "document/drawdoc.h"
#include "framework/mailprogram.h"
#include "framework/resourcemodule.h"
#include "framework/settings.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/messagebox.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace LabelFiles;

namespace {
constexpr UINT kAskToSave = 61442;
constexpr UINT kFailedToSave = 61444;
constexpr UINT kMailNotStarted = 310;
constexpr UINT kMailCopyFailed = 311;
// Beside the window workspace, which start-up and exit clear: the folder outlives a restart.
const QString kFoldersSection = QStringLiteral("Folders");
const QString kLastFolderEntry = QStringLiteral("LastFolder");
}  // namespace

void CDrawApp::OnFileOpen()
{
    if (m_mainFrame)
        m_mainFrame->m_bOpenFlag = TRUE;
    CString path;
    if (m_askOpenPath) {
        path = m_askOpenPath();
    } else {
        path = QFileDialog::getOpenFileName(m_mainFrame, QString(), LastFolder(),
                                            FileFilter() + QStringLiteral(";;*"));
    }
    if (path.isEmpty())
        return;
    if (OpenDocumentFile(path))
        RememberFolder(path);
    SyncZoomBox();
}

BOOL CDrawApp::SaveDocument(CDrawDoc* doc, bool askForName)
{
    if (!doc)
        return FALSE;
    CString path = doc->GetPathName();
    if (askForName || path.isEmpty()) {
        // The dialog opens in the label's folder, else in the one used last.
        const CString suggested = path.isEmpty() ? QDir(LastFolder()).filePath(doc->GetTitle() + u'.' + FileExtension())
                                                 : QFileInfo(path).absoluteFilePath();
        path = m_askSavePath ? m_askSavePath(suggested) : AskSavePath(suggested);
        if (path.isEmpty())
            return FALSE;
        if (QFileInfo(path).suffix().isEmpty())
            path += u'.' + FileExtension();
    }
    if (!doc->OnSaveDocument(path)) {
        CString message = Format1(kFailedToSave, QStringLiteral("%1 could not be saved."), QDir::toNativeSeparators(path));
        if (!doc->GetErrorText().isEmpty())
            message += QStringLiteral("\n\n") + doc->GetErrorText();
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    if (m_settings)
        m_settings->AddRecentFile(QFileInfo(path).absoluteFilePath());
    RememberFolder(path);
    UpdateWindowTitles(doc);
    UpdateTitle();
    return TRUE;
}

CString CDrawApp::AskSavePath(const CString& suggested) const
{
    QFileDialog dialog(m_mainFrame, QString(), suggested, FileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the extension to a name typed without one before it checks whether the
    // file exists, so its question about replacing a file is asked for the file really written.
    dialog.setDefaultSuffix(FileExtension());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

BOOL CDrawApp::SendDocument(CDrawDoc* doc)
{
    if (!doc)
        return FALSE;
    if (!m_mailCopies)
        m_mailCopies = std::make_unique<QTemporaryDir>(QDir(QDir::tempPath()).filePath(QStringLiteral("quillbar-mail-XXXXXX")));
    // A folder for each message: the mail program may still read the copy of an earlier one.
    CString reason;
    CString copy;
    if (!m_mailCopies->isValid()) {
        reason = m_mailCopies->errorString();
    } else {
        const QString folder = m_mailCopies->filePath(QString::number(++m_mailCount));
        copy = QDir(folder).filePath(CopyFileName(doc->GetTitle()));
        if (!QDir().mkdir(folder))
            reason = LoadMessage(403, "%1 could not be created.").arg(QDir::toNativeSeparators(folder));
        else if (!doc->SaveCopy(copy))
            reason = doc->GetErrorText();
    }
    if (!reason.isNull()) {
        CString message = Format1(kMailCopyFailed, QStringLiteral("A copy of %1 could not be made for the mail."), doc->GetTitle());
        if (!reason.isEmpty())
            message += QStringLiteral("\n\n") + reason;
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    CString error;
    // The program's failure is told when it ends; the window goes on meanwhile.
    auto failed = [](int status, const CString& output) {
        CString message = status < 0 ? LoadMessage(402, "The mail program stopped unexpectedly, and the label was not sent.")
                                     : LoadMessage(401, "The mail program failed (exit status %1), and the label was not sent.").arg(status);
        if (!output.isEmpty())
            message += QStringLiteral("\n\n") + output;
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
    };
    if (!MailProgram::ComposeWithAttachment(copy, &error, failed)) {
        QFile::remove(copy);
        CString message = ShellRes::String(kMailNotStarted);
        if (message.isEmpty())
            message = QStringLiteral("The mail program could not be started.");
        if (!error.isEmpty())
            message += QStringLiteral("\n\n") + error;
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    return TRUE;
}

BOOL CDrawApp::SaveModified(CDrawDoc* doc)
{
    if (!doc || !doc->IsModified())
        return TRUE;
    const CString name = doc->GetPathName().isEmpty() ? doc->GetTitle() : QDir::toNativeSeparators(doc->GetPathName());
    switch (AfxMessageBox(Format1(kAskToSave, QStringLiteral("Save changes to %1?"), name), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES: return SaveDocument(doc, false);
    case IDNO: return TRUE;
    default: return FALSE;
    }
}

CString CDrawApp::LastFolder() const
{
    const CString folder = m_settings ? m_settings->GetProfileString(kFoldersSection, kLastFolderEntry) : CString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void CDrawApp::RememberFolder(const CString& labelPath)
{
    if (m_settings)
        m_settings->WriteProfileString(kFoldersSection, kLastFolderEntry, QFileInfo(labelPath).absolutePath());
}
