// The Data Matrix encoder over libdmtx: size requests, capacity limits, the module matrix and
// its placement, and symbols read back by zxing-cpp.

#include "symbology/datamatrixencoder.h"
#include "symbology/datamatrixplacement.h"
#include "matrix_render.h"
#include "zxing_read.h"

#include <gtest/gtest.h>

#include <dmtx.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> Filled(int count, int first = 0)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        bytes[size_t(i)] = uint8_t(first + i);
    return bytes;
}

CSize Measure(CDataMatrixEncoder& enc, const std::vector<uint8_t>& bytes, int request)
{
    enc.m_nSizeRequest = request;
    CSize size(-7, -7);
    if (!enc.GetSymbolSize(bytes, size)) {
        EXPECT_EQ(CSize(-7, -7), size) << "a failed measure leaves the size alone";
    }
    return size;
}

zxread::Symbol Read(const QImage& image)
{
    return zxread::DecodeSymbol(image, ZXing::BarcodeFormat::DataMatrix, true);
}

zxread::Symbol ReadBack(const CDataMatrixEncoder& enc)
{
    return Read(matrixrender::Render(enc.GetModuleRows(), enc.GetModuleColumns(), 1,
                                     [&](int r, int c) { return enc.IsDark(r, c); }));
}

}  // namespace

TEST(DataMatrixEncoder, SizeRequestsPickTheShapeAndFixedSizesRefuseWhatTheyCannotHold)
{
    CDataMatrixEncoder enc;
    enc.m_nCodePage = 1252;
    CSize size;
    ASSERT_TRUE(enc.GetSymbolSize(QStringLiteral("Quillbar 2-D"), size));
    EXPECT_EQ(CSize(18, 18), size);
    enc.m_nSizeRequest = DATAMATRIX_RECT_AUTO;
    ASSERT_TRUE(enc.GetSymbolSize(QStringLiteral("Quillbar 2-D"), size));
    EXPECT_EQ(CSize(26, 12), size);
    const std::vector<uint8_t> text = Bytes("Quillbar 2-D");
    EXPECT_EQ(CSize(-7, -7), Measure(enc, text, 3));  // 16 x 16 holds 12 codewords
    EXPECT_EQ(CSize(20, 20), Measure(enc, text, 5));
    EXPECT_EQ(CSize(48, 16), Measure(enc, text, 29));
    // Numbers outside the table are refused rather than handed to libdmtx.
    for (int request : {-3, 30, 1000})
        EXPECT_EQ(CSize(-7, -7), Measure(enc, text, request)) << request;
    EXPECT_EQ(CSize(0, 0), CDataMatrixEncoder::FixedSymbolSize(30));
    EXPECT_EQ(CSize(0, 0), CDataMatrixEncoder::FixedSymbolSize(-1));
    // An empty text is measured as its placeholder.
    const CSize placeholder = Measure(enc, Bytes("<EMPTY>"), DATAMATRIX_SQUARE_AUTO);
    ASSERT_TRUE(enc.GetSymbolSize(CString(), size));
    EXPECT_EQ(placeholder, size);
}

TEST(DataMatrixEncoder, LargestSymbolsHoldTheirCapacityAndNoMore)
{
    CDataMatrixEncoder enc;
    EXPECT_EQ(CSize(48, 16), Measure(enc, Filled(47), DATAMATRIX_RECT_AUTO));
    EXPECT_EQ(CSize(-7, -7), Measure(enc, Filled(48), DATAMATRIX_RECT_AUTO));
    EXPECT_EQ(CSize(144, 144), Measure(enc, Filled(1556), DATAMATRIX_SQUARE_AUTO));
    EXPECT_EQ(CSize(-7, -7), Measure(enc, Filled(1557), DATAMATRIX_SQUARE_AUTO));
    EXPECT_EQ(CSize(-7, -7), Measure(enc, {}, DATAMATRIX_SQUARE_AUTO));
}

