#include "app/testmodal.h"
#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "printing/sheetlayout.h"
#include "printing/sheetpreview.h"
#include "printing/tagselectdlg.h"
#include "support/testoutput.h"

#include <algorithm>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void LoadResources()
{
    if (!CResourceModule::Get().IsLoaded() || CResourceModule::Get().IsFallback())
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
}

// The default sheet: A4 with margins of 10 mm and 2 x 5 labels of 95.0 x 55.4 mm.
template <typename Preview>
void ShowA4(Preview& p, int width = 300, int height = 300)
{
    p.ShowLayout(CSheetLayout());
    p.resize(width, height);
}

std::vector<int> Chosen(const CDesignPreview& p)
{
    std::vector<int> chosen;
    const auto cells = p.GetCells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i].chosen)
            chosen.push_back(int(i));
    }
    return chosen;
}

// The rows of the picture that hold the warning's red text.
std::pair<int, int> RedRows(const QImage& image)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
        }
    }
    return {first, last};
}

// The tallest run of rows holding red text, and the tallest gap between two such runs.
std::pair<int, int> TallestLineAndGap(const QImage& image)
{
    int line = 0, gap = 0, run = 0, blank = 0;
    bool seen = false;
    for (int y = 0; y < image.height(); ++y) {
        bool red = false;
        for (int x = 0; x < image.width() && !red; ++x) {
            const QRgb c = image.pixel(x, y);
            red = qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80;
        }
        if (red) {
            if (seen)
                gap = std::max(gap, blank);
            seen = true;
            blank = 0;
            line = std::max(line, ++run);
        } else {
            run = 0;
            ++blank;
        }
    }
    return {line, gap};
}

}  // namespace

TEST(SheetPreview, DrawsThePaperAndPlacesUnchosenCellsToScale)
{
    LoadResources();
    CDesignPreview p;
    ShowA4(p);
    p.SetHighlight(kHighlightLabelWidth);
    const QImage image = p.grab().toImage();
    image.save(TestOutputDir() + QStringLiteral("/sheet-design-preview.png"));

    // 2970 tenths in 260 pixels: the paper is 183 wide, centred at (58, 20), its shadow 3 lower
    // right; the far edges meet the grid (240, 278).
    const QRgb grey = qRgb(150, 150, 150), black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    EXPECT_EQ(image.pixel(58, 150), black);
    EXPECT_EQ(image.pixel(57, 150), grey);
    EXPECT_EQ(image.pixel(239, 150), black);   // the paper's right edge
    EXPECT_EQ(image.pixel(240, 150), black);   // its shadow
    EXPECT_EQ(image.pixel(243, 150), grey);
    EXPECT_EQ(image.pixel(150, 277), black);
    EXPECT_EQ(image.pixel(150, 280), black);
    EXPECT_EQ(image.pixel(60, 279), grey);     // the shadow begins 3 pixels in
    EXPECT_EQ(image.pixel(62, 24), white);     // the margin
    // The label-width marker: blue extension lines up from the paper's top edge.
    EXPECT_EQ(image.pixel(66, 5), qRgb(0, 0, 255));

    const auto cells = p.GetCells();
    ASSERT_EQ(cells.size(), 10u);
    EXPECT_EQ(cells[0].rect, CRect(66, 28, 149, 77));
    EXPECT_EQ(cells[3].rect, CRect(148, 76, 231, 125));
    EXPECT_TRUE(Chosen(p).empty());

    // Cells stay as first placed while their vector is kept.
    p.SetGrid(3, 3);
    (void)p.grab();
    EXPECT_EQ(p.GetCells().size(), 10u);
}

