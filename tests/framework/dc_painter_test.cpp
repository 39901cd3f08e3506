// The QPainter back end: fonts on a real device, and one scene drawn into an image and into a
// PDF that must put its pixels where the recording back end says the shapes are.

#include "dc_helpers.h"
#include "framework/painterdc.h"
#include "framework/recordingdc.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "support/testoutput.h"

namespace {

using Kind = CRecordedPrimitive::Kind;

constexpr int kWidth = 400;
constexpr int kHeight = 300;

QImage WhiteImage(int w = kWidth, int h = kHeight)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

// Bounding box of the pixels darker than mid grey.
QRect InkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Sixteen logical units are one pixel; the viewport origin sits at (8, 8).
int L(int pixels) { return (pixels - 8) * 16; }

void DrawScene(CDC& dc)
{
    SetInchMapping(dc, CPoint(8, 8));

    CBrush red(RGB(255, 0, 0));
    dc.SelectObject(&red);
    dc.Rectangle(L(20), L(20), L(80), L(60));

    CBrush blue(RGB(0, 0, 255));
    const CRect fill(L(100), L(20), L(140), L(60));
    dc.FillRect(&fill, &blue);

    CBrush green(RGB(0, 160, 0));
    dc.SelectObject(&green);
    dc.SelectStockObject(NULL_PEN);
    dc.Rectangle(L(200), L(60), L(160), L(20));  // unnormalised
    dc.SelectStockObject(BLACK_PEN);

    CBrush yellow(RGB(255, 255, 0));
    dc.SelectObject(&yellow);
    dc.Ellipse(L(20), L(80), L(100), L(140));

    CBrush magenta(RGB(255, 0, 255));
    dc.SelectObject(&magenta);
    const CPoint triangle[3] = {CPoint(L(120), L(80)), CPoint(L(200), L(80)), CPoint(L(160), L(140))};
    dc.Polygon(triangle, 3);

    dc.MoveTo(L(220), L(20));
    dc.LineTo(L(300), L(20));

    CPen dotted(PS_DOT, 0, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&dotted);
    dc.SetBkMode(TRANSPARENT);
    dc.MoveTo(L(220), L(40));
    dc.LineTo(L(220), L(100));
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(RGB(0, 200, 255));
    dc.MoveTo(L(240), L(40));
    dc.LineTo(L(240), L(100));
    dc.SelectObject(old);

    CPen frame(PS_INSIDEFRAME, 5 * 16, RGB(0, 0, 128));
    dc.SelectObject(&frame);
    dc.SelectStockObject(NULL_BRUSH);
    dc.Rectangle(L(260), L(120), L(320), L(160));
    dc.SelectStockObject(BLACK_PEN);

    CFont font;
    const LOGFONTW lf = Font(256);
    font.CreateFontIndirectW(&lf);
    CFont* oldFont = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.TextOut(L(20), L(200), QStringLiteral("Hello 12"));
    dc.SelectObject(oldFont);
}

QColor At(const QImage& img, int x, int y) { return QColor(img.pixel(x, y)); }

bool Near(const QColor& a, COLORREF c, int tolerance = 40)
{
    return std::abs(a.red() - GetRValue(c)) <= tolerance && std::abs(a.green() - GetGValue(c)) <= tolerance &&
           std::abs(a.blue() - GetBValue(c)) <= tolerance;
}

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

// Checks the pixels of a rendering against the recorded primitives, at known places.
void CheckScene(const QImage& img, const CRecordingDC& rec)
{
    ASSERT_EQ(img.size(), QSize(kWidth, kHeight));
    auto device = [&](CRect r) {
        rec.LPtoDP(&r);
        r.NormalizeRect();
        return r;
    };
    const auto& p = rec.records;
    ASSERT_EQ(p.size(), 10u);
    auto expect = [&](int x, int y, COLORREF c, const char* what) {
        EXPECT_TRUE(Near(At(img, x, y), c)) << what << " at " << x << "," << y << " is "
                                            << At(img, x, y).name().toStdString();
    };

    // Outlined and filled rectangle: edges exact, right and bottom exclusive.
    ASSERT_EQ(p[0].kind, Kind::Rectangle);
    CRect r = device(p[0].rect);
    EXPECT_EQ(r, CRect(20, 20, 80, 60));
    expect(r.left, r.top, p[0].pen.lopnColor, "rectangle outline");
    expect(r.right - 1, r.bottom - 1, p[0].pen.lopnColor, "rectangle outline");
    expect(r.right - 2, r.bottom - 2, p[0].brush.lbColor, "rectangle fill");
    expect(r.right, r.bottom - 1, kWhite, "right of rectangle");
    expect(r.right - 1, r.bottom, kWhite, "below rectangle");

    ASSERT_EQ(p[1].kind, Kind::Fill);
    r = device(p[1].rect);
    expect(r.right - 1, r.bottom - 1, p[1].colour, "fill");
    expect(r.right, r.bottom - 1, kWhite, "right of fill");

    // Without a pen the fill stops one pixel short on the right and at the bottom.
    ASSERT_EQ(p[2].kind, Kind::Rectangle);
    EXPECT_EQ(p[2].pen.lopnStyle, PS_NULL);
    r = device(p[2].rect);
    EXPECT_EQ(r, CRect(160, 20, 200, 60));
    expect(r.left, r.top, p[2].brush.lbColor, "pen-less rectangle");
    expect(r.right - 2, r.bottom - 2, p[2].brush.lbColor, "pen-less rectangle");
    expect(r.right - 1, r.bottom - 2, kWhite, "pen-less rectangle's right column");
    expect(r.right - 2, r.bottom - 1, kWhite, "pen-less rectangle's bottom row");

    ASSERT_EQ(p[3].kind, Kind::Ellipse);
    r = device(p[3].rect);
    expect(r.CenterPoint().x, r.CenterPoint().y, p[3].brush.lbColor, "ellipse inside");
    expect(r.left, r.CenterPoint().y, kBlack, "ellipse outline");
    expect(r.right, r.CenterPoint().y, kWhite, "right of ellipse");

    ASSERT_EQ(p[4].kind, Kind::Polygon);
    ASSERT_EQ(p[4].points.size(), 3u);
    CPoint tri[3] = {p[4].points[0], p[4].points[1], p[4].points[2]};
    rec.LPtoDP(tri, 3);
    expect((tri[0].x + tri[1].x + tri[2].x) / 3, (tri[0].y + tri[1].y + tri[2].y) / 3,
           p[4].brush.lbColor, "polygon inside");
    expect(tri[0].x + 2, tri[2].y - 2, kWhite, "outside the polygon");

    // A solid line stops before its end point.
    ASSERT_EQ(p[5].kind, Kind::Line);
    CPoint line[2] = {p[5].points[0], p[5].points[1]};
    rec.LPtoDP(line, 2);
    expect(line[0].x, line[0].y, kBlack, "line start");
    expect(line[1].x, line[1].y, kWhite, "line end point");
    expect(line[0].x, line[0].y + 1, kWhite, "below the line");

    // Dotted lines: three on, three off; the gaps take the background colour when opaque.
    ASSERT_EQ(p[6].kind, Kind::Line);
    EXPECT_EQ(p[6].pen.lopnStyle, PS_DOT);
    EXPECT_EQ(p[6].bkMode, TRANSPARENT);
    CPoint dots[2] = {p[6].points[0], p[7].points[0]};
    rec.LPtoDP(dots, 2);
    for (int i = 0; i < 12; ++i) {
        const bool on = (i / 3) % 2 == 0;
        expect(dots[0].x, dots[0].y + i, on ? kBlack : kWhite, "transparent dotted line");
        expect(dots[1].x, dots[1].y + i, on ? kBlack : p[7].bkColor, "opaque dotted line");
    }

    // An inside-frame pen keeps its whole width inside the rectangle.
    ASSERT_EQ(p[8].kind, Kind::Rectangle);
    EXPECT_EQ(p[8].pen.lopnStyle, PS_INSIDEFRAME);
    r = device(p[8].rect);
    for (int i = 0; i < 5; ++i) {
        expect(r.left + i, r.top + i, p[8].pen.lopnColor, "inside frame");
        expect(r.right - 1 - i, r.bottom - 1 - i, p[8].pen.lopnColor, "inside frame");
    }
    expect(r.left + 5, r.top + 5, kWhite, "inside the frame");
    expect(r.right, r.bottom - 1, kWhite, "outside the frame");

    // Text: ink inside its cell, starting at the reference point, nothing beyond it.
    ASSERT_EQ(p[9].kind, Kind::Text);
    CPoint origin = p[9].points[0];
    rec.LPtoDP(&origin);
    const QImage textArea = img.copy(origin.x - 4, origin.y - 4, 200, 30);
    const QRect ink = InkBox(textArea).translated(origin.x - 4, origin.y - 4);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), origin.x);
    EXPECT_LE(ink.left(), origin.x + 3);
    EXPECT_GE(ink.top(), origin.y);
    EXPECT_LT(ink.bottom(), origin.y + 16);
    EXPECT_GE(ink.height(), 9);  // cap height of a 16-pixel cell
}

}  // namespace

