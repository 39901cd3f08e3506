// The QR Code, PDF417 and Data Matrix label objects: their records, their sizes from the
// encoders, corner drags in module steps, and the symbols they draw for each label, read back
// by zxing-cpp.

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/painterdc.h"
#include "framework/resourcemodule.h"
#include "support/fakeview.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "zxing_read.h"

#include <gtest/gtest.h>

#include <QImage>
#include <xercesc/dom/DOMDocument.hpp>

#include <memory>

namespace {

void LoadResources()
{
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
}

// The binding document as an object stores it.
CString StoredTemplate()
{
    CContentBlock block;
    LoadBindingDocument(block, BindingTemplate());
    return block.binding.Xml();
}

// The levels every label object's record begins with, down to the text object's, for an object
// of class cls at (100, 200) showing text in mode 0.
CArchive& TextLevels(CArchive& o, const CRuntimeClass* cls, const CString& text)
{
    o.WriteClass(cls);
    o.WriteClass(RUNTIME_CLASS(CDrawObj));
    o << CRect(100, 200, 400, 500) << WORD(0) << DWORD(PS_INSIDEFRAME) << 6 << 6 << DWORD(0) << WORD(0)
      << DWORD(0) << DWORD(0) << DWORD(0);
    o.WriteClass(RUNTIME_CLASS(CDrawRect));
    o << WORD(0) << CPoint(256, 256) << DWORD(0) << 0.1;
    o.WriteClass(RUNTIME_CLASS(CDrawText));
    o << CONTENT_FIXED << 0 << 1 << 1 << CString() << CString();
    o << 256 << 0 << 0 << 0 << 400;
    for (int i = 0; i < 8 + 2 * LF_FACESIZE; ++i)
        o << BYTE(0);
    o << DWORD(0) << text << CString("Code 1") << StoredTemplate() << 0 << 0;
    o.WriteClass(cls);
    return o;
}

struct Record {
    QByteArray bytes;
    // Where the object's own fields begin.
    qsizetype fields = 0;
};

template <typename Fields>
Record MakeRecord(const CRuntimeClass* cls, const CString& text, Fields fields)
{
    CArchive o(CArchive::store);
    TextLevels(o, cls, text);
    Record r;
    r.fields = o.GetBuffer().size();
    fields(o);
    r.bytes = o.GetBuffer();
    return r;
}

Record QRRecord(int module)
{
    // Level Q, numeric mode, version 2, a structured append of 3 symbols, colours, tag.
    return MakeRecord(RUNTIME_CLASS(CDrawQRCode), "12345678", [&](CArchive& o) {
        o << 2 << 1 << 2 << 3 << 2 << 0x41 << DWORD(0xFFFFFF) << DWORD(0) << CString("tag") << module
          << DWORD(65001) << 1 << 7;
        for (const char* s : {"a", "", "c", "", "e"})
            o << CString(s);
    });
}

Record PDF417Record(int module, int factor)
{
    return MakeRecord(RUNTIME_CLASS(CDrawPDF417), "Quillbar", [&](CArchive& o) {
        o << module << factor << (PDF417_FIXED_ROWS | PDF417_USE_ERROR_LEVEL) << 10 << 4 << DWORD(1252);
    });
}

Record DataMatrixRecord(int module)
{
    return MakeRecord(RUNTIME_CLASS(CDrawDataMatrix), "Quillbar 2-D",
                      [&](CArchive& o) { o << module << DWORD(1252) << DATAMATRIX_RECT_AUTO; });
}

template <typename T>
std::unique_ptr<T> Load(CDrawDoc& doc, const QByteArray& bytes)
{
    CArchive in(bytes, CArchive::load);
    in.m_pDocument = &doc;
    std::unique_ptr<T> obj(dynamic_cast<T*>(in.ReadObject(RUNTIME_CLASS(CDrawText))));
    EXPECT_TRUE(in.IsBufferEmpty());
    return obj;
}

QByteArray Store(CDrawObj* obj)
{
    CArchive out(CArchive::store);
    out.WriteObject(obj);
    return out.GetBuffer();
}

void ExpectRefused(const QByteArray& bytes)
{
    CDrawDoc doc;
    CArchive in(bytes, CArchive::load);
    in.m_pDocument = &doc;
    EXPECT_THROW(delete in.ReadObject(RUNTIME_CLASS(CDrawText)), CArchiveException);
}

// A record whose own level claims schema 2: the object's class tag carries it.
QByteArray Newer(QByteArray bytes)
{
    bytes[2] = 2;
    return bytes;
}

// A document with a view and an object made by the palette's constructor.
template <typename T>
struct Label {
    CDrawDoc doc;
    CFakeDrawView view;
    T* code = nullptr;
    explicit Label(const QString& text, CPoint at = CPoint(1000, 1000))
    {
        doc.AddView(&view);
        code = new T(CRect(at.x, at.y, at.x, at.y), &view, text);
        doc.Add(code);
    }
    ~Label() { doc.RemoveView(&view); }
};

}  // namespace

