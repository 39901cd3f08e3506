#include "document/drawdoc.h"
#include "document/printerhook.h"
#include "framework/archive.h"
#include "framework/compoundfile.h"
#include "framework/resourcemodule.h"
#include "objects/drawobj.h"
#include "objects/drawole.h"
#include "objects/drawpoly.h"
#include "support/fakeview.h"

#include "bytes.h"
#include "support/testoutput.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The test view, also recording which objects the document drops from its selection.
class FakeView : public CFakeDrawView {
public:
    void Deselect(CDrawObj* obj) override { deselected.push_back(obj); }
    std::vector<CDrawObj*> deselected;
};

// Records the orientations the documents hand to the application while it is installed.
struct HookRecorder {
    std::vector<int> calls;
    PrinterOrientationHook previous;
    HookRecorder() { previous = SetPrinterOrientationHook([this](int o) { calls.push_back(o); }); }
    ~HookRecorder() { SetPrinterOrientationHook(previous); }
};

// The sheet part shared by versions 1 to 4, up to the automatic flags.
Bytes SheetV2(DWORD version, const QString& printer = {})
{
    Bytes b;
    b.u32(version).u32(0x00C0FFEE).u32(0x04030201).f32(1000.0f).f32(500.0f);
    if (version >= 2)
        b.u32(11);
    b.str(printer).u32(2);
    b.f32(1).f32(2).f32(3).f32(4).f32(50).f32(60).f32(5).f32(6).u32(3).u32(7).u32(0).u32(0);
    return b;
}

// An empty object list and item list.
QByteArray WithEmptyLists(Bytes b) { return b.u16(0).u32(0).b; }

// The load's error, or an empty string when the bytes load.
std::string LoadError(const QByteArray& bytes)
{
    CDrawDoc doc;
    try {
        doc.LoadContents(bytes);
    } catch (const CArchiveException& e) {
        return e.what()[0] ? e.what() : "(no message)";
    }
    return {};
}

