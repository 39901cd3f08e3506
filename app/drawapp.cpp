#include "app/drawapp.h"

#include "app/commandids.h"
#include "app/docproperties.h"
#include "app/frames.h"
#include "app/labelfiles.h"
#include "app/shelldialogs.h"
#include "data/prndatagrid.h"
#include "app/shellresources.h"
#include "app/singleinstance.h"
#include "document/drawdoc.h"
#include "document/printerhook.h"
#include "framework/archive.h"
#include "framework/mailprogram.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "framework/progress.h"
#include "framework/resourcemodule.h"
#include "framework/settings.h"
#include "framework/ui/buttoncaptions.h"
#include "framework/ui/commandrouter.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/progressdialog.h"
#include "framework/ui/uistrings.h"
#include "objects/drawobj.h"
#include "objects/xmlhelper.h"
#include "printing/printsetup.h"
#include "printing/sheetlayout.h"
#include "view/drawview.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>

using namespace ShellCmd;
using namespace LabelFiles;

namespace {
CDrawApp* g_app = nullptr;

constexpr UINT kFailedToOpen = 61443;
constexpr UINT kFailedToPrint = 61445;
constexpr int kWizardOpenFile = CDrawDoc::kWizardOpenFile;

// A name shown where "&" marks a mnemonic (menus, tabs): each "&" stands for itself.
CString LiteralAmpersands(CString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

}  // namespace

// The document's commands: zoom, the zoom box, paper colour, save and close. They reach the
// document through this target, which sits after the view on the route.
class CDocTarget : public CCmdTarget
{
public:
    CDocTarget(CDrawApp* app, CDrawDoc* doc) : m_app(app), m_doc(doc)
    {
        OnCommand(kZoom100, [this] { m_doc->OnZoom100(); });
        OnCommand(kZoomIn, [this] { m_doc->OnZoomIn(); });
        OnCommand(kZoomOut, [this] { m_doc->OnZoomOut(); });
        auto viewActive = [this](CCmdUI* ui) { ui->Enable(m_app->FrameOf(m_doc) && m_app->FrameOf(m_doc)->GetActiveDrawView()); };
        OnUpdateCommandUI(kZoom100, viewActive);
        OnUpdateCommandUI(kZoomIn, viewActive);
        OnUpdateCommandUI(kZoomOut, viewActive);
        OnNotify(kZoomBox, CBN_SELENDOK, [this] {
            if (CZoomComboBox* box = CMainFrame::GetZoomComboButton())
                m_doc->OnZoomSelEndOk(box->GetText());
        });
        OnCommand(kPageColor, [this] { OnPageColor(); });
        OnCommand(kFileSave, [this] { m_app->SaveDocument(m_doc, false); });
        OnCommand(kFileSaveAs, [this] { m_app->SaveDocument(m_doc, true); });
        OnCommand(kFileClose, [this] { m_app->CloseDocument(m_doc); });
        OnCommand(kWindowNew, [this] { m_app->NewWindow(m_doc); });
        OnCommand(kFileSummaryInfo, [this] { RunDocumentProperties(m_doc, m_app->MainFrame()); });
        OnCommand(kFileSendMail, [this] { m_app->SendDocument(m_doc); });
        OnUpdateCommandUI(kFileSendMail, [](CCmdUI* ui) {
            // Without a mail program to start, the item leaves the menu.
            const bool available = !MailProgram::Locate().isEmpty();
            ui->Enable(available);
            if (!available)
                ui->RemoveFromMenu();
        });
    }

private:
    void OnPageColor()
    {
        const QColor chosen = QColorDialog::getColor(Qt::white, m_app->MainFrame());
        if (!chosen.isValid())
            return;
        m_doc->SetPaperColor(RGB(chosen.red(), chosen.green(), chosen.blue()));
        m_doc->SetModifiedFlag(TRUE);
        m_doc->UpdateAllViews(nullptr, 0, nullptr);
    }

