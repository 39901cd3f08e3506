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

// The characters from..to, typed and expected back.
std::pair<QString, std::string> AsciiRow(int from, int to)
{
    std::string s;
    for (int c = from; c <= to; ++c)
        s += char(c);
    return {QString::fromLatin1(s.data(), qsizetype(s.size())), s};
}

std::pair<QString, std::string> Same(const char* text)
{
    return {QString::fromLatin1(text), text};
}

}  // namespace

// Each text drawn in its symbology and read back as the expected data.
TEST(Decode, EverySymbologyReadsBack)
{
    using F = ZXing::BarcodeFormat;
    const QChar fnc1(char16_t(136));
    struct Set {
        int id;
        F format;
        const char* png;
        std::vector<std::pair<QString, std::string>> cases;
    };
    const Set sets[] = {
        {BARCODE_ID_CODE39, F::Code39, "code39",
         {Same("CODE39"), Same("0123456789"), Same("ABCDEFGHIJKLM"), Same("NOPQRSTUVWXYZ"), Same("-. $/+%"), {"Ab1", "A1"}}},
        {BARCODE_ID_CODE39_FULL, F::Code39, "code39full",
         {Same("Hello, World!"), AsciiRow(32, 63), AsciiRow(64, 95), AsciiRow(96, 127), AsciiRow(1, 31),
          {QString::fromUtf16(u"a\u00e9z"), "az"}}},
        {BARCODE_ID_CODE93, F::Code93, "code93", {Same("TEST93"), AsciiRow(32, 79), AsciiRow(80, 127), AsciiRow(1, 31), Same("a")}},
        {BARCODE_ID_CODE128_A, F::Code128, "code128a", {Same("CODE 128 A"), AsciiRow(32, 95), AsciiRow(0, 31), {"Ab1", "A1"}}},
        {BARCODE_ID_CODE128_B, F::Code128, "code128b", {Same("Code 128 B"), AsciiRow(32, 127)}},
        {BARCODE_ID_CODE128_C, F::Code128, "code128c", {{"12345", "012345"}, {"12a4", "1204"}}},
        {BARCODE_ID_CODE128_AUTO, F::Code128, "code128auto",
         {Same("AB12345678cd"), Same("12345"), Same("ab\x01x\x1f" "99"),
          {"\x01" "AB" + AsciiRow(96, 127).first, "\x01" "AB" + AsciiRow(96, 127).second}, Same("Text 0123456789 more"),
          // FNC1 after the first place reads back as the group separator.
          {QString("123") + fnc1 + "45", "123\x1d" "45"},
          {QString("AB1234") + fnc1 + "5" + fnc1 + "67", "AB1234\x1d" "5\x1d" "67"}}},
        {BARCODE_ID_EAN13, F::EAN13, "ean13", {Same("4006381333931"), {"590123412345", "5901234123457"}, {"12", "0000000000123"}}},
        {BARCODE_ID_EAN8, F::EAN8, "ean8", {Same("96385074"), {"1234567", "12345670"}}},
        {BARCODE_ID_UPCA, F::UPCA, "upca", {Same("036000291452")}},
        {BARCODE_ID_UPCE, F::UPCE, "upce",
         {Same("01234565"), {"0123450", "01234505"}, {"0654323", "06543236"}, {"0987654", "09876547"}, {"0123457", "01234572"}}},
        {BARCODE_ID_I2OF5, F::ITF, "i2of5", {Same("1234567890"), {"12345", "012345"}, {"9876-543210", "9876543210"}}},
        {BARCODE_ID_ITF14, F::ITF, "itf14", {Same("09501101530003")}},
        {BARCODE_ID_CODABAR, F::Codabar, "codabar-set", {Same("0123456789"), Same("-$:/.+"), Same("12"), Same("123")}},
    };
    for (const Set& set : sets) {
        for (std::size_t i = 0; i < set.cases.size(); ++i) {
            std::unique_ptr<CBarcode> code(CreateBarcode(set.id, 0.01f, 0.4f));
            const QImage image = Render(*code, set.cases[i].first);
            if (i == 0)
                image.save(TestOutputDir() + "/symbology-" + set.png + ".png");
            EXPECT_EQ(Decode(image, set.format, false, set.id == BARCODE_ID_CODE39_FULL).text, set.cases[i].second)
                << "id " << set.id << " text " << set.cases[i].first.toStdString();
        }
    }
}

TEST(Decode, Fnc1FirstMarksGs1AndCodabarStartsAndStopsWithA)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(BARCODE_ID_CODE128_AUTO, 0.01f, 0.4f));
    const zxread::Read read = Decode(Render(*code, QChar(char16_t(136)) + QString("0109501101530003")), ZXing::BarcodeFormat::Code128);
    EXPECT_EQ(read.text, "0109501101530003");
    EXPECT_EQ(read.symbologyId, "]C1");
    code.reset(CreateBarcode(BARCODE_ID_CODABAR, 0.01f, 0.4f));
    EXPECT_EQ(Decode(Render(*code, "37859"), ZXing::BarcodeFormat::Codabar, true).text, "A37859A");
}
