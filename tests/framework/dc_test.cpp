// Device-context behaviour that does not depend on the output: mapping, saved states, selected
// objects, clipping, text layout helpers; checked through the recording back end.

#include "dc_helpers.h"
#include "framework/recordingdc.h"

#include <gtest/gtest.h>

TEST(DeviceContext, MappingScalesAndShiftsBothWays)
{
    CRecordingDC dc;
    SetInchMapping(dc);
    CPoint inch(1536, 1536);
    dc.LPtoDP(&inch);
    EXPECT_EQ(inch, CPoint(96, 96));

    // Ten inches of window origin and a 16-pixel viewport origin, as the editing view sets them.
    dc.OffsetWindowOrg(-15360, -15360);
    dc.OffsetViewportOrg(16, 16);
    CPoint origin(0, 0);
    dc.LPtoDP(&origin);
    EXPECT_EQ(origin, CPoint(976, 976));
    for (int x = -32000; x <= 32000; x += 16 * 37) {
        CPoint p[2] = {CPoint(x, -x), CPoint(x + 16, 48)};
        const CPoint before[2] = {p[0], p[1]};
        dc.LPtoDP(p, 2);
        dc.DPtoLP(p, 2);
        ASSERT_EQ(p[0], before[0]);
        ASSERT_EQ(p[1], before[1]);
    }

    // Half a pixel rounds up, also below the origin; a pixel back is 16 units.
    dc.SetWindowOrg(0, 0);
    dc.SetViewportOrg(0, 0);
    CPoint halves[3] = {CPoint(8, -8), CPoint(7, -9), CPoint(24, -24)};
    dc.LPtoDP(halves, 3);
    EXPECT_EQ(halves[0], CPoint(1, 0));
    EXPECT_EQ(halves[1], CPoint(0, -1));
    EXPECT_EQ(halves[2], CPoint(2, -1));
    // Far-off coordinates saturate instead of overflowing.
    dc.SetViewportExt(INT32_MAX, INT32_MAX);
    dc.SetWindowExt(1, 1);
    CPoint far(INT32_MAX, INT32_MIN);
    dc.LPtoDP(&far);
    EXPECT_EQ(far, CPoint(INT32_MAX, INT32_MIN));
    SetInchMapping(dc);
    CSize pixel(1, -1);
    dc.DPtoLP(&pixel);
    EXPECT_EQ(pixel, CSize(16, -16));
}

TEST(DeviceContext, TextModeIgnoresExtentsAndZeroExtentsAreRefused)
{
    CRecordingDC dc;
    dc.SetWindowExt(1536, 1536);
    dc.SetWindowOrg(10, 20);
    CPoint p(15, 25);
    dc.LPtoDP(&p);
    EXPECT_EQ(p, CPoint(5, 5));

    SetInchMapping(dc);
    EXPECT_EQ(dc.SetViewportExt(0, 5), CSize());
    EXPECT_EQ(dc.GetViewportExt(), CSize(96, 96));
    EXPECT_EQ(dc.SetMapMode(MM_TEXT), MM_ANISOTROPIC);
    EXPECT_EQ(dc.GetViewportExt(), CSize(1, 1));
    EXPECT_EQ(dc.GetWindowOrg(), CPoint(10, 20));  // origins survive a mode change
}

