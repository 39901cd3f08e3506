// The program's windows and their wiring, under the offscreen platform: start-up with menus and
// toolbars from the resource module, the document commands, the zoom box, the wizard hook, the
// hand-over from a second start, button captions, dialogs and notices.

#include "app/shellfixture.h"
#include "app/shelldialogs.h"
#include "app/singleinstance.h"
#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/compoundfile.h"
#include "framework/resourcemodule.h"
#include "framework/settings.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/propertysheet.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "objects/drawpoly.h"
#include "view/drawtool.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QHelpEvent>
#include <QToolBar>
#include <QToolTip>
#include <QWindow>

#include <atomic>
#include <thread>

using namespace ShellCmd;


TEST_F(Shell, StartsWithFrameMenusAndToolbarsFromTheResourceModule)
{
    // No file on the command line: one new label, its window maximised among the tabs.
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_EQ(Active()->GetTitle(), "Label1");
    EXPECT_EQ(m_frame->windowTitle(), "Quillbar(Label Designer) - Label1");
    EXPECT_EQ(m_frame->menuBar()->actions().value(0)->text(), "&File");

    // The zoom box has taken its command's place on the main toolbar.
    QToolBar* main = m_frame->MainToolBar();
    EXPECT_TRUE(main->actions().contains(Action(kFileNew)));
    EXPECT_FALSE(main->actions().contains(Action(kZoomBox)));
    EXPECT_EQ(m_frame->ZoomBox()->parentWidget(), main);
    EXPECT_EQ(m_frame->ZoomBox()->GetText(), "100%");
    EXPECT_TRUE(m_frame->tabifiedDockWidgets(m_frame->ComponentsBar()).contains(m_frame->BarcodesBar()));

    CSplitFrame* child = m_frame->ActiveChild();
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->ObjectsBar()->isVisible());
    EXPECT_FALSE(child->DatabaseBar()->isVisible());
    EXPECT_EQ(m_app->GetActiveDrawView()->GetDocument(), Active());
}

// The box stands where the toolbar resource has its button, between Print Preview and Zoom In.
TEST_F(Shell, ZoomBoxTakesItsButtonsPlaceOnTheMainToolbar)
{
    QToolBar* main = m_frame->MainToolBar();
    CZoomComboBox* box = m_frame->ZoomBox();
    m_frame->showNormal();
    m_frame->resize(main->sizeHint().width() + m_frame->SecondToolBar()->sizeHint().width() + 100, 700);
    auto checkPlace = [&](const char* when) {
        QList<QAction*> actions = main->actions();
        actions.removeIf([](QAction* a) { return a->isSeparator(); });
        const qsizetype i = actions.indexOf(Action(kFilePrintPreview));
        ASSERT_TRUE(i >= 0 && i + 2 < actions.size()) << when;
        EXPECT_EQ(main->widgetForAction(actions[i + 1]), box) << when;
        EXPECT_EQ(actions[i + 2], Action(kZoomIn)) << when;
        ASSERT_TRUE(QTest::qWaitFor([&] { return box->isVisible(); }, 2000)) << when;
        EXPECT_LT(main->widgetForAction(actions[i])->geometry().right(), box->x()) << when;
        EXPECT_LT(box->geometry().right(), main->widgetForAction(actions[i + 2])->x()) << when;
    };
    checkPlace("at start");
    m_frame->ResetZoomBox();
    checkPlace("placed again");
    main->clear();
    const auto tmpl = CResourceModule::Get().LoadToolbar(kMainToolbar);
    ASSERT_TRUE(tmpl);
    m_app->Router()->BuildToolBar(main, *tmpl, CResourceModule::Get().LoadBitmap(tmpl->bitmap));
    m_frame->ResetZoomBox();
    checkPlace("toolbar filled again");
}

