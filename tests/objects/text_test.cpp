#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/painterdc.h"
#include "framework/recordingdc.h"
#include "framework/resourcemodule.h"
#include "objects/bigdecimal.h"
#include "objects/drawtext.h"
#include "framework/resourcemanager.h"
#include "support/fakeview.h"
#include "support/testoutput.h"
#include "framework/printinfo.h"

#include <QImage>
#include <gtest/gtest.h>
#include <xercesc/dom/DOMDocument.hpp>

#include <cstring>
#include <memory>
#include <numeric>

namespace {

using Kind = CRecordedPrimitive::Kind;

void LoadResources()
{
    if (!CResourceModule::Get().IsLoaded() || CResourceModule::Get().IsFallback())
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
}

struct DrawnChar {
    QString text;
    CPoint at;
    LOGFONTW font;
    int rotation = 0;
    CPoint rotationCentre;
};

// A text object at (1000, 2000) with a 12-point font (256 units: characters 128 wide, 'M' 256,
// 10 units apart) in a box of the given size.
std::unique_ptr<CDrawText> MakeText(CFakeDrawView& view, const QString& text, int width, int height)
{
    auto obj = std::make_unique<CDrawText>(CRect(1000, 2000, 1001, 2001), &view, text);
    obj->m_position = CRect(1000, 2000, 1000 + width, 2000 + height);
    return obj;
}

// The characters drawn, runs taken apart, each where its spacing entry puts it.
std::vector<DrawnChar> Draw(CFakeDrawView& view, CDrawText& obj, int labelIndex = 0, const CRect* clip = nullptr)
{
    auto dc = view.MakeDC();
    if (clip)
        dc->IntersectClipRect(clip->left, clip->top, clip->right, clip->bottom);
    obj.Draw(dc.get(), labelIndex);
    std::vector<DrawnChar> out;
    for (const CRecordedPrimitive& r : dc->records) {
        if (r.kind != Kind::Text)
            continue;
        CPoint at = r.points.at(0);
        for (qsizetype i = 0; i < r.text.size(); ++i) {
            out.push_back({r.text.mid(i, 1), at, r.font, r.rotation, r.rotationCentre});
            at.x += i < qsizetype(r.dx.size()) ? r.dx[size_t(i)] : 0;
        }
    }
    return out;
}

// The object's data items, each as "table|field|prefix|suffix".
QStringList Items(CDrawText& obj)
{
    QStringList items;
    for (const CDataItem& i : GetDataItems(obj.Content()))
        items << QStringList {i.table, i.field, i.prefix, i.suffix}.join(u'|');
    return items;
}

}  // namespace

TEST(TextObject, NewObjectsTakeTheirFontAndSizeFromTheView)
{
    CFakeDrawView view;
    view.zoom = 200;  // the font does not follow the zoom
    CDrawText small(CRect(0, 0, 10, 10), &view, "AB");
    EXPECT_EQ(small.m_logfont.lfHeight, 256);
    EXPECT_EQ(FaceNameOf(small.m_logfont), QString::fromUtf16(u"\u7D30\u660E\u9AD4"));
    // Grown to the text: two characters of 128 with their spacing, one line.
    EXPECT_EQ(small.m_position, CRect(0, 0, 276, 256));
    CDrawText large(CRect(0, 0, 1000, 900), &view, "AB");
    EXPECT_EQ(large.m_position, CRect(0, 0, 1000, 900));

    CRect fitted(5, 5, 0, 0);
    large.SetView(&view);
    large.UpdateSize(&fitted);
    EXPECT_EQ(fitted, CRect(5, 5, 281, 261));
    large.m_text = "A\nB\n";
    large.UpdateSize(&fitted);
    EXPECT_EQ(fitted, CRect(5, 5, 143, 5 + 3 * 256));
    large.m_text.clear();
    large.UpdateSize(&fitted);
    EXPECT_EQ(fitted, CRect(5, 5, 5, 261));  // empty: no width, one line
}