TEST(DeviceContext, SaveAndRestoreNestedLevels)
{
    CRecordingDC dc;
    CPen red(PS_SOLID, 3, RGB(255, 0, 0));
    CPen blue(PS_DOT, 0, RGB(0, 0, 255));
    CBrush green(RGB(0, 255, 0));

    const int level1 = dc.SaveDC();
    SetInchMapping(dc);
    dc.SelectObject(&red);
    dc.SelectObject(&green);
    dc.SetTextColor(RGB(1, 2, 3));
    dc.SetBkMode(TRANSPARENT);
    dc.IntersectClipRect(0, 0, 1600, 1600);
    const int level2 = dc.SaveDC();
    EXPECT_EQ(level2, 2);
    dc.SetViewportExt(192, 192);
    dc.SelectObject(&blue);
    dc.ExcludeClipRect(0, 0, 800, 1600);
    dc.SaveDC();

    // Relative: back to the second level, which is then gone with the third.
    EXPECT_TRUE(dc.RestoreDC(-1));
    EXPECT_TRUE(dc.RestoreDC(-1));
    EXPECT_EQ(dc.GetViewportExt(), CSize(96, 96));
    CRect box;
    EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 1600, 1600));
    dc.Rectangle(0, 0, 16, 16);
    EXPECT_EQ(dc.records.back().pen.lopnWidth.x, 3);
    EXPECT_EQ(dc.records.back().brush.lbColor, RGB(0, 255, 0));
    EXPECT_EQ(dc.records.back().textColor, RGB(1, 2, 3));
    EXPECT_EQ(dc.records.back().bkMode, TRANSPARENT);
    EXPECT_TRUE(dc.records.back().clipped);

    // Absolute: the first level; the default objects come back.
    dc.SaveDC();
    EXPECT_TRUE(dc.RestoreDC(level1));
    EXPECT_FALSE(dc.RestoreDC(-1));
    EXPECT_FALSE(dc.RestoreDC(1));
    EXPECT_EQ(dc.GetMapMode(), MM_TEXT);
    EXPECT_EQ(dc.GetBkMode(), OPAQUE);
    EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 1280, 1024));
    EXPECT_EQ(dc.SelectObject(&red), GetStockObjectPtr(BLACK_PEN));
    EXPECT_EQ(dc.SelectObject(&green), GetStockObjectPtr(WHITE_BRUSH));
}

TEST(DeviceContext, SelectedObjectsAreCopiedAndStockObjectsReturned)
{
    CRecordingDC dc;
    CPen* previous = nullptr;
    {
        CPen pen(PS_INSIDEFRAME, 48, RGB(9, 8, 7));
        previous = dc.SelectObject(&pen);
        EXPECT_EQ(previous, GetStockObjectPtr(BLACK_PEN));
        EXPECT_EQ(dc.SelectStockObject(NULL_BRUSH), GetStockObjectPtr(WHITE_BRUSH));
    }
    // The pen is gone; the context still draws with its description.
    dc.Ellipse(30, 40, 10, 20);
    ASSERT_EQ(dc.records.size(), 1u);
    EXPECT_EQ(dc.records[0].rect, CRect(10, 20, 30, 40));
    EXPECT_EQ(dc.records[0].pen.lopnWidth.x, 48);
    EXPECT_EQ(dc.records[0].brush.lbStyle, BS_NULL);
    dc.SelectObject(previous);

    CPen unmade;
    EXPECT_EQ(dc.SelectObject(&unmade), nullptr);
    EXPECT_FALSE(GetStockObjectPtr(BLACK_PEN)->DeleteObject());
    EXPECT_NE(GetStockObjectPtr(BLACK_PEN)->GetSafeHandle(), nullptr);
    EXPECT_EQ(dc.SelectStockObject(999), nullptr);
}

TEST(DeviceContext, ClippingIntersectsExcludesAndReportsLogicalBoxes)
{
    CRecordingDC dc(CSize(200, 100));
    CRect box;
    EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 200, 100));

    EXPECT_EQ(dc.IntersectClipRect(110, 60, 10, 10), SIMPLEREGION);  // unnormalised
    dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(10, 10, 110, 60));
    EXPECT_EQ(dc.ExcludeClipRect(10, 10, 50, 60), SIMPLEREGION);
    EXPECT_EQ(dc.ExcludeClipRect(70, 20, 80, 30), COMPLEXREGION);
    dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(50, 10, 110, 60));
    dc.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(dc.records.back().clipBox, CRect(50, 10, 110, 60));

    // The box follows the mapping.
    SetInchMapping(dc);
    dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(800, 160, 1760, 960));

    EXPECT_EQ(dc.IntersectClipRect(0, 0, 16, 16), NULLREGION);
    EXPECT_EQ(dc.GetClipBox(&box), NULLREGION);
    EXPECT_TRUE(box.IsRectEmpty());

    dc.SelectClipRgn(nullptr);
    dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(0, 0, 3200, 1600));
    // Excluding a ruler strip given in device pixels, as the view's repaint does.
    CRect strip(0, 0, 200, 16);
    dc.DPtoLP(&strip);
    dc.ExcludeClipRect(&strip);
    dc.GetClipBox(&box);
    EXPECT_EQ(box, CRect(0, 256, 3200, 1600));
}

