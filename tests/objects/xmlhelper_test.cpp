#include "objects/xmlhelper.h"

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

using namespace xercesc;

namespace {

CString FromX(const XMLCh* s) { return QString::fromUtf16(s); }

const QString kTemplateWritten =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>"
                   "<DataSource> \t\t\t\t\t\t\t<Database>\t\t\t\t\t\t\t</Database>"
                   "\t\t\t\t\t\t</DataSource>");

// Everything the process writes to standard output and error while `f` runs.
template <typename F>
QByteArray ConsoleOutputOf(F f)
{
    QTemporaryFile file;
    if (!file.open())
        return "cannot capture";
    std::fflush(nullptr);
    const int saved[] = {dup(1), dup(2)};
    for (int fd : {1, 2})
        dup2(file.handle(), fd);
    f();
    std::fflush(nullptr);
    for (int fd : {1, 2}) {
        dup2(saved[fd - 1], fd);
        close(saved[fd - 1]);
    }
    file.seek(0);
    return file.readAll();
}

CString Attribute(const DOMElement* e, const char16_t* name) { return FromX(e->getAttribute(name)); }

}  // namespace

// The template is written back with its tab runs; items go in and out and leave it as it was.
TEST(BindingDocument, DataItemsAreAppendedAndRemovedLeavingTheTemplate)
{
    CContentBlock block;
    ASSERT_TRUE(LoadBindingDocument(block, BindingTemplate()));
    EXPECT_EQ(block.binding.Xml(), kTemplateWritten);
    EXPECT_TRUE(AddDataItem(block, "Goods", "Code", "No. ", ""));
    EXPECT_TRUE(AddDataItem(block, "Goods", "Name", "", " & \"more\" <x>"));

    const CString written = block.binding.Xml();
    // The parser's DOM keeps attributes sorted by name.
    EXPECT_TRUE(written.contains(
        "\t\t\t\t\t\t\t<DataItem FieldName=\"Code\" Prefix=\"No. \" Suffix=\"\" "
        "TableName=\"Goods\"/><DataItem FieldName=\"Name\" Prefix=\"\" "
        "Suffix=\" &amp; &quot;more&quot; &lt;x>\" TableName=\"Goods\"/></Database>"))
        << qPrintable(written);

    // Loaded again, the items come back in order with their values, and the same text.
    CContentBlock loaded;
    ASSERT_TRUE(LoadBindingDocument(loaded, written));
    EXPECT_EQ(loaded.binding.Xml(), written);
    const std::vector<CDataItem> items = GetDataItems(loaded);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].field + items[1].suffix, "Name & \"more\" <x>");
    EXPECT_EQ(*loaded.binding.FirstElementTable(), "Goods");

    RemoveAllDataItems(loaded);
    EXPECT_EQ(loaded.binding.Xml(), kTemplateWritten);
    EXPECT_TRUE(GetDataItems(loaded).empty());
    EXPECT_EQ(loaded.binding.FirstElementTable(), nullptr);

    // Control characters in an item still let the document be written.
    ASSERT_TRUE(AddDataItem(loaded, QStringLiteral("T\u0001"), "F", QString(QChar(0xFFFF)), "s"));
    EXPECT_TRUE(loaded.binding.Xml().contains("FieldName=\"F\" Prefix=\" \" Suffix=\"s\" TableName=\"T \""));
}

TEST(BindingDocument, ItemsLiveInTheFirstDatabaseElementOnly)
{
    CContentBlock block;
    ASSERT_TRUE(LoadBindingDocument(
        block,
        "<DataSource><Database><Note TableName=\"N\"/><DataItem TableName=\"T\"><Note><DataItem/></Note></DataItem>"
        "<DataItem/></Database><Database><DataItem/></Database></DataSource>"));
    // Items at any depth below the first database element; the marker's table is the first
    // element's, whatever its name.
    EXPECT_EQ(GetDataItems(block).size(), 3u);
    EXPECT_EQ(*block.binding.FirstElementTable(), "N");
    RemoveAllDataItems(block);
    EXPECT_TRUE(block.binding.Xml().contains("<Database/><Database><DataItem/></Database>"))
        << qPrintable(block.binding.Xml());
    EXPECT_TRUE(GetDataItems(block).empty());

    // Without a document, or without a database element, items have nowhere to go.
    for (const auto& [xml, parses] : {std::pair{"<DataSource>", false}, std::pair{"<DataSource/>", true}}) {
        CContentBlock none;
        EXPECT_EQ(bool(LoadBindingDocument(none, xml)), parses);
        EXPECT_FALSE(none.binding.HasDatabase());
        EXPECT_FALSE(AddDataItem(none, "T", "F", "", ""));
        RemoveAllDataItems(none);
        EXPECT_EQ(none.binding.Xml().isEmpty(), !parses);
    }
}

