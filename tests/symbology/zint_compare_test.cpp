// Our symbols against an independent encoder, libzint, module by module: 1,000 generated texts
// for each symbology, of every character class the filter lets through, odd and even lengths up
// to the longest libzint takes. libzint is given our filtered text. What differs by design is
// normalised: libzint draws Code 39, Full ASCII and Codabar at a 2:1 wide-to-narrow ratio (ours is
// given the same ratio), it chooses its own Code 128 sets (both rows are read back to their data),
// spaces after the last bar are no part of either row, and libzint refuses UPC-E numbers that
// are not in their shortest form, which ours encodes as typed.

#include "symbology/barcode.h"
#include "symbology/barcodeean.h"
#include "zxing_read.h"

#include <gtest/gtest.h>
#include <zint.h>

#include <memory>
#include <optional>
#include <random>
#include <string>

namespace {

constexpr int kTexts = 1000;

// One module of libzint's row.
bool ModuleIsSet(const zint_symbol* symbol, int row, int column)
{
    return (symbol->encoded_data[row][column >> 3] >> (column & 7)) & 1;
}

struct ZintResult {
    std::string modules;  // '1' bar, '0' space
    std::string text;     // its human-readable text
    std::string error;
};

ZintResult ZintRow(int symbology, const std::string& data)
{
    zint_symbol* symbol = ZBarcode_Create();
    symbol->symbology = symbology;
    symbol->input_mode = DATA_MODE;
    ZintResult result;
    const int status = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
    if (status >= ZINT_ERROR) {
        result.error = symbol->errtxt;
    } else {
        for (int c = 0; c < symbol->width; ++c)
            result.modules += ModuleIsSet(symbol, symbol->rows - 1, c) ? '1' : '0';
        result.text = reinterpret_cast<const char*>(symbol->text);
    }
    ZBarcode_Delete(symbol);
    return result;
}

std::string WithoutTrailingSpace(std::string row)
{
    row.erase(row.find_last_not_of('0') + 1);
    return row;
}

// Our symbol of the text, one module a narrow width of 1, the wide element `ratio` modules.
std::unique_ptr<CBarcode> Ours(int id, const QString& text, double ratio = 3.0)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(id, 1.0f / BARCODE_UNITS_PER_INCH, 0.4f));
    CRect rect;
    code->SetText(nullptr, text, &rect, ratio);
    return code;
}

// The modules of our elements.
std::string OurRow(const CBarcode& code)
{
    std::string row;
    for (const CBarcode::Element& e : code.GetElements())
        row.append(std::size_t(e.width), e.bar ? '1' : '0');
    return WithoutTrailingSpace(row);
}

