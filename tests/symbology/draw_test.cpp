// Geometry of the drawn symbols, recorded in drawing units with fixed font metrics: the bar band,
// the first bar by text alignment, the human-readable line on screen and on paper, the EAN/UPC
// guards and digits, the ITF-14 frame.

#include "framework/recordingdc.h"
#include "symbology/barcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using Kind = CRecordedPrimitive::Kind;

// A 96 dpi context mapped to drawing units, with a font 171 units high (average width 85).
struct Scene {
    explicit Scene(bool printing = false, int fontHeight = 171) : dc(CSize(4000, 4000), 96, printing)
    {
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(BARCODE_UNITS_PER_INCH, BARCODE_UNITS_PER_INCH);
        dc.SetViewportExt(96, 96);
        LOGFONTW lf;
        lf.lfHeight = -fontHeight;
        font.CreateFontIndirect(&lf);
        dc.SelectObject(&font);
    }

    // Fits and draws; returns the fitted rectangle.
    CRect Draw(CBarcode& code, const QString& text, CPoint at = CPoint(0, 0))
    {
        CRect rect(at.x, at.y, 0, 0);
        code.SetText(&dc, text, &rect, 3.0);
        dc.records.clear();
        code.Draw(&dc, rect);
        return rect;
    }

    std::vector<const CRecordedPrimitive*> Of(Kind kind) const
    {
        std::vector<const CRecordedPrimitive*> out;
        for (const auto& r : dc.records)
            if (r.kind == kind)
                out.push_back(&r);
        return out;
    }
    std::vector<CRect> Fills() const
    {
        std::vector<CRect> out;
        for (const auto* r : Of(Kind::Fill))
            out.push_back(r->rect);
        return out;
    }
    std::vector<const CRecordedPrimitive*> Texts() const { return Of(Kind::Text); }

    CFont font;
    CRecordingDC dc;
};

std::unique_ptr<CBarcode> Make(int id)
{
    return std::unique_ptr<CBarcode>(CreateBarcode(id, 0.01f, 0.4f));
}

}  // namespace

TEST(DrawFrame, BandAndTextBelowOrAbove)
{
    Scene s;
    auto code = Make(BARCODE_ID_CODE39);
    const CRect rect = s.Draw(*code, "AB");
    EXPECT_EQ(rect.Height(), 614 + 171);
    EXPECT_EQ(rect.Width(), 4 * 240);  // bars wider than the text
    // Every bar spans the band from top to bottom.
    auto expectBand = [&s](int top, int bottom) {
        const auto fills = s.Fills();
        ASSERT_FALSE(fills.empty());
        for (const CRect& f : fills)
            EXPECT_EQ(f, CRect(f.left, top, f.right, bottom));
    };
    expectBand(0, 614);
    EXPECT_EQ(s.Fills().front().left, 0);
    EXPECT_EQ(s.Fills().back().right, 4 * 240 - 15);  // the last gap is a space
    ASSERT_EQ(s.Texts().size(), 1u);
    EXPECT_EQ(s.Texts()[0]->points[0].y, 614);
    EXPECT_EQ(s.Texts()[0]->text, "AB");

    code->SetTextPos(1);
    s.Draw(*code, "AB");
    expectBand(171, 785);
    EXPECT_EQ(s.Texts()[0]->points[0].y, 0);

    // Hidden text lets the bars fill the rectangle, whichever side the text was on.
    code->SetShowText(FALSE);
    EXPECT_EQ(s.Draw(*code, "AB").Height(), 614);
    EXPECT_TRUE(s.Texts().empty());
    expectBand(0, 614);
}