TEST(PainterDeviceContext, FontsFollowTheMapping)
{
    QImage img = WhiteImage();
    CPainterDC dc(&img);
    SetInchMapping(dc);
    EXPECT_EQ(dc.GetDeviceCaps(HORZRES), kWidth);

    // A 256-unit cell is 16 pixels at 96 of 1536.
    CFont cell;
    const LOGFONTW lfCell = Font(256);
    cell.CreateFontIndirect(&lfCell);
    dc.SelectObject(&cell);
    TEXTMETRICW tm;
    dc.GetTextMetrics(&tm);
    EXPECT_EQ(tm.tmHeight, 256);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 256);
    EXPECT_EQ(dc.GetTextExtent(QStringLiteral("HH")).cy, 256);
    const LONG natural = tm.tmAveCharWidth;
    const LONG wide = dc.GetTextExtent(QStringLiteral("HHHHHHHH")).cx;
    // A tab is the font's glyph for U+0009, the width of a space, not a tab stop.
    EXPECT_EQ(dc.GetTextExtent(QStringLiteral("H\tH")), dc.GetTextExtent(QStringLiteral("H H")));

    // A negative height is the character height: the cell is taller.
    CFont em;
    const LOGFONTW lfEm = Font(-256);
    em.CreateFontIndirect(&lfEm);
    dc.SelectObject(&em);
    dc.GetTextMetrics(&tm);
    EXPECT_GT(tm.tmHeight, 256);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 256);

    // lfWidth stretches the font to that average width.
    CFont stretched;
    const LOGFONTW lfWide = Font(256, 2 * natural);
    stretched.CreateFontIndirect(&lfWide);
    dc.SelectObject(&stretched);
    dc.GetTextMetrics(&tm);
    EXPECT_EQ(tm.tmAveCharWidth, 2 * natural);
    EXPECT_EQ(tm.tmHeight, 256);
    EXPECT_NEAR(dc.GetTextExtent(QStringLiteral("HHHHHHHH")).cx, 2 * wide, 2 * wide / 10);  // the average was rounded

    dc.SetBkMode(TRANSPARENT);
    dc.SelectObject(&cell);
    dc.TextOut(160, 160, QStringLiteral("HHHHHHHH"));
    dc.SelectObject(&stretched);
    dc.TextOut(160, 960, QStringLiteral("HHHHHHHH"));
    const QRect plain = InkBox(img.copy(0, 0, kWidth, 40));
    const QRect broad = InkBox(img.copy(0, 50, kWidth, 40));
    EXPECT_NEAR(broad.width(), 2 * plain.width(), 6);
    EXPECT_NEAR(broad.height(), plain.height(), 1);

    // The Ming face of the design is drawn with its stand-in: ideographs one em wide.
    CFont ming;
    LOGFONTW lfMing = Font(-256);
    SetFaceName(lfMing, QString::fromUtf16(u"細明體"));
    ming.CreateFontIndirect(&lfMing);
    dc.SelectObject(&ming);
    EXPECT_NEAR(dc.GetTextExtent(QString::fromUtf16(u"細明體")).cx, 3 * 256, 16);
}