    CDrawApp* m_app;
    CDrawDoc* m_doc;
};

struct CDrawApp::DocWindow {
    QPointer<CSplitFrame> frame;
    QPointer<QMdiSubWindow> sub;  // null without a main frame
    // The sub-window by address alone: it identifies the window while Qt destroys it, when
    // it is no longer a QMdiSubWindow to be read through the guard.
    const QObject* key = nullptr;
};

struct CDrawApp::DocEntry {
    std::unique_ptr<CDrawDoc> doc;
    std::unique_ptr<CDocTarget> target;
    // The document's windows in the order they were opened; none while only printing.
    std::vector<DocWindow> windows;
};

CDrawApp::CDrawApp(QObject* parent) : QObject(parent), m_router(new CCommandRouter(this))
{
    g_app = this;
    m_router->SetRoute([this] { return Route(); });
    m_labelWizard = [](CDrawDoc* doc, CString* openPath) { return doc->RunLabelWizard(TRUE, openPath); };
    CDrawView::SetCommandRouter(m_router);

    OnCommand(kFileNew, [this] { OnFileNew(); });
    OnCommand(kFileOpen, [this] { OnFileOpen(); });
    OnCommand(kFilePrintSetup, [this] {
        CPrintSetupDlg dialog(m_printer.get(), ShellRes::String(kFilePrintSetup).section(u'\n', 1), m_mainFrame);
        dialog.exec();
    });
    OnCommand(kAppAbout, [this] {
        CAboutDlg dialog(m_mainFrame);
        dialog.exec();
    });
    OnCommand(kVisitWebSite, [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerWebPage))); });
    OnCommand(kAppExit, [this] {
        if (m_mainFrame)
            m_mainFrame->close();
    });
    OnCommandRange(kFileMru1, kFileMruLast, [this](UINT id) {
        const QStringList files = m_settings ? m_settings->RecentFiles() : QStringList();
        const int index = int(id - kFileMru1);
        if (index >= files.size())
            return;
        const QString path = files[index];
        // A recent file is an opened file: no wizard.
        if (m_mainFrame)
            m_mainFrame->m_bOpenFlag = TRUE;
        if (!OpenDocumentFile(path) && m_settings && !QFileInfo::exists(path))
            m_settings->RemoveRecentFile(path);
    });
    OnUpdateCommandUIRange(kFileMru1, kFileMruLast, [this](CCmdUI* ui) {
        const QStringList files = m_settings ? m_settings->RecentFiles() : QStringList();
        const int index = int(ui->m_nID - kFileMru1);
        QAction* action = ui->Action();
        if (index < files.size()) {
            action->setVisible(true);
            ui->SetText(QStringLiteral("&%1 %2").arg(index + 1).arg(LiteralAmpersands(QDir::toNativeSeparators(files[index]))));
            ui->Enable();
        } else {
            // Without recent files the first entry stays as a disabled placeholder.
            action->setVisible(index == 0);
            ui->Enable(FALSE);
        }
    });
}

CDrawApp::~CDrawApp()
{
    // Windows before documents: their views refer to the documents.
    while (!m_docs.empty())
        DiscardEntry(m_docs.back()->doc.get());
    delete m_mainFrame;
    if (g_app == this)
        g_app = nullptr;
}

CDrawApp* CDrawApp::Instance()
{
    return g_app;
}

std::vector<CCmdTarget*> CDrawApp::Route() const
{
    std::vector<CCmdTarget*> route;
    if (m_mainFrame) {
        if (CSplitFrame* child = m_mainFrame->ActiveChild()) {
            if (auto* view = child->GetActiveDrawView())
                route.push_back(view);
            if (DocEntry* e = Entry(DocumentOf(child)))
                route.push_back(e->target.get());
            route.push_back(child);
        }
        route.push_back(m_mainFrame);
    }
    route.push_back(const_cast<CDrawApp*>(this));
    return route;
}

