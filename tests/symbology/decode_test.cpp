// Every variant drawn through the QPainter device context at 0.01 inch modules and 300 dpi, then
// read back by an independent decoder (zxing-cpp).

#include "framework/dc.h"
#include "framework/painterdc.h"
#include "support/testoutput.h"
#include "symbology/barcode.h"
#include "zxing_read.h"

#include <gtest/gtest.h>

#include <QImage>

#include <memory>
#include <string>

namespace {

constexpr int kDpi = 300;
constexpr int kMargin = 480;  // white around the symbol, drawing units (0.3125 inch)

QImage BlankImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(kDpi / 0.0254));
    image.setDotsPerMeterY(qRound(kDpi / 0.0254));
    image.fill(Qt::white);
    return image;
}

// Fits the symbol of the text with an 8-point Arial on a small probe, then draws it on a white
// image with a margin.
QImage Render(CBarcode& code, const QString& text)
{
    LOGFONTW lf;
    lf.lfHeight = -MulDiv(8, BARCODE_UNITS_PER_INCH, 72);
    lf.lfWeight = FW_NORMAL;
    SetFaceName(lf, "Arial");
    CFont font;
    font.CreateFontIndirect(&lf);
    CRect rect(kMargin, kMargin, 0, 0);
    QImage image = BlankImage(16, 16);
    for (bool draw : {false, true}) {
        if (draw)
            image = BlankImage(MulDiv(rect.right + kMargin, kDpi, BARCODE_UNITS_PER_INCH),
                               MulDiv(rect.bottom + kMargin, kDpi, BARCODE_UNITS_PER_INCH));
        CPainterDC dc(&image);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(BARCODE_UNITS_PER_INCH, BARCODE_UNITS_PER_INCH);
        dc.SetViewportExt(kDpi, kDpi);
        CFont* old = dc.SelectObject(&font);
        code.SetText(&dc, text, &rect, 3.0);
        if (draw)
            code.Draw(&dc, rect);
        dc.SelectObject(old);
    }
    return image;
}

using zxread::Decode;

// Draws each text in the symbology and expects the decoder to give back the expected data.
void ExpectRoundTrip(int id, ZXing::BarcodeFormat format, const std::vector<std::pair<QString, std::string>>& cases,
                     const QString& pngName, bool fullAscii = false)
{
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::unique_ptr<CBarcode> code(CreateBarcode(id, 0.01f, 0.4f));
        const QImage image = Render(*code, cases[i].first);
        if (i == 0)
            image.save(TestOutputDir() + "/symbology-" + pngName + ".png");
        EXPECT_EQ(Decode(image, format, false, fullAscii).text, cases[i].second) << "id " << id << " text " << cases[i].first.toStdString();
    }
}

// The characters from..to, typed and expected back.
std::pair<QString, std::string> AsciiRow(int from, int to)
{
    std::string s;
    for (int c = from; c <= to; ++c)
        s += char(c);
    return {QString::fromLatin1(s.data(), qsizetype(s.size())), s};
}

}  // namespace

TEST(DecodeCode39, FullCharacterSet)
{
    ExpectRoundTrip(BARCODE_ID_CODE39, ZXing::BarcodeFormat::Code39,
                    {{"CODE39", "CODE39"}, {"0123456789", "0123456789"}, {"ABCDEFGHIJKLM", "ABCDEFGHIJKLM"},
                     {"NOPQRSTUVWXYZ", "NOPQRSTUVWXYZ"}, {"-. $/+%", "-. $/+%"}, {"Ab1", "A1"}},
                    "code39");
}

TEST(DecodeCode39Full, EveryAsciiCharacter)
{
    ExpectRoundTrip(BARCODE_ID_CODE39_FULL, ZXing::BarcodeFormat::Code39,
                    {{"Hello, World!", "Hello, World!"}, AsciiRow(32, 63), AsciiRow(64, 95), AsciiRow(96, 127),
                     AsciiRow(1, 31), {QString::fromUtf16(u"a\u00e9z"), "az"}},
                    "code39full", true);
}

TEST(DecodeCode93, EveryAsciiCharacter)
{
    ExpectRoundTrip(BARCODE_ID_CODE93, ZXing::BarcodeFormat::Code93,
                    {{"TEST93", "TEST93"}, AsciiRow(32, 79), AsciiRow(80, 127), AsciiRow(1, 31), {"a", "a"}},
                    "code93");
}