TEST_F(Shell, ZoomBoxTypingClampsAndReachesDocumentAndView)
{
    CZoomComboBox* box = m_frame->ZoomBox();
    CDrawView* view = m_app->GetActiveDrawView();
    const std::pair<QString, int> cases[] = {{"250", 250}, {"250%", 250}, {"10", 50}, {"5000", 1600}, {"abc", 50}};
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    for (const auto& [typed, zoom] : cases) {
        TypeIntoZoomBox(typed);
        EXPECT_EQ(Active()->GetZoom(), zoom) << typed.toStdString();
        EXPECT_EQ(view->Zoom(), zoom);
        EXPECT_EQ(box->GetText(), QString::number(zoom) + "%");
        // The view takes the focus back.
        EXPECT_EQ(QApplication::focusWidget(), view);
    }
    // Typed text never becomes an entry of the list.
    EXPECT_EQ(box->count(), 10);

    // Zoom in from 1590 stops at 1600; zoom out steps by 25.
    TypeIntoZoomBox("1590");
    Update();
    ASSERT_TRUE(Action(kZoomIn)->isEnabled());
    Action(kZoomIn)->trigger();
    EXPECT_EQ(Active()->GetZoom(), 1600);
    EXPECT_EQ(box->GetText(), "1600%");
    Action(kZoomOut)->trigger();
    EXPECT_EQ(Active()->GetZoom(), 1575);
    Action(kZoom100)->trigger();
    EXPECT_EQ(view->Zoom(), 100);
    EXPECT_EQ(box->GetText(), "100%");

    // Choosing from the list goes the document's way, and the view has the focus again.
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QPoint entry = list->visualRect(list->model()->index(box->findText("400%"), 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry);
    EXPECT_EQ(Active()->GetZoom(), 400);
    EXPECT_EQ(QApplication::focusWidget(), view);

    // Each label keeps its zoom; the box shows the active one's.
    m_app->OnFileNew();
    EXPECT_EQ(box->GetText(), "100%");
    m_frame->ActivateChild(m_frame->MdiArea()->subWindowList().first());
    EXPECT_EQ(box->GetText(), "400%");
}

// The keys of Zoom In are those of other programs: Ctrl and the key that carries + and =,
// with or without Shift; the menu shows Ctrl++.
TEST_F(Shell, ZoomKeysStepInAndOutWithOrWithoutShift)
{
    ShowFrame();
    CDrawView* view = m_app->GetActiveDrawView();
    view->setFocus();
    ASSERT_EQ(FocusIn(m_frame), view);
    Update();
    const std::pair<QKeyCombination, int> keys[] = {{Qt::ControlModifier | Qt::Key_Equal, 125},
                                                    {Qt::ControlModifier | Qt::Key_Plus, 150},
                                                    {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus, 175},
                                                    {Qt::ControlModifier | Qt::Key_Minus, 150}};
    for (const auto& [key, zoom] : keys) {
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        EXPECT_EQ(Active()->GetZoom(), zoom) << QKeySequence(key).toString().toStdString();
    }
    EXPECT_EQ(m_frame->ZoomBox()->GetText(), "150%");
    EXPECT_EQ(Action(kZoomIn)->shortcut().toString(QKeySequence::PortableText), "Ctrl++");
}

TEST_F(Shell, EnterIsNotSwallowedOutsideTheZoomBox)
{
    auto* edit = new QLineEdit(m_frame->statusBar());
    m_frame->statusBar()->addWidget(edit);
    int returns = 0;
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { ++returns; });
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(returns, 1);

    // With no label open, Enter in the box changes nothing and breaks nothing.
    for (CDrawDoc* doc : m_app->Documents())
        m_app->CloseDocument(doc);
    TypeIntoZoomBox("300");
    EXPECT_EQ(Active(), nullptr);
}