// A document with every field set and one object of each class.
void FillDocument(CDrawDoc& doc)
{
    const float paper[2] = {1016.5f, 1524.25f};
    doc.SetPaperSize(paper);
    doc.SetPaperCode(256);
    doc.SetPrinterName(QString::fromUtf8("Étiquettes 標籤"));
    doc.SetOrientation(2);
    doc.SetMargins(1.5f, 2.5f, 3.5f, 4.5f);
    const float label[2] = {400.125f, 300.0f}, gap[2] = {0.1f, 0.2f};
    doc.SetLabelSize(label);
    doc.SetLabelGap(gap);
    const int grid[2] = {4, 9};
    doc.SetLabelGrid(grid);
    doc.SetAutoGap(FALSE);
    doc.SetPaperColor(RGB(1, 2, 3));
    doc.SetReservedWord({9, 8, 7, 6});
    doc.SetDataSourceKind({0xFF, 0, 0x80, 1});
    doc.SetConnectionString("Provider=x");
    doc.SetDataFilePath("/tmp/data.csv");
    doc.SetDataSourceName("Data");
    doc.SetTableName("T");
    doc.SetQuery("SELECT a FROM `T`");

    auto* rect = new CDrawRect(CRect(10, 20, 300, 400));
    rect->m_nShape = CDrawRect::roundRectangle;
    rect->m_bBrush = TRUE;
    rect->FillShapeData();
    rect->m_shapeData.lineWidthMm = 0.5;
    rect->ApplyShapeData();
    doc.Add(rect);
    auto* poly = new CDrawPoly(CRect(0, 0, 0, 0));
    for (CPoint p : {CPoint(0, 0), CPoint(100, 0), CPoint(50, 80)})
        poly->AddPoint(p);
    doc.Add(poly);
    auto* ole = new CDrawOleObj(CRect(-100, -100, 500, 600));
    ole->m_extent = CSize(2540, 1270);
    ole->m_pItem = new CDrawItem;
    ole->m_pItem->m_pDrawObj = ole;
    ole->m_pItem->m_storage.WriteStream("\x01Ole", QByteArray("\x01\x00\x00\x02", 4));
    CStorage* inner = ole->m_pItem->m_storage.CreateStorage("Inner");
    inner->WriteStream("Data", QByteArray(5000, 'x'));
    inner->SetClassId({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    doc.Add(ole);
}

}  // namespace

TEST(DrawDoc, NewDocumentDefaultsAndStoredBytes)
{
    CDrawDoc doc;
    Bytes expected;
    expected.u32(4).u32(0x00FFFFFF).u32(0).f32(2100.0f).f32(2970.0f).u32(9).str("").u32(1);
    expected.f32(100).f32(100).f32(100).f32(100).f32(0).f32(0).f32(0).f32(0);
    expected.u32(2).u32(5).u32(1).u32(1).u32(0);
    for (int i = 0; i < 5; ++i)
        expected.str("");
    expected.u32(0).u16(0).u32(0);
    EXPECT_EQ(doc.StoreContents().toHex(), expected.b.toHex());
}

TEST(DrawDoc, ReadsEveryGeneration)
{
    HookRecorder hook;
    {
        // The oldest form: the leading white is the paper colour, lengths in 1/100 inch.
        Bytes b;
        b.u32(0x00FFFFFF).u32(0xAABBCCDD).f32(2100.0f).f32(2970.0f).str("Label printer").u32(2);
        b.f32(100).f32(100).f32(100).f32(100).f32(100).f32(50).f32(10).f32(20).u32(3).u32(4);
        CDrawDoc doc;
        doc.LoadContents(WithEmptyLists(b));
        float l, t, r, bm;
        doc.GetMargins(&l, &t, &r, &bm);
        EXPECT_EQ(bm, 254.0f);
        EXPECT_EQ(doc.GetLabelSize()[1], 50.0f * 2.54f);
        EXPECT_EQ(doc.GetLabelGap()[1], 20.0f * 2.54f);
        EXPECT_EQ(doc.GetPaperSize()[1], 2970.0f);
        EXPECT_EQ(doc.GetLabelGrid()[1], 4);
        EXPECT_EQ(doc.GetReservedWord(), (std::array<BYTE, 4> {0xDD, 0xCC, 0xBB, 0xAA}));
        EXPECT_EQ(hook.calls, std::vector<int> {2});
    }
    {
        // Version 1 has no paper code; its automatic flags are read.
        CDrawDoc doc;
        doc.LoadContents(WithEmptyLists(SheetV2(1)));
        EXPECT_EQ(doc.GetPaperCode(), 9);
        EXPECT_EQ(doc.GetPaperColor(), 0x00C0FFEEu);
        EXPECT_FALSE(doc.GetAutoGap());
        EXPECT_EQ(doc.GetLabelSize()[0], 50.0f);
        EXPECT_EQ(hook.calls.size(), 1u);  // no printer name: the printer stays as it is
    }
    for (const auto& [table, query] : {std::pair<QString, QString> {"Orders", "SELECT * FROM `Orders`"},
                                       {"", "SELECT * FROM ``"},
                                       {"a`b", "SELECT * FROM `a``b`"}}) {
        Bytes b = SheetV2(3, "P");
        b.u32(0x11223344).str("DSN=x").str("/data/a.xls").str("src").str(table);
        CDrawDoc doc;
        doc.LoadContents(WithEmptyLists(b));
        EXPECT_EQ(doc.GetPaperCode(), 11);
        EXPECT_EQ(doc.GetTableName(), table);
        EXPECT_EQ(doc.GetQuery(), query);
        EXPECT_EQ(doc.GetDataSourceKind(), (std::array<BYTE, 4> {0x44, 0x33, 0x22, 0x11}));
    }
    EXPECT_EQ(hook.calls, (std::vector<int> {2, 2, 2, 2}));
    // Set by hand, the orientation turns the printer only when the document names one.
    CDrawDoc named;
    named.SetOrientation(1);
    named.SetPrinterName("Office");
    named.SetOrientation(1);
    EXPECT_EQ(hook.calls, (std::vector<int> {2, 2, 2, 2, 1}));
    for (DWORD first : {0u, 5u, 0x00FFFFFEu}) {
        // No sheet fields: the object list follows the first word.
        Bytes b;
        b.u32(first);
        CDrawDoc doc;
        doc.LoadContents(WithEmptyLists(b));
        EXPECT_EQ(doc.GetPaperColor(), 0xFFFFFFu);
        EXPECT_EQ(doc.GetLabelGrid()[0], 2);
    }
}

TEST(DrawDoc, SavedAndLoadedDocumentIsEqual)
{
    QTemporaryDir dir(TestOutputDir() + "/drawdoc-XXXXXX");
    const QString path = dir.filePath("label.tag");
    CDrawDoc doc;
    FillDocument(doc);
    const QByteArray stored = doc.StoreContents();
    ASSERT_TRUE(doc.OnSaveDocument(path)) << doc.GetErrorText().toStdString();
    EXPECT_FALSE(doc.IsModified());

    CDrawDoc back;
    ASSERT_TRUE(back.OnOpenDocument(path)) << back.GetErrorText().toStdString();
    EXPECT_EQ(back.GetPathName(), path);
    EXPECT_EQ(back.StoreContents().toHex(), stored.toHex());
    ASSERT_EQ(back.GetObjects().size(), 3u);
    auto* ole = dynamic_cast<CDrawOleObj*>(back.GetObjects()[2]);
    ASSERT_TRUE(ole && ole->m_pItem);
    EXPECT_EQ(ole->m_pItem->m_storage,
              dynamic_cast<CDrawOleObj*>(doc.GetObjects()[2])->m_pItem->m_storage);
    EXPECT_EQ(back.GetItems().size(), 1u);
    EXPECT_EQ(back.GetSummInfo()->GetRevNum(), "1");

    // The item's data sits in its own sub-storage of the file.
    CCompoundFile file;
    QString error;
    ASSERT_TRUE(file.Load(path, error));
    const QString item = CDrawItem::StorageName(ole->m_pItem->m_dwItemNumber);
    EXPECT_TRUE(file.GetRoot().HasStorage(item));
    EXPECT_TRUE(file.GetRoot().HasStream(CSummInfo::StreamName()));

    // Saved again, the file holds the same archive and the same item data.
    const QString again = dir.filePath("again.tag");
    ASSERT_TRUE(back.OnSaveDocument(again));
    CCompoundFile second;
    ASSERT_TRUE(second.Load(again, error));
    EXPECT_EQ(*second.GetRoot().OpenStream("Contents"), *file.GetRoot().OpenStream("Contents"));
    EXPECT_EQ(*second.GetRoot().OpenStorage(item), *file.GetRoot().OpenStorage(item));
    EXPECT_EQ(back.GetSummInfo()->GetRevNum(), "2");

    // A clone's item is a second item with its own storage.
    back.GetObjects()[2]->Clone(&back);
    EXPECT_EQ(back.GetItems().size(), 2u);
    EXPECT_NE(back.GetItems()[0]->m_dwItemNumber, back.GetItems()[1]->m_dwItemNumber);
}

TEST(DrawDoc, FailedSaveAndOpenChangeNothing)
{
    QTemporaryDir dir(TestOutputDir() + "/drawdoc-XXXXXX");
    const QString path = dir.filePath("keep.tag");
    CDrawDoc doc;
    FillDocument(doc);
    ASSERT_TRUE(doc.OnSaveDocument(path));

    doc.Add(new CDrawRect(CRect(1, 1, 2, 2)));
    EXPECT_TRUE(doc.IsModified());
    const QString rev = doc.GetSummInfo()->GetRevNum();
    EXPECT_FALSE(doc.OnSaveDocument(dir.filePath("no-such-folder/x.tag")));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetSummInfo()->GetRevNum(), rev);
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_TRUE(doc.IsModified());
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A damaged file: the open fails and leaves an empty document bound to no file.
    const QString bad = dir.filePath("bad.tag");
    CCompoundFile broken;
    broken.GetRoot().WriteStream("Contents", QByteArray("\x04\x00\x00\x00", 4));
    QString error;
    ASSERT_TRUE(broken.Save(bad, error));
    CDrawDoc other;
    EXPECT_FALSE(other.OnOpenDocument(bad));
    EXPECT_FALSE(other.GetErrorText().isEmpty());
    EXPECT_TRUE(other.GetPathName().isEmpty());
    EXPECT_TRUE(other.GetObjects().empty());
    EXPECT_FALSE(other.OnOpenDocument(dir.filePath("missing.tag")));
    EXPECT_TRUE(other.GetPathName().isEmpty());
}

