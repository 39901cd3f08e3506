// What the data-source page decides without its widgets: the rows of a stored binding, the checks
// and stores of Apply, the sizes it shows and sets, and the module-width steps of a barcode.

#include "data/datasourceedit.h"
#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/resourcemodule.h"
#include "framework/textnumbers.h"
#include "support/fakeview.h"
#include "symbology/drawbarcode.h"
#include "symbology/zxing_read.h"

#include <xercesc/dom/DOMElement.hpp>

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

namespace {

// A document with a view, the schema map {T: [A, B, C]} and one object.
template <typename T>
struct Label {
    CDrawDoc doc;
    CFakeDrawView view;
    T* obj = nullptr;
    template <typename... Args>
    explicit Label(Args&&... args)
    {
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
        doc.AddView(&view);
        doc.GetSchemaMap()[QStringLiteral("T")] = {"A", "B", "C"};
        obj = new T(CRect(1000, 1000, 1000, 1000), &view, std::forward<Args>(args)...);
        doc.Add(obj);
    }
    ~Label() { doc.RemoveView(&view); }
};

CDataSourceInput Input(int mode, const CString& text = {}, const CString& repeat = QStringLiteral("1"))
{
    CDataSourceInput in;
    in.mode = mode;
    in.alignment = ALIGN_LEFT;
    in.text = text;
    in.step = QStringLiteral("1");
    in.repeat = repeat;
    in.direction = 0;
    return in;
}

// The block's data items as "table|field|prefix|suffix".
std::vector<CString> Items(const CContentBlock& block)
{
    std::vector<CString> out;
    for (const CDataItem& i : GetDataItems(block))
        out.push_back(QStringList {i.table, i.field, i.prefix, i.suffix}.join(u'|'));
    return out;
}

// Saves the label to a file and opens that into `back`, whose one object is the text `reloaded`.
void SaveAndOpen(CDrawDoc& doc, CDrawDoc& back, const CDrawText*& reloaded)
{
    QTemporaryDir dir;
    const CString path = dir.filePath("bound.tag");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    ASSERT_TRUE(back.OnOpenDocument(path));
    ASSERT_EQ(back.GetObjects().size(), 1u);
    reloaded = dynamic_cast<CDrawText*>(back.GetObjects().front());
    ASSERT_NE(reloaded, nullptr);
}

}  // namespace

