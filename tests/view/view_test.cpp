#include "document/drawdoc.h"
#include "document/sheetlimits.h"
#include "framework/resourcemodule.h"
#include "objects/drawobj.h"
#include "objects/drawpoly.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "view/compitem.h"
#include "view/drawtool.h"
#include "view/drawview.h"
#include "support/scriptedsheets.h"
#include "support/testoutput.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QDialog>
#include <QTimer>
#include <QTest>
#include <QWindow>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

// A view of a 50 x 30 mm label, shown and active, the label's corner near the window's top-left.
class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    }

    void SetUp() override
    {
        const float size[2] = {500.0f, 300.0f};
        doc.SetLabelSize(size);
        view = std::make_unique<CDrawView>();
        view->resize(900, 700);
        view->AttachDocument(&doc);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->OnActivateView(TRUE);
        ShowLabelCorner();
        CDrawTool::c_drawShape = kShapeSelect;
        doc.SetModifiedFlag(FALSE);
    }

    void TearDown() override
    {
        view.reset();
        CDrawTool::c_drawShape = kShapeSelect;
    }

    // The label's corner at client (76, 76).
    void ShowLabelCorner()
    {
        const int e = view->GetViewportExtent();
        view->ScrollToPosition(CPoint(10 * e - 60, 10 * e - 60));
    }

    QWidget* Port() const { return view->viewport(); }

    void Send(QEvent::Type type, QPoint p, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const Qt::MouseButton button =
            type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(p), Port()->mapToGlobal(QPointF(p)), button, buttons, mods);
        QApplication::sendEvent(Port(), &e);
    }
    void Press(QPoint p, Qt::KeyboardModifiers m = {}) { Send(QEvent::MouseButtonPress, p, Qt::LeftButton, m); }
    void Release(QPoint p, Qt::KeyboardModifiers m = {}) { Send(QEvent::MouseButtonRelease, p, Qt::NoButton, m); }
    void Move(QPoint p, bool held) { Send(QEvent::MouseMove, p, held ? Qt::LeftButton : Qt::NoButton); }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        Press(from, m);
        Move((from + to) / 2, true);
        Move(to, true);
        Release(to, m);
    }
    void Click(QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier) { Press(p, m), Release(p, m); }

    CDrawRect* AddRect(const CRect& r)
    {
        auto* obj = new CDrawRect(r);
        doc.Add(obj);
        return obj;
    }
    QPoint Client(CPoint logical) const
    {
        const CPoint p = view->DocToClient(logical);
        return QPoint(p.x, p.y);
    }

    CDrawDoc doc;
    std::unique_ptr<CDrawView> view;
};

TEST_F(ViewTest, MappingFollowsTheZoomAndKeepsTheCentre)
{
    const int dpi = view->GetScreenDpi();
    // One inch is dpi pixels.
    EXPECT_EQ(view->DocToClient(CPoint(1536, 0)).x - view->DocToClient(CPoint(0, 0)).x, dpi);

    // The logical point under the middle of the window stays there through a zoom.
    const CPoint middle(view->viewport()->width() / 2, view->viewport()->height() / 2);
    const CPoint before = view->ClientToDoc(middle);
    doc.SetZoom(250);
    EXPECT_EQ(view->GetViewportExtent(), int(dpi * 2.5));
    EXPECT_NEAR(view->ClientToDoc(middle).x, before.x, 1536 / dpi + 2);
    EXPECT_NEAR(view->ClientToDoc(middle).y, before.y, 1536 / dpi + 2);
}