TEST(Code2DObjects, RecordsLoadAndStoreByteForByte)
{
    LoadResources();
    CDrawDoc doc;
    {
        const Record r = QRRecord(40);
        auto qr = Load<CDrawQRCode>(doc, r.bytes);
        CQRCodeEncoder& e = qr->Encoder();
        EXPECT_EQ(e.GetLevel(), 2);
        EXPECT_EQ(e.GetDataMode(), 1);
        EXPECT_EQ(e.GetStructuredAppendParity(), 0x41);
        EXPECT_EQ(qr->GetModuleSize(), 40);
        EXPECT_EQ(e.GetCodePage(), 65001u);
        EXPECT_EQ(Store(qr.get()), r.bytes);
        ExpectRefused(Newer(r.bytes));
        for (int bad : {0, -25, 1537})
            ExpectRefused(QRRecord(bad).bytes);
        EXPECT_EQ(Load<CDrawQRCode>(doc, QRRecord(1536).bytes)->GetModuleSize(), 1536);

        // The version stored is that of the last symbol encoded.
        CFakeDrawView view;
        auto dc = view.MakeDC();
        qr->Draw(dc.get(), 0);
        ASSERT_EQ(qr->Encoder().GetVersion(), 1);
        EXPECT_EQ(qr->m_position, CRect(100, 200, 100 + 21 * 40, 200 + 21 * 40));  // drawn fitted
        qr->m_position = CRect(100, 200, 400, 500);
        QByteArray expected = r.bytes;
        expected[r.fields + 8] = 1;
        EXPECT_EQ(Store(qr.get()), expected);
    }
    {
        const Record r = PDF417Record(30, 4);
        auto pdf = Load<CDrawPDF417>(doc, r.bytes);
        EXPECT_EQ(pdf->GetRowFactor(), 4);
        EXPECT_EQ(pdf->Encoder().GetRows(), 10);
        EXPECT_EQ(pdf->Encoder().GetErrorLevel(), 4);
        EXPECT_EQ(pdf->Encoder().GetCodePage(), 1252u);
        EXPECT_EQ(Store(pdf.get()), r.bytes);
        ExpectRefused(Newer(r.bytes));
        for (auto [module, factor] : {std::pair{0, 3}, {1537, 3}, {25, 0}, {25, 101}})
            ExpectRefused(PDF417Record(module, factor).bytes);
        EXPECT_EQ(Load<CDrawPDF417>(doc, PDF417Record(1, 100).bytes)->GetRowFactor(), 100);
    }
    {
        const Record r = DataMatrixRecord(60);
        auto dm = Load<CDrawDataMatrix>(doc, r.bytes);
        EXPECT_EQ(dm->GetModuleSize(), 60);
        EXPECT_EQ(dm->Encoder().m_nCodePage, 1252u);
        EXPECT_EQ(dm->Encoder().m_nSizeRequest, DATAMATRIX_RECT_AUTO);
        EXPECT_EQ(Store(dm.get()), r.bytes);
        ExpectRefused(Newer(r.bytes));
        ExpectRefused(DataMatrixRecord(1537).bytes);
    }
}