TEST(TextObject, TextOfEachModeAndLabel)
{
    CFakeDrawView view;
    auto obj = MakeText(view, "0009", 2000, 2000);
    CContentBlock& c = obj->Content();
    EXPECT_EQ(obj->GetDrawString(nullptr, 5), "0009");
    c.prefix = "No.<TAB>";
    c.suffix = "<CRLF>";
    c.step = 1;
    EXPECT_EQ(obj->GetDrawString(nullptr, 5), "0009");  // prefix and suffix only for serials
    c.mode = CONTENT_SERIAL;
    EXPECT_EQ(obj->GetDrawString(nullptr, 0), "No.\t0009\r\n");
    EXPECT_EQ(obj->GetDrawString(nullptr, 1), "No.\t0010\r\n");
    c.mode = 3;
    EXPECT_EQ(obj->GetDrawString(nullptr, 2), "");
    EXPECT_TRUE(Draw(view, *obj).empty());
}

TEST(TextObject, LayoutSqueezesFillsAndAligns)
{
    CFakeDrawView view;
    // Natural size from the top-left in a larger box.
    auto obj = MakeText(view, "AB", 1000, 1000);
    auto drawn = Draw(view, *obj);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].at, CPoint(1000, 2000));
    EXPECT_EQ(drawn[1].at, CPoint(1138, 2000));
    EXPECT_EQ(drawn[1].font.lfWidth, 128);
    EXPECT_EQ(drawn[1].font.lfHeight, 256);

    // Too wide: squeezed horizontally only (the widest line is 266 without its last spacing).
    obj->m_position = CRect(1000, 2000, 1133, 3000);
    drawn = Draw(view, *obj);
    EXPECT_EQ(drawn[1].at, CPoint(1069, 2000));
    EXPECT_EQ(drawn[1].font.lfWidth, 64);
    EXPECT_EQ(drawn[1].font.lfHeight, 256);

    // Too high: squeezed vertically only.
    obj->m_text = "A\nB";
    obj->m_position = CRect(1000, 2000, 3000, 2256);
    drawn = Draw(view, *obj);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[1].at, CPoint(1000, 2128));
    EXPECT_EQ(drawn[1].font.lfWidth, 128);
    EXPECT_EQ(drawn[1].font.lfHeight, 128);

    // Sizing mode 1 fills the box exactly, growing as well as shrinking.
    obj->m_text = "AB";
    obj->Content().sizingMode = 1;
    obj->m_position = CRect(1000, 2000, 1532, 2512);
    drawn = Draw(view, *obj);
    EXPECT_EQ(drawn[1].at, CPoint(1276, 2000));
    EXPECT_EQ(drawn[1].at.x + drawn[1].font.lfWidth, 1532);  // 'B' ends on the right edge
    EXPECT_EQ(drawn[1].font.lfHeight, 512);
    obj->m_text.clear();  // an empty text in sizing mode 1 draws nothing and does not fail
    EXPECT_TRUE(Draw(view, *obj).empty());

    // Squeezed to nothing, a font keeps one unit instead of falling back to its natural size (0):
    // a line squeezed narrow draws hairline characters; lines squeezed below a pixel, none.
    obj->Content().sizingMode = 0;
    obj->m_text = QString(4000, u'A');
    obj->m_position = CRect(1000, 2000, 1256, 2256);
    drawn = Draw(view, *obj);
    ASSERT_EQ(drawn.size(), 4000u);
    EXPECT_EQ(drawn[0].font.lfWidth, 1);
    obj->m_text = QString("A\n").repeated(4000);
    EXPECT_TRUE(Draw(view, *obj).empty());

    // Right alignment puts each line's last character on the right edge, without the spacing.
    obj->Content().sizingMode = 0;
    obj->Content().alignment = ALIGN_RIGHT;
    obj->m_text = "AM\nA";
    obj->m_position = CRect(1000, 2000, 2000, 3000);
    drawn = Draw(view, *obj);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].at, CPoint(1606, 2000));
    EXPECT_EQ(drawn[1].at, CPoint(1744, 2000));  // 'M' is 256 wide: 1744 + 256 = 2000
    EXPECT_EQ(drawn[2].at, CPoint(1872, 2256));
    obj->Content().alignment = ALIGN_CENTRE;
    drawn = Draw(view, *obj);
    EXPECT_EQ(drawn[0].at, CPoint(1303, 2000));
    EXPECT_EQ(drawn[2].at, CPoint(1436, 2256));
}

