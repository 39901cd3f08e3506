// Workbook details of the .xlsx reader on hand-made parts, and the display texts of values.
#include "datatest.h"

#include "data/filesource.h"
#include "data/importtable.h"
#include "data/values.h"

#include <array>
#include <map>
#include <zip.h>

namespace {

using Parts = std::map<std::string, std::string>;

const char* kWorkbookRels = R"(<?xml version="1.0"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Target="worksheets/sheet1.xml" Type="t"/></Relationships>)";

std::string Workbook(const std::string& properties)
{
    return R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        + properties + R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)";
}

std::string Sheet(const std::string& rows)
{
    return R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        + rows + "</sheetData></worksheet>";
}

// Custom format 164 is a date, 165 a colour and a number; style 1 uses 164, 2 the built-in
// date 14, 3 the colour.
const char* kStyles = R"(<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts><numFmt numFmtId="164" formatCode="dd/mm/yyyy\ hh:mm"/><numFmt numFmtId="165" formatCode="[Red]0.00"/></numFmts>
<cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/><xf numFmtId="165"/></cellXfs></styleSheet>)";

std::string Zip(const Parts& parts)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t* zip = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    const std::string* last = nullptr;
    for (const auto& [name, text] : parts) {
        // "<shared>" stands for the text of the part before it, so large tests keep one copy.
        const std::string& bytes = text == "<shared>" && last ? *last : text;
        last = &bytes;
        zip_source_t* part = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        zip_file_add(zip, name.c_str(), part, ZIP_FL_OVERWRITE);
    }
    zip_close(zip);
    zip_source_open(memory);
    zip_source_seek(memory, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(memory);
    zip_source_seek(memory, 0, SEEK_SET);
    std::string bytes(std::size_t(size), '\0');
    zip_source_read(memory, bytes.data(), zip_uint64_t(size));
    zip_source_close(memory);
    zip_source_free(memory);
    zip_error_fini(&error);
    return bytes;
}

std::vector<CImportTable> Read(const Parts& parts)
{
    std::vector<CImportTable> tables;
    ReadXlsxBytes(Zip(parts), tables, "book.xlsx");
    return tables;
}

QStringList Cells(const CImportTable& table)
{
    QStringList cells;
    for (const CImportCell& cell : table.cells)
        cells << (cell.kind == CImportCell::Null ? QStringLiteral("-") : QString::fromStdString(std::string(table.TextOf(cell))))
                     + (cell.kind == CImportCell::Number ? "#" : "");
    return cells;
}

TEST(Workbook, CellKindsDateFormatsAndThe1904System)
{
    const std::string rows = R"(<row r="1"><c r="A1" t="inlineStr"><is><t>When</t></is></c><c r="C1" t="inlineStr"><is><t>Flag</t></is></c></row>
<row r="2"><c r="A2" s="1"><v>45352.5</v></c><c r="B2" s="3"><v>12.50</v></c><c r="C2" t="b"><v>1</v></c><c r="D2" t="e"><v>#N/A</v></c></row>
<row r="4"><c r="A4" s="2"><v>0</v></c><c r="C4" t="str"><f>x</f><v>formula text</v></c></row>
<row r="6"/>)";
    auto tables = Read({{"xl/workbook.xml", Workbook("")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                        {"xl/styles.xml", kStyles}, {"xl/worksheets/sheet1.xml", Sheet(rows)}});
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].name, "S$");
    EXPECT_EQ(tables[0].header, (std::vector<std::string>{"When", "", "Flag"}));
    // The empty row 3 stays between filled rows; the empty row at the end goes.
    ASSERT_EQ(tables[0].RowCount(), 3u);
    EXPECT_EQ(Cells(tables[0]), (QStringList{"2024-03-01 12:00:00", "12.5#", "True", "-", "1899-12-30", "-",
                                             "formula text"}));

    tables = Read({{"xl/workbook.xml", Workbook(R"(<workbookPr date1904="1"/>)")},
                   {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                   {"xl/styles.xml", kStyles},
                   {"xl/worksheets/sheet1.xml", Sheet(R"(<row><c><v>1</v></c></row><row><c s="2"><v>0</v></c></row>)")}});
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(Cells(tables[0]), QStringList{"1904-01-01"});
}