TEST(DeviceContext, RecordedTextMeasuresAndDrawTextLayout)
{
    CRecordingDC dc;
    SetInchMapping(dc);
    CFont font;
    const LOGFONTW lf = Font(256);
    font.CreateFontIndirectW(&lf);
    dc.SelectObject(&font);
    EXPECT_EQ(dc.GetTextExtent(QStringLiteral("\t")), dc.GetTextExtent(QStringLiteral(" ")));
    // The count is clipped to the text; a negative one is refused.
    CSize s;
    EXPECT_TRUE(dc.GetTextExtentPoint32W(QStringLiteral("ab"), 99, &s));
    EXPECT_EQ(s, dc.GetTextExtent(QStringLiteral("ab")));
    EXPECT_FALSE(dc.GetTextExtentPoint32W(QStringLiteral("ab"), -1, &s));

    CRect calc(100, 100, 100, 100);
    EXPECT_EQ(dc.DrawText(QStringLiteral("ab\nabcd"), &calc, DT_CALCRECT), 512);
    EXPECT_EQ(calc, CRect(100, 100, 612, 612));
    EXPECT_TRUE(dc.records.empty());

    CRect box(0, 0, 1000, 600);
    dc.DrawText(QStringLiteral("ab"), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc.DrawText(QStringLiteral("ab"), &box, DT_RIGHT | DT_NOCLIP);
    dc.DrawText(QStringLiteral("x\r\nyy"), &box, DT_LEFT);
    ASSERT_EQ(dc.records.size(), 4u);
    EXPECT_EQ(dc.records[0].points[0], CPoint(372, 172));
    EXPECT_EQ(dc.records[0].options, ETO_CLIPPED);
    EXPECT_EQ(dc.records[0].rect, box);
    EXPECT_EQ(dc.records[1].points[0], CPoint(744, 0));
    EXPECT_EQ(dc.records[2].text, QStringLiteral("x"));
    EXPECT_EQ(dc.records[3].text, QStringLiteral("yy"));
    EXPECT_EQ(dc.records[3].points[0], CPoint(0, 256));

    // Word breaks: at spaces and between Han characters; a word wider than the box stands alone;
    // an empty line stays; each line under the last.
    dc.records.clear();
    const CRect narrow(0, 0, 1000, 600);
    for (const QString& text : {QStringLiteral("abc abc abc"), QStringLiteral("bb bbbbbbbbbb bb"),
                                QStringLiteral("标签标签标签标签\n\nx")}) {
        CRect box = narrow;
        dc.DrawText(text, &box, DT_LEFT | DT_WORDBREAK);
    }
    QStringList lines;
    for (const CRecordedPrimitive& r : dc.records)
        lines << r.text + u'@' + QString::number(r.points[0].y);
    EXPECT_EQ(lines, QStringList({"abc abc@0", "abc@256", "bb@0", "bbbbbbbbbb@256", "bb@512", "标签标@0", "签标签@256",
                                  "标签@512", "x@1024"}));
    CRect wrapped = narrow;
    EXPECT_EQ(dc.DrawText(QStringLiteral("abc abc abc"), &wrapped, DT_WORDBREAK | DT_CALCRECT), 512);

    const int spacing[2] = {300, 400};
    dc.ExtTextOut(5, 6, ETO_IGNORELANGUAGE, nullptr, QStringLiteral("ab"), spacing);
    EXPECT_EQ(dc.records.back().dx, (std::vector<int>{300, 400}));
    EXPECT_FALSE(dc.records.back().hasRect);

    // Face names are cut to 31 characters; an unknown face is substituted.
    LOGFONTW longName;
    SetFaceName(longName, QString(40, QLatin1Char('x')));
    EXPECT_EQ(FaceNameOf(longName).size(), 31);
    EXPECT_EQ(longName.lfFaceName[31], u'\0');
    EXPECT_EQ(SubstituteFaceName(QStringLiteral("No Such Face 123")), QStringLiteral("Liberation Sans"));
}
