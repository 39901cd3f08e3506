#include "framework/archive.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray Le16(int v) { return Bytes({v & 0xFF, (v >> 8) & 0xFF}); }
QByteArray Le32(DWORD v) { return Bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)}); }

QByteArray NewClass(int schema, const QByteArray& name)
{
    return Le16(0xFFFF) + Le16(schema) + Le16(int(name.size())) + name;
}

// Runs fn on a loading archive over data and returns the cause it raised (-1: none).
int LoadCause(const QByteArray& data, const std::function<void(CArchive&)>& fn)
{
    CArchive ar(data);
    try {
        fn(ar);
    } catch (const CArchiveException& e) {
        EXPECT_NE(std::string(e.what()), "");
        return e.m_cause;
    }
    return -1;
}

struct CodePageScope {
    explicit CodePageScope(UINT cp) : saved(GetArchiveCodePage()) { SetArchiveCodePage(cp); }
    ~CodePageScope() { SetArchiveCodePage(saved); }
    UINT saved;
};

} // namespace

// An object with a value and a reference to another object (not owned).
class CTestItem : public CObject {
    DECLARE_SERIAL(CTestItem)
public:
    int m_value = 0;
    CTestItem* m_link = nullptr;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_value << static_cast<const CObject*>(m_link);
        } else {
            ar >> m_value;
            m_link = static_cast<CTestItem*>(ar.ReadObject(RUNTIME_CLASS(CTestItem)));
        }
    }
};
IMPLEMENT_SERIAL(CTestItem, CObject, 1)

class CTestOther : public CObject {
    DECLARE_SERIAL(CTestOther)
};
IMPLEMENT_SERIAL(CTestOther, CObject, 1)

class CTestFixed : public CObject {
    DECLARE_SERIAL(CTestFixed)
};
IMPLEMENT_SERIAL(CTestFixed, CObject, 2)

// Owns a child of its own class; counts live instances so that tests see what was freed.
class CTestNode : public CObject {
    DECLARE_SERIAL(CTestNode)
public:
    static inline int s_live = 0;
    CTestNode* m_child = nullptr;
    CTestNode() { ++s_live; }
    ~CTestNode() override { delete m_child; --s_live; }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
            ar << static_cast<const CObject*>(m_child);
        else
            ar >> m_child;
    }
};
IMPLEMENT_SERIAL(CTestNode, CObject, 1)

// Three class levels, each beginning its part with its own class reference and handing the
// schema it read on to the next level, as the label objects do.
namespace {
// One level's part: its class reference, stored always and read when the schema says one is
// there, then its field, read only from records of at least `since`. Returns the schema read.
template <typename Field>
int SerializeLevel(CArchive& ar, CRuntimeClass* cls, Field& field, int since = 0)
{
    int s = int(ar.GetObjectSchema());
    if (ar.IsStoring() || s > 0) {
        ar.SerializeClass(cls);
        if (ar.IsLoading())
            s = int(ar.GetObjectSchema());
    }
    if (ar.IsStoring()) {
        ar << field;
    } else {
        if (s >= since)
            ar >> field;
        ar.SetObjectSchema(UINT(s));
    }
    return s;
}
} // namespace

class CTestBase : public CObject {
    DECLARE_SERIAL(CTestBase)
public:
    int m_a = 0;
    int m_baseSchema = -2;
    void Serialize(CArchive& ar) override { m_baseSchema = SerializeLevel(ar, RUNTIME_CLASS(CTestBase), m_a); }
};
IMPLEMENT_SERIAL(CTestBase, CObject, 1)

class CTestMid : public CTestBase {
    DECLARE_SERIAL(CTestMid)
public:
    CString m_b;
    int m_midSchema = -2;
    void Serialize(CArchive& ar) override
    {
        CTestBase::Serialize(ar);
        m_midSchema = SerializeLevel(ar, RUNTIME_CLASS(CTestMid), m_b);
    }
};
IMPLEMENT_SERIAL(CTestMid, CTestBase, VERSIONABLE_SCHEMA | 2)

