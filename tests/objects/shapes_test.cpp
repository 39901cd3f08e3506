#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/recordingdc.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawpoly.h"

#include <gtest/gtest.h>

namespace {

bool HitAt(CDrawObj& obj, int x, int y)
{
    return obj.OverlapsRect(CRect(x, y, x + 1, y + 1));
}

}  // namespace

TEST(Shapes, OverlapFollowsTheShape)
{
    // Thin lines are found within 48 units of their box and within their band.
    CDrawRect horizontal(CRect(0, 1000, 10000, 1000));
    horizontal.m_nShape = CDrawRect::line;
    EXPECT_TRUE(HitAt(horizontal, 5000, 1000));
    EXPECT_TRUE(HitAt(horizontal, 5000, 1047));
    EXPECT_TRUE(HitAt(horizontal, 5000, 953));
    EXPECT_FALSE(HitAt(horizontal, 5000, 1049));
    EXPECT_FALSE(HitAt(horizontal, 5000, 951));
    CDrawRect vertical(CRect(300, 9000, 300, 0));
    vertical.m_nShape = CDrawRect::line;
    EXPECT_TRUE(HitAt(vertical, 310, 4500));
    EXPECT_FALSE(HitAt(vertical, 400, 4500));
    // A diagonal line: the band is 8 x (6 + 5) = 88 units to either side of its diagonal.
    CDrawRect diagonal(CRect(0, 0, 2000, 1000));
    diagonal.m_nShape = CDrawRect::line;
    EXPECT_TRUE(HitAt(diagonal, 1000, 500));
    EXPECT_FALSE(HitAt(diagonal, 1000, 900));
    // Drawn up-right at 45 degrees: the band lies about the segment as drawn, 88 units to
    // either side of it, and the box's other diagonal is empty.
    CDrawRect rising(CRect(0, 2000, 2000, 0));
    rising.m_nShape = CDrawRect::line;
    rising.m_logpen.lopnWidth = CPoint(6, 6);
    EXPECT_TRUE(HitAt(rising, 500, 1500));
    EXPECT_TRUE(HitAt(rising, 1060, 1060));   // 86 units off
    EXPECT_FALSE(HitAt(rising, 1065, 1065));  // 93 units off
    EXPECT_FALSE(HitAt(rising, 500, 500));

    // Inside the ellipse's box but outside the ellipse.
    CDrawRect ellipse(CRect(0, 0, 1000, 600));
    ellipse.m_nShape = CDrawRect::ellipse;
    EXPECT_TRUE(HitAt(ellipse, 500, 300));
    EXPECT_TRUE(HitAt(ellipse, 2, 300));
    EXPECT_FALSE(HitAt(ellipse, 40, 40));
    EXPECT_TRUE(ellipse.OverlapsRect(CRect(200, 200, 0, 0)));  // unnormalised, reaches inside
    EXPECT_FALSE(ellipse.OverlapsRect(CRect(100, 100, 0, 0)));
    CDrawRect round(CRect(0, 0, 1000, 1000));
    round.m_nShape = CDrawRect::roundRectangle;  // corners of 256 x 256
    EXPECT_FALSE(HitAt(round, 10, 10));
    EXPECT_TRUE(HitAt(round, 60, 60));
    EXPECT_TRUE(HitAt(round, 0, 500));
    CDrawRect rect(CRect(1000, 1000, 0, 0));
    EXPECT_TRUE(HitAt(rect, 0, 0));
    EXPECT_FALSE(HitAt(rect, 1000, 0));

    // A polygon under the even-odd rule.
    CDrawPoly poly{CRect()};
    for (CPoint p : {CPoint(0, 0), CPoint(1000, 0), CPoint(0, 1000)})
        poly.AddPoint(p);
    EXPECT_TRUE(HitAt(poly, 100, 100));
    EXPECT_FALSE(HitAt(poly, 900, 900));
    EXPECT_TRUE(poly.OverlapsRect(CRect(400, 400, 900, 900)));
}