TEST(TextObject, CarriageReturnsOverprintAndEscapedLineFeedsBreak)
{
    CFakeDrawView view;
    auto obj = MakeText(view, "AB\rC", 2000, 2000);
    auto drawn = Draw(view, *obj);
    ASSERT_EQ(drawn.size(), 3u);  // the carriage return itself is not drawn
    EXPECT_EQ(drawn[2].text, "C");
    EXPECT_EQ(drawn[2].at, drawn[0].at);

    // "<CR>" in a serial's prefix is a new line; "<LF>" goes back to the line's start.
    obj->m_text = "7";
    obj->Content().mode = CONTENT_SERIAL;
    obj->Content().step = 1;
    obj->Content().prefix = "N<CR>";
    obj->Content().suffix = "<LF>x";
    drawn = Draw(view, *obj, 2);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].at, CPoint(1000, 2000));
    EXPECT_EQ(drawn[1].text, "9");
    EXPECT_EQ(drawn[1].at, CPoint(1000, 2256));
    EXPECT_EQ(drawn[2].at, CPoint(1000, 2256));
}

TEST(TextObject, TabIsDrawnAsTheFontsGlyphWithoutSqueezingTheLine)
{
    // A 12-point serial number behind "No.<TAB>", drawn on a 96-dpi image: the tab is as wide
    // as a space, so the line keeps its natural width in a one-inch box.
    CFakeDrawView view;
    auto render = [&view](const QString& prefix) {
        auto obj = MakeText(view, "7", 1536, 400);
        obj->Content().mode = CONTENT_SERIAL;
        obj->Content().step = 1;
        obj->Content().prefix = prefix;
        QImage img(120, 40, QImage::Format_RGB32);
        img.fill(Qt::white);
        CPainterDC dc(&img);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(1536, 1536);
        dc.SetViewportExt(96, 96);
        dc.SetWindowOrg(1000 - 64, 2000 - 64);
        obj->Draw(&dc, 0);
        return img;
    };
    const QImage tab = render("No.<TAB>");
    tab.save(TestOutputDir() + QStringLiteral("/text_tab.png"));
    EXPECT_TRUE(tab == render("No. "));
}

TEST(TextObject, DraggingKeepsAMinimumAndInModeOneScalesTheFont)
{
    CDrawDoc doc;
    CFakeDrawView view;
    doc.AddView(&view);
    auto* obj = new CDrawText(CRect(0, 0, 10, 10), &view, "AB");
    doc.Add(obj);
    obj->DragHandle(5, CPoint(10, -400), &view);
    EXPECT_EQ(obj->m_position, CRect(0, 0, 50, 50));
    obj->DragHandle(1, CPoint(500, 500), &view);
    EXPECT_EQ(obj->m_position, CRect(0, 0, 50, 50));
    EXPECT_EQ(obj->m_logfont.lfHeight, 256);  // sizing mode 0 leaves the font

    // Font follows the box: width 552 for a natural 276 doubles the width, the height is the
    // box's; the right edge then snaps to the new layout (2 x 128 + 10 + 2 x 128 + 10).
    obj->m_position = CRect(0, 0, 276, 256);
    obj->Content().sizingMode = 1;
    obj->DragHandle(5, CPoint(552, 512), &view);
    EXPECT_EQ(obj->m_logfont.lfWidth, 256);
    EXPECT_EQ(obj->m_logfont.lfHeight, 512);
    EXPECT_EQ(obj->m_position, CRect(0, 0, 532, 512));
    // Two lines share the height; the left handle moves the left edge.
    obj->m_text = "AB\nC";
    obj->DragHandle(7, CPoint(-100, 1000), &view);
    EXPECT_EQ(obj->m_logfont.lfHeight, 500);
    EXPECT_EQ(obj->m_position.right, 532);
    EXPECT_EQ(obj->m_logfont.lfWidth, 304);
    EXPECT_EQ(obj->m_position.left, 532 - (2 * 304 + 2 * 10));  // snapped to the new layout
    // An empty text keeps its font.
    obj->m_text.clear();
    const LOGFONTW before = obj->m_logfont;
    obj->DragHandle(5, CPoint(2000, 2000), &view);
    EXPECT_EQ(std::memcmp(&before, &obj->m_logfont, sizeof before), 0);
    doc.RemoveView(&view);
}

