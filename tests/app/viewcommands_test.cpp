// The editing view's commands reached as the user reaches them: through the router's actions,
// the clipboard and the context menu of the running program.

#include "app/shellfixture.h"
#include "framework/compoundfile.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawpoly.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

namespace {

constexpr UINT kToFront = 32777, kToBack = 32778, kForward = 32779, kBackward = 32780;
constexpr UINT kNudgeUp = 32922, kNudgeDown = 32924, kNudgeLeft = 32925, kNudgeRight = 32926;
constexpr UINT kRotate = 32831, kFit = 32902, kExport = 32936;
constexpr UINT kClear = 57632, kCopy = 57634, kCut = 57635, kPaste = 57637, kSelectAll = 57642;

class ViewCommands : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        QGuiApplication::clipboard()->clear();
        ShowFrame();
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        view->setFocus();
        QApplication::processEvents();
    }

    CDrawRect* AddRect(const CRect& r)
    {
        auto* obj = new CDrawRect(r);
        view->AddObject(obj);
        return obj;
    }
    void Run(UINT id)
    {
        Update();
        ASSERT_TRUE(Action(id)->isEnabled()) << id;
        Action(id)->trigger();
    }
    bool Enabled(UINT id)
    {
        Update();
        return Action(id)->isEnabled();
    }
    // The bytes the document writes for an object list holding clones of the objects.
    static QByteArray SavedObjectList(const std::vector<CDrawObj*>& objects)
    {
        CDrawDoc empty, holder;
        for (CDrawObj* obj : objects)
            obj->Clone(&holder);
        const QByteArray all = holder.StoreContents();
        // The empty document's contents are the same header, a zero count and no items.
        const qsizetype header = empty.StoreContents().size() - 2 - 4;
        return all.mid(header, all.size() - header - 4);
    }

    CDrawView* view = nullptr;
};

}  // namespace

TEST_F(ViewCommands, UpdateStatesFollowSelectionObjectsAndClipboard)
{
    for (UINT id : {kToFront, kRotate, kCopy, kCut, kClear, kSelectAll, kPaste})
        EXPECT_FALSE(Enabled(id)) << id;
    CDrawRect* a = AddRect(CRect(0, 0, 500, 500));
    CDrawRect* b = AddRect(CRect(600, 0, 900, 500));
    EXPECT_TRUE(Enabled(kSelectAll));
    view->Select(a);
    for (UINT id : {kToFront, kToBack, kForward, kBackward, kRotate, kCopy, kCut, kClear})
        EXPECT_TRUE(Enabled(id)) << id;
    view->Select(b, TRUE);
    for (UINT id : {kToFront, kToBack, kForward, kBackward})
        EXPECT_FALSE(Enabled(id)) << id;
    for (UINT id : {kRotate, kCopy, kCut, kClear})
        EXPECT_TRUE(Enabled(id)) << id;

    // Paste follows what the clipboard announces: other data does not count.
    auto* text = new QMimeData;
    text->setText("plain");
    QGuiApplication::clipboard()->setMimeData(text);
    EXPECT_FALSE(Enabled(kPaste));
    Run(kCopy);
    EXPECT_TRUE(Enabled(kPaste));

    // The export command stays on the toolbar and in no menu.
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        emit menu->aboutToShow();
        for (QAction* action : menu->actions()) {
            EXPECT_NE(action, Action(kExport)) << menu->title().toStdString();
            if (action->menu())
                walk(action->menu());
        }
    };
    for (QAction* top : m_frame->menuBar()->actions())
        if (top->menu())
            walk(top->menu());
    EXPECT_TRUE(Enabled(kExport));
}

