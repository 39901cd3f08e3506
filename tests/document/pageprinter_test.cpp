#include "document/drawdoc.h"
#include "framework/compoundfile.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"
#include "framework/recordingdc.h"
#include "objects/drawobj.h"
#include "support/fakeview.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

// Remembers where and as which label it was drawn.
class ProbeObj : public CDrawObj {
public:
    struct Call {
        CPoint topLeft;
        int index;
        CRect clip;
    };
    explicit ProbeObj(const CRect& r) : CDrawObj(r) {}
    void Draw(CDC* dc, int labelIndex) override
    {
        CRect clip;
        dc->GetClipBox(&clip);
        calls.push_back({m_position.TopLeft(), labelIndex, clip});
        dc->Rectangle(&m_position);
    }
    void DrawSelectionMark(CDC*, int state) override { marks.push_back(state); }
    std::vector<Call> calls;
    std::vector<int> marks;
};

class SelectingView : public CFakeDrawView {
public:
    BOOL IsActiveView() const override { return active; }
    BOOL IsSelected(const CObject* obj) const override { return obj == selected; }
    BOOL active = TRUE;
    const CObject* selected = nullptr;
};

// A sheet of 2 columns x 5 rows of 50 x 30 mm labels, 2 mm apart, 10 mm margins.
struct Sheet {
    CDrawDoc doc;
    ProbeObj* probe = new ProbeObj(CRect(10, 20, 110, 220));
    Sheet()
    {
        const float size[2] = {500.0f, 300.0f};
        const float gap[2] = {20.0f, 20.0f};
        const int grid[2] = {2, 5};
        doc.SetLabelSize(size);
        doc.SetLabelGap(gap);
        doc.SetLabelGrid(grid);
        doc.SetMargins(100.0f, 100.0f, 100.0f, 100.0f);
        doc.Add(probe);
    }
    // The page as a printer context prepared by the view would print it.
    void Print(UINT page, BOOL preview, CRect unprintable = CRect())
    {
        CRecordingDC dc(CSize(2480, 3508), 300, true);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(1536, 1536);
        CPrintInfo info;
        info.m_nCurPage = page;
        info.m_bPreview = preview;
        doc.PrintPage(&dc, &info, nullptr, &unprintable, preview, &info.m_rectDraw);
    }
    std::vector<int> Indexes() const
    {
        std::vector<int> out;
        for (const auto& c : probe->calls)
            out.push_back(c.index);
        return out;
    }
};