BOOL CDrawApp::InitInstance(const CCommandLineInfo& info, const StartOptions& options)
{
    // The XML parser serves the data bindings of text objects for the whole run; it is shut
    // down at process exit, after the last object that uses it.
    EnsureXmlPlatform();

    // The resource module: a missing or damaged one has been reported and replaced by the
    // built-in table; the program goes on with it.
    CResourceModule& resources = CResourceModule::Get();
    if (!resources.IsLoaded())
        resources.Load(info.m_strResources, info.m_strLanguage);
    // Single-byte texts in label files are in the system code page: that of the language in use.
    SetArchiveCodePage(resources.CodePage());
    AfxSetStringLoader([](UINT id) { return CResourceModule::Get().LoadString(id); });
    m_captionFilter = CButtonCaptionFilter::Install(AfxLoadString);
    // Qt's own dialogs speak the language of the resource module.
    if (!AfxLoadQtTranslations(resources.UiLocale()))
        qWarning("Qt's translations for %s are not installed; its own dialogs stay in English",
                 qUtf8Printable(resources.UiLocale().name()));

    m_settings = std::make_unique<CSettings>();
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    AfxSetAppPrinter(m_printer.get());
    SetPrinterOrientationHook([this](int orientation) { SetPrinterOrientation(orientation); });
    InstallPrintDataGrid();

    if (info.m_nShellCommand == CCommandLineInfo::FilePrint || info.m_nShellCommand == CCommandLineInfo::FilePrintTo) {
        // Printing from the command line needs no window.
        m_printOnly = TRUE;
        return ProcessShellCommand(info);
    }

    // Long imports of data files show their progress and can be cancelled.
    InstallProgressDialogs();

    m_mainFrame = new CMainFrame(m_router);
    if (!m_mainFrame->Create()) {
        m_exitCode = 1;
        return FALSE;
    }
    m_mainFrame->m_canClose = [this] { return CloseAllDocuments() == TRUE; };
    connect(m_mainFrame, &CMainFrame::activeChildChanged, this, [this] {
        UpdateTitle();
        SyncZoomBox();
    });
    // Every zoom of the active label shows in the zoom box, whichever way it came.
    CDrawDoc::c_showZoom = [this](const CDrawDoc* doc, int percent) {
        if (doc == ActiveDocument())
            if (CZoomComboBox* box = CMainFrame::GetZoomComboButton())
                box->SetZoom(percent);
    };
    connect(m_mainFrame->ZoomBox(), &CZoomComboBox::zoomEntered, this, [this](const QString& text) {
        // Enter in the zoom box: the typed text, clamped, becomes the active label's zoom.
        if (CDrawDoc* doc = ActiveDocument())
            doc->OnZoomSelEndOk(text);
    });
    connect(m_mainFrame->ZoomBox(), &CZoomComboBox::zoomChosen, this,
            [this](const QString&) { m_router->Execute(kZoomBox, CBN_SELENDOK); });
    BuildMenusAndBars();

    if (options.allowWelcome && !info.m_bShellDde) {
        CWelcomeDlg welcome;
        welcome.exec();
    }

    if (!options.instanceName.isEmpty()) {
        m_channel = new CInstanceChannel(this);
        m_channel->Listen(options.instanceName, [this](const QStringList& files) { return OpenHandedOverFiles(files); });
    }

    if (!ProcessShellCommand(info)) {
        m_exitCode = 1;
        return FALSE;
    }
    m_mainFrame->showMaximized();
    m_mainFrame->activateWindow();
    // Every start begins with the layout the frame builds.
    m_settings->CleanState();
    m_router->RequestUpdate();
    return TRUE;
}

int CDrawApp::ExitInstance()
{
    if (m_captionFilter) {
        qApp->removeEventFilter(m_captionFilter);
        delete m_captionFilter;
        m_captionFilter = nullptr;
    }
    if (m_channel)
        m_channel->Close();
    SetPrinterOrientationHook({});
    SetPrintDataGridMaker({});
    SetProgressMaker({});
    if (AfxGetAppPrinter() == m_printer.get())
        AfxSetAppPrinter(nullptr);
    CDrawDoc::c_showZoom = {};
    // The copies sent by mail go with the program.
    m_mailCopies.reset();
    if (m_settings)
        m_settings->CleanState();
    AfxSetStringLoader({});
    return m_exitCode;
}

void CDrawApp::BuildMenusAndBars()
{
    CResourceModule& resources = CResourceModule::Get();
    QList<QMenu*> frameMenus, documentMenus;
    if (auto menu = resources.LoadMenu(kMainMenu))
        frameMenus = m_router->BuildMenus(*menu);
    if (auto menu = resources.LoadMenu(kDocumentMenu))
        documentMenus = m_router->BuildMenus(*menu);
    m_mainFrame->SetMenus(frameMenus, documentMenus);
    const std::pair<QToolBar*, UINT> bars[] = {{m_mainFrame->MainToolBar(), kMainToolbar},
                                               {m_mainFrame->SecondToolBar(), kSecondToolbar}};
    for (const auto& [bar, id] : bars)
        if (auto tmpl = resources.LoadToolbar(id))
            m_router->BuildToolBar(bar, *tmpl, resources.LoadBitmap(tmpl->bitmap));
    m_mainFrame->ResetZoomBox();
    // Shortcuts of commands work while the frame has the focus, menus shown or not.
    for (const auto& [id, action] : m_router->Actions())
        m_mainFrame->addAction(action);
}

