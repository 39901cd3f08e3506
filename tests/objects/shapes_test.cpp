#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/recordingdc.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawpoly.h"

#include <gtest/gtest.h>

TEST(Shapes, OverlapFollowsTheShape)
{
    // A line is found within 8 x (6 + 5) = 88 units of the segment as drawn (also up-right),
    // and thin ones within 48 units of their box; ellipses and round corners leave the box's
    // corners empty.
    using R = CDrawRect;
    const struct { int shape; CRect box; int x, y; bool hit; } cases[] = {
        {R::line, CRect(0, 1000, 10000, 1000), 5000, 1000, true},  {R::line, CRect(0, 1000, 10000, 1000), 5000, 1047, true},
        {R::line, CRect(0, 1000, 10000, 1000), 5000, 953, true},   {R::line, CRect(0, 1000, 10000, 1000), 5000, 1049, false},
        {R::line, CRect(0, 1000, 10000, 1000), 5000, 951, false},  {R::line, CRect(300, 9000, 300, 0), 310, 4500, true},
        {R::line, CRect(300, 9000, 300, 0), 400, 4500, false},     {R::line, CRect(0, 0, 2000, 1000), 1000, 500, true},
        {R::line, CRect(0, 0, 2000, 1000), 1000, 900, false},      {R::line, CRect(0, 2000, 2000, 0), 500, 1500, true},
        {R::line, CRect(0, 2000, 2000, 0), 1060, 1060, true},      {R::line, CRect(0, 2000, 2000, 0), 1065, 1065, false},
        {R::line, CRect(0, 2000, 2000, 0), 500, 500, false},       {R::ellipse, CRect(0, 0, 1000, 600), 500, 300, true},
        {R::ellipse, CRect(0, 0, 1000, 600), 2, 300, true},        {R::ellipse, CRect(0, 0, 1000, 600), 40, 40, false},
        {R::roundRectangle, CRect(0, 0, 1000, 1000), 10, 10, false}, {R::roundRectangle, CRect(0, 0, 1000, 1000), 60, 60, true},
        {R::roundRectangle, CRect(0, 0, 1000, 1000), 0, 500, true}, {R::rectangle, CRect(1000, 1000, 0, 0), 0, 0, true},
        {R::rectangle, CRect(1000, 1000, 0, 0), 1000, 0, false},
    };
    for (const auto& c : cases) {
        CDrawRect obj(c.box);
        obj.m_nShape = c.shape;
        EXPECT_EQ(obj.OverlapsRect(CRect(c.x, c.y, c.x + 1, c.y + 1)), bool(c.hit))
            << "shape " << c.shape << " at " << c.x << ", " << c.y;
    }
    CDrawRect ellipse(CRect(0, 0, 1000, 600));
    ellipse.m_nShape = CDrawRect::ellipse;
    EXPECT_TRUE(ellipse.OverlapsRect(CRect(200, 200, 0, 0)));  // unnormalised, reaches inside
    EXPECT_FALSE(ellipse.OverlapsRect(CRect(100, 100, 0, 0)));

    // A polygon under the even-odd rule.
    CDrawPoly poly{CRect()};
    for (CPoint p : {CPoint(0, 0), CPoint(1000, 0), CPoint(0, 1000)})
        poly.AddPoint(p);
    EXPECT_TRUE(poly.OverlapsRect(CRect(100, 100, 101, 101)));
    EXPECT_FALSE(poly.OverlapsRect(CRect(900, 900, 901, 901)));
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

    // The record stores the room as well as the points: it grows by ten and is cloned.
    for (int i = 0; i < 18; ++i)
        poly->AddPoint(CPoint(i, i * i));
    EXPECT_EQ(poly->GetAllocatedPoints(), 30);
    std::unique_ptr<CDrawObj> clone(poly->Clone());
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
    // Each level names its class once; the second object refers back to both names.
    EXPECT_TRUE(bytes.contains("CDrawObj"));
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
    // A line is drawn inside its box by half its pen.
    CRecordingDC dc;
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
