// The symbology's part of a barcode record, schemas 1 and 2.

#include "framework/archive.h"
#include "symbology/barcode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<CBarcode> Stored(int id)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(id, 0.0133f, 0.55f));
    code->SetShowText(FALSE);
    code->SetTextPos(1);
    code->SetTextAlign(2);
    CRect rect(-5, 7, 0, 0);
    code->SetText(nullptr, QString::fromUtf16(u"96385\u00e97"), &rect, 3.0);
    return code;
}

QByteArray Store(CBarcode& code)
{
    CArchive ar(CArchive::store);
    code.Serialize(ar);
    return ar.GetBuffer();
}

std::unique_ptr<CBarcode> Load(int id, const QByteArray& bytes, UINT schema)
{
    std::unique_ptr<CBarcode> code(CreateBarcode(id, 0, 0));
    CArchive ar(bytes, CArchive::load);
    ar.SetObjectSchema(schema);
    code->Serialize(ar);
    EXPECT_TRUE(ar.IsBufferEmpty());
    return code;
}

std::int32_t Int32At(const QByteArray& b, int at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | BYTE(b[at + i]);
    return std::int32_t(v);
}

}  // namespace

TEST(BarcodeArchive, RecordLayoutAndSchema2RoundTrip)
{
    for (int id = 0; id < BARCODE_ID_COUNT; ++id) {
        const auto code = Stored(id);
        const QByteArray bytes = Store(*code);
        // rectangle, module width, bar height, text, show text, position, alignment
        const CRect r = code->GetLastRect();
        EXPECT_EQ(CRect(Int32At(bytes, 0), Int32At(bytes, 4), Int32At(bytes, 8), Int32At(bytes, 12)), r) << id;
        float f;
        std::memcpy(&f, bytes.constData() + 16, 4);
        EXPECT_EQ(f, 0.0133f);
        EXPECT_EQ(Int32At(bytes, bytes.size() - 8), 1);
        EXPECT_EQ(Int32At(bytes, bytes.size() - 4), 2);
        EXPECT_EQ(Int32At(bytes, bytes.size() - 12), 0);

        // Every field read back stores the same record; element widths wait for the next SetText.
        const auto back = Load(id, bytes, 2);
        EXPECT_EQ(Store(*back), bytes) << id;
        EXPECT_EQ(back->GetText(), code->GetText());
        EXPECT_EQ(back->GetNarrowWidth(), 0);
    }
}

TEST(BarcodeArchive, Schema1LeavesPositionAndAlignment)
{
    const auto code = Stored(BARCODE_ID_CODE128_B);
    const QByteArray bytes = Store(*code).chopped(8);
    const auto back = Load(BARCODE_ID_CODE128_B, bytes, 1);
    EXPECT_EQ(back->GetText(), code->GetText());
    EXPECT_EQ(back->GetShowText(), FALSE);
    EXPECT_EQ(back->GetTextPos(), 0);
    EXPECT_EQ(back->GetTextAlign(), 0);
    // Any other schema reads nothing.
    for (UINT schema : {0u, 3u, UINT(-1)}) {
        std::unique_ptr<CBarcode> other(CreateBarcode(0, 0.01f, 0.4f));
        CArchive ar(bytes, CArchive::load);
        ar.SetObjectSchema(schema);
        other->Serialize(ar);
        EXPECT_EQ(ar.GetPosition(), 0);
        EXPECT_EQ(other->GetModuleWidth(), 0.01f);
    }
}

TEST(BarcodeArchive, ShortOrDamagedRecordsRaise)
{
    const QByteArray bytes = Store(*Stored(BARCODE_ID_EAN13));
    std::vector<QByteArray> damaged;
    for (qsizetype n = 0; n < bytes.size(); ++n)
        damaged.push_back(bytes.left(n));
    // A size no symbol can have is refused rather than carried into the width arithmetic.
    for (float bad : {std::nanf(""), INFINITY, -0.5f, 1e9f}) {
        damaged.push_back(bytes);
        std::memcpy(damaged.back().data() + 16, &bad, 4);
    }
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        std::unique_ptr<CBarcode> back(CreateBarcode(BARCODE_ID_EAN13, 0, 0));
        CArchive ar(damaged[i], CArchive::load);
        ar.SetObjectSchema(2);
        EXPECT_THROW(back->Serialize(ar), CArchiveException) << i;
    }
}
