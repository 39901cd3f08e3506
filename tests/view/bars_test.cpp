#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "view/compitem.h"
#include "paletteview.h"
#include "support/testoutput.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

namespace {

class BarsTest : public PaletteAndView {
protected:
    QPoint InTree() const { return bar->Tree()->mapToGlobal(QPoint(20, 20)); }
    QTreeWidgetItem* Leaf(int i) const { return bar->Tree()->topLevelItem(0)->child(0)->child(i); }
};

TEST_F(BarsTest, PalettesListTheirEntriesWithTheirObjectKinds)
{
    QTreeWidgetItem* group = bar->Tree()->topLevelItem(0)->child(0);
    ASSERT_EQ(group->childCount(), 14);  // the linear symbologies
    EXPECT_EQ(group->child(13)->text(0), QStringLiteral("ITF-14"));
    // The 2-D symbols have a group of their own, named in each language.
    QTreeWidgetItem* matrix = bar->Tree()->topLevelItem(0)->child(1);
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(matrix->text(0), QStringLiteral("2-D Barcodes"));
    ASSERT_EQ(matrix->childCount(), 3);
    EXPECT_EQ(matrix->child(0)->text(0), QStringLiteral("QR Code"));
    EXPECT_EQ(matrix->child(2)->text(0), QStringLiteral("Data Matrix"));
    for (const auto& [language, caption] : {std::pair("CHS", u"二维条码"), std::pair("CHT", u"二維條碼")}) {
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QString::fromLatin1(language));
        CBarcodesWorkSpaceBar translated;
        EXPECT_EQ(translated.Tree()->topLevelItem(0)->child(1)->text(0), QString::fromUtf16(caption));
    }
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    auto* itf = dynamic_cast<CBarcodeCompItem*>(CWorkSpaceBase::CompItemOf(group->child(13)));
    ASSERT_NE(itf, nullptr);
    EXPECT_EQ(itf->m_nSymbology, 13);

    CComponentsWorkSpaceBar components;
    QTreeWidgetItem* texts = components.Tree()->topLevelItem(0)->child(0);
    ASSERT_EQ(texts->childCount(), 2);
    EXPECT_EQ(dynamic_cast<CTextCompItem*>(CWorkSpaceBase::CompItemOf(texts->child(1)))->m_nKind, 1);

    // An entry with an empty caption still gets a 50 x 50 drag image.
    QTreeWidgetItem blank;
    EXPECT_EQ(bar->CreateDragImage(&blank).size(), QSize(50, 50));
    EXPECT_GE(bar->CreateDragImage(Leaf(1)).width(), 50);
}

// Pixels of an item's icon that stand out from the tree's background: drawn over it, they differ
// from it by at least a third of the range in some channel.
int InkOf(const QTreeWidgetItem* item, const QColor& background)
{
    QImage shown(16, 16, QImage::Format_RGB32);
    shown.fill(background);
    QPainter(&shown).drawPixmap(0, 0, item->icon(0).pixmap(16, 16));
    int ink = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QColor c = shown.pixelColor(x, y);
            ink += std::max({std::abs(c.red() - background.red()), std::abs(c.green() - background.green()),
                             std::abs(c.blue() - background.blue())}) >= 85;
        }
    return ink;
}

TEST_F(BarsTest, EveryPaletteImageShowsOnTheTree)
{
    CComponentsWorkSpaceBar components;
    for (QTreeWidget* tree : {bar->Tree(), components.Tree()}) {
        const QColor background = tree->palette().color(QPalette::Base);
        for (int g = 0; g < tree->topLevelItem(0)->childCount(); ++g) {
            QTreeWidgetItem* group = tree->topLevelItem(0)->child(g);
            EXPECT_GE(InkOf(group, background), 20) << "open group";
            group->setExpanded(false);
            EXPECT_GE(InkOf(group, background), 20) << "closed group";
            group->setExpanded(true);
            for (int i = 0; i < group->childCount(); ++i)
                EXPECT_GE(InkOf(group->child(i), background), 20) << group->child(i)->text(0).toStdString();
        }
    }
    bar->grab().save(TestOutputDir() + QStringLiteral("/barcodes_palette.png"));
}