TEST(DataMatrixEncoder, NewBytesOrANewRequestRebuildTheSymbol)
{
    CDataMatrixEncoder enc;
    Measure(enc, Bytes("0001"), DATAMATRIX_SQUARE_AUTO);
    EXPECT_EQ(Bytes("0001"), ReadBack(enc).bytes);
    Measure(enc, Bytes("0002"), DATAMATRIX_SQUARE_AUTO);
    EXPECT_EQ(Bytes("0002"), ReadBack(enc).bytes);
    EXPECT_EQ(CSize(32, 8), Measure(enc, Bytes("0002"), DATAMATRIX_RECT_AUTO));
    EXPECT_EQ(8, enc.GetModuleRows());
    enc.Clear();
    EXPECT_EQ(0, enc.GetModuleColumns());
}

// Every size, filled with bytes that run through all 256 values, read back by zxing-cpp. The
// 144 x 144 symbol reads only in the standard's interleaving of its uneven blocks.
TEST(DataMatrixDecode, EverySizeReadsBackByteForByte)
{
    CDataMatrixEncoder enc;
    for (int size = 0; size < DATAMATRIX_SIZE_COUNT; ++size) {
        enc.m_nSizeRequest = size;
        // Base 256: a latch and a length of one byte (two from 250 bytes on) precede the data.
        const int dataWords = dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, size);
        const int count = dataWords - (dataWords - 2 > 249 ? 3 : 2);
        const std::vector<uint8_t> bytes = Filled(count, size * 37);
        CSize out;
        ASSERT_TRUE(enc.GetSymbolSize(bytes, out)) << "size " << size;
        EXPECT_EQ(CDataMatrixEncoder::FixedSymbolSize(size), out);
        const zxread::Symbol read = ReadBack(enc);
        EXPECT_TRUE(bytes == read.bytes) << "size " << size << ": " << read.bytes.size() << " bytes read of " << bytes.size();
        EXPECT_FALSE(read.mirrored);
        EXPECT_EQ(0, read.orientation);
    }
}

// Serial labels: each label's text is drawn, not the first one's again.
TEST(DataMatrixDecode, DrawPaintsEachLabelsText)
{
    CDataMatrixEncoder enc;
    enc.m_nCodePage = 1252;
    enc.m_nModuleSize = matrixrender::kModulePixels;
    for (const char* text : {"0001", "0002", "Grüße 2-D"}) {
        const int margin = matrixrender::kMarginPixels;
        QImage image(144 * 4 + 2 * margin, 144 * 4 + 2 * margin, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            CPainterDC dc(&image);
            enc.Draw(&dc, QString::fromUtf8(text), CRect(margin, margin, margin, margin));
        }
        const QImage symbol = image.copy(0, 0, enc.GetModuleColumns() * 4 + 2 * margin, enc.GetModuleRows() * 4 + 2 * margin);
        EXPECT_EQ(Bytes(QString::fromUtf8(text).toLatin1().toStdString()), Read(symbol).bytes) << text;
    }
}

// Codewords already in the standard's order (a mended libdmtx) are not moved a second time.
TEST(DataMatrixPlacement, OnlyLibdmtxsOrderIsRearranged)
{
    std::vector<unsigned char> data = Filled(1500, 5);
    DmtxEncode* enc = dmtxEncodeCreate();
    dmtxEncodeSetProp(enc, DmtxPropModuleSize, 1);
    dmtxEncodeSetProp(enc, DmtxPropMarginSize, 0);
    dmtxEncodeSetProp(enc, DmtxPropScheme, DmtxSchemeBase256);
    dmtxEncodeSetProp(enc, DmtxPropSizeRequest, 23);
    ASSERT_EQ(DmtxPass, dmtxEncodeDataMatrix(enc, int(data.size()), data.data()));
    const std::vector<unsigned char> libdmtx(enc->message->code, enc->message->code + 2178);
    dmtxEncodeDestroy(&enc);

    std::vector<uint8_t> mended(144 * 144, 0);
    ReplaceDataMatrix144(mended, libdmtx.data(), int(libdmtx.size()));
    std::vector<unsigned char> standard = libdmtx;
    for (int j = 0; j < 62; ++j) {
        for (int b = 0; b < 10; ++b)
            standard[size_t(1558 + 10 * j + (b + 2) % 10)] = libdmtx[size_t(1558 + 10 * j + b)];
    }
    std::vector<uint8_t> again = mended;
    ReplaceDataMatrix144(again, standard.data(), int(standard.size()));
    EXPECT_EQ(mended, again);
    EXPECT_NE(std::vector<uint8_t>(144 * 144, 0), mended);
}