std::string Latin1(const QString& s)
{
    const QByteArray bytes = s.toLatin1();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// Texts drawn from character classes, of lengths from 1 to maxLength, odd and even alike, the
// longest among them.
class TextMaker {
public:
    TextMaker(unsigned seed, std::vector<std::u16string> classes, int maxLength)
        : m_rng(seed), m_classes(std::move(classes)), m_max(maxLength)
    {
    }
    // A text of up to maxLength characters once filtered (a wide character filters to two).
    QString Next(int i)
    {
        const int length = i % 10 == 0 ? m_max - i / 10 % 2 : 1 + int(m_rng() % unsigned(m_max));
        // Runs of one class at a time, so that digit runs of every length occur.
        QString s;
        int filtered = 0;
        while (filtered < length) {
            const std::u16string& cls = m_classes[m_rng() % m_classes.size()];
            const int run = 1 + int(m_rng() % 6);
            for (int k = 0; k < run && filtered < length; ++k) {
                const char16_t c = cls[m_rng() % cls.size()];
                const int units = c >= 0x100 ? 2 : 1;
                if (filtered + units > length)
                    break;
                s += QChar(c);
                filtered += units;
            }
        }
        return s;
    }

private:
    std::mt19937 m_rng;
    std::vector<std::u16string> m_classes;
    int m_max;
};

std::u16string Range(char16_t from, char16_t to)
{
    std::u16string s;
    for (char16_t c = from; c <= to; ++c)
        s += c;
    return s;
}

const std::u16string kDigits = u"0123456789";
const std::u16string kUpper = Range('A', 'Z');
const std::u16string kLower = Range('a', 'z');
const std::u16string kWide = u"\u0100\u20ac\u4e2d";  // each becomes "00"

// What a comparison found: nothing to compare (no data, or more than libzint takes), the same
// row, or a difference.
using Outcome = std::optional<std::string>;

// Compares every text's rows; reports the first few differences and counts them all. Most texts
// must have been compared.
template <class Compare>
void CompareAll(const char* name, TextMaker maker, Compare compare)
{
    int differences = 0;
    int compared = 0;
    for (int i = 0; i < kTexts; ++i) {
        const QString text = maker.Next(i);
        const Outcome problem = compare(text);
        if (!problem)
            continue;
        ++compared;
        if (!problem->empty() && ++differences <= 5)
            ADD_FAILURE() << name << " text \"" << text.toStdString() << "\": " << *problem;
    }
    EXPECT_EQ(differences, 0) << name;
    EXPECT_GT(compared, kTexts * 4 / 5) << name;
}

Outcome RowProblem(const std::string& ours, const ZintResult& zint)
{
    if (zint.error.find("too long") != std::string::npos)
        return std::nullopt;
    if (!zint.error.empty())
        return "libzint refused it: " + zint.error;
    if (WithoutTrailingSpace(ours) != WithoutTrailingSpace(zint.modules))
        return "ours\n" + ours + "\nlibzint\n" + zint.modules;
    return std::string();
}

// The data of a Code 128 row, read by zxing-cpp from the row drawn 2 px a module with quiet zones.
std::string ReadCode128(const std::string& row)
{
    QImage image(int(row.size()) * 2 + 48, 8, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    for (std::size_t m = 0; m < row.size(); ++m)
        if (row[m] == '1')
            for (int y = 0; y < 8; ++y)
                image.setPixel(24 + 2 * int(m), y, 0), image.setPixel(25 + 2 * int(m), y, 0);
    return zxread::Decode(image, ZXing::BarcodeFormat::Code128).text;
}

}  // namespace

// Compares our row of the symbology with libzint's of our filtered text (with the prefix and
// suffix libzint wants around it); a text that filters to nothing draws nothing and is skipped.
Outcome SameRow(int id, int zintSymbology, const QString& text, double ratio = 3.0, const std::string& around = "")
{
    const auto code = Ours(id, text, ratio);
    if (!code->HasData())
        return std::nullopt;
    return RowProblem(OurRow(*code), ZintRow(zintSymbology, around + Latin1(code->FilterText(text)) + around));
}

TEST(AgainstLibzint, Code39FullAsciiAndCodabar)
{
    CompareAll("Code 39", TextMaker(1, {kDigits, kUpper, u"-. $/+%", kLower, kWide}, 85),
               [](const QString& text) { return SameRow(BARCODE_ID_CODE39, BARCODE_CODE39, text, 2.0); });
    CompareAll("Code 39 Full ASCII", TextMaker(2, {kDigits, kUpper, kLower, Range(0, 31), Range(32, 127), kWide}, 60),
               [](const QString& text) { return SameRow(BARCODE_ID_CODE39_FULL, BARCODE_EXCODE39, text, 2.0); });
    CompareAll("Codabar", TextMaker(3, {kDigits, u"-$:/.+", kWide}, 58),
               [](const QString& text) { return SameRow(BARCODE_ID_CODABAR, BARCODE_CODABAR, text, 2.0, "A"); });
}

TEST(AgainstLibzint, Code93)
{
    // Code 93's own characters, '$', '%', '/' and '+' among them, stand for themselves; the rest
    // of ASCII takes a shift character and a letter.
    CompareAll("Code 93", TextMaker(4, {kDigits, kUpper, kLower, u"-. $/+%", Range(0, 31), Range(32, 127), kWide}, 75),
               [](const QString& text) { return SameRow(BARCODE_ID_CODE93, BARCODE_CODE93, text); });
}

TEST(AgainstLibzint, Code128InEverySet)
{
    struct Variant {
        int id;
        const char* name;
        TextMaker maker;
    };
    const Variant variants[] = {
        {BARCODE_ID_CODE128_AUTO, "Code 128 Auto", TextMaker(5, {kDigits, kUpper, kLower, Range(0, 31), Range(32, 127), kWide}, 48)},
        {BARCODE_ID_CODE128_A, "Code 128 A", TextMaker(6, {kDigits, kUpper, kLower, Range(0, 31), Range(32, 95), kWide}, 48)},
        {BARCODE_ID_CODE128_B, "Code 128 B", TextMaker(7, {kDigits, kUpper, kLower, Range(32, 127), kWide}, 48)},
        {BARCODE_ID_CODE128_C, "Code 128 C", TextMaker(8, {kDigits, kUpper, kWide}, 48)},
    };
    for (const Variant& v : variants) {
        CompareAll(v.name, v.maker, [&](const QString& text) -> Outcome {
            const auto code = Ours(v.id, text);
            if (!code->HasData())
                return std::nullopt;
            const std::string data = Latin1(code->FilterText(text));
            const ZintResult zint = ZintRow(BARCODE_CODE128, data);
            if (zint.error.find("too long") != std::string::npos)
                return std::nullopt;
            if (!zint.error.empty())
                return "libzint refused it: " + zint.error;
            const std::string ours = ReadCode128(OurRow(*code));
            const std::string theirs = ReadCode128(zint.modules);
            if (ours != data || theirs != data)
                return "ours reads " + ours + ", libzint's " + theirs;
            return std::string();
        });
    }
}

TEST(AgainstLibzint, EanAndUpc)
{
    struct Variant {
        int id;
        const char* name;
        int zint;
    };
    const Variant variants[] = {{BARCODE_ID_EAN13, "EAN-13", BARCODE_EANX_CHK},
                                {BARCODE_ID_EAN8, "EAN-8", BARCODE_EANX_CHK},
                                {BARCODE_ID_UPCA, "UPC-A", BARCODE_UPCA_CHK},
                                {BARCODE_ID_UPCE, "UPC-E", BARCODE_UPCE_CHK}};
    unsigned seed = 10;
    for (const Variant& v : variants) {
        // Texts cut, padded and with letters or wide characters that become zeros.
        CompareAll(v.name, TextMaker(seed++, {kDigits, kDigits, kUpper, kWide}, 15), [&](const QString& text) -> Outcome {
            std::unique_ptr<CBarcode> code(CreateBarcode(v.id, 1.0f / BARCODE_UNITS_PER_INCH, 0.6f));
            CRect rect;
            code->SetText(nullptr, text, &rect, 3.0);
            std::string ours(static_cast<CBarcodeEanUpc&>(*code).GetModules());
            for (char& m : ours)
                m = m == '0' ? '0' : '1';  // bars into the text line are bars
            const ZintResult zint = ZintRow(v.zint, Latin1(code->GetText()));
            if (v.id == BARCODE_ID_UPCE && zint.error.find("Invalid UPC-E data") != std::string::npos)
                return std::nullopt;
            return RowProblem(ours, zint);
        });
    }
}

TEST(AgainstLibzint, Interleaved2of5AndItf14)
{
    CompareAll("Interleaved 2 of 5", TextMaker(20, {kDigits, kDigits, u"-x", kWide}, 90),
               [](const QString& text) { return SameRow(BARCODE_ID_I2OF5, BARCODE_C25INTER, text); });
    // libzint adds the check digit: ours is given its fourteen digits.
    CompareAll("ITF-14", TextMaker(21, {kDigits}, 13), [](const QString& text) {
        const ZintResult zint = ZintRow(BARCODE_ITF14, Latin1(text));
        const auto code = Ours(BARCODE_ID_ITF14, QString::fromStdString(zint.text));
        return RowProblem(OurRow(*code), zint);
    });
}