TEST(PainterDeviceContext, EscapementTurnsTextCounterClockwise)
{
    QImage img = WhiteImage(200, 200);
    {
        CPainterDC dc(&img);
        CFont font;
        const LOGFONTW lf = Font(20, 0, 900);
        font.CreateFontIndirect(&lf);
        dc.SelectObject(&font);
        dc.SetBkMode(TRANSPARENT);
        dc.TextOut(100, 150, QStringLiteral("HHHHHH"));
    }
    const QRect ink = InkBox(img);
    ASSERT_FALSE(ink.isEmpty());
    // The text runs upwards from the reference point; the tops of the letters face left.
    EXPECT_GT(ink.height(), 2 * ink.width());
    EXPECT_LE(ink.bottom(), 150);
    EXPECT_GE(ink.left(), 100);
    EXPECT_LE(ink.right(), 100 + 20);
}

TEST(PainterDeviceContext, ClippingSavedStatesAndInversionOnAnImage)
{
    QImage img = WhiteImage(100, 100);
    {
        CPainterDC dc(&img);
        const int saved = dc.SaveDC();
        dc.IntersectClipRect(10, 10, 60, 60);
        dc.ExcludeClipRect(20, 20, 30, 30);
        const CRect all(0, 0, 100, 100);
        dc.FillSolidRect(&all, RGB(0, 0, 0));
        dc.RestoreDC(saved);
        const CRect band(0, 80, 100, 90);
        dc.FillSolidRect(&band, RGB(255, 0, 0));
        const CRect part(0, 85, 50, 95);
        dc.InvertRect(&part);
        const CRect focus(70, 10, 80, 20);
        dc.DrawFocusRect(&focus);
        dc.DrawFocusRect(&focus);  // twice: gone again
    }
    EXPECT_EQ(At(img, 59, 59), QColor(Qt::black));
    EXPECT_EQ(At(img, 60, 59), QColor(Qt::white));
    EXPECT_EQ(At(img, 9, 10), QColor(Qt::white));
    EXPECT_EQ(At(img, 29, 29), QColor(Qt::white));
    EXPECT_EQ(At(img, 30, 29), QColor(Qt::black));
    EXPECT_EQ(At(img, 70, 85), QColor(Qt::red));
    EXPECT_EQ(At(img, 10, 85), QColor(Qt::cyan));    // inverted red
    EXPECT_EQ(At(img, 10, 92), QColor(Qt::black));   // inverted white
    EXPECT_EQ(At(img, 72, 19), QColor(Qt::white));
}