TEST(Code2DObjects, CopiesGoThroughTheArchive)
{
    LoadResources();
    Label<CDrawQRCode> label("copy me");
    label.code->Encoder().SetLevel(3);
    auto* pdf = new CDrawPDF417(CRect(0, 3000, 0, 3000), &label.view, "PDF");
    pdf->SetRowFactor(5);
    label.doc.Add(pdf);
    auto* dm = new CDrawDataMatrix(CRect(0, 6000, 0, 6000), &label.view, "DM");
    label.doc.Add(dm);
    const std::vector<CDrawObj*> all = label.doc.GetObjects();
    const QByteArray copied = label.doc.StoreObjectList(all);
    CDrawDoc other;
    const std::vector<CDrawObj*> pasted = other.LoadObjectList(copied);
    ASSERT_EQ(pasted.size(), 3u);
    EXPECT_EQ(dynamic_cast<CDrawQRCode*>(pasted[0])->Encoder().GetLevel(), 3);
    EXPECT_EQ(dynamic_cast<CDrawPDF417*>(pasted[1])->GetRowFactor(), 5);
    EXPECT_NE(dynamic_cast<CDrawDataMatrix*>(pasted[2]), nullptr);
    EXPECT_EQ(other.StoreObjectList(pasted), copied);
    for (CDrawObj* obj : pasted)
        delete obj;
}

TEST(Code2DObjects, TheBoxIsTheSymbolTimesTheModule)
{
    LoadResources();
    Label<CDrawQRCode> qr("12345678");
    EXPECT_EQ(qr.code->m_position, CRect(1000, 1000, 1525, 1525));
    Label<CDrawPDF417> pdf("12345678901234567890");
    EXPECT_EQ(pdf.code->m_position.Size(), CSize(2150, 1275));

    Label<CDrawDataMatrix> dm("Quillbar 2-D");
    dm.code->Encoder().m_nCodePage = 1252;
    dm.code->FitToText(nullptr, &dm.code->m_position, dm.code->m_text);
    EXPECT_EQ(dm.code->m_position.Size(), CSize(900, 900));
    dm.code->Encoder().m_nSizeRequest = DATAMATRIX_RECT_AUTO;
    dm.code->FitToText(nullptr, &dm.code->m_position, dm.code->m_text);
    EXPECT_EQ(dm.code->m_position.Size(), CSize(1300, 600));
    // A size too small for the text leaves the box; an empty text collapses it to its corner.
    dm.code->Encoder().m_nSizeRequest = 0;
    dm.code->FitToText(nullptr, &dm.code->m_position, dm.code->m_text);
    EXPECT_EQ(dm.code->m_position.Size(), CSize(1300, 600));
    dm.code->FitToText(nullptr, &dm.code->m_position, "");
    EXPECT_EQ(dm.code->m_position, CRect(1000, 1000, 1000, 1000));

    // Module sizes and counts far out still give a box within the coordinates.
    qr.code->SetModuleSize(1536);
    qr.code->m_position = CRect(INT_MAX - 10, 0, INT_MAX - 10, 0);
    qr.code->FitToText(nullptr, &qr.code->m_position, "12345678");
    EXPECT_EQ(qr.code->m_position.right, INT_MAX);
}

