// The messages of refused data files and failed saves in the Chinese interfaces: in the language
// of the string table, with the file's name and the library's number put in.
#include "datatest.h"

#include "document/drawdoc.h"

#include <QDir>
#include <QRegularExpression>

namespace {

struct Expected {
    const char* language;
    const char* workbook;  // a pattern; %1 the path of a workbook the library cannot open
    const char* unknownKind;
    const char* emptyConnection;
    const char* emptyStoredConnection;  // of a label
    const char* saveToFolder;
};

const Expected kExpected[] = {
    {"CHS", "无法读取“%1”：freexl 无法打开工作簿（错误 -?\\d+）", "“%1”不是可以打开的数据文件类型。",
     "数据源未打开：连接字符串为空。", "“%1”的数据源未打开：连接字符串为空。", "无法保存 “%1”：它是一个文件夹。"},
    {"CHT", "無法讀取「%1」：freexl 無法開啟活頁簿（錯誤 -?\\d+）", "「%1」不是可以開啟的資料檔案類型。",
     "資料來源未開啟：連線字串是空的。", "「%1」的資料來源未開啟：連線字串是空的。", "無法儲存 “%1”：它是一個資料夾。"},
};

class Messages : public ::testing::TestWithParam<Expected> {
protected:
    void SetUp() override { UseLanguage(GetParam().language); }
    void TearDown() override { UseLanguage("ENU"); }
    QTemporaryDir dir;
};

TEST_P(Messages, RefusedFilesAndFailedSavesSpeakTheLanguageOfTheInterface)
{
    const Expected& expected = GetParam();
    const auto said = [](const char* text, const QString& arg = {}) { return arg.isNull() ? QString::fromUtf8(text) : QString::fromUtf8(text).arg(arg); };
    CString connection;
    CBarcodeDB book, notes, empty;
    const QString bookPath = WriteFile(dir, "book.xls", "not a workbook"), notesPath = WriteFile(dir, "notes.doc", "text");
    EXPECT_FALSE(book.OpenFile(bookPath, connection));
    EXPECT_TRUE(QRegularExpression("^" + said(expected.workbook, QRegularExpression::escape(bookPath)) + "$").match(book.GetLastError()).hasMatch())
        << book.GetLastError().toStdString();
    EXPECT_FALSE(notes.OpenFile(notesPath, connection));
    EXPECT_EQ(notes.GetLastError(), said(expected.unknownKind, notesPath));
    EXPECT_FALSE(empty.OpenConnection(QString()));
    EXPECT_EQ(empty.GetLastError(), said(expected.emptyConnection));
    empty.SetLabelFile(dir.filePath("shop.tag"));
    EXPECT_FALSE(empty.OpenConnection(QString()));
    EXPECT_EQ(empty.GetLastError(), said(expected.emptyStoredConnection, dir.filePath("shop.tag")));

    CDrawDoc doc;
    ASSERT_TRUE(QDir().mkdir(dir.filePath("folder.tag")));
    EXPECT_FALSE(doc.OnSaveDocument(dir.filePath("folder.tag")));
    EXPECT_EQ(doc.GetErrorText(), said(expected.saveToFolder, dir.filePath("folder.tag")));
}

INSTANTIATE_TEST_SUITE_P(Chinese, Messages, ::testing::ValuesIn(kExpected),
                         [](const auto& info) { return std::string(info.param.language); });

}  // namespace