TEST(Workbook, DocumentTypesAndBrokenPartsAreRefused)
{
    const std::string entities = R"(<?xml version="1.0"?><!DOCTYPE workbook [<!ENTITY a "aaaaaaaaaa">
<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">]><workbook><sheets><sheet name="&b;" r:id="rId1"/></sheets></workbook>)";
    try {
        Read({{"xl/workbook.xml", entities}});
        FAIL();
    } catch (const CBarcodeDBException& e) {
        EXPECT_TRUE(e.GetErrorMessage().contains("document type")) << e.GetErrorMessage().toStdString();
    }
    try {
        Read({{"xl/workbook.xml", Workbook("")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
              {"xl/worksheets/sheet1.xml", Sheet("<row><c><v>1</v></c>")}});
        FAIL();
    } catch (const CBarcodeDBException& e) {
        EXPECT_TRUE(e.GetErrorMessage().contains("book.xlsx"));
        EXPECT_TRUE(e.GetErrorMessage().contains("well-formed"));
    }
    EXPECT_THROW(Read({{"docProps/app.xml", "<a/>"}}), CBarcodeDBException);
}

TEST(Values, NumbersDatesAndCanonicalText)
{
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(FormatNumber(-0.0), "0");
    EXPECT_EQ(FormatNumber(1e21), "1e+21");
    // Numbers are written out unless the exponent form is shorter; a tie keeps them written out.
    for (const char* number : {"12.5", "-3", "0", "-0", "1e+21", "444.555", "10000", "-120000", "1e+05", "123456789012345",
                               "1234567890123456", "0.001", "-0.00025", "2.5e-05", "0.30000000000000004", "123456789012.345"})
        EXPECT_TRUE(CanonicalNumber(number)) << number;
    for (const char* text : {"00123", "12.50", " 1", "1 ", "+1", "1e21", "0x10", "nan", "inf", "1,5", "", "-",
                             "100000", "-100000", "1000000000000000", "9007199254740993", "12a", "1-2",
                             "0.0001", "0.000025", "-0.0", ".5", "5.", "01.5", "1.2.3", "0.1000000000000000055"})
        EXPECT_FALSE(CanonicalNumber(text)) << text;
    EXPECT_EQ(FormatDateSerial(45352), "2024-03-01");
    EXPECT_EQ(FormatDateSerial(45352.75 + 1.0 / 86400), "2024-03-01 18:00:01");
    EXPECT_EQ(FormatDateSerial(-1.25), "1899-12-28 18:00:00");
}

}  // namespace

namespace {

// A workbook whose sheets S1.. each name the part of the target given.
Parts SheetsOn(const std::vector<std::string>& targets)
{
    std::string sheets, rels;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        sheets += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Target=\"" + targets[i] + "\" Type=\"t\"/>";
    }
    return {{"xl/workbook.xml", R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)" + sheets + "</sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + rels
                 + "</Relationships>"}};
}

}  // namespace

TEST(Workbook, APartIsReadOnceAndAllPartsTogetherAreBounded)
{
    // Forty sheets on one part: the part is read for the first only.
    Parts shared = SheetsOn(std::vector<std::string>(40, "worksheets/sheet1.xml"));
    shared["xl/worksheets/sheet1.xml"] = Sheet("<row><c><v>1</v></c></row>");
    const auto tables = Read(shared);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].name, "S1$");

    // Three parts of 200 MiB each, each under the cap of one part (one text serves all three).
    Parts big = SheetsOn({"worksheets/a.xml", "worksheets/b.xml", "worksheets/c.xml"});
    big["xl/worksheets/a.xml"] = Sheet(std::string(std::size_t(200) << 20, ' '));
    for (const char* name : {"xl/worksheets/b.xml", "xl/worksheets/c.xml"})
        big[name] = "<shared>";
    try {
        Read(big);
        FAIL();
    } catch (const CBarcodeDBException& e) {
        EXPECT_TRUE(e.GetErrorMessage().contains("together are larger than 512 MiB")) << e.GetErrorMessage().toStdString();
    }
}

// A part nested far deeper than any workbook's (parsing it would take minutes) is refused at once,
// naming the file and the part.
TEST(Workbook, APartNestedTooDeepIsRefusedNamingTheFile)
{
    UseLanguage("ENU");
    QTemporaryDir dir;
    const Parts book{{"xl/workbook.xml", Workbook("")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels}, {"xl/styles.xml", kStyles},
                     {"xl/sharedStrings.xml", R"(<?xml version="1.0"?><sst><si><t>a</t></si></sst>)"},
                     {"xl/worksheets/sheet1.xml", Sheet("<row><c><v>1</v></c></row>")}};
    const std::array<std::string, 3> parts[] = {{"xl/worksheets/sheet1.xml", "worksheet", "sheetData"},
                                                {"xl/sharedStrings.xml", "sst", "si"},
                                                {"xl/workbook.xml", "workbook", "sheets"},
                                                {"xl/styles.xml", "styleSheet", "cellXfs"}};
    for (const auto& [part, root, inner] : parts) {
        SCOPED_TRACE(part);
        Parts damaged = book;
        damaged[part] = "<?xml version=\"1.0\"?><" + root + " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                        QByteArray::fromStdString("<" + inner + ">").repeated(200000).toStdString() +
                        QByteArray::fromStdString("</" + inner + ">").repeated(200000).toStdString() + "</" + root + ">";
        const QString path = WriteFile(dir, "deep.xlsx", QByteArray::fromStdString(Zip(damaged)));
        CBarcodeDB db;
        CString connection;
        EXPECT_FALSE(db.OpenFile(path, connection));
        EXPECT_EQ(db.GetLastError().toStdString(),
                  "\"" + path.toStdString() + "\" cannot be read: the part " + part + " nests its elements more than 256 levels deep");
    }
}