TEST(DrawDoc, ALabelWithADirectoryNoLabelNeedsIsRefusedOnOpening)
{
    if (!CResourceModule::Get().IsLoaded() || CResourceModule::Get().IsFallback())
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    QTemporaryDir dir(TestOutputDir() + "/drawdoc-XXXXXX");
    const QString path = dir.filePath("crowded.tag");
    CDrawDoc doc;
    FillDocument(doc);
    ASSERT_TRUE(doc.OnSaveDocument(path)) << doc.GetErrorText().toStdString();
    // The same label with thousands of streams added beside its own.
    CCompoundFile file;
    QString error;
    ASSERT_TRUE(file.Load(path, error)) << error.toStdString();
    for (int i = 0; i < CCompoundFile::MaxEntries; ++i)
        ASSERT_TRUE(file.GetRoot().WriteStream(QStringLiteral("Extra %1").arg(i), QByteArray(1, char(i))));
    ASSERT_TRUE(file.Save(path, error)) << error.toStdString();
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.GetErrorText().contains("crowded.tag") && doc.GetErrorText().contains(QString::number(CCompoundFile::MaxEntries)))
        << doc.GetErrorText().toStdString();
}

TEST(DrawDoc, MalformedArchivesAreRefused)
{
    CDrawDoc source;
    FillDocument(source);
    const QByteArray good = source.StoreContents();
    // Cut at every byte: each load fails with an archive error.
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_NE(LoadError(good.left(n)), "") << n;
    EXPECT_EQ(LoadError(good), "");

    auto header = [] { Bytes b; b.u32(0); return b; };
    // Huge counts and lengths.
    EXPECT_NE(LoadError(header().u16(0xFFFF).u32(0xFFFFFFFF).b), "");
    EXPECT_NE(LoadError(header().u16(0).u32(0xFFFFFFFF).b), "");
    EXPECT_NE(LoadError(Bytes().u32(4).u32(0).u32(0).f32(0).f32(0).u32(9).u8(0xFF).u16(0xFFFE)
                            .u8(0xFF).u16(0xFFFF).u32(0x7FFFFFFF).b), "");
    // An unknown class, and a class that is no label object.
    EXPECT_NE(LoadError(header().u16(1).cls("CNoSuchThing", 1).b), "");
    EXPECT_NE(LoadError(header().u16(1).cls("CDrawItem", 0).u32(1).u32(1).b), "");
    // A null entry.
    EXPECT_NE(LoadError(header().u16(1).u16(0).b), "");

    // One rectangle, then the same rectangle listed twice.
    CDrawDoc one;
    one.Add(new CDrawRect(CRect(0, 0, 10, 10)));
    QByteArray single = one.StoreContents();
    const qsizetype countAt = CDrawDoc().StoreContents().size() - 6;
    EXPECT_EQ(LoadError(single), "");
    QByteArray twice = single;
    twice[countAt] = 2;
    twice.insert(twice.size() - 4, QByteArray("\x02\x00", 2));  // a reference back to object 2
    EXPECT_NE(LoadError(twice), "");

    // A polygon whose count exceeds its allocation, and the same with room for its points.
    CDrawDoc polyDoc;
    auto* poly = new CDrawPoly(CRect());
    for (CPoint p : {CPoint(0, 0), CPoint(10, 0), CPoint(5, 8)})
        poly->AddPoint(p);
    polyDoc.Add(poly);
    QByteArray polyBytes = polyDoc.StoreContents();
    const qsizetype allocAt = polyBytes.size() - 4 - 24 - 2;
    ASSERT_EQ(polyBytes[allocAt], 10);
    polyBytes[allocAt] = 2;
    EXPECT_NE(LoadError(polyBytes), "");
    polyBytes[allocAt] = 3;
    EXPECT_EQ(LoadError(polyBytes), "");

    // An embedded item claimed by two objects.
    CDrawDoc oleDoc;
    auto* ole = new CDrawOleObj(CRect(0, 0, 5, 5));
    ole->m_pItem = new CDrawItem;
    ole->m_pItem->m_pDrawObj = ole;
    oleDoc.Add(ole);
    auto* other = new CDrawOleObj(CRect(0, 0, 5, 5));
    oleDoc.Add(other);
    QByteArray shared = oleDoc.StoreContents();
    EXPECT_EQ(LoadError(shared), "");
    // The stream ends in the second object's null item, the item count 1 and a reference back
    // to the first object's item; the null item becomes that reference too.
    const qsizetype nullAt = shared.size() - 8;
    ASSERT_EQ(shared.mid(nullAt, 2), QByteArray("\0\0", 2));
    const int itemIndex = BYTE(shared[shared.size() - 2]) | BYTE(shared[shared.size() - 1]) << 8;
    shared[nullAt] = char(itemIndex);
    shared[nullAt + 1] = char(itemIndex >> 8);
    EXPECT_NE(LoadError(shared), "");
}