BOOL CDrawApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        OnFileNew();
        return TRUE;
    case CCommandLineInfo::FileOpen: {
        // Files named on the command line are opened, never designed anew.
        m_mainFrame->m_bOpenFlag = TRUE;
        // The program still starts when a file could not be opened; the user was told.
        for (const QString& file : info.m_files)
            OpenDocumentFile(file);
        return TRUE;
    }
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo: {
        bool ok = true;
        for (const QString& file : info.m_files) {
            CString failure;
            CDrawDoc* doc = OpenDocumentFile(file, &failure);
            ok = doc && PrintDocument(doc, info.m_nShellCommand == CCommandLineInfo::FilePrintTo ? info.m_strPrinterName : CString()) && ok;
            if (doc)
                CloseDocument(doc);
            else
                qWarning("%s", qPrintable(failure));
        }
        m_exitCode = ok ? 0 : 1;
        return ok ? TRUE : FALSE;
    }
    case CCommandLineInfo::FileNothing:
        break;
    }
    return FALSE;
}

// --- documents -------------------------------------------------------------------------------

CDrawApp::DocEntry* CDrawApp::Entry(const CDrawDoc* doc) const
{
    for (const auto& e : m_docs)
        if (e->doc.get() == doc)
            return e.get();
    return nullptr;
}

std::vector<CDrawDoc*> CDrawApp::Documents() const
{
    std::vector<CDrawDoc*> docs;
    for (const auto& e : m_docs)
        docs.push_back(e->doc.get());
    return docs;
}

CSplitFrame* CDrawApp::FrameOf(const CDrawDoc* doc) const
{
    DocEntry* e = Entry(doc);
    if (!e || e->windows.empty())
        return nullptr;
    // The active window when it shows the document, else its first.
    CSplitFrame* active = m_mainFrame ? m_mainFrame->ActiveChild() : nullptr;
    for (const DocWindow& w : e->windows)
        if (active && w.frame == active)
            return active;
    return e->windows.front().frame.data();
}

CDrawDoc* CDrawApp::DocumentOf(const CSplitFrame* frame) const
{
    if (!frame)
        return nullptr;
    for (const auto& e : m_docs)
        for (const DocWindow& w : e->windows)
            if (w.frame == frame)
                return e->doc.get();
    return nullptr;
}

CDrawDoc* CDrawApp::ActiveDocument() const
{
    return m_mainFrame ? DocumentOf(m_mainFrame->ActiveChild()) : (m_docs.empty() ? nullptr : m_docs.back()->doc.get());
}

CDrawView* CDrawApp::GetActiveDrawView() const
{
    CSplitFrame* child = m_mainFrame ? m_mainFrame->ActiveChild() : nullptr;
    return child ? child->GetActiveDrawView() : nullptr;
}

std::unique_ptr<CDrawApp::DocEntry> CDrawApp::MakeEntry(bool withFrame)
{
    auto entry = std::make_unique<DocEntry>();
    entry->doc = std::make_unique<CDrawDoc>();
    CDrawDoc* doc = entry->doc.get();
    entry->target = std::make_unique<CDocTarget>(this, doc);
    if (withFrame)
        AddWindow(*entry);
    return entry;
}

CSplitFrame* CDrawApp::AddWindow(DocEntry& entry)
{
    // A label window opens in the main frame as it will stand: shown and maximised.
    if (m_mainFrame && !m_mainFrame->isVisible())
        m_mainFrame->showMaximized();
    auto* frame = new CSplitFrame;
    if (CDrawView* view = frame->GetActiveDrawView()) {
        view->AttachDocument(entry.doc.get());
        view->ShowOpenedObjects();
    }
    frame->m_pDocumentTarget = entry.target.get();
    QMdiSubWindow* sub = m_mainFrame ? m_mainFrame->AddChild(frame) : nullptr;
    entry.windows.push_back({frame, sub, sub});
    return frame;
}