TEST_F(ViewTest, TheLabelStaysCentredThroughResizesUntilTheUserScrolls)
{
    // A new window is centred at its first size and then grows, as the frame is maximised. The
    // label sits 8 pixels right and down of the middle, beside the rulers.
    CDrawView fresh;
    fresh.resize(300, 200);
    fresh.AttachDocument(&doc);
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    const auto labelCentre = [&fresh] {
        // The 50 x 30 mm label's middle in units of 1/1536 inch.
        const CPoint c = fresh.DocToClient(CPoint(50 * 1536 / 254 * 10 / 2, 30 * 1536 / 254 * 10 / 2));
        return QPoint(c.x, c.y);
    };
    const auto middle = [&fresh] { return fresh.viewport()->rect().center(); };
    EXPECT_LE((labelCentre() - middle()).manhattanLength(), 20);
    fresh.resize(1000, 800);
    QApplication::processEvents();
    EXPECT_LE((labelCentre() - middle()).manhattanLength(), 20);

    // Fitted while small, it is fitted again as the window grows.
    fresh.resize(300, 200);
    QApplication::processEvents();
    fresh.OnCmdMsg(32902, CN_COMMAND, nullptr);
    QApplication::processEvents();
    const int small = doc.GetZoom();
    fresh.resize(1000, 800);
    QApplication::processEvents();
    EXPECT_GT(doc.GetZoom(), small);
    EXPECT_LE((labelCentre() - middle()).manhattanLength(), 20);

    // Once the user has scrolled, a resize leaves the label where the user put it.
    QTest::mouseClick(fresh.verticalScrollBar(), Qt::LeftButton, {},
                      QPoint(fresh.verticalScrollBar()->width() / 2, fresh.verticalScrollBar()->height() - 30));
    const CPoint scrolled = fresh.GetScrollPosition();
    fresh.resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(fresh.GetScrollPosition(), scrolled);
}

// A damaged file's label size: one beyond any sheet is shown as the largest label, one that is no
// number as a label without a size, centred and drawn without overflowing the mapping.
TEST_F(ViewTest, ADamagedLabelSizeIsShownWithinTheSheetsLimits)
{
    constexpr UINT kCentre = 32828;
    // Where the label was centred, and what the window showed.
    struct Shown {
        CPoint scroll;
        QImage picture;
    };
    const auto shown = [this](float width, float height) {
        const float size[2] = {width, height};
        doc.SetLabelSize(size);
        view->OnCmdMsg(kCentre, CN_COMMAND, nullptr);
        return Shown{view->GetScrollPosition(), view->viewport()->grab().toImage()};
    };
    const auto expectSame = [](const Shown& a, const Shown& b) {
        EXPECT_EQ(a.scroll.x, b.scroll.x);
        EXPECT_EQ(a.scroll.y, b.scroll.y);
        EXPECT_TRUE(a.picture == b.picture);
    };
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float most = float(kMaxSheetLength);
    for (const int zoom : {100, CDrawDoc::kMaxZoom}) {
        SCOPED_TRACE(zoom);
        doc.SetZoom(zoom);
        const Shown largest = shown(most, most), none = shown(0, 0), smallest = shown(-most, -most);
        EXPECT_NE(largest.scroll, none.scroll);
        expectSame(shown(4e30f, inf), largest);
        expectSame(shown(nan, nan), none);
        expectSame(shown(-inf, -1e30f), smallest);
    }
}

TEST_F(ViewTest, RectangleToolDrawsTheDraggedSizeAtEveryZoom)
{
    for (int zoom : {100, 250}) {
        doc.SetZoom(zoom);
        ShowLabelCorner();
        CDrawTool::c_drawShape = kShapeRect;
        const QPoint from(150, 120), to(290, 205);
        Drag(from, to);
        auto* rect = dynamic_cast<CDrawRect*>(doc.GetObjects().back());
        ASSERT_TRUE(rect && rect->m_nShape == CDrawRect::rectangle);
        const CPoint a = view->ClientToDoc(CPoint(from.x(), from.y()));
        const CPoint b = view->ClientToDoc(CPoint(to.x(), to.y()));
        EXPECT_EQ(rect->m_position, CRect(a, b)) << "zoom " << zoom;
        // The new object is selected alone and the select tool is current again.
        EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{rect});
        EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
        EXPECT_FALSE(view->HasCapture());
    }
    EXPECT_EQ(doc.GetObjects().size(), 2u);

    // The other shapes of the rectangle tool.
    CDrawTool::c_drawShape = kShapeEllipse;
    Drag(QPoint(100, 300), QPoint(101, 301));
    EXPECT_EQ(dynamic_cast<CDrawRect*>(doc.GetObjects().back())->m_nShape, CDrawRect::ellipse);
    EXPECT_EQ(doc.GetObjects().size(), 3u);  // a one-pixel drag keeps the object
}

