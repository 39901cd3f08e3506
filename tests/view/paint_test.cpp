#include "document/drawdoc.h"
#include "framework/printinfo.h"
#include "framework/recordingdc.h"
#include "framework/resourcemodule.h"
#include "objects/drawobj.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "view/drawview.h"
#include "support/testoutput.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

struct PaintedLabel {
    CDrawDoc doc;
    std::unique_ptr<CDrawView> view;
    CDrawRect* frame = nullptr;
    CDrawText* text = nullptr;
    CDrawBarcode* barcode = nullptr;

    PaintedLabel()
    {
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
        doc.OnNewDocument();
        const float size[2] = {500.0f, 300.0f};
        doc.SetLabelSize(size);
        view = std::make_unique<CDrawView>();
        view->resize(640, 420);
        view->AttachDocument(&doc);
        view->show();
        view->OnActivateView(TRUE);
        frame = new CDrawRect(CRect(300, 300, 2700, 1500));
        doc.Add(frame);
        auto* line = new CDrawRect(CRect(300, 1600, 2700, 1600));
        line->m_nShape = CDrawRect::line;
        doc.Add(line);
        text = new CDrawText(CRect(420, 380, 420, 380), view.get(), QStringLiteral("Quillbar 50 x 30"));
        view->AddObject(text);
        barcode = new CDrawBarcode(CRect(420, 800, 420, 800), view.get(), QStringLiteral("12345678"), 3);
        view->AddObject(barcode);
        view->Select(frame);
        view->Select(barcode, TRUE);
    }
    // The label's corner 40 pixels inside the rulers.
    void Zoom(int zoom)
    {
        doc.SetZoom(zoom);
        const int e = view->GetViewportExtent();
        view->ScrollToPosition(CPoint(10 * e - 40, 10 * e - 40));
    }
};

TEST(ViewPaint, ScreenshotsShowRulersGridObjectsAndSelection)
{
    PaintedLabel label;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(label.view.get()));
    for (int zoom : {50, 100, 400}) {
        label.Zoom(zoom);
        const QImage shot = label.view->viewport()->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(TestOutputDir() + QStringLiteral("/view-zoom-%1.png").arg(zoom)));
        const int dpr = int(shot.devicePixelRatio());
        const auto at = [&](int x, int y) { return QColor(shot.pixel(x * dpr, y * dpr)); };
        // Rulers white, the surroundings grey, the face white, the drop shadow darker grey.
        EXPECT_EQ(at(3, 3), QColor(Qt::white)) << zoom;
        EXPECT_EQ(at(30, 30), QColor(150, 150, 150)) << zoom;
        const CPoint corner = label.view->DocToClient(CPoint(0, 0));
        EXPECT_EQ(at(corner.x + 2, corner.y + 30), QColor(Qt::white)) << zoom;
        const CPoint shadow = label.view->DocToClient(CPoint(3090, 1000));
        if (shadow.x < shot.width() / dpr) {
            EXPECT_EQ(at(shadow.x, shadow.y), QColor(128, 128, 128)) << zoom;
        }
        // The selected frame's top-left handle is green.
        const CPoint handle = label.view->DocToClient(CPoint(300, 300));
        EXPECT_EQ(at(handle.x + 2, handle.y + 2), QColor(0, 255, 0)) << zoom;
    }
}

TEST(ViewPaint, SelectionHandlesShowOverObjectsDrawnLater)
{
    PaintedLabel label;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(label.view.get()));
    // A filled square drawn after the selected frame covers the frame's top-left handle.
    auto* cover = new CDrawRect(CRect(100, 100, 900, 900));
    cover->m_bBrush = TRUE;
    cover->m_logbrush.lbColor = RGB(0, 0, 255);
    label.doc.Add(cover);
    label.view->Select(label.frame);
    label.Zoom(100);
    const QImage shot = label.view->viewport()->grab().toImage();
    const int dpr = int(shot.devicePixelRatio());
    const CPoint handle = label.view->DocToClient(CPoint(300, 300));
    EXPECT_EQ(QColor(shot.pixel((handle.x + 2) * dpr, (handle.y + 2) * dpr)), QColor(0, 255, 0));
}