class CTestLeaf : public CTestMid {
    DECLARE_SERIAL(CTestLeaf)
public:
    float m_c = 0;
    int m_leafSchema = -2;
    void Serialize(CArchive& ar) override
    {
        CTestMid::Serialize(ar);
        m_leafSchema = SerializeLevel(ar, RUNTIME_CLASS(CTestLeaf), m_c, 3);  // the field came with schema 3
    }
};
IMPLEMENT_SERIAL(CTestLeaf, CTestMid, VERSIONABLE_SCHEMA | 3)

// ---------------------------------------------------------------------------------------------

TEST(ArchiveValues, ScalarsAreLittleEndianAndReadBack)
{
    CArchive out(CArchive::store);
    out << BYTE(0x12) << WORD(0x3456) << DWORD(0x789ABCDE) << int(-2) << short(-3) << 1.5f << -2.0
        << CRect(1, -1, 0x100, 7);
    const QByteArray expected = Bytes({0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78,
                                       0xFE, 0xFF, 0xFF, 0xFF, 0xFD, 0xFF,
                                       0x00, 0x00, 0xC0, 0x3F,
                                       0, 0, 0, 0, 0, 0, 0x00, 0xC0,
                                       1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 7, 0, 0, 0});
    EXPECT_EQ(out.GetBuffer(), expected);

    CArchive in(expected);
    BYTE b; WORD w; DWORD dw; int i; short s; float f; double d; CRect r;
    in >> b >> w >> dw >> i >> s >> f >> d >> r;
    EXPECT_EQ(b, 0x12); EXPECT_EQ(w, 0x3456); EXPECT_EQ(dw, 0x789ABCDEu);
    EXPECT_EQ(i, -2); EXPECT_EQ(s, -3); EXPECT_EQ(f, 1.5f); EXPECT_EQ(d, -2.0);
    EXPECT_EQ(r, CRect(1, -1, 0x100, 7));
    EXPECT_TRUE(in.IsBufferEmpty());
}

TEST(ArchiveValues, ShortReadsAndWrongDirectionsRaise)
{
    CArchive in(Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    CRect r(9, 9, 9, 9);
    EXPECT_THROW(in >> r, CArchiveException);
    EXPECT_EQ(r, CRect(9, 9, 9, 9));
    char raw[16] = {};
    EXPECT_THROW(in.Read(raw, 16), CArchiveException);
    EXPECT_EQ(in.GetPosition(), 0);
    EXPECT_EQ(in.Read(raw, 15), 15u);
    BYTE b;
    EXPECT_THROW(in >> b, CArchiveException);

    EXPECT_EQ(LoadCause({}, [](CArchive& ar) { ar << WORD(1); }), CArchiveException::readOnly);
    CArchive out(CArchive::store);
    WORD w;
    EXPECT_THROW(out >> w, CArchiveException);
}

TEST(ArchiveCounts, FormsAroundTheWordLimit)
{
    struct Case { std::uint64_t count; QByteArray bytes; };
    const Case cases[] = {
        {0, Bytes({0, 0})},
        {0xFFFE, Bytes({0xFE, 0xFF})},
        {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
        {0x12345, Bytes({0xFF, 0xFF, 0x45, 0x23, 0x01, 0})},
        {0x100000000ull, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        CArchive out(CArchive::store);
        out.WriteCount(c.count);
        EXPECT_EQ(out.GetBuffer(), c.bytes) << c.count;
        CArchive in(c.bytes);
        EXPECT_EQ(in.ReadCount(), c.count);
        EXPECT_TRUE(in.IsBufferEmpty());
    }
}

// ---------------------------------------------------------------------------------------------

TEST(ArchiveStrings, LengthFormsHaveTheExactHeader)
{
    struct Case { qsizetype length; QByteArray header; };
    const Case cases[] = {
        {0, Bytes({0xFF, 0xFE, 0xFF, 0x00})},
        {254, Bytes({0xFF, 0xFE, 0xFF, 0xFE})},
        {255, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00})},
        {0xFFFD, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF})},
        {0xFFFE, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {0x10000, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})},
    };
    for (const Case& c : cases) {
        QString text(c.length, QChar(u'a'));
        if (c.length > 0)
            text[c.length - 1] = QChar(0x4E2D);
        CArchive out(CArchive::store);
        out << text;
        const QByteArray& bytes = out.GetBuffer();
        ASSERT_EQ(bytes.size(), c.header.size() + 2 * c.length) << c.length;
        EXPECT_EQ(bytes.left(c.header.size()), c.header) << c.length;
        if (c.length > 0) {
            EXPECT_EQ(bytes.mid(c.header.size(), 2), Bytes({'a', 0}));
            EXPECT_EQ(bytes.right(2), Bytes({0x2D, 0x4E}));
        }
        CArchive in(bytes);
        CString back = "unchanged";
        in >> back;
        EXPECT_EQ(back, text) << c.length;
        EXPECT_TRUE(in.IsBufferEmpty());
    }
    // A 64-bit length is read too.
    CArchive in(Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 0, 0, 0, 0, 'o', 0, 'k', 0}));
    CString s;
    in >> s;
    EXPECT_EQ(s, "ok");
}