TEST(TextObject, TurnedTextIsDrawnWhole)
{
    CFakeDrawView view;
    auto obj = MakeText(view, "A", 500, 300);
    obj->Rotate90();
    EXPECT_EQ(obj->m_logfont.lfEscapement, 900);
    const CRect turned = obj->m_position;
    auto drawn = Draw(view, *obj);
    ASSERT_EQ(drawn.size(), 1u);
    // The text is drawn as a whole turned about its box, in upright glyphs laid out across the
    // box's width before the turn; the stored fields stay.
    EXPECT_EQ(drawn[0].font.lfEscapement, 0);
    EXPECT_EQ(drawn[0].rotation, 900);
    EXPECT_EQ(drawn[0].rotationCentre, turned.CenterPoint());
    EXPECT_EQ(drawn[0].at.x, turned.CenterPoint().x - 250);
    EXPECT_EQ(obj->m_logfont.lfEscapement, 900);
    EXPECT_EQ(obj->m_position, turned);
}

TEST(TextObject, BindingMarkerShowsWhetherTheItemIsTheDocumentsTable)
{
    LoadResources();
    CDrawDoc doc;
    CFakeDrawView view;
    auto* obj = new CDrawText(CRect(0, 0, 2000, 1000), &view, "");
    doc.Add(obj);
    doc.SetTableName("Orders");
    obj->Content().mode = CONTENT_DATA;

    auto markers = [&](bool printing) {
        auto dc = view.MakeDC(printing);
        obj->Draw(dc.get(), 0);
        std::vector<CRecordedPrimitive> images;
        for (const auto& rec : dc->records)
            if (rec.kind == Kind::Image)
                images.push_back(rec);
        return images;
    };
    EXPECT_TRUE(markers(false).empty());  // no data item yet

    AddDataItem(obj->Content(), "Orders", "Code", "", "");
    auto images = markers(false);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rect, CRect(1744, 744, 2000, 1000));  // 16 device pixels at 100 %
    const QImage matching = CResourceManager::GetInstance()->BlendedImage(CResourceManager::kMarkerBitmap, 3);
    const QImage foreign = CResourceManager::GetInstance()->BlendedImage(CResourceManager::kMarkerBitmap, 1);
    ASSERT_NE(matching, foreign);
    EXPECT_EQ(images[0].image, matching);
    EXPECT_TRUE(markers(true).empty());  // never on paper

    doc.SetTableName("orders");  // the names are compared exactly
    images = markers(false);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].image, foreign);

    view.zoom = 200;
    RemoveAllDataItems(obj->Content());
    AddDataItem(obj->Content(), "", "Code", "", "");  // an item of no table is the document's
    images = markers(false);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rect, CRect(1872, 872, 2000, 1000));
    EXPECT_EQ(images[0].image, matching);
}

namespace {

struct RecordFields {
    int schema = 7;
    int mode = CONTENT_DATA;
    QString xml;  // schema 7
};

// A text object's record written field by field: the object's class reference carries the
// schema, and every level of a record of schema above 0 has its class reference.
QByteArray TextRecord(const RecordFields& fields)
{
    CArchive o(CArchive::store);
    o.WriteClass(RUNTIME_CLASS(CDrawText));
    o.WriteClass(RUNTIME_CLASS(CDrawObj));
    o << CRect(10, 20, 300, 400) << WORD(0) << DWORD(PS_INSIDEFRAME) << 6 << 6 << DWORD(0) << WORD(0)
      << DWORD(0) << DWORD(0) << DWORD(0);
    o.WriteClass(RUNTIME_CLASS(CDrawRect));
    o << WORD(0) << CPoint(0, 0) << DWORD(0) << 0.1;
    o.WriteClass(RUNTIME_CLASS(CDrawText));
    o << fields.mode << 1 << 3 << 2 << CString("pre") << CString("suf");
    o << 300 << 0 << 0 << 0 << 700;
    for (int i = 0; i < 8; ++i)
        o << BYTE(0);
    const QString face = "Arial";
    for (int i = 0; i < LF_FACESIZE; ++i)
        o << WORD(i < face.size() ? face[i].unicode() : 0);
    if (fields.schema >= 4)
        o << DWORD(0xFF);
    o << CString("text");
    if (fields.schema >= 2)
        o << CString("Name");
    if (fields.schema == 7) {
        o << fields.xml << 1 << 2;
    } else if (fields.schema >= 3) {
        o << CString("Orders") << CString("Code");
        if (fields.schema >= 5)
            o << 1;
        if (fields.schema >= 6)
            o << 2;
    }
    QByteArray bytes = o.GetBuffer();
    bytes[2] = char(fields.schema);  // the object's class schema
    return bytes;
}

std::unique_ptr<CDrawText> LoadText(CDrawDoc& doc, const QByteArray& bytes)
{
    CArchive in(bytes, CArchive::load);
    in.m_pDocument = &doc;
    std::unique_ptr<CDrawText> obj(static_cast<CDrawText*>(in.ReadObject(RUNTIME_CLASS(CDrawText))));
    EXPECT_TRUE(in.IsBufferEmpty());
    return obj;
}

}  // namespace