TEST_F(ViewCommands, ZOrderMovesTheSelectedObjectAndMarksTheDocument)
{
    CDrawRect* a = AddRect(CRect(0, 0, 100, 100));
    CDrawRect* b = AddRect(CRect(0, 0, 100, 100));
    CDrawRect* c = AddRect(CRect(0, 0, 100, 100));
    const auto order = [this] { return Active()->GetObjects(); };
    using List = std::vector<CDrawObj*>;
    Active()->SetModifiedFlag(FALSE);
    view->Select(a);
    // Backward at the bottom changes nothing.
    const std::pair<UINT, List> steps[] = {{kToFront, {b, c, a}}, {kBackward, {b, a, c}}, {kToBack, {a, b, c}},
                                           {kBackward, {a, b, c}}, {kForward, {b, a, c}}};
    for (const auto& [command, expected] : steps) {
        Run(command);
        EXPECT_EQ(order(), expected) << command;
    }
    EXPECT_TRUE(Active()->IsModified());
    view->Select(c);
    Active()->SetModifiedFlag(FALSE);
    Run(kToFront);  // already on top
    EXPECT_EQ(order(), (List{b, a, c}));
    EXPECT_FALSE(Active()->IsModified());

    // Rotate turns the box and marks the document too.
    c->m_position = CRect(0, 0, 600, 200);
    Run(kRotate);
    EXPECT_EQ(c->m_nRotation, 900);
    EXPECT_EQ(c->m_position.Width(), 200);
    EXPECT_TRUE(Active()->IsModified());
}

TEST_F(ViewCommands, NudgeStepsATenthOfAMillimetreInsideTheCanvas)
{
    CDrawRect* obj = AddRect(CRect(200, 100, 500, 400));
    view->Select(obj);
    Active()->SetModifiedFlag(FALSE);
    const struct { CRect from; UINT command; CRect to; } rows[] = {
        {{200, 100, 500, 400}, kNudgeUp, {200, 93, 500, 393}},
        {{200, 100, 500, 400}, kNudgeDown, {200, 106, 500, 406}},
        {{200, -100, 500, 200}, kNudgeUp, {200, -106, 500, 194}},
        {{100, 0, 400, 300}, kNudgeRight, {106, 0, 406, 300}},
        {{106, 0, 406, 300}, kNudgeLeft, {99, 0, 399, 300}},
        {{-15360, 0, -15000, 300}, kNudgeLeft, {-15360, 0, -15000, 300}},  // the canvas edge
    };
    for (const auto& row : rows) {
        obj->m_position = row.from;
        Run(row.command);
        EXPECT_EQ(obj->m_position, row.to) << row.command;
    }
    EXPECT_TRUE(Active()->IsModified());

    // A polygon's points move with its rectangle.
    auto* poly = new CDrawPoly(CRect(0, 0, 0, 0));
    for (CPoint p : {CPoint(1000, 1000), CPoint(1600, 1100), CPoint(1300, 1700)})
        poly->AddPoint(p);
    poly->RecalcBounds();
    view->AddObject(poly);
    view->Select(poly);
    const std::vector<CPoint> before = poly->GetPoints();
    const CRect box = poly->m_position;
    Run(kNudgeDown);
    const LONG dy = poly->m_position.top - box.top;
    EXPECT_TRUE(dy == 6 || dy == 7) << dy;
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(poly->GetPoints()[i], CPoint(before[i].x, before[i].y + dy));
}