TEST(PainterDeviceContext, SceneOnImageAndPdfMatchesTheRecording)
{
    CRecordingDC rec(CSize(kWidth, kHeight));
    DrawScene(rec);

    QImage img = WhiteImage();
    {
        CPainterDC dc(&img);
        DrawScene(dc);
    }
    const QString dir = TestOutputDir();
    img.save(dir + QStringLiteral("/dc_scene.png"));
    {
        SCOPED_TRACE("image");
        CheckScene(img, rec);
    }

    const QString pdf = dir + QStringLiteral("/dc_scene.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setResolution(96);
        writer.setPageSize(QPageSize(QSizeF(kWidth * 72.0 / 96.0, kHeight * 72.0 / 96.0), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        CPainterDC dc(&writer, true);
        EXPECT_EQ(dc.GetDeviceCaps(PHYSICALWIDTH), kWidth);
        DrawScene(dc);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed";
    const QString prefix = dir + QStringLiteral("/dc_scene_pdf");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("96"),
                  QStringLiteral("-singlefile"), pdf, prefix});
    ASSERT_TRUE(render.waitForFinished(30000)) << "pdftoppm did not finish within 30 s";
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    const QImage page(prefix + QStringLiteral(".png"));
    SCOPED_TRACE("pdf");
    CheckScene(page.convertToFormat(QImage::Format_RGB32), rec);
}

TEST(PainterDeviceContext, ARunDrawnAgainLooksTheSameAndKeepsItsUnderline)
{
    QImage img = WhiteImage();
    CPainterDC dc(&img);
    SetInchMapping(dc);
    dc.SetBkMode(TRANSPARENT);
    CFont underlined;
    LOGFONTW lf = Font(512);
    lf.lfUnderline = 1;
    underlined.CreateFontIndirect(&lf);
    dc.SelectObject(&underlined);
    const CSize before = dc.GetTextExtent(QStringLiteral("HxH"));
    dc.TextOut(160, 160, QStringLiteral("HxH"));
    dc.TextOut(3360, 160, QStringLiteral("HxH"));
    EXPECT_EQ(dc.GetTextExtent(QStringLiteral("HxH")), before);
    // Trailing and leading spaces take their room.
    const LONG space = dc.GetTextExtent(QStringLiteral(" ")).cx;
    EXPECT_GT(space, 0);
    EXPECT_EQ(dc.GetTextExtent(QStringLiteral("HxH  ")).cx, before.cx + 2 * space);
    EXPECT_EQ(dc.GetTextExtent(QStringLiteral("  HxH")).cx, before.cx + 2 * space);

    // 512 units are 32 pixels; the runs start 10 and 210 pixels right.
    const QImage first = img.copy(0, 0, 200, 60), second = img.copy(200, 0, 200, 60);
    EXPECT_EQ(InkBox(first), InkBox(second));
    EXPECT_EQ(first, second);
    // The underline is a row of ink across the whole run.
    const QRect ink = InkBox(first);
    int longest = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        int dark = 0;
        for (int x = ink.left(); x <= ink.right(); ++x)
            dark += qGray(first.pixel(x, y)) < 128;
        longest = std::max(longest, dark);
    }
    EXPECT_GE(longest, ink.width() * 8 / 10);
}