// Bindings written by hand are written back as the XML library writes their document, also after
// their items were changed: the objects keep no document, but the text is the same.
TEST(BindingDocument, HandWrittenBindingsAreWrittenAsTheirDocumentBeforeAndAfterChanges)
{
    const QString inputs[] = {
        "<?xml version=\"1.0\" standalone=\"yes\"?><!-- c --><DataSource><?pi x?><Database><![CDATA[a<b]]>"
        "<DataItem TableName=\"T\" Prefix=\"&lt;\" Suffix=\"&#x9;\"/></Database></DataSource><!-- e -->",
        "<!DOCTYPE DataSource [<!ENTITY e \"EE\"><!ATTLIST DataItem Prefix CDATA \"dp\">]>"
        "<DataSource><Database>&e;<DataItem TableName=\"&e;\"/></Database></DataSource>",
        "<x:DataSource xmlns:x=\"urn:a\"><Database xmlns=\"urn:b\"><DataItem a:b=\"1\" xmlns:a=\"urn:c\"/></Database></x:DataSource>",
        "<DataSource>\r\n<Database>\r\n\t<DataItem TableName='q\"' FieldName=\"a&gt;b\"/>\r\n</Database>\r\n</DataSource>",
        // The library cannot write this document until the item with the control character goes;
        // until then it is written back as it was read.
        "<?xml version=\"1.1\"?><DataSource><Database><DataItem TableName=\"&#x1;\"/></Database></DataSource>",
    };
    for (const QString& xml : inputs) {
        CXmlHelper helper;
        DOMDocument* doc = helper.Parse(xml);
        ASSERT_NE(doc, nullptr) << qPrintable(xml);
        CContentBlock block;
        ASSERT_TRUE(LoadBindingDocument(block, xml));
        const CString written = CXmlHelper::ToString(doc);
        EXPECT_EQ(block.binding.Xml(), written.isEmpty() ? xml : written) << qPrintable(xml);

        auto* database = static_cast<DOMElement*>(doc->getElementsByTagName(u"Database")->item(0));
        DOMNodeList* below = database->getElementsByTagName(u"*");
        while (below->getLength() > 0)
            database->removeChild(below->item(0))->release();
        DOMElement* item = doc->createElement(u"DataItem");
        database->appendChild(item);
        for (const char16_t* name : {u"TableName", u"FieldName", u"Prefix", u"Suffix"})
            item->setAttribute(name, u"&<\"");
        RemoveAllDataItems(block);
        AddDataItem(block, "&<\"", "&<\"", "&<\"", "&<\"");
        EXPECT_EQ(block.binding.Xml(), CXmlHelper::ToString(doc)) << qPrintable(xml);
    }
}

TEST(XmlHelper, CharactersXmlDoesNotAllowBecomeSpacesAndTheRestIsKept)
{
    CXmlHelper helper;
    DOMDocument* doc = helper.Parse(QStringLiteral(
        "<DataSource><Database><DataItem TableName=\"A\u0001B\u001F\" Prefix=\"\u000B\"/>"
        "</Database>x\u0008y</DataSource>"));
    ASSERT_NE(doc, nullptr);
    const auto* item = static_cast<DOMElement*>(doc->getElementsByTagName(u"DataItem")->item(0));
    EXPECT_EQ(Attribute(item, u"TableName"), "A B ");
    EXPECT_EQ(Attribute(item, u"Prefix"), " ");
    EXPECT_EQ(FromX(doc->getDocumentElement()->getLastChild()->getNodeValue()), "x y");

    const QString value = QStringLiteral("\uE000\U0001F600\u00E9");  // private use, supplementary
    doc = helper.Parse("<DataSource Name=\"" + value + "\"/>");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Attribute(doc->getDocumentElement(), u"Name"), value);
    EXPECT_TRUE(CXmlHelper::ToString(doc).contains(value));
}