TEST(DrawFrame, FirstBarFollowsTheAlignmentOfAWiderText)
{
    Scene s(false, 2000);  // "A" is 1000 units wide, its bars 720
    auto code = Make(BARCODE_ID_CODE39);
    for (auto [align, x0] : {std::pair{0, 140}, {1, 0}, {2, 280}, {7, 140}}) {
        code->SetTextAlign(align);
        const CRect rect = s.Draw(*code, "A", CPoint(100, 0));
        EXPECT_EQ(rect.Width(), 1000);
        EXPECT_EQ(s.Fills().front().left, 100 + x0) << align;
        EXPECT_EQ(s.Texts()[0]->points[0].x, 100) << align;  // the text fills the rectangle
    }
    // Code 128 measures no hidden text, so its bars stay at the left.
    auto code128 = Make(BARCODE_ID_CODE128_B);
    code128->SetShowText(FALSE);
    const CRect rect = s.Draw(*code128, "A");
    EXPECT_EQ(rect.Width(), 35 * 15 + 11 * 15);
    // Code 39 measures it all the same.
    code->SetShowText(FALSE);
    code->SetTextAlign(0);
    EXPECT_EQ(s.Draw(*code, "A").Width(), 1000);
    EXPECT_EQ(s.Fills().front().left, 140);
}

TEST(DrawFrame, HumanReadableTextOnScreenAndOnPaper)
{
    struct Case {
        int id;
        const char *typed, *screen, *paper;
    };
    const Case cases[] = {
        {BARCODE_ID_CODE39, "Ab1", "Ab1", "A1"},
        {BARCODE_ID_CODE39_FULL, "a\xe9" "b", "a\xe9" "b", "ab"},
        {BARCODE_ID_CODE93, "x\xffy", "x\xffy", "xy"},
        {BARCODE_ID_I2OF5, "12-34", "12-34", "1234"},
        {BARCODE_ID_ITF14, "123", "123", "123"},
        {BARCODE_ID_CODE128_A, "Ab1", "A1", "A1"},
        {BARCODE_ID_CODE128_C, "123", "0123", "0123"},
        {BARCODE_ID_CODABAR, "1#2", "1#2", "1#2"},
    };
    for (const Case& c : cases) {
        for (bool printing : {false, true}) {
            Scene s(printing);
            auto code = Make(c.id);
            s.Draw(*code, QString::fromLatin1(c.typed));
            ASSERT_EQ(s.Texts().size(), 1u) << c.id;
            EXPECT_EQ(s.Texts()[0]->text, QString::fromLatin1(printing ? c.paper : c.screen)) << c.id << printing;
        }
    }
}

TEST(DrawFrame, NothingForAnEmptyFilteredTextOrWithoutAContext)
{
    Scene s;
    for (auto [id, text] : {std::pair{BARCODE_ID_CODE39, "abc"}, {BARCODE_ID_CODE93, ""}, {BARCODE_ID_I2OF5, "x"},
                            {BARCODE_ID_CODE128_A, "xyz"}}) {
        auto code = Make(id);
        CRect rect(5, 5, 0, 0);
        code->SetText(&s.dc, QString::fromLatin1(text), &rect, 3.0);
        s.dc.records.clear();
        code->Draw(&s.dc, CRect(1, 2, 3, 4));
        EXPECT_TRUE(s.dc.records.empty()) << id;
        EXPECT_EQ(code->GetLastRect(), rect);
        code->Draw(nullptr, CRect(1, 2, 3, 4));
    }
}