TEST(PainterDeviceContext, ASpacedRunPlacesEachCharacterAsIfDrawnAlone)
{
    // Spacing moves back (overprinting) and forward and lets characters touch, joining their
    // underlines; plain, stretched, and underlined and struck-out fonts.
    const QString text = QStringLiteral("Wg\tfi\u4E2DxH");
    const int dx[] = {700, 300, 420, -600, 900, 356, 400, 380};
    LOGFONTW plain = Font(512), stretched = Font(512, 300), ruled = Font(512);
    ruled.lfUnderline = ruled.lfStrikeOut = 1;
    for (const LOGFONTW& lf : {plain, stretched, ruled}) {
        QImage run = WhiteImage(), alone = WhiteImage();
        for (QImage* img : {&run, &alone}) {
            CPainterDC dc(img);
            SetInchMapping(dc);
            dc.SetBkMode(TRANSPARENT);
            CFont font;
            font.CreateFontIndirect(&lf);
            dc.SelectObject(&font);
            for (int i = 0, x = 160; img == &alone && i < int(text.size()); x += dx[i++])
                dc.ExtTextOut(x, 800, 0, nullptr, text.mid(i, 1));
            if (img == &run)
                dc.ExtTextOut(160, 800, 0, nullptr, text, dx);
        }
        // Where characters overlap, anti-aliased edges may differ by a shade.
        ASSERT_FALSE(InkBox(run).isEmpty());
        EXPECT_EQ(InkBox(run), InkBox(alone)) << lf.lfWidth << " " << int(lf.lfUnderline);
        int differ = 0;
        for (int y = 0; y < run.height(); ++y)
            for (int x = 0; x < run.width(); ++x)
                differ += std::abs(qGray(run.pixel(x, y)) - qGray(alone.pixel(x, y))) > 64;
        EXPECT_LE(differ, 8) << lf.lfWidth << " " << int(lf.lfUnderline);
    }
}