void CDrawApp::ShowWindow(CDrawDoc* doc, const DocWindow& window)
{
    if (window.frame) {
        // Only the last window of a document asks about its unsaved changes.
        window.frame->m_canClose = [this, doc] {
            DocEntry* e = Entry(doc);
            return !e || e->windows.size() > 1 || SaveModified(doc) == TRUE;
        };
    }
    if (window.sub) {
        QMdiSubWindow* sub = window.sub;
        // A window closed by the user is deleted by Qt; the entry only lets go of it.
        connect(sub, &QObject::destroyed, this, [this, doc, sub] { OnWindowDestroyed(doc, sub); });
        m_mainFrame->ActivateChild(sub);
    }
    UpdateWindowTitles(doc);
    UpdateTitle();
    // The label is fitted to its window once the window stands at its size: the fit is posted,
    // after the frames shown meanwhile (the main frame maximised at start-up) have laid out.
    if (m_mainFrame && window.frame)
        if (CDrawView* view = window.frame->GetActiveDrawView())
            view->PostCommand(kFitLabel);
}

void CDrawApp::ShowDocument(CDrawDoc* doc)
{
    DocEntry* e = Entry(doc);
    if (e->windows.empty())
        UpdateTitle();
    for (const DocWindow& window : e->windows)
        ShowWindow(doc, window);
}

void CDrawApp::NewWindow(CDrawDoc* doc)
{
    DocEntry* e = Entry(doc);
    if (!e || !m_mainFrame)
        return;
    AddWindow(*e);
    ShowWindow(doc, e->windows.back());
}

void CDrawApp::UpdateWindowTitles(CDrawDoc* doc)
{
    DocEntry* e = Entry(doc);
    if (!e)
        return;
    // Several windows of one document are told apart by their number: "Label1:2".
    const size_t count = e->windows.size();
    for (size_t i = 0; i < count; ++i) {
        CString title = doc->GetTitle();
        if (count > 1)
            title += QStringLiteral(":%1").arg(i + 1);
        if (e->windows[i].sub)
            e->windows[i].sub->setWindowTitle(LiteralAmpersands(title));
    }
}

void CDrawApp::OnWindowDestroyed(CDrawDoc* doc, QObject* sub)
{
    for (auto it = m_docs.begin(); it != m_docs.end(); ++it) {
        DocEntry& e = **it;
        if (e.doc.get() != doc)
            continue;
        std::erase_if(e.windows, [sub](const DocWindow& w) { return w.key == sub || !w.sub; });
        // The document goes with its last window; Qt deletes the window itself.
        if (e.windows.empty())
            m_docs.erase(it);
        else
            UpdateWindowTitles(doc);
        break;
    }
    // The frame learns of it once the window is gone: while Qt destroys it, the frame may
    // still hold it as its current child.
    QTimer::singleShot(0, this, &CDrawApp::WindowsChanged);
}

void CDrawApp::WindowsChanged()
{
    if (!m_mainFrame)
        return;
    m_mainFrame->UpdateMenuBar();
    UpdateTitle();
    SyncZoomBox();
    m_router->RequestUpdate();
}

CString CDrawApp::NextUntitledName()
{
    CString name = TemplatePart(1);
    if (name.isEmpty())
        name = QStringLiteral("Label");
    return name + QString::number(++m_untitledCount);
}

CDrawDoc* CDrawApp::NewDocument()
{
    auto entry = MakeEntry(true);
    CDrawDoc* doc = entry->doc.get();

    // A label designed anew goes through the wizard; one that is being opened does not.
    if (m_mainFrame && !m_mainFrame->m_bOpenFlag) {
        CString openPath;
        const int result = m_labelWizard ? m_labelWizard(doc, &openPath) : ID_WIZFINISH;
        if (result == kWizardOpenFile) {
            // The user chose a label file instead: the new window goes, and the file takes the
            // way of every opened file (its own title and summary, the recent list, the window
            // of a file already open, the message when it does not open).
            m_docs.push_back(std::move(entry));
            DiscardEntry(doc);
            return openPath.isEmpty() ? nullptr : OpenDocumentFile(openPath);
        }
        if (result != ID_WIZFINISH)
            entry->windows.front().frame->RemoveView();
    }
    m_docs.push_back(std::move(entry));
    if (!doc->OnNewDocument()) {
        DiscardEntry(doc);
        return nullptr;
    }
    doc->SetTitle(NextUntitledName());
    ShowDocument(doc);
    return doc;
}