TEST(SheetPreview, WarnsAtMidHeightInsteadOfDrawingALayoutThatDoesNotFit)
{
    LoadResources();
    CDesignPreview p;
    ShowA4(p, 300, 500);
    p.SetGap(-1, 0);
    QImage image = p.grab().toImage();
    image.save(TestOutputDir() + QStringLiteral("/sheet-design-warning.png"));
    const auto [first, last] = RedRows(image);
    // Lines from 48 pixels above the middle of the height, one under the other with no empty
    // line between them, the sentences wrapped to the width.
    EXPECT_GE(first, 250 - 48);
    EXPECT_LE(first, 250 - 40);
    const auto [line, gap] = TallestLineAndGap(image);
    EXPECT_GE(last - first + 1, 3 * line);
    EXPECT_LE(last, 250 + 16);
    EXPECT_LT(gap, line);
    int right = 0;
    for (int y = first; y <= last; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qRed(image.pixel(x, y)) > 150 && qGreen(image.pixel(x, y)) < 80)
                right = std::max(right, x);
    EXPECT_LE(right, 300 - 20);
    EXPECT_EQ(image.pixel(150, 150), qRgb(150, 150, 150));  // no paper
    EXPECT_TRUE(p.GetCells().empty());

    // A paper without size warns too.
    p.SetGap(0, 0);
    p.SetPaper(CSize(0, 2970), CRect(0, 0, 0, 0));
    p.SetGrid(1, 1);
    p.SetLabelSize(0, 0);
    image = p.grab().toImage();
    EXPECT_GE(RedRows(image).first, 0);
    // So does a stored grid of a million cells a side, which would take ages to draw.
    p.SetPaper(CSize(2100, 2970), CRect(0, 0, 0, 0));
    p.SetGrid(1000000, 1000000);
    image = p.grab().toImage();
    EXPECT_GE(RedRows(image).first, 0);
    EXPECT_TRUE(p.GetCells().empty());
}

TEST(SheetPreview, ClicksAndBandsToggleCells)
{
    LoadResources();
    CPrintSelectPreview p;
    ShowA4(p);
    p.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p));
    (void)p.grab();

    QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(Chosen(p), (std::vector<int> {0}));
    QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_TRUE(Chosen(p).empty());
    QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(100, 130));  // cell 4, row 2
    EXPECT_EQ(Chosen(p), (std::vector<int> {4}));

    // A band down the first column toggles each cell it covers from its state at button down.
    QTest::mousePress(&p, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseMove(&p, QPoint(101, 50));  // a small slip keeps the clicked cell toggled
    EXPECT_EQ(Chosen(p), (std::vector<int> {0, 4}));
    QTest::mouseMove(&p, QPoint(100, 150));
    EXPECT_EQ(Chosen(p), (std::vector<int> {0, 2}));
    const QImage during = p.grab().toImage();
    EXPECT_EQ(during.pixel(80, 60), qRgb(30, 150, 30));
    EXPECT_EQ(during.pixel(80, 140), qRgb(255, 255, 255));
    // Moving back off cells 2 and 4 restores them.
    QTest::mouseMove(&p, QPoint(100, 60));
    EXPECT_EQ(Chosen(p), (std::vector<int> {0, 4}));
    QTest::mouseRelease(&p, Qt::LeftButton, {}, QPoint(100, 60));
    EXPECT_EQ(Chosen(p), (std::vector<int> {0, 4}));
    // Without a button held, moving chooses nothing.
    QTest::mouseMove(&p, QPoint(200, 200));
    EXPECT_EQ(Chosen(p), (std::vector<int> {0, 4}));
}

TEST(TagSelectDialog, OkNeedsAChosenCellAndHandsTheCellsToTheDocument)
{
    LoadResources();
    CDrawDoc doc;
    CSheetLayout().CopyToDocument(doc);
    doc.GetSelectTags().assign(3, CSelectTag {CRect(), TRUE});

    CTagSelectDlg dlg;
    ASSERT_NE(dlg.Preview(), nullptr);
    QString message;
    bool stayedOpen = false;
    OnNextModal([&](QWidget* w) {
        auto* ok = w->findChild<QPushButton*>(QStringLiteral("1"));
        ASSERT_NE(ok, nullptr);
        OnNextModal([&](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        }, [](QWidget* m) { return qobject_cast<QMessageBox*>(m) != nullptr; });
        QTest::mouseClick(ok, Qt::LeftButton);
        stayedOpen = w->isVisible();
        // The first cell of the preview, wherever the layout put it.
        CPrintSelectPreview* preview = dlg.Preview();
        const CRect first = preview->GetCells().at(0).rect;
        QTest::mouseClick(preview, Qt::LeftButton, {}, QPoint(first.left + 20, first.top + 20));
        w->grab().save(TestOutputDir() + QStringLiteral("/sheet-cell-choice.png"));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_EQ(dlg.DoModal(&doc), IDOK);
    EXPECT_EQ(message, CResourceModule::Get().LoadString(58));
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(doc.GetSelectTags().size(), 10u);
    EXPECT_TRUE(doc.GetSelectTags()[0].chosen);
    EXPECT_FALSE(doc.GetSelectTags()[1].chosen);

    // Cancel leaves the selection empty.
    CTagSelectDlg again;
    OnNextModal([](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("2"))->click(); });
    EXPECT_EQ(again.DoModal(&doc), IDCANCEL);
    EXPECT_TRUE(doc.GetSelectTags().empty());
}