TEST_F(BarsTest, DraggingIntoTheViewOutAndBackCreatesOncePerEntry)
{
    // Only leaves drag.
    EXPECT_FALSE(bar->BeginDrag(bar->Tree()->topLevelItem(0)));
    EXPECT_FALSE(bar->BeginDrag(bar->Tree()->topLevelItem(0)->child(0)));
    ASSERT_TRUE(bar->BeginDrag(Leaf(3)));
    bar->DragMove(InTree());
    EXPECT_TRUE(doc.GetObjects().empty());
    bar->DragMove(InView(200, 200));
    ASSERT_EQ(doc.GetObjects().size(), 1u);
    EXPECT_NE(dynamic_cast<CDrawBarcode*>(doc.GetObjects().front()), nullptr);
    EXPECT_EQ(bar->CurrentDragCursor(), CWorkSpaceBase::DragCursor::Drop);
    bar->DragMove(InView(250, 220));
    EXPECT_EQ(doc.GetObjects().size(), 1u);
    // Out of the view over nothing: removed, the no-drop cursor.
    bar->DragMove(InView(-30, 700));
    EXPECT_TRUE(doc.GetObjects().empty());
    EXPECT_EQ(bar->CurrentDragCursor(), CWorkSpaceBase::DragCursor::NoDrop);
    // Back in, and back over the tree: created and removed again.
    bar->DragMove(InView(200, 200));
    EXPECT_EQ(doc.GetObjects().size(), 1u);
    bar->DragMove(InTree());
    EXPECT_TRUE(doc.GetObjects().empty());
    // Dropped over the view: the object stays where it was placed.
    bar->DragMove(InView(300, 300));
    bar->EndDrag();
    EXPECT_FALSE(bar->IsDragging());
    ASSERT_EQ(doc.GetObjects().size(), 1u);
    const CPoint centre = view->ClientToDoc(CPoint(300, 300));
    const CRect placed = doc.GetObjects().front()->m_position;
    EXPECT_NEAR((placed.left + placed.right) / 2, centre.x, 1);
    EXPECT_FALSE(view->IsDropping());

    // Without a label open nothing drags.
    bar->m_activeView = [] { return nullptr; };
    EXPECT_FALSE(bar->BeginDrag(Leaf(0)));
    EXPECT_FALSE(bar->IsDragging());
}

// The objects bar of the label, to the right of the view.
class ObjectsBarTest : public BarsTest {
protected:
    void SetUp() override
    {
        BarsTest::SetUp();
        window.resize(1250, 600);
        objects = new CObjectsWorkSpaceBar(&window);
        objects->setGeometry(1000, 0, 250, 600);
        objects->show();
        objects->m_view = [this] { return view; };
        view->SetTrees(objects->Tree(), nullptr);
        view->FillTrees();
    }
    void ClickItem(QTreeWidgetItem* item)
    {
        QTreeWidget* tree = objects->Tree();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    }

    CObjectsWorkSpaceBar* objects = nullptr;
};

TEST_F(ObjectsBarTest, AClickSelectsTheClickedObjectAlone)
{
    auto* a = new CDrawText(CRect(0, 0, 1000, 500), view, QStringLiteral("A"));
    auto* b = new CDrawText(CRect(0, 600, 1000, 1100), view, QStringLiteral("B"));
    auto* code = new CDrawBarcode(CRect(0, 1200, 3000, 2200), view, QStringLiteral("1"), 0);
    for (CDrawObj* obj : {static_cast<CDrawObj*>(a), static_cast<CDrawObj*>(b), static_cast<CDrawObj*>(code)})
        view->AddObject(obj);
    view->Select(nullptr);
    objects->Tree()->expandAll();

    ClickItem(view->TextGroup()->child(0));
    EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{a});
    ClickItem(view->BarcodeGroup()->child(0));
    EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{code});
    // The item that is already current selects its object again after the view chose others.
    view->Select(a);
    view->Select(b, TRUE);
    ClickItem(view->BarcodeGroup()->child(0));
    EXPECT_EQ(view->GetSelection(), std::vector<CDrawObj*>{code});
    // Below the items: nothing stays selected.
    QTest::mouseClick(objects->Tree()->viewport(), Qt::LeftButton, {}, QPoint(100, 500));
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_EQ(objects->Tree()->currentItem(), nullptr);
}

TEST_F(ObjectsBarTest, APaletteEntryDraggedInAndOutSelectsNothingElse)
{
    auto* existing = new CDrawBarcode(CRect(0, 0, 3000, 1000), view, QStringLiteral("1"), 0);
    view->AddObject(existing);
    view->Select(nullptr);
    ASSERT_TRUE(bar->BeginDrag(Leaf(3)));
    bar->DragMove(InView(200, 200));
    ASSERT_EQ(doc.GetObjects().size(), 2u);
    EXPECT_EQ(view->BarcodeGroup()->childCount(), 2);
    bar->DragMove(InTree());
    bar->EndDrag();
    EXPECT_EQ(doc.GetObjects(), std::vector<CDrawObj*>{existing});
    EXPECT_EQ(view->BarcodeGroup()->childCount(), 1);
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_EQ(objects->Tree()->currentItem(), nullptr);
}