CDrawDoc* CDrawApp::OpenDocumentFile(const CString& path, CString* failure, QStringList* problems)
{
    if (path.isEmpty())
        return nullptr;
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (const auto& e : m_docs)
        if (!e->doc->GetPathName().isEmpty() && QFileInfo(e->doc->GetPathName()).absoluteFilePath() == wanted) {
            if (m_mainFrame && !e->windows.empty())
                m_mainFrame->ActivateChild(e->windows.front().sub);
            return e->doc.get();
        }

    auto entry = MakeEntry(m_mainFrame != nullptr);
    CDrawDoc* doc = entry->doc.get();
    m_docs.push_back(std::move(entry));

    if (!doc->OnOpenDocument(wanted)) {
        // A file that did not load leaves no window behind: an empty window under the file's
        // name would invite saving nothing over it.
        const CString reason = doc->GetErrorText();
        DiscardEntry(doc);
        CString message = Format1(kFailedToOpen, QStringLiteral("%1 could not be opened."), QDir::toNativeSeparators(wanted));
        if (!reason.isEmpty())
            message += QStringLiteral("\n\n") + reason;
        if (failure)
            *failure = message;
        else
            AfxMessageBox(message, MB_OK | MB_ICONERROR);
        return nullptr;
    }
    if (m_settings)
        m_settings->AddRecentFile(wanted);
    // The objects bar lists what the file brought.
    if (CSplitFrame* frame = FrameOf(doc))
        if (CDrawView* view = frame->GetActiveDrawView())
            view->ShowOpenedObjects(problems);
    ShowDocument(doc);
    // A label size beyond any sheet (a damaged file) is shown within the limits and said in
    // the words printing refuses it with. A caller that reports for itself says it.
    if (m_mainFrame && !failure && !doc->IsLabelSizeInLimits())
        AfxMessageBox(UnprintableSheetText(), MB_OK | MB_ICONERROR);
    // A picture that did not load is said once, when the label opens; printing says it again.
    if (m_mainFrame && !failure)
        if (const QStringList problems = doc->GetLoadProblems(); !problems.isEmpty())
            AfxMessageBox(OpenedIncompleteText(doc->GetTitle(), problems), MB_OK | MB_ICONWARNING);
    return doc;
}

void CDrawApp::DiscardEntry(CDrawDoc* doc)
{
    for (auto it = m_docs.begin(); it != m_docs.end(); ++it)
        if ((*it)->doc.get() == doc) {
            std::unique_ptr<DocEntry> entry = std::move(*it);
            m_docs.erase(it);
            // The label that was active before this window came is active again, not the
            // neighbour the tab bar would pick when the window's tab goes.
            QPointer<QMdiSubWindow> back;
            if (m_mainFrame) {
                const QList<QMdiSubWindow*> history = m_mainFrame->MdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
                for (auto h = history.rbegin(); h != history.rend() && !back; ++h)
                    if (std::none_of(entry->windows.begin(), entry->windows.end(), [h](const DocWindow& w) { return w.sub == *h; }))
                        back = *h;
            }
            // The windows go first: their views refer to the document.
            for (const DocWindow& w : entry->windows) {
                if (QMdiSubWindow* sub = w.sub) {
                    sub->disconnect(this);
                    delete sub;
                } else {
                    delete w.frame.data();
                }
            }
            if (back)
                m_mainFrame->ActivateChild(back);
            break;
        }
    WindowsChanged();
}

void CDrawApp::OnFileNew()
{
    if (m_mainFrame)
        m_mainFrame->m_bOpenFlag = FALSE;
    NewDocument();
    SyncZoomBox();
    if (m_mainFrame)
        m_mainFrame->m_bOpenFlag = TRUE;
}

BOOL CDrawApp::CloseDocument(CDrawDoc* doc)
{
    if (!Entry(doc) || !SaveModified(doc))
        return FALSE;
    DiscardEntry(doc);
    return TRUE;
}