TEST_F(ViewTest, ClicksAndBandsSelectAndCreatingToolsMakeNothingOnAClick)
{
    CDrawRect* a = AddRect(CRect(0, 0, 500, 500));
    CDrawRect* b = AddRect(CRect(1000, 0, 1500, 500));
    CDrawRect* c = AddRect(CRect(2000, 0, 2500, 500));
    CDrawRect* far = AddRect(CRect(5000, 3000, 5500, 3500));
    // A band from an empty place above the label to the middle of b: a lies inside, b is only
    // touched; with Shift a band adds to the selection.
    const QPoint to = Client(CPoint(1200, 250));
    Press(Client(CPoint(-300, -300)));
    Move(to, true);
    ASSERT_NE(view->GetFocusRect(), nullptr);
    Release(to);
    EXPECT_EQ(view->GetFocusRect(), nullptr);
    EXPECT_EQ(view->GetSelection(), (std::vector<CDrawObj*>{a, b}));
    Drag(Client(CPoint(4800, 2800)), Client(CPoint(5100, 3100)), Qt::ShiftModifier);
    EXPECT_EQ(view->GetSelection(), (std::vector<CDrawObj*>{a, b, far}));

    // Shift-click adds, a plain click replaces; dragging one of several moves them all.
    Click(QPoint(800, 650));
    Click(Client(CPoint(250, 250)));
    Click(Client(CPoint(1250, 250)), Qt::ShiftModifier);
    EXPECT_EQ(view->GetSelection(), (std::vector<CDrawObj*>{a, b}));
    const QPoint from = Client(CPoint(250, 250));
    Drag(from, from + QPoint(20, 10));
    EXPECT_EQ(a->m_position.left, b->m_position.left - 1000);
    EXPECT_GT(a->m_position.left, 0);
    EXPECT_EQ(view->GetSelection().size(), 2u);
    Click(Client(CPoint(2250, 250)));
    EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{c});
    Click(QPoint(800, 650));
    EXPECT_TRUE(view->GetSelection().empty());

    // A click with a creating tool makes nothing; on an object it selects it.
    CDrawTool::c_drawShape = kShapeLine;
    Click(QPoint(400, 400));
    EXPECT_EQ(doc.GetObjects().size(), 4u);
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    CDrawTool::c_drawShape = kShapeRect;
    Click(Client(CPoint(2250, 250)));
    EXPECT_EQ(doc.GetObjects().size(), 4u);
    EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{c});
}

TEST_F(ViewTest, HandleDragResizesTheObject)
{
    CDrawRect* r = AddRect(CRect(0, 0, 1536, 768));
    Click(Client(CPoint(700, 300)));
    ASSERT_EQ(view->GetSelection().size(), 1u);
    // Handle 5 (bottom right) dragged by (48, 24) pixels.
    const QPoint handle = Client(CPoint(1536, 768));
    Drag(handle, handle + QPoint(48, 24));
    EXPECT_EQ(r->m_position.TopLeft(), CPoint(0, 0));
    EXPECT_EQ(r->m_position.BottomRight(), view->ClientToDoc(CPoint(handle.x() + 48, handle.y() + 24)));
}