TEST(Shapes, HandlesRotationAndDragging)
{
    CDrawDoc doc;
    auto* rect = new CDrawRect(CRect(0, 0, 101, 51));
    doc.Add(rect);
    EXPECT_EQ(rect->GetHandlePoint(8), CPoint(0, 25));
    EXPECT_EQ(rect->GetHandlePoint(42), CPoint(0, 0));

    // Four turns give back a rectangle of the same size; 2700 + 900 is 0.
    for (int turn = 1; turn <= 4; ++turn) {
        rect->Rotate90();
        EXPECT_EQ(rect->m_nRotation, turn % 4 * 900);
        EXPECT_EQ(std::abs(rect->m_position.Width()), turn % 2 ? 51 : 101);
        EXPECT_EQ(std::abs(rect->m_position.Height()), turn % 2 ? 101 : 51);
    }
    EXPECT_LE(std::abs(rect->m_position.CenterPoint().x - 50), 4);

    // Moved past the canvas edge, the rectangle stops there without shrinking.
    doc.SetModifiedFlag(FALSE);
    rect->MoveTo(CRect(46000, -20000, 46101, -19949));
    EXPECT_EQ(rect->m_position, CRect(45979, -15360, 46080, -15309));
    EXPECT_TRUE(doc.IsModified());
    rect->DragHandle(5, CPoint(50000, -15000));
    EXPECT_EQ(rect->m_position.right, 46080);

    // A line's second handle is its far end.
    CDrawRect line(CRect(10, 20, 110, 220));
    line.m_nShape = CDrawRect::line;
    EXPECT_EQ(line.CountHandles(), 2);
    EXPECT_EQ(line.GetHandlePoint(2), CPoint(110, 220));
    line.DragHandle(2, CPoint(300, 400));
    EXPECT_EQ(line.m_position, CRect(10, 20, 300, 400));

    // The roundness handle stays between the centre and the far edge less one.
    CDrawRect round(CRect(0, 0, 1000, 800));
    round.m_nShape = CDrawRect::roundRectangle;
    EXPECT_EQ(round.GetHandlePoint(9), CPoint(872, 672));
    round.DragHandle(9, CPoint(100, 100));
    EXPECT_EQ(round.m_roundness, CPoint(1000, 800));
    round.DragHandle(9, CPoint(2000, 2000));
    EXPECT_EQ(round.m_roundness, CPoint(2, 2));

    // A polygon moves with its points and is not held in the canvas.
    auto* poly = new CDrawPoly(CRect());
    doc.Add(poly);
    for (CPoint p : {CPoint(0, 0), CPoint(10, 0), CPoint(10, 0), CPoint(0, 10)})
        poly->AddPoint(p);
    EXPECT_EQ(poly->GetPointCount(), 3);
    EXPECT_EQ(poly->m_position, CRect(0, 0, 10, 10));
    poly->MoveTo(CRect(-90000, 5, -89990, 15));
    EXPECT_EQ(poly->GetPoints()[1], CPoint(-89990, 5));
    poly->DragHandle(3, CPoint(-90000, 100));
    EXPECT_EQ(poly->m_position, CRect(-90000, 5, -89990, 100));
}

TEST(Shapes, PolygonGrowsByTen)
{
    CDrawPoly poly{CRect()};
    EXPECT_EQ(poly.GetAllocatedPoints(), 0);
    for (int i = 0; i < 25; ++i) {
        poly.AddPoint(CPoint(i, i * i));
        EXPECT_EQ(poly.GetAllocatedPoints(), (i / 10 + 1) * 10) << i;
    }
    EXPECT_EQ(poly.GetPointCount(), 25);
    std::unique_ptr<CDrawObj> clone(poly.Clone());
    EXPECT_EQ(static_cast<CDrawPoly*>(clone.get())->GetAllocatedPoints(), 30);
}

