// The barcode label object: fitting, serial numbers in the bars, resizing in module steps, its
// records, and a label drawn for several label indexes and read back by zxing-cpp.

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"
#include "framework/recordingdc.h"
#include "framework/resourcemodule.h"
#include "support/fakeview.h"
#include "support/testoutput.h"
#include "symbology/barcode128.h"
#include "symbology/drawbarcode.h"
#include "zxing_read.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

// A document with a view and one barcode object of the id and text.
struct Label {
    CDrawDoc doc;
    CFakeDrawView view;
    CDrawBarcode* code = nullptr;
    Label(int id, const QString& text)
    {
        doc.AddView(&view);
        code = new CDrawBarcode(CRect(1000, 1000, 1010, 1010), &view, text, id);
        doc.Add(code);
    }
    ~Label() { doc.RemoveView(&view); }
};

int Bars(CDrawBarcode& obj, CFakeDrawView& view)
{
    auto dc = view.MakeDC();
    return obj.GetBarcode()->GetBarsWidth(dc.get());
}

}  // namespace

TEST(BarcodeObject, TheBoxFitsTheSymbolAndFollowsItsSerial)
{
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    Label label(BARCODE_ID_CODE128_AUTO, "0998");
    CDrawBarcode& code = *label.code;
    EXPECT_EQ(code.m_position.TopLeft(), CPoint(1000, 1000));
    EXPECT_EQ(code.m_position.Width(), Bars(code, label.view));
    EXPECT_EQ(code.m_position.Height(), int(0.4f * 1536) + 171);  // bars and the text line
    code.AssignDefaultName(&label.view);
    EXPECT_EQ(code.GetName(), "Barcode 1");

    code.Content().mode = CONTENT_SERIAL;
    code.Content().step = 1;
    std::vector<int> widths;
    for (auto [index, serial] : {std::pair{0, "0998"}, {1000, "1998"}, {9100, "10098"}}) {
        auto dc = label.view.MakeDC(true);
        code.Draw(dc.get(), index);
        EXPECT_EQ(code.GetBarcode()->GetText(), serial);
        widths.push_back(code.m_position.Width());
    }
    EXPECT_EQ(widths[0], widths[1]);
    EXPECT_GT(widths[2], widths[0]);  // a fifth digit widens the symbol
}

TEST(BarcodeObject, ResizingStepsModuleAndBarHeight)
{
    Label label(BARCODE_ID_CODE128_B, "ABC");
    CDrawBarcode& code = *label.code;
    CBarcode& symbol = *code.GetBarcode();
    const CRect start = code.m_position;

    // Wider: the largest module whose bars fit; the right edge goes to the bars.
    code.DragHandle(5, CPoint(start.left + start.Width() * 3 / 2, start.bottom), &label.view);
    const float grown = symbol.GetModuleWidth();
    EXPECT_NEAR(grown, 0.015f, 0.0005f);
    const int bars = Bars(code, label.view);
    EXPECT_LE(bars, start.Width() * 3 / 2);
    symbol.SetModuleWidth(grown + CDrawBarcode::kSizeStep);
    EXPECT_GT(Bars(code, label.view), start.Width() * 3 / 2);
    symbol.SetModuleWidth(grown);
    EXPECT_EQ(code.m_position.Width(), bars);
    EXPECT_FLOAT_EQ(symbol.GetBarHeight(), 0.4f);  // height not dragged

    // Taller from the bottom edge: the bars take the extra height.
    const CRect before = code.m_position;
    code.DragHandle(6, CPoint(before.left, before.bottom + 300), &label.view);
    EXPECT_NEAR(symbol.GetBarHeight() * 1536, 0.4 * 1536 + 300, 1.0);
    EXPECT_NEAR(code.m_position.Height(), before.Height() + 300, 1);

    // Shrunk to almost nothing: the module stops near 0.006 inch and the box snaps back to
    // the symbol rather than to the drag.
    code.DragHandle(7, CPoint(code.m_position.right - 5, code.m_position.top + 5), &label.view);
    EXPECT_NEAR(symbol.GetModuleWidth(), 0.0061f, 0.0001f);
    EXPECT_NEAR(symbol.GetBarHeight(), 0.10005f, 0.00015f);
    EXPECT_EQ(code.m_position.Width(), Bars(code, label.view));
}