TEST(TextObject, OlderRecordsLoadWithTheirSingleDataItem)
{
    LoadResources();
    for (int schema = 1; schema <= 6; ++schema) {
        for (int mode : {CONTENT_FIXED, CONTENT_SERIAL, CONTENT_DATA}) {
            SCOPED_TRACE(testing::Message() << "schema " << schema << ", mode " << mode);
            CDrawDoc doc;
            auto obj = LoadText(doc, TextRecord({schema, mode, {}}));
            EXPECT_EQ(obj->m_position, CRect(10, 20, 300, 400));
            EXPECT_EQ(obj->Content().mode, mode);
            EXPECT_EQ(obj->Content().direction, 1);
            EXPECT_EQ(obj->Content().repeat, 3);
            EXPECT_EQ(obj->Content().step, 2);
            EXPECT_EQ(obj->m_logfont.lfHeight, 300);
            EXPECT_EQ(obj->m_logfont.lfWeight, 700);
            EXPECT_EQ(FaceNameOf(obj->m_logfont), "Arial");
            EXPECT_EQ(obj->m_text, "text");
            EXPECT_EQ(obj->m_textColor, schema >= 4 ? 0xFFu : 0u);
            EXPECT_EQ(obj->GetName(), schema >= 2 ? "Name" : "Text 1");
            EXPECT_EQ(obj->Content().sizingMode, schema >= 5 ? 1 : 0);
            EXPECT_EQ(obj->Content().alignment, schema >= 6 ? 2 : 0);
            ASSERT_TRUE(obj->Content().binding.HasDatabase());
            EXPECT_EQ(Items(*obj), schema >= 3 && mode == CONTENT_DATA ? QStringList {"Orders|Code|pre|suf"}
                                                                       : QStringList {});
        }
    }
}

TEST(TextObject, BindingXmlIsCleanedOrReplacedByTheTemplate)
{
    CDrawDoc doc;
    // A character XML does not allow becomes a space; a private-use character stays.
    const QString dirty = QString::fromUtf16(
        u"<DataSource><Database><DataItem TableName=\"A\u0001B\" FieldName=\"\uE000\"/></Database></DataSource>");
    auto obj = LoadText(doc, TextRecord({7, CONTENT_DATA, dirty}));
    EXPECT_EQ(Items(*obj), QStringList {"A B|" + QString(QChar(0xE000)) + "||"});
    EXPECT_EQ(obj->Content().sizingMode, 1);
    EXPECT_EQ(obj->Content().alignment, 2);

    // Text that is no XML at all leaves the empty template: no items, and a record written
    // again holds a document that loads.
    for (const QString& broken : {QString("<DataSource><Database>"), QString()}) {
        auto bad = LoadText(doc, TextRecord({7, CONTENT_DATA, broken}));
        ASSERT_TRUE(bad->Content().binding.HasDatabase());
        EXPECT_TRUE(Items(*bad).isEmpty());
        EXPECT_TRUE(bad->Content().binding.Xml().contains("<Database>"));
        CArchive out(CArchive::store);
        out.WriteObject(bad.get());
        auto again = LoadText(doc, out.GetBuffer());
        EXPECT_EQ(again->Content().binding.Xml(), bad->Content().binding.Xml());
    }

    // Records newer than this program refuse to load.
    EXPECT_THROW(LoadText(doc, TextRecord({8, CONTENT_FIXED, {}})), CArchiveException);
}