TEST_F(ViewCommands, CopyAndPasteCascadeWithTheDocumentsObjectListBytes)
{
    CDrawRect* obj = AddRect(CRect(100, 100, 400, 300));
    view->Select(obj);
    Run(kCopy);
    const QByteArray payload = QGuiApplication::clipboard()->mimeData()->data("Quillbar");
    EXPECT_EQ(payload, SavedObjectList({obj}));

    Active()->SetModifiedFlag(FALSE);
    Run(kPaste);
    ASSERT_EQ(Active()->GetObjects().size(), 2u);
    ASSERT_EQ(view->GetSelection().size(), 1u);
    EXPECT_EQ(view->GetSelection()[0]->m_position, CRect(160, 160, 460, 360));
    EXPECT_TRUE(Active()->IsModified());
    Run(kPaste);
    ASSERT_EQ(Active()->GetObjects().size(), 3u);
    EXPECT_EQ(view->GetSelection()[0]->m_position, CRect(220, 220, 520, 420));

    // Several objects keep their selection order; cut takes them away.
    view->Select(Active()->GetObjects()[2]);
    view->Select(obj, TRUE);
    Run(kCut);
    EXPECT_EQ(Active()->GetObjects().size(), 1u);
    Run(kPaste);
    ASSERT_EQ(view->GetSelection().size(), 2u);
    EXPECT_EQ(view->GetSelection()[0]->m_position, CRect(280, 280, 580, 480));
    EXPECT_EQ(view->GetSelection()[1]->m_position, CRect(160, 160, 460, 360));
}

TEST_F(ViewCommands, DamagedClipboardDataAddsNothingAndSaysSo)
{
    CDrawRect* obj = AddRect(CRect(100, 100, 400, 300));
    view->Select(obj);
    Run(kCopy);
    const QByteArray payload = QGuiApplication::clipboard()->mimeData()->data("Quillbar");
    for (qsizetype cut : {qsizetype(0), qsizetype(3), payload.size() - 1}) {
        auto* data = new QMimeData;
        data->setData("Quillbar", payload.left(cut));
        QGuiApplication::clipboard()->setMimeData(data);
        Active()->SetModifiedFlag(FALSE);
        QString text;
        ClickMessageBox(QMessageBox::Ok, &text);
        Run(kPaste);
        EXPECT_EQ(text, "The object could not be inserted.");
        EXPECT_EQ(Active()->GetObjects().size(), 1u);
        EXPECT_FALSE(Active()->IsModified());
    }
}

TEST_F(ViewCommands, PastedEmbeddedObjectGetsAStorageOfItsOwn)
{
    auto* ole = new CDrawOleObj(CRect(0, 0, 800, 800));
    ole->m_pItem = new CDrawItem;
    ole->m_pItem->m_pDrawObj = ole;
    ole->m_pItem->m_storage.WriteStream("CONTENTS", "embedded data");
    view->AddObject(ole);
    view->Select(ole);
    Run(kCopy);
    Run(kPaste);
    auto* pasted = dynamic_cast<CDrawOleObj*>(view->GetSelection().at(0));
    ASSERT_NE(pasted, nullptr);
    ASSERT_NE(pasted->m_pItem, nullptr);
    EXPECT_NE(pasted->m_pItem->m_dwItemNumber, ole->m_pItem->m_dwItemNumber);

    // Saved, each object has its storage with the data.
    CCompoundFile file;
    ASSERT_TRUE(Active()->StoreToStorage(file.GetRoot()));
    for (const CDrawOleObj* o : {ole, pasted}) {
        const CStorage* sub = file.GetRoot().OpenStorage(CDrawItem::StorageName(o->m_pItem->m_dwItemNumber));
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(*sub->OpenStream("CONTENTS"), "embedded data");
    }

    // Another label takes the data along too.
    m_app->OnFileNew();
    CDrawView* other = m_app->GetActiveDrawView();
    ASSERT_NE(other, view);
    other->setFocus();
    Run(kPaste);
    auto* there = dynamic_cast<CDrawOleObj*>(other->GetSelection().at(0));
    ASSERT_TRUE(there && there->m_pItem);
    EXPECT_EQ(*there->m_pItem->m_storage.OpenStream("CONTENTS"), "embedded data");
}