TEST(DecodeCode128, SetsAAndB)
{
    ExpectRoundTrip(BARCODE_ID_CODE128_A, ZXing::BarcodeFormat::Code128,
                    {{"CODE 128 A", "CODE 128 A"}, AsciiRow(32, 95), AsciiRow(0, 31), {"Ab1", "A1"}}, "code128a");
    ExpectRoundTrip(BARCODE_ID_CODE128_B, ZXing::BarcodeFormat::Code128,
                    {{"Code 128 B", "Code 128 B"}, AsciiRow(32, 127)}, "code128b");
}

TEST(DecodeCode128, SetCAndAuto)
{
    ExpectRoundTrip(BARCODE_ID_CODE128_C, ZXing::BarcodeFormat::Code128,
                    {{"12345", "012345"}, {"12a4", "1204"}}, "code128c");
    ExpectRoundTrip(BARCODE_ID_CODE128_AUTO, ZXing::BarcodeFormat::Code128,
                    {{"AB12345678cd", "AB12345678cd"}, {"12345", "12345"}, {"ab\x01x\x1f" "99", "ab\x01x\x1f" "99"},
                     {"\x01" "AB" + AsciiRow(96, 127).first, "\x01" "AB" + AsciiRow(96, 127).second},
                     {"Text 0123456789 more", "Text 0123456789 more"}},
                    "code128auto");
}

TEST(DecodeCode128, AutoWithFnc1)
{
    // FNC1 after the first place reads back as the group separator.
    const QChar fnc1(char16_t(136));
    ExpectRoundTrip(BARCODE_ID_CODE128_AUTO, ZXing::BarcodeFormat::Code128,
                    {{QString("123") + fnc1 + "45", "123\x1d" "45"},
                     {QString("AB1234") + fnc1 + "5" + fnc1 + "67", "AB1234\x1d" "5\x1d" "67"}},
                    "code128fnc1");
    // In the first place it marks GS1 data.
    std::unique_ptr<CBarcode> code(CreateBarcode(BARCODE_ID_CODE128_AUTO, 0.01f, 0.4f));
    const zxread::Read read = Decode(Render(*code, QString(fnc1) + "0109501101530003"), ZXing::BarcodeFormat::Code128);
    EXPECT_EQ(read.text, "0109501101530003");
    EXPECT_EQ(read.symbologyId, "]C1");
}

TEST(DecodeEanUpc, PublishedExamples)
{
    ExpectRoundTrip(BARCODE_ID_EAN13, ZXing::BarcodeFormat::EAN13,
                    {{"4006381333931", "4006381333931"}, {"590123412345", "5901234123457"}, {"12", "0000000000123"}},
                    "ean13");
    ExpectRoundTrip(BARCODE_ID_EAN8, ZXing::BarcodeFormat::EAN8, {{"96385074", "96385074"}, {"1234567", "12345670"}}, "ean8");
    ExpectRoundTrip(BARCODE_ID_UPCA, ZXing::BarcodeFormat::UPCA, {{"036000291452", "036000291452"}}, "upca");
    ExpectRoundTrip(BARCODE_ID_UPCE, ZXing::BarcodeFormat::UPCE,
                    {{"01234565", "01234565"}, {"0123450", "01234505"}, {"0654323", "06543236"}, {"0987654", "09876547"},
                     {"0123457", "01234572"}},
                    "upce");
}

TEST(DecodeInterleaved2of5, EvenAndOddLengths)
{
    ExpectRoundTrip(BARCODE_ID_I2OF5, ZXing::BarcodeFormat::ITF,
                    {{"1234567890", "1234567890"}, {"12345", "012345"}, {"9876-543210", "9876543210"}}, "i2of5");
    ExpectRoundTrip(BARCODE_ID_ITF14, ZXing::BarcodeFormat::ITF, {{"09501101530003", "09501101530003"}}, "itf14");
}

TEST(DecodeCodabar, BetweenStartAndStopA)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(BARCODE_ID_CODABAR, 0.01f, 0.4f));
    EXPECT_EQ(Decode(Render(*code, "37859"), ZXing::BarcodeFormat::Codabar, true).text, "A37859A");
    ExpectRoundTrip(BARCODE_ID_CODABAR, ZXing::BarcodeFormat::Codabar,
                    {{"0123456789", "0123456789"}, {"-$:/.+", "-$:/.+"}, {"12", "12"}, {"123", "123"}}, "codabar-set");
}