TEST(ViewPaint, RulersReadMillimetresOfTheLabelAtEveryZoom)
{
    PaintedLabel label;
    for (int zoom : {50, 100, 400}) {
        label.Zoom(zoom);
        CRecordingDC dc(CSize(640, 420), label.view->GetScreenDpi());
        label.view->OnPrepareDC(&dc);
        label.view->DrawRulers(&dc);
        const CPoint origin = label.view->DocToClient(CPoint(0, 0));
        const double pxPerCm = double(float(label.view->GetViewportExtent()) / 2.54f);
        int horizontal = 0, vertical = 0;
        // Where each number runs along its ruler, to see that none touches the next.
        std::vector<std::pair<int, int>> runs[2];
        for (const auto& rec : dc.records) {
            if (rec.kind != CRecordedPrimitive::Kind::Text)
                continue;
            CFont font;
            font.CreateFontIndirectW(&rec.font);
            dc.SelectObject(&font);
            CSize extent;
            dc.GetTextExtentPoint32W(rec.text, int(rec.text.size()), &extent);
            const bool across = rec.font.lfEscapement == 0;
            const int from = across ? rec.points[0].x : rec.points[0].y - extent.cx;
            runs[across ? 0 : 1].emplace_back(from, from + extent.cx);
            bool ok = false;
            const int mm = rec.text.toInt(&ok);
            ASSERT_TRUE(ok);
            EXPECT_EQ(mm % 10, 0);
            if (rec.font.lfEscapement == 0) {
                // The number of a centimetre mark stands 2 pixels right of the mark.
                EXPECT_EQ(rec.points[0].x, int(origin.x + mm / 10 * pxPerCm + (mm < 0 ? 2.0 : 0)) + (mm < 0 ? 0 : 2))
                    << "zoom " << zoom << " text " << mm;
                ++horizontal;
            } else {
                ++vertical;
            }
        }
        // The window shows the label's first centimetres on both rulers.
        EXPECT_GE(horizontal, 3) << "zoom " << zoom;
        EXPECT_GE(vertical, 2) << "zoom " << zoom;
        for (auto& run : runs) {
            // The 0 of both directions is drawn in one place.
            std::sort(run.begin(), run.end());
            run.erase(std::unique(run.begin(), run.end()), run.end());
            for (std::size_t i = 1; i < run.size(); ++i)
                EXPECT_GT(run[i].first, run[i - 1].second + 1) << "numbers touch at zoom " << zoom;
        }
    }
}

TEST(ViewPaint, PrintingTakesThePrinterOffsetOffTheMargins)
{
    PaintedLabel label;
    label.doc.SetLabelsToPrint(1);
    CRecordingDC printer(CSize(2400, 3400), 300, true);
    printer.SetPhysicalPage(CSize(2480, 3508), CPoint(30, 50));
    CPrintInfo info;
    label.view->OnPrepareDC(&printer, &info);
    label.view->OnPrint(&printer, &info);
    // The frame lands at margin minus offset: 10 mm is 604.7 units, 30 and 50 pixels at 300 dpi
    // are 153.6 and 256 units.
    const auto frame = std::find_if(printer.records.begin(), printer.records.end(), [](const auto& rec) {
        return rec.kind == CRecordedPrimitive::Kind::Rectangle && rec.rect.Width() == 2400;
    });
    ASSERT_NE(frame, printer.records.end());
    EXPECT_EQ(frame->rect.TopLeft(), CPoint(300 + 451, 300 + 348));
    ASSERT_NE(label.doc.GetSummInfo(), nullptr);
    EXPECT_FALSE(label.doc.GetSummInfo()->GetLastPrintDate().isEmpty());
    CRect m;
    CDrawView::GetPrintableMargins(&printer, &m);
    EXPECT_EQ(m, CRect(30, 50, 50, 58));
}

}  // namespace