TEST(PagePrinter, WholeSheetsNumberLabelsAcrossPages)
{
    Sheet s;
    s.doc.SetLabelsToPrint(13);
    s.Print(1, TRUE);
    EXPECT_EQ(s.Indexes(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // Row by row: the second label is right of the first, the third below the first. In logical
    // units the margins are 604.7, a cell 3023.6 + 120.9 wide and 1814.2 + 120.9 high.
    EXPECT_EQ(s.probe->calls[1].topLeft, CPoint(3749 + 10, 604 + 20));
    EXPECT_EQ(s.probe->calls[2].topLeft, CPoint(604 + 10, 2539 + 20));
    // Each label is clipped to its own cell (the clip box comes back through device pixels).
    EXPECT_NEAR(s.probe->calls[1].clip.left, 3749, 3);
    EXPECT_NEAR(s.probe->calls[1].clip.top, 604, 3);
    EXPECT_NEAR(s.probe->calls[1].clip.Width(), 3023, 6);
    // The object's own position is restored after every cell.
    EXPECT_EQ(s.probe->m_position, CRect(10, 20, 110, 220));

    s.probe->calls.clear();
    s.Print(2, TRUE);
    EXPECT_EQ(s.Indexes(), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ(s.probe->calls[0].topLeft, CPoint(604 + 10, 604 + 20));

    // A page past the count prints nothing rather than labels that were not asked for.
    s.probe->calls.clear();
    s.Print(3, TRUE);
    EXPECT_TRUE(s.probe->calls.empty());
}

TEST(PagePrinter, PrinterOffsetIsTakenOffInPrintAndPreview)
{
    Sheet s;
    s.doc.SetLabelsToPrint(1);
    // 30 x 60 device pixels at 300 dpi are 153.6 x 307.2 logical units.
    s.Print(1, FALSE, CRect(30, 60, 0, 0));
    s.Print(1, TRUE, CRect(30, 60, 0, 0));
    ASSERT_EQ(s.probe->calls.size(), 2u);
    EXPECT_EQ(s.probe->calls[0].topLeft, CPoint(451 + 10, 297 + 20));
    EXPECT_EQ(s.probe->calls[1].topLeft, CPoint(451 + 10, 297 + 20));
}

TEST(PagePrinter, ChosenCellsLeaveBlanksAndNeverReadPastTheList)
{
    Sheet s;
    s.doc.SetLabelsToPrint(100);  // ignored once cells are chosen
    auto& tags = s.doc.GetSelectTags();
    for (int i = 0; i < 10; ++i)
        tags.push_back({CRect(), i != 1});
    s.Print(1, TRUE);
    ASSERT_GE(s.probe->calls.size(), 2u);
    // The second cell stays blank; the third gets the next index.
    EXPECT_EQ(s.probe->calls[1].index, 1);
    EXPECT_EQ(s.probe->calls[1].topLeft, CPoint(604 + 10, 2539 + 20));

    // Fewer flags than cells: 1, 0, 1 and then the list ends.
    tags.assign({{CRect(), TRUE}, {CRect(), FALSE}, {CRect(), TRUE}});
    s.probe->calls.clear();
    s.Print(1, TRUE);
    EXPECT_EQ(s.Indexes(), (std::vector<int>{0, 1}));
}

TEST(PagePrinter, ScreenDrawingMarksTheActiveViewsSelectionOnly)
{
    CDrawDoc doc;
    auto* a = new ProbeObj(CRect(0, 0, 10, 10));
    auto* b = new ProbeObj(CRect(20, 0, 30, 10));
    doc.Add(a);
    doc.Add(b);
    SelectingView view;
    view.selected = b;
    CRecordingDC screen;
    doc.Draw(&screen, &view);
    EXPECT_EQ(a->calls.size(), 1u);
    EXPECT_EQ(b->calls.at(0).index, 0);
    EXPECT_TRUE(a->marks.empty());
    EXPECT_EQ(b->marks, std::vector<int>{kSelectionSelected});

    view.active = FALSE;
    doc.Draw(&screen, &view);
    CRecordingDC printer(CSize(100, 100), 300, true);
    view.active = TRUE;
    doc.Draw(&printer, &view);
    EXPECT_EQ(b->marks.size(), 1u);
    EXPECT_EQ(b->calls.size(), 3u);

    doc.SetCanvasSize(10, 10);
    doc.ResetPrinting();
    CRect canvas;
    doc.GetCanvasRect(&canvas);
    EXPECT_EQ(canvas, CRect(-15360, -15360, 46080, 46080));
}

// Label files whose stored values reach the ends of the int range (a rectangle and an ellipse
// spanning all of it, a rounded rectangle whose roundness is -2^31) load, print their sheet and
// draw on screen. Their arithmetic is checked by the sanitizer build; here the rounded rectangle
// must show as GDI draws it. The files are seeds of the label-file fuzzer (after the byte
// that chooses its reader).
TEST(PagePrinter, ShapesWithExtremeStoredValuesPrint)
{
    for (const char* name : {"shape-whole-int-range", "shape-roundness-int-min"}) {
        SCOPED_TRACE(name);
        QFile seed(QStringLiteral(QB_LABEL_CORPUS_DIR "/") + QLatin1String(name));
        ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
        CCompoundFile file;
        QString error;
        ASSERT_TRUE(file.LoadFromMemory(seed.readAll().mid(1), error)) << error.toStdString();
        CDrawDoc doc;
        ASSERT_TRUE(doc.LoadFromStorage(file.GetRoot()));
        ASSERT_FALSE(doc.GetObjects().empty());
        doc.SetLabelsToPrint(1);

        // A corner of the page at 1200 dpi, as a PDF is printed: the whole int range in device
        // pixels is wider than an int.
        QImage page(400, 300, QImage::Format_RGB32);
        page.setDotsPerMeterX(47244);
        page.setDotsPerMeterY(47244);
        {
            CPainterDC dc(&page, true);
            dc.SetMapMode(MM_ANISOTROPIC);
            dc.SetWindowExt(1536, 1536);
            CPrintInfo info;
            info.m_nCurPage = 1;
            CRect unprintable;
            doc.PrintPage(&dc, &info, nullptr, &unprintable, TRUE, &info.m_rectDraw);
        }
        QImage screen(200, 150, QImage::Format_RGB32);
        screen.fill(Qt::white);
        {
            CPainterDC dc(&screen);
            dc.SetMapMode(MM_ANISOTROPIC);
            dc.SetWindowExt(1536, 1536);
            dc.SetViewportExt(96, 96);
            doc.Draw(&dc, nullptr);
        }
        if (std::string(name) == "shape-whole-int-range")
            continue;
        // The rounded rectangle at (100, 100) .. (3000, 2000), 6 .. 187 x 6 .. 125 pixels: a
        // corner larger than the shape rounds it off into an ellipse.
        const QRgb white = qRgb(255, 255, 255);
        EXPECT_EQ(screen.pixel(8, 8), white);
        EXPECT_EQ(screen.pixel(185, 123), white);
        bool topDrawn = false;
        for (int y = 4; y < 10; ++y)
            topDrawn = topDrawn || screen.pixel(97, y) != white;
        EXPECT_TRUE(topDrawn);
    }
}

}  // namespace