TEST(XmlHelper, UnparseableTextGivesNullWithoutConsoleOutput)
{
    CXmlHelper helper;
    const QString broken[] = {"", "<DataSource><Database></DataSource>", "not xml at all",
                              QStringLiteral("<a>\uFFFE</a><b/>"),      // cleaned, still two roots
                              QString("<a>") + QChar(0xD800) + "</a>",  // lone surrogate
                              "<a>&undefined;</a>",
                              "<?xml version=\"1.1\"?><a>"};  // the parser set back to 1.0 after it
    for (const QString& xml : broken) {
        DOMDocument* doc = reinterpret_cast<DOMDocument*>(1);
        const QByteArray console = ConsoleOutputOf([&] { doc = helper.Parse(xml); });
        EXPECT_EQ(doc, nullptr) << qPrintable(xml);
        EXPECT_FALSE(helper.LastErrors().isEmpty()) << qPrintable(xml);
        EXPECT_TRUE(console.isEmpty()) << console.constData();
    }
    // A good parse clears the errors.
    EXPECT_NE(helper.Parse("<a/>"), nullptr);
    EXPECT_TRUE(helper.LastErrors().isEmpty());
}

TEST(XmlHelper, HostileDocumentTypesReadNoFilesAndExpandNoEntityBombs)
{
    CXmlHelper helper;
    EXPECT_EQ(helper.Parse("<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><a>&x;</a>"),
              nullptr);
    EXPECT_EQ(helper.Parse("<!DOCTYPE a SYSTEM \"file:///etc/hostname\"><a/>")
                  ->getDocumentElement()
                  ->getFirstChild(),
              nullptr);

    QString bomb = "<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxx\">";
    for (int i = 1; i < 10; ++i) {
        bomb += QString("<!ENTITY e%1 \"").arg(i);
        for (int k = 0; k < 10; ++k)
            bomb += QString("&e%1;").arg(i - 1);
        bomb += "\">";
    }
    bomb += "]><a>&e9;</a>";
    EXPECT_EQ(helper.Parse(bomb), nullptr);

    // Many character references are not entity expansions.
    QString amps = "<a>";
    for (int i = 0; i < 5000; ++i)
        amps += "&amp;&#x41;";
    amps += "</a>";
    EXPECT_NE(helper.Parse(amps), nullptr);
}

namespace {

// The block's items as "table|field|prefix|suffix".
QStringList ItemsOf(const CContentBlock& block)
{
    QStringList out;
    for (const CDataItem& i : GetDataItems(block))
        out.append(QStringList {i.table, i.field, i.prefix, i.suffix}.join(u'|'));
    return out;
}

// The items the text loads as, or "no binding" when it does not parse.
QStringList LoadedItems(const CString& xml)
{
    CContentBlock block;
    if (!LoadBindingDocument(block, xml))
        return {"no binding"};
    return ItemsOf(block);
}

}  // namespace

// A text loads the same whatever was parsed before it: a declaration of XML 1.1 in one binding
// says nothing about the next, neither to the shared parser nor to a helper of one's own, and
// the recent texts that are remembered keep the result a fresh parse gives.
TEST(BindingDocument, ATextLoadsTheSameWhateverWasParsedBefore)
{
    const QString before11 = "<?xml version=\"1.1\"?><DataSource><Database/></DataSource>";
    const QString before10 = "<?xml version=\"1.0\"?><DataSource><Database/></DataSource>";
    const struct {
        QString xml;
        QStringList items;
    } cases[] = {
        {"<DataSource><Database><DataItem TableName=\"&#x1;\"/></Database></DataSource>", {"no binding"}},
        {QStringLiteral("<DataSource><Database><DataItem TableName=\"a\u0085b\u2028c\"/></Database></DataSource>"),
         {QStringLiteral("a\u0085b\u2028c|||")}},
    };
    int unique = 0;
    for (const auto& c : cases) {
        for (const QString& previous : {before10, before11, before10}) {
            // A text never seen, so that it is parsed, and the same text again, remembered.
            const QString fresh = c.xml + QStringLiteral("<!--%1-->").arg(++unique);
            EXPECT_EQ(LoadedItems(previous).size(), 0);
            EXPECT_EQ(LoadedItems(fresh), c.items) << qPrintable(fresh) << " after " << qPrintable(previous);
            EXPECT_EQ(LoadedItems(previous).size(), 0);
            EXPECT_EQ(LoadedItems(c.xml), c.items) << qPrintable(c.xml) << " after " << qPrintable(previous);

            CXmlHelper helper;
            ASSERT_NE(helper.Parse(previous), nullptr);
            EXPECT_EQ(helper.Parse(c.xml) != nullptr, c.items != QStringList {"no binding"})
                << qPrintable(c.xml) << " after " << qPrintable(previous);
        }
    }
}