TEST_F(Shell, PolygonInProgressStaysInItsViewAndEndsWithItsLabel)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    // Label1 is saved, so that its recent-file entry brings its tab forward; Label2 is new.
    SavedLabel();
    CDrawDoc* first = Active();
    Action(kFileNew)->trigger();
    CDrawDoc* second = Active();
    ASSERT_NE(first, second);
    const auto portOf = [&](CDrawDoc* doc) { return m_app->FrameOf(doc)->GetActiveDrawView()->viewport(); };
    // Clicks at a fraction of a widget's size arrive at the top-level window, as the window
    // system delivers them.
    const auto clickAt = [](QWidget* w, double fx, double fy) {
        QWindow* window = w->window()->windowHandle();
        const QPoint at = w->mapTo(w->window(), QPoint(int(w->width() * fx), int(w->height() * fy)));
        QTest::mouseMove(window, at);
        QTest::mouseClick(window, Qt::LeftButton, {}, at);
    };
    const auto startPolygon = [&](CDrawDoc* doc) {
        Update();
        Action(32782)->trigger();
        clickAt(portOf(doc), 0.2, 0.2);
        clickAt(portOf(doc), 0.6, 0.3);
        return doc->GetObjects().empty() ? nullptr : dynamic_cast<CDrawPoly*>(doc->GetObjects().back());
    };

    // The view keeps the mouse while the polygon is drawn, but a click outside it, on the
    // objects bar, ends the polygon and is no corner: the point that followed the mouse goes.
    CDrawPoly* poly = startPolygon(second);
    ASSERT_NE(poly, nullptr);
    ASSERT_EQ(poly->GetPointCount(), 3);
    clickAt(m_frame->ActiveChild()->ObjectTree()->viewport(), 0.5, 0.5);
    EXPECT_EQ(poly->GetPointCount(), 2);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    poly = startPolygon(second);
    ASSERT_NE(poly, nullptr);
    ASSERT_EQ(poly->GetPointCount(), 3);

    // The other label's tab comes forward: the polygon ends where it is, and the next polygon
    // is the other label's own.
    Update();
    Action(kFileMru1)->trigger();
    ASSERT_EQ(Active(), first);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    ASSERT_NE(startPolygon(first), nullptr);
    EXPECT_EQ(first->GetObjects().size(), 1u);
    EXPECT_EQ(poly->GetPointCount(), 3);

    // File > Close of that label with its polygon in progress: the question about saving can
    // be clicked, and afterwards a click in the remaining label adds nothing to the closed one.
    QWidget* grabberDuringQuestion = portOf(first);
    OnNextModal([&](QWidget* box) {
        grabberDuringQuestion = QWidget::mouseGrabber();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    Action(kFileClose)->trigger();
    EXPECT_EQ(grabberDuringQuestion, nullptr);
    ASSERT_EQ(m_app->Documents(), std::vector<CDrawDoc*>{second});
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    clickAt(portOf(second), 0.5, 0.6);
    ASSERT_EQ(second->GetObjects().size(), 2u);
    EXPECT_EQ(poly->GetPointCount(), 3);
}

TEST_F(Shell, BarCommandsToggleAndTheDatabaseItemLeavesTheMenu)
{
    Update();
    EXPECT_TRUE(Action(kViewComponentsBar)->isChecked());
    Action(kViewComponentsBar)->trigger();
    EXPECT_FALSE(m_frame->ComponentsBar()->isVisible());
    EXPECT_TRUE(m_frame->SecondToolBar()->isVisible());  // same number, other window
    Update();
    EXPECT_FALSE(Action(kViewComponentsBar)->isChecked());
    Action(kViewBarcodesBar)->trigger();
    EXPECT_FALSE(m_frame->BarcodesBar()->isVisible());

    CSplitFrame* child = m_frame->ActiveChild();
    Action(kViewObjectsBar)->trigger();
    EXPECT_FALSE(child->ObjectsBar()->isVisible());
    EXPECT_TRUE(m_frame->ComponentsBar()->isHidden());  // the child frame took 32919

    QMenu* viewMenu = MenuOf("&View");
    ASSERT_NE(viewMenu, nullptr);
    ASSERT_TRUE(viewMenu->actions().contains(Action(kViewDatabaseBar)));
    emit viewMenu->aboutToShow();
    EXPECT_FALSE(viewMenu->actions().contains(Action(kViewDatabaseBar)));
    EXPECT_TRUE(Action(kViewObjectsBar)->isEnabled());
    // The command itself still shows the bar.
    m_app->Router()->Execute(kViewDatabaseBar);
    EXPECT_TRUE(child->DatabaseBar()->isVisible());
}

TEST_F(Shell, PopupNoticeButtonsRunTheirCommands)
{
    // A button without a caption stays hidden; a captioned one runs its command and closes.
    QPointer<CPopupWindow> popup = m_frame->ShowPopupNotice("Bars", "Hide components", "", kViewComponentsBar);
    EXPECT_TRUE(popup->findChild<QAbstractButton*>("198")->isHidden());
    ASSERT_TRUE(m_frame->ComponentsBar()->isVisible());
    popup->findChild<QAbstractButton*>("197")->click();
    EXPECT_FALSE(m_frame->ComponentsBar()->isVisible());
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(popup.isNull());
}

TEST_F(Shell, AboutAndWelcomeShowTheVersionLine)
{
    // The test program carries no version record.
    CAboutDlg about;
    EXPECT_EQ(about.findChild<QLabel*>("166")->text(), QString("Version\uFF1A 0.0.0.0"));

    // The welcome window closes itself on its timer, not before; one that stays is closed.
    CWelcomeDlg welcome;
    EXPECT_EQ(welcome.findChild<QLabel*>("166")->text(), QString("Version\uFF1A 0.0.0.0"));
    QTimer::singleShot(HangBoundMs(10000), &welcome, [&welcome] { welcome.done(IDCANCEL); });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(welcome.exec(), IDOK) << "the welcome window did not close itself";
    EXPECT_GE(t.elapsed(), 900);
}

namespace {
class ShellChinese : public Shell
{
    QString Language() const override { return "CHS"; }
};
}

TEST_F(ShellChinese, CaptionsOfMessageBoxAndWizardComeFromTheStringTable)
{
    CResourceModule& res = CResourceModule::Get();
    ASSERT_EQ(res.Language(), "CHS");
    QString yes;
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        yes = box->button(QMessageBox::Yes)->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(AfxMessageBox(101, MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(yes, res.LoadString(77));

    CPropertyPage a(1, "A"), b(2, "B");
    CPropertySheet wizard;
    wizard.SetWizardMode();
    wizard.AddPage(&a);
    wizard.AddPage(&b);
    wizard.show();
    QStringList captions;
    for (int id : {ID_WIZBACK, ID_WIZNEXT, ID_WIZFINISH})
        captions << wizard.Button(id)->text();
    EXPECT_EQ(captions, (QStringList{res.LoadString(85), res.LoadString(84), res.LoadString(83)}));

    // A toolkit dialog's button box takes them by role.
    QDialog dialog;
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    dialog.show();
    EXPECT_EQ(box->button(QDialogButtonBox::Ok)->text(), res.LoadString(76));
    EXPECT_EQ(box->button(QDialogButtonBox::Cancel)->text(), res.LoadString(79));
}

namespace {
class ShellTraditionalChinese : public Shell
{
    QString Language() const override { return "CHT"; }
    void TearDown() override
    {
        Shell::TearDown();
        SetArchiveCodePage(1252);
    }
};
}

TEST_F(ShellTraditionalChinese, SingleByteTextsOfOldLabelsAreReadInTheSystemCodePage)
{
    // A label whose printer name was stored as single-byte text on a Traditional Chinese
    // system: the Big5 bytes of the name in place of the saved empty UTF-16 string.
    const QString path = SavedLabel();
    ASSERT_TRUE(m_app->Router()->Execute(kFileClose));
    CCompoundFile file;
    QString error;
    ASSERT_TRUE(file.Load(path, error));
    QByteArray contents = *file.GetRoot().OpenStream(CDrawDoc::ContentsStreamName());
    const int printerAt = 24;  // version, paper colour, reserved word, paper size, paper code
    ASSERT_EQ(contents.mid(printerAt, 4), QByteArray("\xFF\xFE\xFF\x00", 4));
    const QByteArray big5("\xBC\xD0\xC5\xD2\xA6\x4C\xAA\xED\xBE\xF7");
    contents.replace(printerAt, 4, char(big5.size()) + big5);
    ASSERT_TRUE(file.GetRoot().WriteStream(CDrawDoc::ContentsStreamName(), contents));
    ASSERT_TRUE(file.Save(path, error));

    m_app->m_askOpenPath = [path] { return path; };
    ASSERT_TRUE(m_app->Router()->Execute(kFileOpen));
    ASSERT_NE(Active(), nullptr);
    EXPECT_EQ(Active()->GetPrinterName(), QString::fromUtf16(u"標籤印表機"));
}


TEST_F(Shell, CommandsWhoseUpdateOnlyChecksRunFromMenuAndToolbar)
{
    constexpr UINT kGrid = 32769;
    QMenu* viewMenu = MenuOf("&View");
    ASSERT_NE(viewMenu, nullptr);
    emit viewMenu->aboutToShow();
    for (UINT id : {kGrid, kViewToolbar, kViewStatusBar}) {
        EXPECT_TRUE(Action(id)->isEnabled()) << id;
        EXPECT_TRUE(Action(id)->isChecked()) << id;
    }
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    QApplication::processEvents();

    // The grid's toolbar button, clicked, switches the view's grid off and unchecks itself.
    QWidget* gridButton = m_frame->SecondToolBar()->widgetForAction(Action(kGrid));
    ASSERT_NE(gridButton, nullptr);
    EXPECT_TRUE(gridButton->isEnabled());
    QTest::mouseClick(gridButton, Qt::LeftButton);
    EXPECT_FALSE(m_app->GetActiveDrawView()->m_bGrid);
    QApplication::processEvents();
    EXPECT_FALSE(Action(kGrid)->isChecked());

    // The bars go through their menu items.
    Action(kViewToolbar)->trigger();
    EXPECT_FALSE(m_frame->MainToolBar()->isVisible());
    Action(kViewStatusBar)->trigger();
    EXPECT_FALSE(m_frame->statusBar()->isVisible());
    emit viewMenu->aboutToShow();
    EXPECT_FALSE(Action(kViewToolbar)->isChecked());
}

TEST_F(Shell, AfterADrawingDragTheToolbarShowsTheSelectToolAgain)
{
    constexpr UINT kSelectTool = 32770, kRectTool = 32772;
    ShowFrame();
    CDrawView* view = m_app->GetActiveDrawView();
    view->setFocus();
    QApplication::processEvents();

    QTest::mouseClick(m_frame->SecondToolBar()->widgetForAction(Action(kRectTool)), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_TRUE(Action(kRectTool)->isChecked());

    QWidget* port = view->viewport();
    const QPoint from(200, 150), to(320, 230);
    QTest::mousePress(port, Qt::LeftButton, {}, from);
    QTest::mouseMove(port, (from + to) / 2);
    QTest::mouseMove(port, to);
    QTest::mouseRelease(port, Qt::LeftButton, {}, to);
    ASSERT_EQ(Active()->GetObjects().size(), 1u);
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    QApplication::processEvents();
    EXPECT_TRUE(Action(kSelectTool)->isChecked());
    EXPECT_FALSE(Action(kRectTool)->isChecked());
}

TEST_F(Shell, ToolbarTooltipsAndStatusPromptsComeFromTheStringTable)
{
    constexpr UINT kExport = 32936;
    ShowFrame();
    QStatusBar* status = m_frame->statusBar();
    auto* idle = status->findChild<QLabel*>("57345");
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(idle->text(), "Ready");
    EXPECT_TRUE(idle->isVisible());

    QWidget* exportButton = m_frame->MainToolBar()->widgetForAction(Action(kExport));
    ASSERT_NE(exportButton, nullptr);
    const QPoint centre = exportButton->rect().center();
    QHelpEvent help(QEvent::ToolTip, centre, exportButton->mapToGlobal(centre));
    QApplication::sendEvent(exportButton, &help);
    EXPECT_EQ(QToolTip::text(), "Export as Image");
    QToolTip::hideText();
    EXPECT_EQ(m_frame->ZoomBox()->toolTip(), "Zoom");

    // Over a button its prompt, off it the idle text again, as often as the mouse comes by.
    QWidget* newButton = m_frame->MainToolBar()->widgetForAction(Action(kFileNew));
    for (int pass = 0; pass < 2; ++pass) {
        QTest::mouseMove(newButton);
        EXPECT_EQ(status->currentMessage(), "Create a new label");
        QTest::mouseMove(m_app->GetActiveDrawView()->viewport());
        EXPECT_TRUE(status->currentMessage().isEmpty());
        EXPECT_TRUE(idle->isVisible());
    }
    // Menu items show theirs too.
    QMenu* fileMenu = MenuOf("&File");
    QMenuBar* bar = m_frame->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(fileMenu->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
    QTest::mouseMove(fileMenu, fileMenu->actionGeometry(Action(kFileOpen)).center());
    EXPECT_EQ(status->currentMessage(), "Open an existing label");
    fileMenu->hide();
    EXPECT_TRUE(idle->isVisible());
}

// Every road that opens a label file: File > Open, the recent-file list and a second start; the
// objects bar lists the active label's objects.
TEST_F(Shell, SaveCloseAndOpenOnEveryRoadWithTheObjectsBarFollowing)
{
    CDrawView* view = m_app->GetActiveDrawView();
    view->AddObject(new CDrawText(CRect(100, 100, 900, 400), view, "Text"));
    view->AddObject(new CDrawBarcode(CRect(100, 600, 3000, 1600), view, "12345", 0));
    view->AddObject(new CDrawBarcode(CRect(100, 1800, 3000, 2800), view, "678", 0));
    const QString path = SavedLabel();
    EXPECT_EQ(Active()->GetTitle(), "saved.tag");
    EXPECT_EQ(m_app->Settings()->RecentFiles().value(0), path);

    // Without a label the zoom commands are off.
    EXPECT_TRUE(m_app->Router()->Execute(kFileClose));
    EXPECT_TRUE(m_app->Documents().empty());
    Update();
    EXPECT_FALSE(Action(kZoomIn)->isEnabled());
    EXPECT_TRUE(Action(kFileNew)->isEnabled());

    auto captions = [this] {
        CDrawView* active = m_app->GetActiveDrawView();
        EXPECT_TRUE(m_frame->ActiveChild()->ObjectsBar()->isVisibleTo(m_frame));
        return active->TextGroup()->text(0) + " / " + active->BarcodeGroup()->text(0);
    };
    m_app->m_askOpenPath = [path] { return path; };
    Action(kFileOpen)->trigger();
    ASSERT_EQ(m_app->Documents().size(), 1u);
    EXPECT_FALSE(Active()->IsModified());
    EXPECT_EQ(captions(), "Text Objects (1) / Barcode Objects (2)");
    EXPECT_EQ(m_app->GetActiveDrawView()->BarcodeGroup()->child(1)->text(0), Active()->GetObjects()[2]->GetName());
    // Opening it again activates its window.
    EXPECT_EQ(m_app->OpenDocumentFile(path), Active());
    EXPECT_EQ(m_app->Documents().size(), 1u);

    // A new label beside it lists nothing; back on the first tab its objects again.
    Action(kFileNew)->trigger();
    EXPECT_EQ(Active()->GetTitle(), "Label2");
    EXPECT_EQ(captions(), "Text Objects (0) / Barcode Objects (0)");
    m_frame->ActivateChild(m_frame->MdiArea()->subWindowList().first());
    EXPECT_EQ(captions(), "Text Objects (1) / Barcode Objects (2)");
    m_app->CloseDocument(Active());
    EXPECT_EQ(captions(), "Text Objects (0) / Barcode Objects (0)");

    Update();
    EXPECT_TRUE(Action(kFileMru1)->text().endsWith(path));
    Action(kFileMru1)->trigger();
    EXPECT_EQ(captions(), "Text Objects (1) / Barcode Objects (2)");
    m_app->CloseDocument(Active());

    // A second start hands its file over; nobody listening under another name, it runs alone.
    std::atomic<int> result{-1};
    std::thread second([&] { result = int(CInstanceChannel::SendFiles(InstanceName(), {path}, HangBoundMs(10000))); });
    QElapsedTimer t;
    t.start();
    while (result < 0 && t.elapsed() < HangBoundMs(15000))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    EXPECT_EQ(CInstanceChannel::Handover(int(result)), CInstanceChannel::Handover::Opened);
    EXPECT_EQ(captions(), "Text Objects (1) / Barcode Objects (2)");
    EXPECT_EQ(CInstanceChannel::SendFiles("quillbar-test-nobody", {path}, 1000), CInstanceChannel::Handover::NoInstance);
}