TEST_F(ViewTest, PolygonClosesOnItsFirstPoint)
{
    CDrawTool::c_drawShape = kShapePolygon;
    const QPoint corners[4] = {QPoint(200, 200), QPoint(400, 210), QPoint(380, 400), QPoint(210, 380)};
    for (const QPoint& p : corners) {
        Move(p, false);
        Click(p);
    }
    Move(corners[0], false);
    Click(corners[0]);
    auto* poly = dynamic_cast<CDrawPoly*>(doc.GetObjects().front());
    ASSERT_TRUE(poly && poly->GetPointCount() == 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(poly->GetPoints()[std::size_t(i)], view->ClientToDoc(CPoint(corners[i].x(), corners[i].y())));
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    EXPECT_FALSE(view->HasCapture());

    // Closing right after the first click leaves no polygon.
    CDrawTool::c_drawShape = kShapePolygon;
    Click(QPoint(500, 500));
    Click(QPoint(500, 500));
    EXPECT_EQ(doc.GetObjects().size(), 1u);

    // A double click ends a polygon and drops the point that followed the mouse.
    CDrawTool::c_drawShape = kShapePolygon;
    for (const QPoint p : {QPoint(600, 100), QPoint(700, 100), QPoint(700, 200)}) {
        Move(p, false);
        Click(p);
    }
    Press(QPoint(700, 200));
    Send(QEvent::MouseButtonDblClick, QPoint(700, 200), Qt::LeftButton);
    Release(QPoint(700, 200));
    ASSERT_EQ(doc.GetObjects().size(), 2u);
    EXPECT_EQ(dynamic_cast<CDrawPoly*>(doc.GetObjects().back())->GetPointCount(), 3);
}

TEST_F(ViewTest, PolygonInProgressEndsWithTheShapeItsViewOrItsObject)
{
    const auto poly = [&](std::size_t i) { return dynamic_cast<CDrawPoly*>(doc.GetObjects().at(i)); };
    const auto clickAt = [&](QPoint p) {
        QTest::mouseMove(Port(), p);
        QTest::mouseClick(Port(), Qt::LeftButton, {}, p);
    };
    // Another tool ends it: the next polygon is a new one.
    view->OnToolCommand(32782);
    clickAt(QPoint(200, 200));
    clickAt(QPoint(300, 200));
    ASSERT_EQ(doc.GetObjects().size(), 1u);
    EXPECT_TRUE(view->HasCapture());
    view->OnToolCommand(32772);  // rectangle
    EXPECT_FALSE(view->HasCapture());
    view->OnToolCommand(32782);
    clickAt(QPoint(200, 400));
    ASSERT_EQ(doc.GetObjects().size(), 2u);
    EXPECT_EQ(poly(0)->GetPointCount(), 3);

    // Removed from the document (deleted, or the document closed) it is no longer drawn; a
    // change of tab or label is driven in the application's tests.
    CDrawObj* drawn = doc.GetObjects().back();
    doc.Remove(drawn);
    drawn->Remove();
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    view->OnToolCommand(32782);
    clickAt(QPoint(600, 300));
    EXPECT_EQ(doc.GetObjects().size(), 2u);
    EXPECT_EQ(poly(1)->GetPointCount(), 2);
    doc.DeleteContents();
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    EXPECT_FALSE(view->HasCapture());

    // A view that goes takes its polygon with it.
    view->OnToolCommand(32782);
    clickAt(QPoint(200, 200));
    view.reset();
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
    CDrawView other;
    other.AttachDocument(&doc);
    other.OnActivateView(TRUE);
    other.OnToolCommand(32782);
    other.OnLButtonDown(MK_LBUTTON, CPoint(300, 300));
    EXPECT_EQ(doc.GetObjects().size(), 2u);
}

TEST_F(ViewTest, LinesAreClickedWhereTheyAreDrawn)
{
    // Up-right, down-right and at 45 degrees up-right, each drawn with the line tool.
    const std::pair<QPoint, QPoint> drawn[] = {
        {QPoint(150, 400), QPoint(450, 250)}, {QPoint(500, 150), QPoint(800, 300)}, {QPoint(500, 650), QPoint(700, 450)}};
    for (const auto& [from, to] : drawn) {
        view->OnToolCommand(32771);
        QTest::mousePress(Port(), Qt::LeftButton, {}, from);
        QTest::mouseMove(Port(), (from + to) / 2);
        QTest::mouseMove(Port(), to);
        QTest::mouseRelease(Port(), Qt::LeftButton, {}, to);
    }
    ASSERT_EQ(doc.GetObjects().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& [from, to] = drawn[i];
        auto* line = dynamic_cast<CDrawRect*>(doc.GetObjects()[i]);
        ASSERT_TRUE(line && line->m_nShape == CDrawRect::line);
        // A quarter of the way along the line hits it; the same place on the box's other
        // diagonal is empty.
        const QPoint on = from + (to - from) / 4;
        const QPoint across(on.x(), from.y() + to.y() - on.y());
        QTest::mouseClick(Port(), Qt::LeftButton, {}, QPoint(880, 680));
        ASSERT_TRUE(view->GetSelection().empty());
        QTest::mouseClick(Port(), Qt::LeftButton, {}, on);
        EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{line}) << i;
        QTest::mouseClick(Port(), Qt::LeftButton, {}, across);
        EXPECT_TRUE(view->GetSelection().empty()) << i;
        // Four pixels beside the line still hit it.
        QTest::mouseClick(Port(), Qt::LeftButton, {}, on + QPoint(0, 4));
        EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{line}) << i;
    }
    QTest::mouseClick(Port(), Qt::LeftButton, {}, drawn[0].first + (drawn[0].second - drawn[0].first) / 2);
    QApplication::processEvents();
    const QString file = TestOutputDir() + "/view-line.png";
    EXPECT_TRUE(view->grab().save(file));
}