TEST(ArchiveStrings, SingleByteTextIsConvertedFromTheCodePage)
{
    {
        CodePageScope cp(1252);
        CArchive in(Bytes({4, 'c', 'a', 'f', 0xE9, 0}));
        CString s, empty = "x";
        in >> s >> empty;
        EXPECT_EQ(s, QString::fromUtf8("café"));
        EXPECT_TRUE(empty.isEmpty());
        // Bytes the code page leaves undefined become the replacement character.
        CArchive bad(Bytes({2, 0x81, 'x'}));
        bad >> s;
        EXPECT_EQ(s, QString::fromUtf8("\xEF\xBF\xBDx"));
    }
    {
        CodePageScope cp(936);
        CArchive in(Bytes({4, 0xD6, 0xD0, 0xCE, 0xC4, 2, 'a', 0xD6}));
        CString s, cut;
        in >> s >> cut;
        EXPECT_EQ(s, QString::fromUtf8("中文"));
        EXPECT_EQ(cut, QString::fromUtf8("a\xEF\xBF\xBD"));  // a lead byte without its trail byte
    }
    {
        // A word length (no UTF-16 mark) of 256 single-byte characters.
        CodePageScope cp(1252);
        QByteArray data = Bytes({0xFF}) + Le16(256) + QByteArray(256, 'z');
        CArchive in(data);
        CString s;
        in >> s;
        EXPECT_EQ(s, QString(256, QChar(u'z')));
    }
}

TEST(ArchiveStrings, LengthsBeyondTheDataAreRefusedBeforeReading)
{
    const QByteArray cases[] = {
        Bytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 'b', 0}),                      // UTF-16, 3 of 2 chars
        Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF}), // UTF-16, 4 G chars
        Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),             // 64-bit length
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}),             // single-byte, 2 G
        Bytes({5, 'a', 'b'}),
        Bytes({0xFF, 0xFE}),
    };
    for (const QByteArray& data : cases) {
        CString s;
        EXPECT_EQ(LoadCause(data, [&](CArchive& ar) { ar >> s; }), CArchiveException::endOfFile)
            << data.toHex().constData();
    }
}

// ---------------------------------------------------------------------------------------------