TEST_F(ObjectsBarTest, TheHighlightFollowsClicksInTheView)
{
    auto* text = new CDrawText(CRect(200, 200, 1200, 700), view, QStringLiteral("A"));
    auto* code = new CDrawBarcode(CRect(200, 900, 2200, 1500), view, QStringLiteral("1"), 0);
    view->AddObject(text);
    view->AddObject(code);
    view->Select(nullptr);
    EXPECT_EQ(objects->Tree()->currentItem(), nullptr);
    Zoom(100);
    const auto click = [this](CPoint logical) {
        const CPoint p = view->DocToClient(logical);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(p.x, p.y));
    };
    click(CPoint(700, 450));
    EXPECT_EQ(objects->Tree()->currentItem(), view->TextGroup()->child(0));
    click(CPoint(500, 1200));
    EXPECT_EQ(objects->Tree()->currentItem(), view->BarcodeGroup()->child(0));
    // An empty part of the label selects nothing, and nothing stays highlighted.
    click(CPoint(2800, 1700));
    EXPECT_TRUE(view->GetSelection().empty());
    EXPECT_EQ(objects->Tree()->currentItem(), nullptr);
}


// A label opened under a view whose objects bar shows: its text and code objects listed in their
// groups in the label's order, counted in the captions, its shapes not listed and nothing
// selected. The tree hears of the label as a whole: told of each object on its own, it went over
// every item it already listed, and a large label took the square of its objects to open.
TEST_F(ObjectsBarTest, AnOpenedLabelIsListedAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QTreeWidget* tree = objects->Tree();
    // Opens a label of `count` objects of each kind; returns how often the tree heard of a change.
    auto open = [&](int count) {
        const QString path = dir.filePath(QStringLiteral("label-%1.tag").arg(count));
        {
            CDrawDoc written;
            for (int i = 0; i < count; ++i) {
                const CRect r(10 * i, 0, 10 * i + 100, 100);
                written.Add(new CDrawText(r, nullptr, QStringLiteral("T%1").arg(i)));
                written.Add(new CDrawRect(r));
                written.Add(new CDrawBarcode(r, nullptr, QStringLiteral("%1").arg(i), 0));
                written.GetObjects()[3 * i]->SetName(QStringLiteral("text %1").arg(i));
                written.GetObjects()[3 * i + 2]->SetName(QStringLiteral("code %1").arg(i));
            }
            EXPECT_TRUE(written.OnSaveDocument(path));
        }
        QAbstractItemModel* model = tree->model();
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged), inserted(model, &QAbstractItemModel::rowsInserted),
            layout(model, &QAbstractItemModel::layoutChanged),
            current(tree->selectionModel(), &QItemSelectionModel::currentChanged);
        EXPECT_TRUE(doc.OnOpenDocument(path));
        view->ShowOpenedObjects();
        QApplication::processEvents();
        const int told = int(changed.count() + inserted.count() + layout.count() + current.count());

        EXPECT_EQ(view->TextGroup()->text(0), QStringLiteral("Text Objects (%1)").arg(count));
        EXPECT_EQ(view->BarcodeGroup()->text(0), QStringLiteral("Barcode Objects (%1)").arg(count));
        EXPECT_EQ(view->TextGroup()->childCount(), count);
        EXPECT_EQ(view->BarcodeGroup()->childCount(), count);
        for (int i : {0, count / 2, count - 1}) {
            EXPECT_EQ(view->TextGroup()->child(i)->text(0), QStringLiteral("text %1").arg(i));
            EXPECT_EQ(view->BarcodeGroup()->child(i)->text(0), QStringLiteral("code %1").arg(i));
        }
        EXPECT_TRUE(view->TextGroup()->isExpanded());
        EXPECT_TRUE(view->BarcodeGroup()->isExpanded());
        EXPECT_TRUE(view->GetSelection().empty());
        // The label's last listed object is the current entry, as after each object was added.
        EXPECT_EQ(tree->currentItem(), view->BarcodeGroup()->child(count - 1));
        // A click on a listed object selects it in the view.
        QTreeWidgetItem* item = view->BarcodeGroup()->child(count - 1);
        tree->scrollToItem(item);
        ClickItem(item);
        EXPECT_EQ(view->GetSelection(), (std::vector<CDrawObj*> {doc.GetObjects()[3 * count - 1]}));
        return told;
    };
    // Each open after one whose item was clicked, so that each starts from the same tree.
    open(1);
    const int few = open(3);
    EXPECT_EQ(open(300), few);
}

}  // namespace