TEST(DrawEanUpc, Ean13GuardsAndDigits)
{
    Scene s;
    auto code = Make(BARCODE_ID_EAN13);
    const CRect rect = s.Draw(*code, "400638133393", CPoint(1000, 500));
    const int n = 15, w0 = 85, x0 = 1000 + w0 + 10;
    EXPECT_EQ(rect.Width(), w0 + 10 + 95 * n);  // the last digit ('1', narrow) stays within
    const int bandBottom = rect.bottom - 171, e = 171 / 2;
    const auto fills = s.Fills();
    EXPECT_EQ(fills.front(), CRect(x0, 500, x0 + n, bandBottom + e));                  // start guard
    EXPECT_EQ(fills.back(), CRect(x0 + 94 * n, 500, x0 + 95 * n, bandBottom + e));     // end guard
    EXPECT_EQ(std::count_if(fills.begin(), fills.end(), [&](const CRect& f) {
                  return (f.left == x0 + 46 * n || f.left == x0 + 48 * n) && f.bottom == bandBottom + e;
              }), 2);  // the centre guard
    // A data bar stops at the band.
    EXPECT_EQ(fills[2].bottom, bandBottom);

    const auto texts = s.Texts();
    ASSERT_EQ(texts.size(), 13u);
    EXPECT_EQ(texts[0]->points[0], CPoint(1000, bandBottom));
    EXPECT_EQ(texts[0]->text, "4");
    EXPECT_EQ(texts[7]->points[0], CPoint(x0 + 50 * n, bandBottom));
    EXPECT_EQ(texts[12]->text, "1");

    // Digits above: the guards reach up instead.
    code->SetTextPos(1);
    s.Draw(*code, "400638133393", CPoint(1000, 500));
    EXPECT_EQ(s.Fills().front(), CRect(x0, 500 + 171 - e, x0 + n, rect.bottom));
    EXPECT_EQ(s.Texts()[0]->points[0], CPoint(1000, 500));

    // Hidden digits still leave their line free.
    code->SetTextPos(0);
    code->SetShowText(FALSE);
    const CRect hidden = s.Draw(*code, "400638133393", CPoint(1000, 500));
    EXPECT_EQ(hidden.Height(), 614);
    EXPECT_TRUE(s.Texts().empty());
    EXPECT_EQ(s.Fills()[2].bottom, hidden.bottom - 171);
}

TEST(DrawEanUpc, OuterDigitsOfUpcAAndUpcE)
{
    Scene s;
    const int n = 15, w = 85;
    auto upcA = Make(BARCODE_ID_UPCA);
    CRect rect = s.Draw(*upcA, "03600029145");
    EXPECT_EQ(rect.Width(), w + 95 * n + w);
    auto texts = s.Texts();
    ASSERT_EQ(texts.size(), 12u);
    EXPECT_EQ(texts[0]->points[0].x, 0);
    EXPECT_EQ(texts[11]->points[0].x, w + 95 * n);
    // The bars of the first digit run into the text line like the guards.
    EXPECT_EQ(s.Fills()[2].bottom, rect.bottom - 171 + 85);

    auto upcE = Make(BARCODE_ID_UPCE);
    rect = s.Draw(*upcE, "0123456");
    EXPECT_EQ(rect.Width(), w + 51 * n + w);
    texts = s.Texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[7]->points[0].x, w + 51 * n);
    EXPECT_EQ(texts[7]->text, "5");

    // Fonts change the width by the first digit only.
    Scene big(false, 342);
    auto ean = Make(BARCODE_ID_EAN13);
    const int small = s.Draw(*ean, "400638133393").Width();
    EXPECT_EQ(big.Draw(*ean, "400638133393").Width() - small, 171 - 85);
}

TEST(DrawItf14, BearerFrameInThePenColour)
{
    Scene s;
    CPen red(PS_SOLID, 0, RGB(255, 0, 0));
    s.dc.SelectObject(&red);
    auto code = Make(BARCODE_ID_ITF14);
    const CRect rect = s.Draw(*code, "09501101530003", CPoint(100, 100));
    const int bandBottom = rect.bottom - 171;
    ASSERT_EQ(s.Of(Kind::Rectangle).size(), 1u);
    const CRecordedPrimitive* frame = s.Of(Kind::Rectangle).back();
    EXPECT_EQ(frame->pen.lopnColor, RGB(255, 0, 0));
    EXPECT_EQ(frame->pen.lopnWidth.x, 46);  // (int)(3 x 15.36)
    EXPECT_EQ(frame->brush.lbStyle, BS_NULL);
    EXPECT_EQ(frame->rect, CRect(123, 123, rect.right - 24, bandBottom - 24));  // truncated 23.04 in
    const auto fills = s.Fills();
    EXPECT_EQ(fills.front().left, 100 + 199);  // (int)(13 x 15.36)
    EXPECT_EQ(fills.front().top, 111);
    EXPECT_EQ(fills.front().bottom, bandBottom - 12);
    // The pen and brush of the caller are back.
    s.dc.records.clear();
    s.dc.Rectangle(0, 0, 10, 10);
    EXPECT_EQ(s.dc.records.back().pen.lopnColor, RGB(255, 0, 0));
    EXPECT_NE(s.dc.records.back().brush.lbStyle, BS_NULL);
}
