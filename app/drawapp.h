#pragma once
// The application object: start-up and shutdown, the documents and their windows, the
// application's commands (new, open, recent files, print set-up, about, web page), the
// default printer set-up, and the hand-over of files from a second start.

#include "app/commandline.h"
#include "framework/types.h"
#include "framework/ui/cmdtarget.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class CButtonCaptionFilter;
class CCommandRouter;
class CDrawDoc;
class CDrawView;
class CInstanceChannel;
class CMainFrame;
class CSettings;
class CSplitFrame;
class QMdiSubWindow;
class QPrinter;
class QTemporaryDir;

class CDrawApp : public QObject, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CDrawApp(QObject* parent = nullptr);
    ~CDrawApp() override;

    static CDrawApp* Instance();

    struct StartOptions {
        // Listen for files handed over by later starts under this name (empty: do not).
        QString instanceName;
        // Show the welcome window unless the start came from the shell's hand-over.
        bool allowWelcome = true;
    };

    // The start-up sequence. FALSE ends the program (ExitCode tells how).
    BOOL InitInstance(const CCommandLineInfo& commandLine, const StartOptions& options);
    // The shutdown sequence; returns the exit code.
    int ExitInstance();
    // For starts that only print: the outcome; otherwise 0.
    int ExitCode() const { return m_exitCode; }
    // TRUE when the start only printed and the program should end without a window.
    BOOL PrintOnly() const { return m_printOnly; }

    CMainFrame* MainFrame() const { return m_mainFrame; }
    CCommandRouter* Router() const { return m_router; }
    CSettings* Settings() const { return m_settings.get(); }

    // Documents and their windows.
    void OnFileNew();
    void OnFileOpen();
    // Opens a file (or activates its window when it is open already); null on failure. The
    // user is told why, or, when `failure` is given, the caller gets the message to report.
    // With `problems` given, a data source that fails as the label opens is added there to be
    // said by the caller, rather than in a message box while the label is still opening.
    CDrawDoc* OpenDocumentFile(const CString& path, CString* failure = nullptr, QStringList* problems = nullptr);
    // A new document with its window; null when its label wizard was not finished.
    CDrawDoc* NewDocument();
    BOOL SaveDocument(CDrawDoc* doc, bool askForName);
    // Command 57612: a copy of the label as it stands, named after its title, goes to the user's
    // mail program as the attachment of a new message; the document stays as it is. The copies
    // live until the program ends. FALSE, after telling the user, when the copy could not be
    // written or the mail program not started.
    BOOL SendDocument(CDrawDoc* doc);
    // Asks whether to save a modified document; FALSE when the user cancels or saving fails.
    BOOL SaveModified(CDrawDoc* doc);
    // Closes the document with all its windows, after asking about unsaved changes.
    BOOL CloseDocument(CDrawDoc* doc);
    BOOL CloseAllDocuments();
    CDrawDoc* ActiveDocument() const;
    std::vector<CDrawDoc*> Documents() const;
    // Another window on the document, as a tab of its own.
    void NewWindow(CDrawDoc* doc);
    // The document's active window, else its first one.
    CSplitFrame* FrameOf(const CDrawDoc* doc) const;
    CDrawDoc* DocumentOf(const CSplitFrame* frame) const;

    // The label wizard that runs on the window of a new document: the document's own
    // (CDrawDoc::RunLabelWizard) unless replaced. ID_WIZFINISH keeps the window; 12425 asks
    // for the file in *openPath to be opened in its place; anything else discards it.
    std::function<int(CDrawDoc* doc, CString* openPath)> m_labelWizard;
    // File names asked from the user (replaceable for tests): empty means cancelled.
    std::function<CString()> m_askOpenPath;
    std::function<CString(const CString& suggested)> m_askSavePath;

    // The application's printer set-up.
    QPrinter* Printer() const { return m_printer.get(); }
    // 1 portrait, 2 landscape; any other value changes nothing.
    void SetPrinterOrientation(int orientation);
    // Prints a document's labels without a dialog on the named printer, or into the PDF file
    // when the name ends in .pdf; failures are reported on the console (61445).
    BOOL PrintDocument(CDrawDoc* doc, const CString& printerName);

    // The editing view of the active child window, or null.
    CDrawView* GetActiveDrawView() const;

    // Opens files handed over by a second start; TRUE when every file opened. Files that did
    // not open are reported to the user once the caller has answered.
    bool OpenHandedOverFiles(const QStringList& files);

    // Shows the zoom of the active document in the zoom box.
    void SyncZoomBox();

private:
    struct DocWindow;
    struct DocEntry;
    // A new document with its command target and, when withFrame, its child frame (placed in
    // the main frame when there is one).
    std::unique_ptr<DocEntry> MakeEntry(bool withFrame);
    // A new window on the entry's document (placed in the main frame when there is one).
    CSplitFrame* AddWindow(DocEntry& entry);
    // Hooks a window up to its document, activates it and fits its label.
    void ShowWindow(CDrawDoc* doc, const DocWindow& window);
    // Shows a document that made it up to its window.
    void ShowDocument(CDrawDoc* doc);
    // Lets go of a window that Qt destroys; the document goes with its last window.
    void OnWindowDestroyed(CDrawDoc* doc, QObject* sub);
    // The frame's menus, title, zoom box and commands after a window came or went.
    void WindowsChanged();
    // The tab titles: the document's title, numbered when it has several windows.
    void UpdateWindowTitles(CDrawDoc* doc);
    void DiscardEntry(CDrawDoc* doc);
    DocEntry* Entry(const CDrawDoc* doc) const;
    void UpdateTitle();
    void BuildMenusAndBars();
    BOOL ProcessShellCommand(const CCommandLineInfo& info);
    std::vector<CCmdTarget*> Route() const;
    CString NextUntitledName();
    // The save dialog; empty when cancelled.
    CString AskSavePath(const CString& suggested) const;
    // The folder where a label was last opened or saved (while it exists), else the home folder.
    CString LastFolder() const;
    void RememberFolder(const CString& labelPath);

    CCommandRouter* m_router = nullptr;
    CMainFrame* m_mainFrame = nullptr;  // owned; deleted in the destructor
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<QPrinter> m_printer;
    CInstanceChannel* m_channel = nullptr;
    CButtonCaptionFilter* m_captionFilter = nullptr;
    std::vector<std::unique_ptr<DocEntry>> m_docs;
    // The copies sent by mail, one folder each; removed with the program.
    std::unique_ptr<QTemporaryDir> m_mailCopies;
    int m_mailCount = 0;
    int m_untitledCount = 0;
    int m_exitCode = 0;
    BOOL m_printOnly = FALSE;
};
