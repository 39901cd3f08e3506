// The bars around two labels in tabs as a user handles them: a floating Objects pane, the names
// the Objects tree shows, the toolbars' context menu, and a tab closed while a polygon is drawn.

#include "app/shellfixture.h"
#include "framework/ui/dialogids.h"
#include "objects/drawpoly.h"
#include "objects/drawtext.h"
#include "support/testoutput.h"

#include <QContextMenuEvent>
#include <QDockWidget>
#include <QMdiArea>
#include <QPainter>
#include <QToolBar>
#include <QTreeWidget>

using namespace ShellCmd;

namespace {

constexpr UINT kPolygonTool = 32782;

class TabsAndBars : public Shell
{
protected:
    void SetUp() override
    {
        Shell::SetUp();
        ShowFrame();
        Action(kFileNew)->trigger();
        ASSERT_EQ(m_frame->Children().size(), 2);
        QApplication::processEvents();
    }
    QTabBar* Tabs() const { return m_frame->MdiArea()->findChild<QTabBar*>(); }
    CSplitFrame* Child(int i) const { return m_frame->Children().value(i); }
    void ClickTab(int i) const
    {
        QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(i).center());
        QApplication::processEvents();
    }
    void AddNamedText(const QString& name)
    {
        auto* text = new CDrawText(CRect(300, 300, 2000, 700), m_app->GetActiveDrawView(), name);
        text->SetName(name);
        AddSelected(text);
    }
    // The view of the active label with the keyboard, as after a click into it.
    CDrawView* ActiveView() const
    {
        FocusIn(m_frame);
        CDrawView* view = m_app->GetActiveDrawView();
        view->setFocus();
        return view;
    }
};

QStringList TextItems(QTreeWidget* tree)
{
    QStringList names;
    QTreeWidgetItem* texts = tree->topLevelItem(0)->child(0);
    for (int i = 0; i < texts->childCount(); ++i)
        names << texts->child(i)->text(0);
    return names;
}

}  // namespace

TEST_F(TabsAndBars, AFloatingObjectsPaneShowsWithItsOwnTabOnly)
{
    QDockWidget* pane = Child(1)->ObjectsBar();
    ASSERT_TRUE(pane->isVisible());
    // A double click on the pane's title lets it float.
    QTest::mouseDClick(pane, Qt::LeftButton, {}, QPoint(pane->width() / 2, 6));
    QApplication::processEvents();
    ASSERT_TRUE(pane->isFloating());
    AddNamedText("Text 1");
    EXPECT_EQ(TextItems(Child(1)->ObjectTree()), QStringList{"Text 1"});

    // The first tab shows its own pane; the second tab's floats no more over it.
    ClickTab(0);
    EXPECT_FALSE(pane->isVisible());
    EXPECT_TRUE(Child(0)->ObjectsBar()->isVisible());
    EXPECT_TRUE(TextItems(Child(0)->ObjectTree()).isEmpty());

    ClickTab(1);
    ASSERT_TRUE(pane->isVisible());
    EXPECT_TRUE(pane->isFloating());
    AddNamedText("Text 2");
    EXPECT_EQ(TextItems(Child(1)->ObjectTree()), (QStringList{"Text 1", "Text 2"}));

    // The picture of both: the frame with its two tabs and the pane where it floats.
    QImage shot = m_frame->grab().toImage();
    QPainter(&shot).drawPixmap(pane->mapToGlobal(QPoint(0, 0)) - m_frame->mapToGlobal(QPoint(0, 0)), pane->grab());
    shot.save(TestOutputDir() + "/floating-objects-pane.png");
}

TEST_F(TabsAndBars, TheTreeShowsANameGivenInTheSheet)
{
    AddNamedText("Price");
    RunSheet([](CPropertySheet* sheet) {
        TypeInto(Control<QLineEdit>(sheet, 130), "Price tag");
        QTest::mouseClick(sheet->Button(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(TextItems(Child(1)->ObjectTree()), QStringList{"Price tag"});
}

TEST_F(TabsAndBars, TheToolbarsMenuNamesEveryEntry)
{
    QStringList entries;
    int unnamed = -1;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        timer->stop();
        timer->deleteLater();
        unnamed = 0;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) {
                entries << a->text();
                unnamed += a->text().isEmpty();
            }
        menu->close();
    });
    timer->start(10);
    QToolBar* bar = m_frame->MainToolBar();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4), bar->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(bar, &event);
    EXPECT_TRUE(QTest::qWaitFor([&] { return unnamed >= 0; }, HangBoundMs(10000))) << "no context menu opened";
    EXPECT_EQ(unnamed, 0) << entries.join(", ").toStdString();
    EXPECT_TRUE(entries.contains("Toolbar")) << entries.join(", ").toStdString();
}

TEST_F(TabsAndBars, ATabsCloseButtonEndsAPolygonWithoutACorner)
{
    CDrawView* view = ActiveView();
    CDrawDoc* drawn = Active();
    Action(kPolygonTool)->trigger();
    for (const QPoint p : {QPoint(200, 200), QPoint(300, 220)}) {
        QTest::mouseMove(view->viewport(), p);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, p);
    }
    ASSERT_TRUE(view->HasCapture());

    // The other label's tab closes at the click on its button (it asks nothing: unchanged).
    QWidget* close = Tabs()->tabButton(0, QTabBar::RightSide);
    if (!close)
        close = Tabs()->tabButton(0, QTabBar::LeftSide);
    ASSERT_NE(close, nullptr);
    // Through the window, as the window system delivers it: the polygon holds the mouse.
    QTest::mouseClick(m_frame->windowHandle(), Qt::LeftButton, {}, close->mapTo(m_frame, close->rect().center()));
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Tabs()->count(), 1);
    EXPECT_FALSE(view->HasCapture());
    ASSERT_EQ(m_app->Documents(), std::vector<CDrawDoc*>{drawn});

    // The polygon keeps the corners clicked in the view, none where the button is.
    ASSERT_EQ(drawn->GetObjects().size(), 1u);
    auto* poly = dynamic_cast<CDrawPoly*>(drawn->GetObjects().front());
    ASSERT_NE(poly, nullptr);
    EXPECT_LE(poly->GetPointCount(), 3);
    for (int i = 0; i < poly->GetPointCount(); ++i) {
        const CPoint p = view->DocToClient(poly->GetPoints()[std::size_t(i)]);
        EXPECT_TRUE(view->viewport()->rect().contains(QPoint(p.x, p.y))) << p.x << "," << p.y;
    }
}