TEST(TextObject, DocumentRoundTripKeepsEveryField)
{
    CDrawDoc doc;
    CFakeDrawView view;
    auto* obj = new CDrawText(CRect(100, 200, 900, 700), &view, "0042");
    doc.Add(obj);
    CContentBlock& c = obj->Content();
    c.mode = CONTENT_SERIAL;
    c.prefix = QString::fromUtf16(u"\u7F16\u53F7<CR>");
    c.suffix = "-x";
    c.step = -3;
    c.repeat = 4;
    c.direction = SERIAL_DOWN;
    c.sizingMode = 1;
    c.alignment = ALIGN_CENTRE;
    AddDataItem(c, "T", "F", "p", "s");
    obj->m_textColor = RGB(1, 2, 3);
    obj->m_logfont.lfItalic = 1;
    obj->Rotate90();
    obj->SetName("Serial");

    // Written again, the loaded document gives the same bytes; the hand-built records above
    // prove that the fields land where they belong.
    const QByteArray stored = doc.StoreContents();
    CDrawDoc loaded;
    loaded.LoadContents(stored);
    EXPECT_EQ(loaded.StoreContents(), stored);
    auto* back = dynamic_cast<CDrawText*>(loaded.GetObjects().at(0));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_pDocument, &loaded);
    EXPECT_EQ(back->GetDrawString(nullptr, 4), obj->GetDrawString(nullptr, 4));
}

TEST(TextObject, ALongTextPrintsInOneRunALine)
{
    constexpr int kLines = 40, kPerLine = 80;
    QString text;
    for (int line = 0; line < kLines; ++line)
        text += QString(kPerLine, QChar(u'A' + line % 26)) + u'\n';
    CFakeDrawView view;
    CDrawDoc doc;
    const float size[2] = {500.0f, 300.0f};
    doc.SetLabelSize(size);
    auto obj = MakeText(view, text, 2000, 1000);
    obj->m_position = CRect(10, 20, 2010, 1020);
    doc.Add(obj.release());
    doc.SetLabelsToPrint(1);
    auto dc = view.MakeDC(true);
    const CPrintInfo info;  // the first sheet
    const CRect margins;
    doc.PrintPage(dc.get(), &info, nullptr, &margins, FALSE, &info.m_rectDraw);

    // Each run holds a whole line with a spacing entry a character, the lines squeezed into the box.
    int runs = 0, widest = 0;
    for (const CRecordedPrimitive& r : dc->records) {
        if (r.kind == Kind::Text && r.text == QString(kPerLine, r.text[0]) && r.dx.size() == size_t(kPerLine)) {
            ++runs;
            widest = std::max(widest, std::accumulate(r.dx.begin(), r.dx.end(), 0));
        }
    }
    EXPECT_EQ(runs, kLines);
    EXPECT_TRUE(widest > 1900 && widest <= 2000) << widest;  // the line of M fills the box
}

TEST(TextObject, OnlyCharactersTheVisibleAreaCanShowAreDrawn)
{
    CFakeDrawView view;
    // One line of 100 characters 128 wide, 138 apart from x = 1000.
    auto obj = MakeText(view, QString(100, u'A'), 20000, 1000);
    obj->m_logfont.lfWidth = 0;
    const std::vector<DrawnChar> all = Draw(view, *obj);
    ASSERT_EQ(all.size(), 100u);

    // Clipped across the line or beside it: drawn where they were are the characters reaching
    // in, and of the others only those within a cell height (256) whose glyphs might.
    for (const CRect& clip : {CRect(5000, 0, 6000, 100000), CRect(0, 5000, 20000, 6000)}) {
        const std::vector<DrawnChar> drawn = Draw(view, *obj, 0, &clip);
        for (const DrawnChar& c : all) {
            CRect cell(c.at, CSize(128, 256)), overlap;
            const bool reaches = overlap.IntersectRect(cell, clip);
            cell.InflateRect(257, 257);
            const bool near = overlap.IntersectRect(cell, clip);
            const bool isDrawn = std::any_of(drawn.begin(), drawn.end(), [&](const DrawnChar& d) { return d.at == c.at; });
            EXPECT_TRUE(reaches ? isDrawn : !isDrawn || near) << c.at.x << " " << clip.top;
        }
    }
}