TEST_F(ViewTest, PaletteDragInAndOutLeavesTheDocumentAsItWasAndNamesFree)
{
    CDrawRect* existing = AddRect(CRect(0, 0, 100, 100));
    view->Select(existing);
    doc.SetModifiedFlag(FALSE);
    QSignalSpy redrawn(view.get(), &CDrawView::redrawnAfterDrop);
    const QPoint inside = Port()->mapToGlobal(QPoint(300, 300));

    // Text and barcode entries give their names back when cancelled: the next are numbered 1.
    CTextCompItem fitting(RUNTIME_CLASS(CDrawText), 1);
    CBarcodeCompItem ean(RUNTIME_CLASS(CDrawBarcode), 7);
    for (CCompItem* e : std::initializer_list<CCompItem*>{&fitting, &ean}) {
        view->OnDropComponent(inside, e);
        view->OnDropComponent(Port()->mapToGlobal(QPoint(340, 300)), e);
        ASSERT_EQ(doc.GetObjects().size(), 2u);
        view->CancelComponentDrop();
        EXPECT_EQ(doc.GetObjects(), std::vector<CDrawObj*>{existing});
    }
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_TRUE(redrawn.wait(1000));

    // Dropped, an object stays; there is nothing left to cancel.
    view->OnDropComponent(inside, &ean);
    view->EndComponentDrop();
    view->CancelComponentDrop();
    view->OnDropComponent(inside, &fitting);
    view->EndComponentDrop();
    ASSERT_EQ(doc.GetObjects().size(), 3u);
    EXPECT_EQ(static_cast<CDrawText*>(doc.GetObjects().back())->Content().sizingMode, 1);
    EXPECT_EQ(doc.GetNextCodeNumber(), 2);
    EXPECT_EQ(doc.GetNextTextNumber(), 2);
}

TEST_F(ViewTest, ToolAndSymbologyCommandsSetTheShape)
{
    const auto radio = [&](UINT id) {
        BOOL enabled = FALSE, checked = FALSE;
        return view->GetToolCommandState(id, &enabled, &checked) && enabled && checked;
    };
    EXPECT_TRUE(view->OnToolCommand(32774));
    EXPECT_TRUE(radio(32774) && !radio(32770));
    // Choosing a symbology chooses the barcode tool too.
    EXPECT_TRUE(view->OnToolCommand(32846));
    EXPECT_EQ(view->m_nSymbology, 11);
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeBarcode);
    EXPECT_TRUE(radio(32846) && !radio(32842));
    EXPECT_FALSE(view->OnToolCommand(57634));
    view->OnCancel();
    EXPECT_EQ(CDrawTool::c_drawShape, kShapeSelect);
}

TEST_F(ViewTest, SelectionAreaAndRulerMarksStayOutOfTheRulers)
{
    CDrawRect* r = AddRect(CRect(-3000, -3000, 768, 768));
    view->Select(r);
    CRect h, v;
    view->GetRulerMarks(&h, &v);
    const CPoint br = view->DocToClient(CPoint(768, 768));
    EXPECT_EQ(h, CRect(16, 0, br.x, 16));
    EXPECT_EQ(v, CRect(0, 16, 16, br.y));
    // A press on the object shows the marks; the release takes them away.
    Press(Client(CPoint(0, 0)));
    CRect shownH, shownV;
    view->GetShownRulerMarks(&shownH, &shownV);
    EXPECT_EQ(shownH, h);
    Release(Client(CPoint(0, 0)));
    view->GetShownRulerMarks(&shownH, &shownV);
    EXPECT_TRUE(shownH.IsRectEmpty());

    // An inactive view ignores the mouse.
    view->OnActivateView(FALSE);
    CDrawTool::c_drawShape = kShapeRect;
    Drag(QPoint(300, 300), QPoint(350, 350));
    EXPECT_EQ(doc.GetObjects().size(), 1u);
}