TEST(DrawDoc, ObjectsCountersZoomAndViews)
{
    CDrawDoc doc;
    FakeView view;
    doc.AddView(&view);
    EXPECT_EQ(doc.FindObjectAtPoint(CPoint(5, 5)), nullptr);
    auto* a = new CDrawRect(CRect(0, 0, 100, 100));
    auto* b = new CDrawRect(CRect(50, 50, 150, 150));
    doc.Add(a);
    doc.Add(b);
    EXPECT_EQ(doc.FindObjectAtPoint(CPoint(60, 60)), b);
    EXPECT_EQ(doc.FindObjectAtPoint(CPoint(10, 10)), a);
    EXPECT_EQ(doc.FindObjectAtPoint(CPoint(200, 10)), nullptr);

    doc.SetModifiedFlag(FALSE);
    CDrawRect outsider(CRect(0, 0, 1, 1));
    doc.Remove(&outsider);
    EXPECT_TRUE(doc.IsModified());
    doc.Remove(b);
    EXPECT_EQ(doc.GetObjects().size(), 1u);
    EXPECT_EQ(view.deselected, (std::vector<CDrawObj*> {&outsider, b}));
    delete b;

    // A typed number beyond int clamps to the largest zoom; a preview shows 100 % and gives the
    // zoom back afterwards.
    doc.OnZoomSelEndOk("99999999999999999999");
    EXPECT_EQ(doc.GetZoom(), 1600);
    doc.SetInPrintPreview(TRUE);
    EXPECT_EQ(doc.GetZoom(), 100);
    doc.SetInPrintPreview(FALSE);
    EXPECT_EQ(view.zoom, 1600);

    // A new document needs its view; without one it is discarded.
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.GetObjects().empty());
    EXPECT_EQ(doc.GetSummInfo()->GetNumPages(), "1");
    doc.RemoveView(&view);
    EXPECT_FALSE(doc.OnNewDocument());
}