TEST(DataSourcePage, BindingSurvivesTheGridAndASavedLabelFile)
{
    Label<CDrawText> label(QStringLiteral("x"));
    CContentBlock& block = label.obj->Content();
    AddDataItem(block, "T", "A", "<", ">");
    AddDataItem(block, "T", "B", "", "<TAB>");
    AddDataItem(block, "Old", "Gone", "p", "s");  // a field the source no longer has

    const CDataSourceEdit edit(&label.doc.GetSchemaMap());
    std::vector<CDataItemRow> rows = edit.Rows(block);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(QStringList({rows[0].Caption(), rows[1].Caption(), rows[2].Caption()}),
              QStringList({"T.A", "T.B", "Old.Gone"}));
    EXPECT_EQ(rows[1].fieldIndex, 1);
    EXPECT_FALSE(rows[2].Known());
    EXPECT_EQ(edit.FindField("c"), 2);  // fields are found whatever their case

    CDataSourceInput in = Input(CONTENT_DATA);
    in.rows = rows;
    in.rows.push_back(edit.NewRow(2, "#", ""));
    ASSERT_FALSE(edit.Apply(in, block));
    EXPECT_EQ(block.mode, CONTENT_DATA);
    const std::vector<CString> applied {"T|A|<|>", "T|B||<TAB>", "Old|Gone|p|s", "T|C|#|"};
    EXPECT_EQ(Items(block), applied);
    // Written as "DataItem" elements; the parser's DOM keeps attributes sorted by name.
    EXPECT_TRUE(block.binding.Xml().contains(R"(<DataItem FieldName="C" Prefix="#" Suffix="" TableName="T"/></Database>)"));

    CDrawDoc back;
    const CDrawText* reloaded = nullptr;
    ASSERT_NO_FATAL_FAILURE(SaveAndOpen(label.doc, back, reloaded));
    EXPECT_EQ(Items(reloaded->Content()), applied);
    EXPECT_EQ(reloaded->Content().mode, CONTENT_DATA);

    // Removing the item that is not offered drops it.
    in.rows.erase(in.rows.begin() + 2);
    ASSERT_FALSE(edit.Apply(in, block));
    EXPECT_EQ(Items(block), (std::vector<CString> {"T|A|<|>", "T|B||<TAB>", "T|C|#|"}));
}

// Apply replaces the items by the grid's rows, each edit starting from the document the one
// before left; the saved label gives the same items back, also when its binding is one the XML
// library cannot write.
TEST(DataSourcePage, AppliedAndStoredBindingsKeepEveryRow)
{
    const CString lone = QString("A") + QChar(0xD800);
    const struct {
        QString binding;  // the object's binding before Apply; empty for the template
        std::vector<CDataItem> rows;
        std::vector<CString> items;  // after Apply, and after saving and opening again
    } cases[] = {
        {{}, {{"T", lone, "", ""}, {"T", "B", "", ""}}, {"T|A ||", "T|B||"}},
        {"<?xml version=\"1.1\"?><DataSource><Database Note=\"&#x1;\"><DataItem TableName=\"T\" "
         "FieldName=\"A\"/></Database></DataSource>",
         {{"T", "X", "", ""}, {"T", "Y", "", ""}},
         {"T|X||", "T|Y||"}},
        {"<?xml version=\"1.1\"?><DataSource><Database/></DataSource>",
         {{"T", QStringLiteral("C\u0080"), QStringLiteral("\u009F"), ""}, {"T", "D", "", ""}},
         {"T|C | |", "T|D||"}},
        // Not applied: written back as it was read.
        {"<?xml version=\"1.1\"?><DataSource><Database><DataItem TableName=\"T\" FieldName=\"&#x1;\"/>"
         "</Database></DataSource>",
         {},
         {QStringLiteral("T|\u0001||")}},
    };
    for (const auto& c : cases) {
        Label<CDrawText> label(QStringLiteral("x"));
        CContentBlock& block = label.obj->Content();
        block.mode = CONTENT_DATA;
        if (!c.binding.isEmpty()) {
            ASSERT_TRUE(LoadBindingDocument(block, c.binding));
        }
        if (!c.rows.empty()) {
            const CDataSourceEdit edit(&label.doc.GetSchemaMap());
            CDataSourceInput in = Input(CONTENT_DATA);
            for (const CDataItem& row : c.rows)
                in.rows.push_back({row, -1});
            ASSERT_FALSE(edit.Apply(in, block));
        }
        EXPECT_EQ(Items(block), c.items) << qPrintable(c.binding);

        CDrawDoc back;
        const CDrawText* reloaded = nullptr;
        ASSERT_NO_FATAL_FAILURE(SaveAndOpen(label.doc, back, reloaded));
        EXPECT_EQ(Items(reloaded->Content()), c.items) << qPrintable(c.binding);
    }
}

TEST(DataSourcePage, ApplyChecksEverythingBeforeItStoresAnything)
{
    Label<CDrawText> label(QStringLiteral("x"));
    CContentBlock& block = label.obj->Content();
    const CDataSourceEdit edit(&label.doc.GetSchemaMap());

    // Serial texts: digits only, an empty text too.
    for (const char* ok : {"00123", ""}) {
        CDataSourceInput in = Input(CONTENT_SERIAL, ok, "3");
        in.alignment = ALIGN_RIGHT;
        EXPECT_FALSE(edit.Apply(in, block)) << ok;
    }
    EXPECT_EQ(block.mode, CONTENT_SERIAL);
    EXPECT_EQ(block.repeat, 3);
    EXPECT_EQ(block.alignment, ALIGN_RIGHT);

    // Refusals leave the whole block as it was: mode, alignment and serial settings.
    block.mode = CONTENT_FIXED;
    block.alignment = ALIGN_LEFT;
    struct Case { CString text, repeat; UINT message; int control; };
    for (const Case& c : {Case {"12a", "1", 17, 128}, Case {"1", "0", 20, 1154}, Case {"1", "x", 20, 1154}}) {
        CDataSourceInput in = Input(CONTENT_SERIAL, c.text, c.repeat);
        in.alignment = ALIGN_CENTRE;
        in.prefix = "No. ";
        const CDataSourceRefusal refused = edit.Apply(in, block);
        EXPECT_EQ(refused.message, c.message) << c.text.toStdString() << c.repeat.toStdString();
        EXPECT_EQ(refused.control, c.control);
        EXPECT_EQ(block.mode, CONTENT_FIXED);
        EXPECT_EQ(block.alignment, ALIGN_LEFT);
        EXPECT_EQ(block.repeat, 3);
        EXPECT_EQ(block.prefix, "");
    }

    // Nothing chosen in the mode or alignment list: the block keeps both.
    block.mode = CONTENT_DATA;
    block.alignment = ALIGN_RIGHT;
    CDataSourceInput none = Input(-1);
    none.alignment = -1;
    none.rows = {edit.NewRow(0, "", "")};
    EXPECT_FALSE(edit.Apply(none, block));
    EXPECT_EQ(block.mode, CONTENT_DATA);
    EXPECT_EQ(block.alignment, ALIGN_RIGHT);

    // Rows that the binding cannot take (its text did not parse): string 640, nothing stored.
    ASSERT_FALSE(LoadBindingDocument(block, "<DataSource>"));
    none.alignment = ALIGN_LEFT;
    const CDataSourceRefusal refused = edit.Apply(none, block);
    EXPECT_EQ(refused.message, 640u);
    EXPECT_EQ(refused.control, 202);
    EXPECT_EQ(block.alignment, ALIGN_RIGHT);
}

// A stored field is found as a case-blind comparison finds it, in any script: the first of fields
// that differ in case only; a leading U+FEFF is part of the name.
TEST(DataSourcePage, StoredFieldsAreFoundWithoutRegardToCase)
{
    const CDataSourceEdit::Tables tables {{"T", {"Code", "code", QStringLiteral("Gr\u00F6\u00DFe"), QStringLiteral("\u03A3\u03A6"),
                                                 QStringLiteral("\U00010400x"), QStringLiteral("\uFEFFB")}}};
    const CDataSourceEdit edit(&tables);
    const std::pair<QString, int> cases[] = {
        {"CODE", 0}, {QStringLiteral("GR\u00D6\u00DFE"), 2}, {"GR\u00D6SSE", -1}, {QStringLiteral("\u03C2\u03C6"), 3},
        {QStringLiteral("\U00010428X"), 4}, {QStringLiteral("\uFEFFb"), 5}, {"B", -1},
    };
    for (const auto& [field, index] : cases)
        EXPECT_EQ(edit.FindField(field), index) << qPrintable(field);
}

TEST(DataSourcePage, SizesShowRoundedAndTheBarHeightFollowsOnlyATypedHeight)
{
    EXPECT_EQ(MillimetresText(1536), "25.40");
    EXPECT_EQ(MillimetresText(600), "9.92");  // 9.921875 mm

    Label<CDrawBarcode> label(QStringLiteral("ABC123"), BARCODE_ID_CODE39);
    CDrawBarcode& code = *label.obj;
    CBarcode& symbol = *code.GetBarcode();

    // 20 mm less the 8-point line (171 units at 100 %, whatever the zoom of the view).
    label.view.zoom = 200;
    auto dc = label.view.MakeDC();
    const double typed = 20.0;
    ApplyBarcodeSizes(code, dc.get(), 0, &typed);
    EXPECT_NEAR(symbol.GetBarHeight(), (20.0 / 25.4 * 1536 - 171) / 1536, 1e-5);
    EXPECT_EQ(code.m_position.Height(), int(symbol.GetBarHeightInUnits()) + 171);
}

TEST(DataSourcePage, ModuleWidthStepsChangeTheSymbolAndStayInBounds)
{
    Label<CDrawBarcode> label(QStringLiteral("ABC123"), BARCODE_ID_CODE39);
    CDrawBarcode& code = *label.obj;
    auto dc = label.view.MakeDC();
    auto widthOf = [&](const CString& text) {
        return [&code, &dc, text](double w) {
            return code.SymbolRectWithModule(dc.get(), float(w), text).Width() / 1536.0 * 25.4;
        };
    };
    const CModuleWidthStep steps(code.GetBarcode()->GetModuleWidth(), widthOf("ABC123"));
    EXPECT_EQ(steps.Step(0, 1), 1);
    EXPECT_EQ(steps.Step(1, 1), 7);
    EXPECT_EQ(steps.Step(0, 0), 0);
    EXPECT_LT(steps.Step(0, -1), 0);
    // At 0.0061 inch the next step down would reach 0.006: refused.
    EXPECT_EQ(steps.Step(-39, -1), 0);
    EXPECT_LT(steps.Step(-38, -1), 0);

    // Never past 1 inch: from just below it the last step up is refused.
    const CModuleWidthStep nearInch(0.9995, widthOf("ABC123"));
    int p = 0;
    for (int k; (k = nearInch.Step(p, 1)) != 0;)
        p += k;
    EXPECT_LE(nearInch.ModuleAt(p), 1.0 + 1e-9);
    // A symbol whose width never changes (nothing drawn for an empty text): the search ends at
    // the bounds and the step is refused.
    const CModuleWidthStep constant(0.01, [](double) { return 0.0; });
    EXPECT_EQ(constant.Step(0, 1), 0);
    EXPECT_EQ(constant.Step(0, -1), 0);

    // The first step applied: 0.0101 inch, and the symbol still reads.
    ApplyBarcodeSizes(code, dc.get(), 1, nullptr);
    EXPECT_FLOAT_EQ(code.GetBarcode()->GetModuleWidth(), 0.0101f);
    QImage image(1600, 700, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        CPainterDC painter(&image);
        painter.SetMapMode(MM_ANISOTROPIC);
        painter.SetWindowExt(1536, 1536);
        painter.SetViewportExt(300, 300);
        painter.SetWindowOrg(800, 800);
        code.Draw(&painter, 0);
    }
    EXPECT_EQ(zxread::Decode(image, ZXing::BarcodeFormat::Code39).text, "ABC123");
}