TEST_F(ViewTest, TextAndBarcodeToolsFillTheTree)
{
    QTreeWidget objects, database;
    view->SetTrees(&objects, &database);
    view->FillTrees();
    ASSERT_NE(view->TextGroup(), nullptr);

    // The sheets answer OK (Cancel is driven through the sheets in the application's tests).
    ScriptedSheets sheets(TRUE);
    CDrawTool::c_drawShape = kShapeText;
    Click(QPoint(200, 200));
    view->OnToolCommand(32853);  // UPC-A, and the barcode tool
    Click(QPoint(200, 400));
    ASSERT_EQ(doc.GetObjects().size(), 2u);
    auto* text = dynamic_cast<CDrawText*>(doc.GetObjects()[0]);
    auto* code = dynamic_cast<CDrawBarcode*>(doc.GetObjects()[1]);
    ASSERT_TRUE(text && code);
    EXPECT_EQ(text->m_text, CResourceModule::Get().LoadString(8));
    EXPECT_EQ(view->TextGroup()->text(0), QStringLiteral("Text Objects (1)"));
    EXPECT_EQ(view->BarcodeGroup()->childCount(), 1);
    // Renamed in a property sheet: a double click brings the tree up to date.
    code->SetName(QStringLiteral("Price"));
    view->OnLButtonDblClk(0, CPoint(5, 600));
    EXPECT_EQ(view->BarcodeGroup()->child(0)->text(0), QStringLiteral("Price"));
}

TEST_F(ViewTest, BarcodeToolKeepsTheModuleOfItsEmptySymbol)
{
    // The tool makes its object with an empty text; the drag that follows sizes the box, not
    // the module of a symbol that has no bars yet.
    ScriptedSheets sheets(TRUE);
    view->OnToolCommand(32842);  // Code 39, and the barcode tool
    Drag(QPoint(200, 300), QPoint(420, 380));
    auto* code = dynamic_cast<CDrawBarcode*>(doc.GetObjects().at(0));
    ASSERT_NE(code, nullptr);
    EXPECT_FLOAT_EQ(code->GetBarcode()->GetModuleWidth(), 0.01f);
    EXPECT_EQ(code->m_position.Width(), 480);  // the two asterisks at 0.01 inch

    // A text given later gets a symbol of that module.
    std::unique_ptr<CDC> dc = view->CreateClientDC();
    code->UpdateBarcode(dc.get(), QStringLiteral("A1"));
    EXPECT_EQ(code->m_position.Width(), 4 * 240);
}

TEST_F(ViewTest, AnObjectMadeThroughItsSheetStaysPutOnceTheButtonIsUp)
{
    // The sheet opens on the press; the user lets go of the button over it. Moving the free
    // mouse over the label afterwards resizes nothing.
    QWindow* window = view->window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const auto at = [this](QPoint p) { return Port()->mapTo(view->window(), p); };
    ScriptedSheets sheets(TRUE, [](CObjectSheet& sheet) {
        if (sheet.content)
            sheet.content->text = QStringLiteral("A1");
        QDialog dialog;
        dialog.resize(200, 100);
        QTimer::singleShot(0, &dialog, [&dialog] {
            QTest::mouseRelease(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
            dialog.accept();
        });
        dialog.exec();
    });
    view->OnToolCommand(32842);  // Code 39, and the barcode tool
    QTest::mousePress(window, Qt::LeftButton, {}, at(QPoint(200, 300)));
    ASSERT_EQ(doc.GetObjects().size(), 1u);
    const CRect made = doc.GetObjects()[0]->m_position;
    for (const QPoint p : {QPoint(420, 380), QPoint(430, 390)}) {
        QMouseEvent move(QEvent::MouseMove, p, Port()->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(Port(), &move);
    }
    EXPECT_EQ(doc.GetObjects()[0]->m_position, made);
    EXPECT_FALSE(view->HasCapture());
}

}  // namespace