TEST(BarcodeObject, ATurnedBarcodeResizesAlongItsTurnedSides)
{
    Label label(BARCODE_ID_CODE128_B, "ABC");
    CDrawBarcode& code = *label.code;
    CBarcode& symbol = *code.GetBarcode();
    code.Rotate90();
    const CRect start = code.m_position;
    auto drawn = [&] {
        auto dc = label.view.MakeDC(true);
        code.Draw(dc.get(), 0);
        return code.m_position;
    };
    EXPECT_EQ(drawn(), start);

    // A quarter turn on, the bars run across the box: dragging its right edge lengthens them,
    // and its left edge stays.
    code.DragHandle(4, CPoint(start.right + 300, start.CenterPoint().y), &label.view);
    EXPECT_NEAR(symbol.GetBarHeight() * 1536, 0.4 * 1536 + 300, 1.0);
    EXPECT_NEAR(code.m_position.left, start.left, 1);
    EXPECT_NEAR(code.m_position.Width(), start.Width() + 300, 1);
    EXPECT_EQ(code.m_position.Height(), start.Height());
    // Dragging its bottom edge widens the module, and its top stays.
    const CRect taller = code.m_position;
    code.DragHandle(6, CPoint(taller.CenterPoint().x, taller.bottom + taller.Height() / 2), &label.view);
    EXPECT_NEAR(symbol.GetModuleWidth(), 0.015f, 0.0005f);
    EXPECT_NEAR(code.m_position.top, taller.top, 1);
    EXPECT_EQ(code.m_position.Height(), Bars(code, label.view));
    const CRect resized = code.m_position;
    EXPECT_EQ(drawn(), resized);
}

namespace {

// A barcode record of the oldest schema: no class references below the object's own.
QByteArray OldestBarcodeRecord(int id)
{
    CArchive o(CArchive::store);
    o.WriteClass(RUNTIME_CLASS(CDrawBarcode));
    o << CRect(0, 0, 100, 100) << WORD(0) << DWORD(PS_INSIDEFRAME) << 6 << 6 << DWORD(0) << WORD(0)
      << DWORD(0) << DWORD(0) << DWORD(0);
    o << WORD(0) << CPoint(0, 0) << DWORD(0) << 0.1;
    o << CONTENT_FIXED << 0 << 1 << 0 << CString() << CString();
    o << 171 << 0 << 0 << 0 << 400;
    for (int i = 0; i < 8 + 2 * LF_FACESIZE; ++i)
        o << BYTE(0);
    o << CString("590123412345") << id;
    QByteArray bytes = o.GetBuffer();
    bytes[2] = 0;
    bytes[3] = 0;
    return bytes;
}

}  // namespace