TEST(DrawDoc, ObjectListsTravelAsTheDocumentStoresThemAndDamageLeavesNothing)
{
    CDrawDoc source;
    FillDocument(source);
    const QByteArray list = source.StoreObjectList(source.GetObjects());
    EXPECT_TRUE(source.StoreContents().contains(list));

    CDrawDoc target;
    std::vector<CDrawObj*> read = target.LoadObjectList(list + QByteArray("trailing"));
    ASSERT_EQ(read.size(), source.GetObjects().size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i]->GetRuntimeClass(), source.GetObjects()[i]->GetRuntimeClass());
        EXPECT_EQ(read[i]->m_position, source.GetObjects()[i]->m_position);
        EXPECT_EQ(read[i]->m_pDocument, &target);
    }
    EXPECT_TRUE(target.GetObjects().empty());
    for (CDrawObj* obj : read)
        obj->Remove();
    EXPECT_TRUE(target.GetItems().empty());

    // Cut anywhere, nothing is made and nothing stays registered.
    for (qsizetype n = 0; n < list.size(); ++n) {
        EXPECT_THROW(target.LoadObjectList(list.left(n)), CArchiveException) << n;
        EXPECT_TRUE(target.GetItems().empty()) << n;
    }
    EXPECT_TRUE(target.GetObjects().empty());
    EXPECT_FALSE(target.IsModified());
}