BOOL CDrawApp::CloseAllDocuments()
{
    for (CDrawDoc* doc : Documents())
        if (!SaveModified(doc))
            return FALSE;
    while (!m_docs.empty())
        DiscardEntry(m_docs.back()->doc.get());
    return TRUE;
}

void CDrawApp::UpdateTitle()
{
    if (!m_mainFrame)
        return;
    CDrawDoc* doc = ActiveDocument();
    m_mainFrame->SetDocumentTitle(doc ? doc->GetTitle() : CString());
}

void CDrawApp::SyncZoomBox()
{
    if (CDrawDoc* doc = ActiveDocument())
        if (CZoomComboBox* box = CMainFrame::GetZoomComboButton())
            box->SetZoom(doc->GetZoom());
}

bool CDrawApp::OpenHandedOverFiles(const QStringList& files)
{
    if (!m_mainFrame)
        return false;
    // Files from the shell are opened, never designed anew.
    m_mainFrame->m_bOpenFlag = TRUE;
    bool ok = !files.isEmpty();
    QStringList messages;
    for (const QString& file : files) {
        CString failure;
        // The second start waits for the answer: what opening has to say is said after it.
        if (CDrawDoc* doc = OpenDocumentFile(file, &failure, &messages); !doc) {
            ok = false;
            messages.append(failure);
        } else {
            if (!doc->IsLabelSizeInLimits())
                messages.append(UnprintableSheetText());
            if (const QStringList problems = doc->GetLoadProblems(); !problems.isEmpty())
                messages.append(OpenedIncompleteText(doc->GetTitle(), problems));
        }
    }
    m_mainFrame->showNormal();
    m_mainFrame->showMaximized();
    m_mainFrame->raise();
    m_mainFrame->activateWindow();
    // The second start gets its answer first; a script that started it never waits on a
    // message box here.
    if (!messages.isEmpty())
        QTimer::singleShot(0, this, [messages] {
            RunOutsideProgress([messages] {
                for (const QString& message : messages)
                    AfxMessageBox(message, MB_OK | MB_ICONERROR);
            });
        });
    return ok;
}

// --- printing --------------------------------------------------------------------------------

void CDrawApp::SetPrinterOrientation(int orientation)
{
    if (!m_printer || (orientation != 1 && orientation != 2))
        return;
    m_printer->setPageOrientation(orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
}

BOOL CDrawApp::PrintDocument(CDrawDoc* doc, const CString& printerName)
{
    if (!doc || !m_printer)
        return FALSE;
    QPrinter& printer = *m_printer;
    if (printerName.endsWith(u".pdf", Qt::CaseInsensitive)) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printerName);
    } else {
        printer.setOutputFormat(QPrinter::NativeFormat);
        if (!printerName.isEmpty())
            printer.setPrinterName(printerName);
        if (!printer.isValid()) {
            qWarning("No printer named \"%s\"", qPrintable(printerName));
            return FALSE;
        }
    }
    printer.setDocName(doc->GetTitle());

    // The print road of a view on the document, without the print dialog: the document's own
    // count of labels, its paper and its orientation.
    CDrawView* view = nullptr;
    if (CSplitFrame* frame = FrameOf(doc))
        view = frame->GetActiveDrawView();
    std::unique_ptr<CDrawView> hidden;
    if (!view) {
        hidden = std::make_unique<CDrawView>();
        hidden->AttachDocument(doc);
        view = hidden.get();
    }
    if (!doc->IsPrintableSheet()) {
        qWarning("%s", qPrintable(UnprintableSheetText()));
        return FALSE;
    }
    CPrintInfo job;
    job.m_bDirect = TRUE;
    const bool ok = AfxPrintJob(view, &printer, &job);
    if (!ok) {
        CString message = Format1(kFailedToPrint, QStringLiteral("%1 could not be printed."), doc->GetTitle());
        if (!job.m_strError.isEmpty())
            message += u' ' + job.m_strError;
        qWarning("%s", qPrintable(message));
    }
    // What was printed is there, but a job that left something out has not succeeded.
    if (ok && !job.m_omitted.isEmpty()) {
        qWarning("%s", qPrintable(PrintedIncompleteText(doc->GetTitle(), job.m_omitted)));
        return FALSE;
    }
    return ok ? TRUE : FALSE;
}