TEST(ArchiveObjects, ClassesAndObjectsAreNumberedTogether)
{
    CTestItem first, second;
    first.m_value = 7;
    second.m_value = 8;
    second.m_link = &first;

    CArchive out(CArchive::store);
    out << &first << &second << &first << static_cast<const CObject*>(nullptr);
    // class = 1, first = 2, second = 3
    const QByteArray expected = NewClass(1, "CTestItem") + Le32(7) + Le16(0)
                                + Le16(0x8001) + Le32(8) + Le16(2)
                                + Le16(2) + Le16(0);
    EXPECT_EQ(out.GetBuffer(), expected);

    CArchive in(expected);
    CObject* a = in.ReadObject(RUNTIME_CLASS(CTestItem));
    CObject* b = in.ReadObject(RUNTIME_CLASS(CObject));
    CObject* c = in.ReadObject(nullptr);
    CObject* d = in.ReadObject(RUNTIME_CLASS(CTestItem));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(static_cast<CTestItem*>(a)->m_value, 7);
    EXPECT_EQ(static_cast<CTestItem*>(b)->m_link, a);
    EXPECT_EQ(c, a);
    EXPECT_EQ(d, nullptr);
    EXPECT_TRUE(in.IsBufferEmpty());
    delete a;
    delete b;
}

TEST(ArchiveObjects, ReferencesBackToTheObjectBeingRead)
{
    CTestItem self;
    self.m_link = &self;
    CArchive out(CArchive::store);
    out << &self;
    CArchive in(out.GetBuffer());
    CTestItem* back = nullptr;
    in >> back;
    ASSERT_TRUE(back);
    EXPECT_EQ(back->m_link, back);
    delete back;
}

TEST(ArchiveObjects, IndexesFromTheWordLimitUseTheLongForm)
{
    // class CTestItem = 1, items 2 .. 0x8001, class CTestOther = 0x8002, its object = 0x8003.
    std::vector<CTestItem> items(0x8000);
    CTestOther other1, other2;
    CArchive out(CArchive::store);
    for (CTestItem& item : items)
        out << &item;
    out << &other1;
    const qsizetype tail = out.GetBuffer().size();
    out << &items[0x7FFC] << &items[0x7FFD] << &items[0x7FFF] << &other2 << &other1;
    const QByteArray& bytes = out.GetBuffer();
    EXPECT_EQ(bytes.mid(tail), Le16(0x7FFE)
                                   + Le16(0x7FFF) + Le32(0x7FFF)
                                   + Le16(0x7FFF) + Le32(0x8001)
                                   + Le16(0x7FFF) + Le32(0x80008002u)
                                   + Le16(0x7FFF) + Le32(0x8003));

    CArchive in(bytes);
    std::vector<CObject*> loaded;
    for (int i = 0; i < 0x8001; ++i)
        loaded.push_back(in.ReadObject(nullptr));
    EXPECT_EQ(in.ReadObject(nullptr), loaded[0x7FFC]);
    EXPECT_EQ(in.ReadObject(nullptr), loaded[0x7FFD]);
    EXPECT_EQ(in.ReadObject(nullptr), loaded[0x7FFF]);
    CObject* other2Back = in.ReadObject(RUNTIME_CLASS(CTestOther));
    EXPECT_TRUE(other2Back && other2Back->IsKindOf(RUNTIME_CLASS(CTestOther)));
    EXPECT_EQ(in.ReadObject(nullptr), loaded[0x8000]);
    EXPECT_TRUE(in.IsBufferEmpty());
    for (CObject* p : loaded)
        delete p;
    delete other2Back;
}