TEST(Code2DObjects, CornerDragsSnapTheModuleAndEdgesDoNothing)
{
    LoadResources();
    Label<CDrawQRCode> qr("12345678");  // 21 modules of 25
    CDrawQRCode& code = *qr.code;

    // The right-bottom corner out to 847 units: 847 / 21 = 40 units a module; left-top stays.
    code.DragHandle(5, CPoint(1000 + 847, 1200), &qr.view);
    EXPECT_EQ(code.GetModuleSize(), 40);
    EXPECT_EQ(code.m_position, CRect(1000, 1000, 1840, 1840));
    // The edges do nothing.
    for (int edge : {2, 4, 6, 8}) {
        code.DragHandle(edge, CPoint(9000, 9000), &qr.view);
        EXPECT_EQ(code.m_position, CRect(1000, 1000, 1840, 1840)) << edge;
        EXPECT_EQ(code.CursorForHandle(edge), Qt::ArrowCursor);
    }
    // The left-top corner far out: the largest size, the right-bottom corner stays.
    code.DragHandle(1, CPoint(-100000, -100000), &qr.view);
    EXPECT_EQ(code.GetModuleSize(), 150);
    EXPECT_EQ(code.m_position, CRect(1840 - 3150, 1840 - 3150, 1840, 1840));
    // The left-bottom corner past the right edge: the smallest size, right and top stay.
    code.DragHandle(7, CPoint(5000, 0), &qr.view);
    EXPECT_EQ(code.GetModuleSize(), 5);
    EXPECT_EQ(code.m_position, CRect(1840 - 105, 1840 - 3150, 1840, 1840 - 3150 + 105));

    Label<CDrawDataMatrix> dm("Quillbar 2-D");
    dm.code->DragHandle(3, CPoint(100000, 0), &dm.view);
    EXPECT_EQ(dm.code->GetModuleSize(), 300);
    Label<CDrawPDF417> pdf("12345678901234567890");  // 86 module columns, 17 rows of 3
    pdf.code->DragHandle(3, CPoint(1000 + 86 * 10, 0), &pdf.view);
    EXPECT_EQ(pdf.code->GetModuleSize(), 10);
    EXPECT_EQ(pdf.code->m_position, CRect(1000, 2275 - 17 * 30, 1860, 2275));
    pdf.code->DragHandle(3, CPoint(100000, 0), &pdf.view);
    EXPECT_EQ(pdf.code->GetModuleSize(), 150);
}

namespace {

// One label of the object drawn on paper at 300 dpi, with white all round.
QImage PrintLabel(CDrawObj& obj, int index, bool printing = true)
{
    constexpr int kDpi = 300;
    QImage page(MulDiv(9000, kDpi, 1536), MulDiv(6000, kDpi, 1536), QImage::Format_RGB32);
    page.fill(Qt::white);
    CPainterDC dc(&page, printing);
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(1536, 1536);
    dc.SetViewportExt(kDpi, kDpi);
    obj.Draw(&dc, index);
    return page;
}

bool Blank(const QImage& image)
{
    QImage white(image.size(), image.format());
    white.fill(Qt::white);
    return image == white;
}

}  // namespace

TEST(Code2DObjects, EachLabelDrawsTheSymbolOfItsSerial)
{
    LoadResources();
    CDrawDoc doc;
    CFakeDrawView view;
    doc.AddView(&view);
    const CString start = "0001";
    std::vector<std::pair<CDrawText*, ZXing::BarcodeFormat>> codes = {
        {new CDrawQRCode(CRect(600, 600, 600, 600), &view, start), ZXing::BarcodeFormat::QRCode},
        {new CDrawPDF417(CRect(600, 600, 600, 600), &view, start), ZXing::BarcodeFormat::PDF417},
        {new CDrawDataMatrix(CRect(600, 600, 600, 600), &view, start), ZXing::BarcodeFormat::DataMatrix}};
    for (auto& [code, format] : codes) {
        doc.Add(code);
        code->Content().mode = CONTENT_SERIAL;
        code->Content().step = 1;
        for (int index : {0, 1, 2}) {
            const QImage page = PrintLabel(*code, index);
            const std::string expected = "000" + std::to_string(index + 1);
            // The symbol with a margin of a tenth of an inch (zxing-cpp finds a small Data
            // Matrix symbol in a large picture only when it is near the centre).
            const CRect r = code->m_position;
            const QImage symbol = page.copy(QRect(QPoint((r.left - 154) * 300 / 1536, (r.top - 154) * 300 / 1536),
                                                  QPoint((r.right + 154) * 300 / 1536, (r.bottom + 154) * 300 / 1536)));
            EXPECT_EQ(zxread::Decode(symbol, format).text, expected) << code->GetRuntimeClass()->m_lpszClassName;
        }
    }
    doc.RemoveView(&view);
}