TEST_F(ViewCommands, DeleteLeavesNoViewHoldingTheObjects)
{
    CDrawRect* a = AddRect(CRect(0, 0, 100, 100));
    CDrawRect* b = AddRect(CRect(200, 0, 300, 100));
    CDrawDoc* doc = Active();
    m_app->NewWindow(doc);
    CDrawView* second = m_app->GetActiveDrawView();
    ASSERT_NE(second, view);
    Run(kSelectAll);
    EXPECT_EQ(second->GetSelection(), (std::vector<CDrawObj*>{a, b}));
    m_frame->ActivateChild(m_frame->MdiArea()->subWindowList().first());
    ASSERT_EQ(m_app->GetActiveDrawView(), view);
    Run(kSelectAll);
    Run(kClear);
    EXPECT_TRUE(doc->GetObjects().empty());
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_TRUE(second->GetSelection().empty());
    EXPECT_FALSE(Enabled(kSelectAll));
}

TEST_F(ViewCommands, ContextMenuSelectsTheObjectUnderTheMouse)
{
    CDrawRect* a = AddRect(CRect(0, 0, 1536, 1536));
    CDrawRect* b = AddRect(CRect(3072, 0, 4608, 1536));
    view->Select(a);
    const CPoint at = view->DocToClient(CPoint(3800, 700));
    QStringList shown;
    bool menuShown = false;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            menuShown = true;
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    shown << QString::number(CommandIdOf(action)) + (action->isEnabled() ? "+" : "-");
            menu->close();
        }
    });
    timer->start();
    const QPoint p(at.x, at.y);
    QContextMenuEvent event(QContextMenuEvent::Mouse, p, view->viewport()->mapToGlobal(p));
    QApplication::sendEvent(view->viewport(), &event);
    EXPECT_TRUE(menuShown);
    EXPECT_EQ(view->GetSelection(), (std::vector<CDrawObj*>{b}));
    EXPECT_EQ(shown.join(' '),
              "57635+ 57634+ 57637- 57632+ 32777+ 32778+ 32779+ 32780+ 32831+ 32785+");

    // On the empty label nothing shows and the selection stays.
    menuShown = false;
    const CPoint empty = view->DocToClient(CPoint(2300, 3000));
    const QPoint q(empty.x, empty.y);
    QContextMenuEvent none(QContextMenuEvent::Mouse, q, view->viewport()->mapToGlobal(q));
    QApplication::sendEvent(view->viewport(), &none);
    QTest::qWait(50);
    EXPECT_FALSE(menuShown);
    EXPECT_EQ(view->GetSelection(), (std::vector<CDrawObj*>{b}));
    delete timer;
}

TEST_F(ViewCommands, FitZoomsTheLabelIntoTheWindowWithinTheLimits)
{
    ASSERT_EQ(view->GetScreenDpi(), 96);
    const auto fit = [this](float w, float h) {
        const float size[2] = {w, h};
        Active()->SetLabelSize(size);
        view->viewport()->resize(830, 530);
        Run(kFit);
        return Active()->GetZoom();
    };
    EXPECT_EQ(fit(500.0f, 300.0f), 423);
    EXPECT_EQ(fit(20.0f, 20.0f), 1600);
    Active()->SetZoom(150);
    EXPECT_EQ(fit(0.0f, 300.0f), 150);
    // The label is centred once the zoom is applied.
    EXPECT_EQ(fit(500.0f, 300.0f), 423);
    QApplication::processEvents();
    QApplication::processEvents();
    const CPoint corner = view->DocToClient(CPoint(0, 0));
    const CPoint far = view->DocToClient(CPoint(SaturateInt(500 / 2.54 * 1536 / 100), 0));
    EXPECT_NEAR(corner.x + far.x, view->viewport()->width() + 16, 4);
}

TEST_F(ViewCommands, AltDThenTPicksTheTextTool)
{
    ASSERT_EQ(FocusIn(m_frame), view);
    QTest::keyClick(view, Qt::Key_D, Qt::AltModifier);
    auto* draw = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(draw, nullptr) << "Alt+D opened no menu";
    QTest::keyClick(draw, Qt::Key_T);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    Update();
    EXPECT_TRUE(Action(32827)->isChecked()) << "the Text tool is not chosen";
}