TEST(ArchiveObjects, SchemaIsHandedDownThroughEveryClassLevel)
{
    CTestLeaf leaf, leaf2;
    leaf.m_a = 5;
    leaf.m_b = "mid";
    leaf.m_c = 2.5f;
    CArchive out(CArchive::store);
    out << &leaf << &leaf2;
    // Leaf = 1, the object = 2, Base = 3, Mid = 4; the second object is 5.
    CArchive stringOut(CArchive::store);
    stringOut << CString("mid");
    const QByteArray expected = NewClass(3, "CTestLeaf")
                                + NewClass(1, "CTestBase") + Le32(5)
                                + NewClass(2, "CTestMid") + stringOut.GetBuffer()
                                + Le16(0x8001) + Bytes({0, 0, 0x20, 0x40})
                                + Le16(0x8001) + Le16(0x8003) + Le32(0) + Le16(0x8004)
                                + Bytes({0xFF, 0xFE, 0xFF, 0}) + Le16(0x8001) + Le32(0);
    EXPECT_EQ(out.GetBuffer(), expected);

    CArchive in(expected);
    CTestLeaf* back = nullptr;
    CTestLeaf* back2 = nullptr;
    in >> back >> back2;
    ASSERT_TRUE(back && back2);
    EXPECT_EQ(back->m_a, 5);
    EXPECT_EQ(back->m_b, "mid");
    EXPECT_EQ(back->m_c, 2.5f);
    EXPECT_EQ(back->m_baseSchema, 1);
    EXPECT_EQ(back->m_midSchema, 2);
    EXPECT_EQ(back->m_leafSchema, 3);
    EXPECT_EQ(back2->m_leafSchema, 3);
    EXPECT_EQ(in.GetObjectSchema(), UINT(-1));
    delete back;
    delete back2;

    // Schema 0, an older record: no class reference per level, and no leaf field of schema 3.
    CArchive old(NewClass(0, "CTestLeaf") + Le32(9) + Bytes({0xFF, 0xFE, 0xFF, 1, 'q', 0}));
    old >> back;
    ASSERT_TRUE(back);
    EXPECT_EQ(back->m_a, 9);
    EXPECT_EQ(back->m_b, "q");
    EXPECT_EQ(back->m_baseSchema, 0);
    EXPECT_EQ(back->m_leafSchema, 0);
    EXPECT_TRUE(old.IsBufferEmpty());
    delete back;
}

// ---------------------------------------------------------------------------------------------

TEST(ArchiveMalformed, ReferencesAndClassRecords)
{
    auto readItem = [](CArchive& ar) { delete ar.ReadObject(RUNTIME_CLASS(CTestItem)); };
    auto readAny = [](CArchive& ar) { delete ar.ReadObject(nullptr); };
    // Reads one object, then a second one of class `second`, freeing the first on failure.
    auto readTwo = [](const CRuntimeClass* second) {
        return [second](CArchive& ar) {
            CObject* o = ar.ReadObject(nullptr);
            try { ar.ReadObject(second); } catch (...) { delete o; throw; }
        };
    };
    const QByteArray item = NewClass(1, "CTestItem") + Le32(1) + Le16(0);  // class 1, object 2
    struct Case { const char* what; QByteArray data; std::function<void(CArchive&)> fn; int cause; };
    const Case cases[] = {
        {"unknown class", NewClass(1, "CNoSuchClass"), readAny, CArchiveException::badClass},
        {"name of 64 bytes", NewClass(1, QByteArray(64, 'C')), readAny, CArchiveException::badClass},
        {"name with a null byte", NewClass(1, QByteArray("CTestItem\0x", 11)), readAny, CArchiveException::badClass},
        {"class not derived", NewClass(1, "CTestOther"), readItem, CArchiveException::badClass},
        {"class cannot be created", NewClass(0xFFFF, "CObList") + Le16(0), readAny, CArchiveException::badClass},
        {"object not derived", NewClass(1, "CTestOther") + Le16(2), readTwo(RUNTIME_CLASS(CTestItem)), CArchiveException::badClass},
        {"schema of a fixed class", NewClass(5, "CTestFixed"), readAny, CArchiveException::badSchema},
        {"object index too high", Le16(1), readAny, CArchiveException::badIndex},
        {"big object index too high", Le16(0x7FFF) + Le32(0x40000000), readAny, CArchiveException::badIndex},
        {"class index 0", Le16(0x8000), readAny, CArchiveException::badIndex},
        {"class index too high", Le16(0x8005), readAny, CArchiveException::badIndex},
        {"big class index too high", Le16(0x7FFF) + Le32(0xFFFFFFFFu), readAny, CArchiveException::badIndex},
        {"class index names an object", item + Le16(0x8002), readTwo(nullptr), CArchiveException::badIndex},
        {"object index names a class", item + Le16(1), readTwo(nullptr), CArchiveException::badIndex},
        {"object where a class belongs", Le16(0), [](CArchive& ar) { ar.SerializeClass(RUNTIME_CLASS(CObject)); },
         CArchiveException::badIndex},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadCause(c.data, c.fn), c.cause) << c.what;

    // A class that changed its schema but reads old records is handed the stored one.
    CArchive in(NewClass(2, "CTestLeaf"));
    EXPECT_EQ(in.ReadClass(), RUNTIME_CLASS(CTestLeaf));
    EXPECT_EQ(in.GetObjectSchema(), 2u);
}