TEST(Code2DObjects, AnEmptyTextShowsItsPlaceholderOnScreenOnly)
{
    LoadResources();
    Label<CDrawPDF417> pdf("");
    Label<CDrawQRCode> qr("");
    Label<CDrawDataMatrix> dm("");
    for (CDrawCode2D* code : std::initializer_list<CDrawCode2D*>{pdf.code, qr.code, dm.code}) {
        SCOPED_TRACE(code->GetRuntimeClass()->m_lpszClassName);
        EXPECT_GT(code->m_position.Width(), 0);  // the placeholder sized it
        EXPECT_TRUE(Blank(PrintLabel(*code, 0, true)));
        EXPECT_FALSE(Blank(PrintLabel(*code, 0, false)));
    }
}

TEST(Code2DObjects, TooMuchForAQRCodeIsSaidAfterOKOrADragButNeverWhileDrawing)
{
    LoadResources();
    std::vector<CString> errors;
    CObjectDialogs dialogs;
    dialogs.error = [&](const CString& text) { errors.push_back(text); };
    dialogs.runSheet = [](CObjectSheet& sheet, CDrawViewBase*) {
        return sheet.qrcode != nullptr && sheet.font == nullptr;
    };
    const CObjectDialogs old = SetObjectDialogs(dialogs);

    Label<CDrawQRCode> qr(CString(3000, u'x'));  // 2953 bytes is the most at level L
    EXPECT_TRUE(qr.code->m_position.IsRectEmpty());
    EXPECT_TRUE(Blank(PrintLabel(*qr.code, 0)));
    EXPECT_TRUE(Blank(PrintLabel(*qr.code, 0, false)));
    EXPECT_TRUE(errors.empty());

    // A drag that keeps failing says it once; every OK says it again.
    qr.code->DragHandle(5, CPoint(5000, 5000), &qr.view);
    qr.code->DragHandle(5, CPoint(6000, 6000), &qr.view);
    EXPECT_EQ(errors, std::vector<CString>{"overflow"});
    EXPECT_TRUE(qr.code->OnEditProperties(&qr.view));
    EXPECT_TRUE(qr.code->OnEditProperties(&qr.view));
    EXPECT_EQ(errors.size(), 3u);
    SetObjectDialogs(old);
}

TEST(Code2DObjects, ABoundObjectShowsTheBindingMarkerOnScreenOnly)
{
    LoadResources();
    Label<CDrawQRCode> qr("bound");
    qr.code->Content().mode = CONTENT_DATA;
    ASSERT_TRUE(AddDataItem(qr.code->Content(), "Orders", "Code", "", ""));
    for (bool printing : {false, true}) {
        auto dc = qr.view.MakeDC(printing);
        qr.code->Draw(dc.get(), 0);
        const auto images = std::count_if(dc->records.begin(), dc->records.end(), [](const CRecordedPrimitive& p) {
            return p.kind == CRecordedPrimitive::Kind::Image;
        });
        EXPECT_EQ(images, printing ? 0 : 1);
        EXPECT_TRUE(std::any_of(dc->records.begin(), dc->records.end(), [](const CRecordedPrimitive& p) {
            return p.kind == CRecordedPrimitive::Kind::Fill;
        }));
    }
}