// Whatever goes into an item, the document can be written and reads back with the same items.
// Characters that cannot be written (lone surrogates, and in XML 1.1 the C1 controls and the line
// separators, which a reader would turn into spaces) become spaces.
TEST(BindingDocument, AddedItemsAreWrittenAndReadBackTheSame)
{
    const QString v11 = "<?xml version=\"1.1\"?><DataSource><Database/></DataSource>";
    const QChar lone[] = {QChar(0xD800), QChar(0xDFFF)};
    const struct {
        QString binding;
        QString value;
        QString stored;
    } cases[] = {
        {BindingTemplate(), QString("A") + lone[0], "A "},
        {BindingTemplate(), QString(lone[1]) + "B" + QString(lone[0]), " B "},
        {BindingTemplate(), QStringLiteral("\U0001F600\u0085\u2028\u0080\u009F"), QStringLiteral("\U0001F600\u0085\u2028\u0080\u009F")},
        {v11, QStringLiteral("C\u0080\u0085\u009F\u007F\u2028"), "C     "},
        {v11, QStringLiteral("\u0001\t\r\n\u00A0\U0001F600") + lone[0], QStringLiteral(" \t\r\n\u00A0\U0001F600 ")},
        // A leading zero-width no-break space is a character of the value, not a byte-order mark.
        {BindingTemplate(), QStringLiteral("\uFEFF\uFEFFA\uFEFF"), QStringLiteral("\uFEFF\uFEFFA\uFEFF")},
    };
    for (const auto& c : cases) {
        CContentBlock block;
        ASSERT_TRUE(LoadBindingDocument(block, c.binding));
        ASSERT_TRUE(AddDataItem(block, "T", c.value, c.value, "s"));
        const QStringList expected {"T|" + c.stored + u'|' + c.stored + "|s"};
        EXPECT_EQ(ItemsOf(block), expected);
        EXPECT_FALSE(block.binding.Xml().isEmpty());
        EXPECT_EQ(LoadedItems(block.binding.Xml()), expected) << qPrintable(block.binding.Xml());
    }
}

// A document that the XML library cannot write, or writes in a form that reads back otherwise,
// is written back as it was read. An edit gives the items of the edited document, and a document
// that can be written: what the library cannot write in the rest of it becomes spaces.
TEST(BindingDocument, UnwritableDocumentsKeepTheirTextAndEditsStartFromTheEditedDocument)
{
    const QString unwritable[] = {
        "<?xml version=\"1.1\"?><DataSource><Database><DataItem TableName=\"&#x1;\"/></Database></DataSource>",
        "<?xml version=\"1.1\"?><DataSource><Database><DataItem FieldName=\"&#x85;&#x2028;\"/></Database></DataSource>",
        "<?xml version=\"1.1\"?><DataSource Note=\"&#x7F;\"><Database/>&#x9F;</DataSource>",
    };
    for (const QString& xml : unwritable) {
        CContentBlock block;
        ASSERT_TRUE(LoadBindingDocument(block, xml));
        EXPECT_EQ(block.binding.Xml(), xml);
        EXPECT_EQ(LoadedItems(block.binding.Xml()), ItemsOf(block));
    }

    // The control character sits outside the items, so every edited document has it too.
    CContentBlock block;
    ASSERT_TRUE(LoadBindingDocument(block, "<?xml version=\"1.1\"?><DataSource><Database Note=\"&#x1;\">"
                                           "<DataItem TableName=\"T\" FieldName=\"A\"/></Database></DataSource>"));
    EXPECT_EQ(ItemsOf(block), QStringList {"T|A||"});
    RemoveAllDataItems(block);
    EXPECT_EQ(ItemsOf(block), QStringList {});
    ASSERT_TRUE(AddDataItem(block, "T", "X", "", ""));
    EXPECT_EQ(ItemsOf(block), QStringList {"T|X||"});
    ASSERT_TRUE(AddDataItem(block, "T", "Y", "", ""));
    const QStringList xy {"T|X||", "T|Y||"};
    EXPECT_EQ(ItemsOf(block), xy);
    EXPECT_TRUE(block.binding.Xml().contains("<Database Note=\" \">")) << qPrintable(block.binding.Xml());
    EXPECT_EQ(LoadedItems(block.binding.Xml()), xy);

    // The library writes a document type from what it understood of it, here as a text that does
    // not parse; an edited document goes without it, its default attributes written out.
    const QString typed = "<!DOCTYPE DataSource [<!ENTITY e \"&#37;\"><!ATTLIST DataItem Prefix CDATA \"dp\">]>"
                          "<DataSource><Database><DataItem TableName=\"A\"/></Database></DataSource>";
    ASSERT_TRUE(LoadBindingDocument(block, typed));
    EXPECT_EQ(block.binding.Xml(), typed);
    ASSERT_TRUE(AddDataItem(block, "T", "X", "", ""));
    const QStringList both {"A||dp|", "T|X||"};
    EXPECT_EQ(ItemsOf(block), both);
    EXPECT_EQ(LoadedItems(block.binding.Xml()), both) << qPrintable(block.binding.Xml());
}