TEST(BarcodeObject, RecordsOfEverySchema)
{
    Label label(BARCODE_ID_CODE39, "CODE-39");
    CBarcode& symbol = *label.code->GetBarcode();
    symbol.SetModuleWidth(0.0123f);
    label.code->Content().mode = CONTENT_SERIAL;
    label.code->Content().prefix = "P";

    CDrawDoc loaded;
    loaded.LoadContents(label.doc.StoreContents());
    ASSERT_EQ(loaded.GetObjects().size(), 1u);
    auto* back = dynamic_cast<CDrawBarcode*>(loaded.GetObjects()[0]);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_text, "CODE-39");
    EXPECT_EQ(loaded.StoreContents(), label.doc.StoreContents());  // every field came back

    // The oldest records have no symbol fields: EAN-13 and EAN-8 get taller bars.
    for (int id : {BARCODE_ID_EAN13, BARCODE_ID_EAN8, BARCODE_ID_CODE128_AUTO}) {
        CArchive in(OldestBarcodeRecord(id), CArchive::load);
        std::unique_ptr<CDrawBarcode> old(static_cast<CDrawBarcode*>(in.ReadObject(RUNTIME_CLASS(CDrawBarcode))));
        EXPECT_TRUE(in.IsBufferEmpty());
        EXPECT_EQ(old->GetSymbologyId(), id);
        EXPECT_FLOAT_EQ(old->GetBarcode()->GetBarHeight(), id == BARCODE_ID_CODE128_AUTO ? 0.4f : 0.6f);
        EXPECT_FLOAT_EQ(old->GetBarcode()->GetModuleWidth(), 0.01f);
        EXPECT_EQ(old->m_text, "590123412345");
    }
    // An unknown symbology, and a schema newer than this program, are refused.
    CArchive unknown(OldestBarcodeRecord(99), CArchive::load);
    EXPECT_THROW(unknown.ReadObject(RUNTIME_CLASS(CDrawBarcode)), CArchiveException);
    CArchive out(CArchive::store);
    out.WriteObject(label.code);
    QByteArray newer = out.GetBuffer();
    newer[2] = 3;
    CArchive newerIn(newer, CArchive::load);
    EXPECT_THROW(newerIn.ReadObject(RUNTIME_CLASS(CDrawBarcode)), CArchiveException);
}

TEST(BarcodeObject, ALabelPrintsItsSerialInTheBars)
{
    constexpr int kDpi = 300;
    Label label(BARCODE_ID_CODE128_AUTO, "00041");
    CDrawBarcode& code = *label.code;
    code.Content().mode = CONTENT_SERIAL;
    code.Content().step = 1;
    code.MoveTo(CRect(300, 900, 310, 910));
    for (int index : {0, 1, 2}) {
        QImage page(MulDiv(3000, kDpi, 1536), MulDiv(2200, kDpi, 1536), QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            CPainterDC dc(&page, true);
            dc.SetMapMode(MM_ANISOTROPIC);
            dc.SetWindowExt(1536, 1536);
            dc.SetViewportExt(kDpi, kDpi);
            code.Draw(&dc, index);
        }
        page.save(TestOutputDir() + QStringLiteral("/label-%1.png").arg(index));
        EXPECT_EQ(zxread::Decode(page, ZXing::BarcodeFormat::Code128).text,
                  QStringLiteral("%1").arg(41 + index, 5, 10, QLatin1Char('0')).toStdString());
    }
}

TEST(BarcodeObject, ALongRunOfDigitsInCode128AutoOpensAndPrints)
{
    const QString digits(200000, u'7');
    QTemporaryDir dir(TestOutputDir() + QStringLiteral("/longcode-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("digits.tag"));
    {
        Label label(BARCODE_ID_CODE128_AUTO, digits);
        ASSERT_TRUE(label.doc.OnSaveDocument(path)) << label.doc.GetErrorText().toStdString();
    }
    CDrawDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.GetErrorText().toStdString();
    doc.SetLabelsToPrint(1);
    auto dc = CFakeDrawView().MakeDC(true);
    const CPrintInfo info;  // the first sheet
    const CRect margins;
    doc.PrintPage(dc.get(), &info, nullptr, &margins, FALSE, &info.m_rectDraw);
    // Every bar module of the whole symbol is printed.
    std::vector<BYTE> values;
    CBarcode128::Encode(digits, CBarcode128::SetAuto, values);
    qsizetype modules = 0, bars = 0;
    for (BYTE v : values)
        modules += QByteArray(CBarcode128::GetPattern(v)).count('1');
    for (const CRecordedPrimitive& r : dc->records)
        bars += r.kind == CRecordedPrimitive::Kind::Fill;
    EXPECT_EQ(bars, modules);
}