TEST(Shapes, ArchiveRecords)
{
    // A line of 0.1 mm stores 0.1 and loads with a pen of 6 units.
    CDrawDoc doc;
    auto* line = new CDrawRect(CRect(0, 0, 100, 0));
    line->m_nShape = CDrawRect::line;
    line->m_logpen.lopnWidth = CPoint(99, 99);
    doc.Add(line);
    auto* second = new CDrawRect(CRect(1, 2, 3, 4));
    doc.Add(second);
    EXPECT_EQ(CDrawRect::PenWidthFromMm(0.1), 6);
    EXPECT_EQ(CDrawRect::PenWidthFromMm(1e300), INT_MAX);
    EXPECT_EQ(CDrawRect::PenWidthFromMm(std::nan("")), 0);

    CArchive out(CArchive::store);
    out.m_pDocument = &doc;
    out.WriteObject(line);
    out.WriteObject(second);
    const QByteArray bytes = out.GetBuffer();
    // CDrawRect (class 1, object 2), CDrawObj (class 3); the second object refers to both.
    EXPECT_EQ(bytes.left(2 + 2 + 2 + 9).toHex(), QByteArray("ffff01000900" "4344726177526563" "74"));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("ffff010008004344726177") + "Obj"));
    EXPECT_EQ(bytes.count(QByteArray("CDraw")), 2);

    CArchive in(bytes, CArchive::load);
    in.m_pDocument = &doc;
    std::unique_ptr<CDrawRect> a(static_cast<CDrawRect*>(in.ReadObject(RUNTIME_CLASS(CDrawRect))));
    std::unique_ptr<CDrawRect> b(static_cast<CDrawRect*>(in.ReadObject(RUNTIME_CLASS(CDrawRect))));
    EXPECT_TRUE(in.IsBufferEmpty());
    EXPECT_EQ(a->m_shapeData.lineWidthMm, 0.1);
    EXPECT_EQ(a->m_logpen.lopnWidth, CPoint(6, 6));
    EXPECT_EQ(a->m_nShape, CDrawRect::line);
    EXPECT_EQ(b->m_position, CRect(1, 2, 3, 4));
    EXPECT_EQ(a->m_pDocument, &doc);

    // A record of the oldest schema carries no class reference per level.
    QByteArray old;
    {
        CArchive o(CArchive::store);
        o.WriteClass(RUNTIME_CLASS(CDrawRect));
        old = o.GetBuffer();
    }
    old[2] = 0;  // schema 0
    old += QByteArray::fromHex("01000000020000000300000004000000" "0100" "06000000060000000600000000000000"
                               "0000" "000000000000000000000000" "0200" "0000000000000000" "00000000"
                               "000000000000f03f");
    CArchive oldIn(old, CArchive::load);
    std::unique_ptr<CDrawRect> c(static_cast<CDrawRect*>(oldIn.ReadObject(RUNTIME_CLASS(CDrawRect))));
    EXPECT_EQ(c->m_position, CRect(1, 2, 3, 4));
    EXPECT_EQ(c->m_nShape, CDrawRect::ellipse);
    EXPECT_EQ(c->m_logpen.lopnWidth.x, 60);  // 1 mm
}

TEST(Shapes, DrawingThroughTheDeviceContext)
{
    CRecordingDC dc;
    CDrawRect rect(CRect(0, 0, 100, 50));
    rect.Draw(&dc, 0);
    ASSERT_EQ(dc.records.size(), 1u);
    EXPECT_EQ(dc.records[0].brush.lbStyle, BS_NULL);  // brush off
    EXPECT_EQ(dc.records[0].pen.lopnWidth.x, 6);

    dc.records.clear();
    CDrawRect line(CRect(100, 200, 0, 0));
    line.m_nShape = CDrawRect::line;
    line.m_logpen.lopnWidth = CPoint(7, 7);
    line.Draw(&dc, 0);
    ASSERT_EQ(dc.records.size(), 1u);
    EXPECT_EQ(dc.records[0].kind, CRecordedPrimitive::Kind::Line);
    EXPECT_EQ(dc.records[0].points[0], CPoint(97, 197));
    EXPECT_EQ(dc.records[0].points[1], CPoint(4, 4));

    dc.records.clear();
    CDrawRect round(CRect(0, 0, 500, 500));
    round.m_nShape = CDrawRect::roundRectangle;
    round.m_bPen = FALSE;
    round.m_bBrush = TRUE;
    round.m_logbrush.lbColor = RGB(255, 0, 0);
    round.Draw(&dc, 0);
    ASSERT_EQ(dc.records.size(), 1u);
    EXPECT_EQ(dc.records[0].corner, CPoint(256, 256));
    EXPECT_EQ(dc.records[0].pen.lopnStyle, PS_NULL);

    // Handles keep 8 device pixels at any zoom.
    dc.records.clear();
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(1536, 1536);
    dc.SetViewportExt(192, 192);
    CDrawRect small(CRect(0, 0, 1536, 1536));
    small.DrawSelectionState(&dc, 1);
    ASSERT_EQ(dc.records.size(), 8u);
    // Handle 5 at (1536, 1536) is (192, 192) in pixels, drawn while one unit is one pixel.
    EXPECT_EQ(dc.records[4].rect, CRect(188, 188, 196, 196));
    EXPECT_EQ(dc.records[4].brush.lbColor, RGB(0, 255, 0));
    EXPECT_EQ(dc.GetWindowExt(), CSize(1536, 1536));

    // An embedded object shows a crossed frame, and on screen its item frame.
    dc.records.clear();
    CDrawOleObj ole(CRect(0, 0, 1536, 768));
    ole.Draw(&dc, 0);
    EXPECT_EQ(dc.records.size(), 4u);
    dc.records.clear();
    dc.SetPrinting(true);
    ole.Draw(&dc, 0);
    EXPECT_EQ(dc.records.size(), 3u);
}