TEST(ArchiveMalformed, FailedObjectsAreFreedAndDeepNestingStops)
{
    // A chain of nodes cut short: every node created is freed again.
    CTestNode root;
    CTestNode* tail = &root;
    for (int i = 0; i < 5; ++i)
        tail = tail->m_child = new CTestNode;
    CArchive out(CArchive::store);
    out << &root;
    const int liveBefore = CTestNode::s_live;
    QByteArray cut = out.GetBuffer();
    cut.chop(1);
    CTestNode* back = nullptr;
    EXPECT_EQ(LoadCause(cut, [&](CArchive& ar) { ar >> back; }), CArchiveException::endOfFile);
    EXPECT_EQ(back, nullptr);
    EXPECT_EQ(CTestNode::s_live, liveBefore);

    // Nesting far deeper than any document needs ends in an exception, not a stack overflow.
    QByteArray deep = NewClass(1, "CTestNode");
    for (int i = 0; i < 100000; ++i)
        deep += Le16(0x8001);
    deep += Le16(0);
    EXPECT_EQ(LoadCause(deep, [&](CArchive& ar) { ar >> back; }), CArchiveException::genericException);
    EXPECT_EQ(CTestNode::s_live, liveBefore);
}

// A small document-like archive: a version, strings, raw words, a list of objects that share
// references, and a three-level object. Every proper prefix of it must fail cleanly.
TEST(ArchiveMalformed, EveryTruncationRaisesWithoutLeaksOrOverreads)
{
    CTestItem a, b;
    a.m_value = 1;
    b.m_link = &a;
    CTestLeaf leaf;
    leaf.m_b = QString(300, QChar(u'x'));
    CObList list;
    list.AddTail(&a);
    list.AddTail(&b);
    list.AddTail(&leaf);

    CArchive out(CArchive::store);
    const DWORD raw = 0xA1B2C3D4;
    out << DWORD(4) << CString("printer") << 1.25f;
    out.Write(&raw, sizeof raw);
    list.Serialize(out);
    out << CString();
    const QByteArray full = out.GetBuffer();

    auto load = [](CArchive& ar, CObList& objects) {
        DWORD version, word;
        CString name, tail;
        float f;
        ar >> version >> name >> f;
        ar.Read(&word, sizeof word);
        objects.Serialize(ar);
        ar >> tail;
    };
    {
        CArchive in(full);
        CObList objects;
        load(in, objects);
        EXPECT_TRUE(in.IsBufferEmpty());
        ASSERT_EQ(objects.GetCount(), 3);
        EXPECT_EQ(static_cast<CTestItem*>(objects.GetAt(objects.FindIndex(1)))->m_link, objects.GetHead());
        EXPECT_EQ(static_cast<CTestLeaf*>(objects.GetTail())->m_b, leaf.m_b);
        for (CObject* o : objects)
            delete o;
    }
    for (qsizetype n = 0; n < full.size(); ++n) {
        // A detached copy, so that ASan sees any read past the prefix.
        QByteArray prefix(full.constData(), n);
        CObList objects;
        const int cause = LoadCause(prefix, [&](CArchive& ar) { load(ar, objects); });
        EXPECT_EQ(cause, CArchiveException::endOfFile) << "prefix " << n;
        for (CObject* o : objects)
            delete o;
    }
}