// Items, and the database element itself, may come from entity references, whose nodes the XML
// library does not let anyone change: an edit writes their text in their place.
TEST(BindingDocument, ItemsFromEntityReferencesAreRemovedAndAddedTo)
{
    const QString xml[] = {
        "<!DOCTYPE DataSource [<!ENTITY e \"<DataItem TableName='T' FieldName='A'/>\">]>"
        "<DataSource><Database>&e;<DataItem TableName=\"T\" FieldName=\"B\"/></Database></DataSource>",
        "<!DOCTYPE DataSource [<!ENTITY d \"<Database><DataItem TableName='T' FieldName='A'/>"
        "<DataItem TableName='T' FieldName='B'/></Database>\">]><DataSource>&d;</DataSource>",
    };
    for (const QString& text : xml) {
        CContentBlock block;
        ASSERT_TRUE(LoadBindingDocument(block, text));
        EXPECT_EQ(ItemsOf(block), (QStringList {"T|A||", "T|B||"}));
        ASSERT_TRUE(AddDataItem(block, "T", "C", "", ""));
        EXPECT_EQ(ItemsOf(block), (QStringList {"T|A||", "T|B||", "T|C||"}));
        RemoveAllDataItems(block);
        EXPECT_EQ(ItemsOf(block), QStringList {});
        ASSERT_TRUE(AddDataItem(block, "T", "D", "", ""));
        EXPECT_EQ(ItemsOf(block), QStringList {"T|D||"});
        EXPECT_EQ(LoadedItems(block.binding.Xml()), QStringList {"T|D||"}) << qPrintable(block.binding.Xml());
    }
}

// A binding whose one item sits `levels` elements deep (the document element is level 1); through
// an entity, the innermost level is a reference to it.
static QString Nested(int levels, bool throughEntity = false)
{
    QString xml = throughEntity ? "<!DOCTYPE DataSource [<!ENTITY e \"<DataItem TableName='T'/>\">]>" : "";
    xml += "<DataSource><Database>" + QString("<Note><Empty/>").repeated(levels - 3);
    xml += throughEntity ? "&e;" : "<DataItem TableName=\"T\"/>";
    return xml + QString("</Note>").repeated(levels - 3) + "</Database></DataSource>";
}

// A text nesting deeper than the bound, by elements or entity references, does not parse; one at the
// bound loads, changes and is written like any other, also after a refused one.
TEST(XmlHelper, NestingDeeperThanTheBoundDoesNotParse)
{
    const int bound = CXmlHelper::kMaxDepth;
    const QString deep = "<DataSource><Database>" + QString("<a>").repeated(66000) + QString("</a>").repeated(66000) +
                         "</Database></DataSource>";
    const std::pair<QString, bool> cases[] = {{deep, false}, {Nested(bound + 1), false}, {Nested(bound), true},
                                              {Nested(bound, true), false}, {Nested(bound - 1, true), true}};
    for (const auto& [xml, parses] : cases) {
        SCOPED_TRACE(xml.size());
        CXmlHelper helper;
        EXPECT_EQ(helper.Parse(xml) != nullptr, parses);
        EXPECT_EQ(helper.LastErrors().isEmpty(), parses);
        CContentBlock block;
        ASSERT_EQ(bool(LoadBindingDocument(block, xml)), parses);
        if (!parses)
            continue;
        ASSERT_TRUE(AddDataItem(block, "T", "B", "", ""));
        EXPECT_EQ(LoadedItems(block.binding.Xml()), (QStringList {"T|||", "T|B||"}));
        RemoveAllDataItems(block);
        EXPECT_EQ(block.binding.Xml().count("<Database/>"), 1);
    }
}
