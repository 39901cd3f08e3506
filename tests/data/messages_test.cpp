// The messages of refused data files and failed saves in the Chinese interfaces: in the language
// of the string table, with the file's name and the library's number put in.
#include "datatest.h"

#include "document/drawdoc.h"

#include <QDir>
#include <QRegularExpression>

namespace {

struct Expected {
    const char* language;
    const char* workbook;     // a workbook the library cannot open; %1 the path
    const char* unknownKind;  // %1 the path
    const char* emptyConnection;
    const char* emptyStoredConnection;  // of a label; %1 its path
    const char* saveToFolder;           // %1 the path
};

const Expected kExpected[] = {
    {"CHS", "无法读取“%1”：freexl 无法打开工作簿（错误 -?\\d+）", "“%1”不是可以打开的数据文件类型。",
     "数据源未打开：连接字符串为空。", "“%1”的数据源未打开：连接字符串为空。", "无法保存 “%1”：它是一个文件夹。"},
    {"CHT", "無法讀取「%1」：freexl 無法開啟活頁簿（錯誤 -?\\d+）", "「%1」不是可以開啟的資料檔案類型。",
     "資料來源未開啟：連線字串是空的。", "「%1」的資料來源未開啟：連線字串是空的。", "無法儲存 “%1”：它是一個資料夾。"},
};

void PrintTo(const Expected& expected, std::ostream* out)
{
    *out << expected.language;
}

class Messages : public ::testing::TestWithParam<Expected> {
protected:
    void SetUp() override { UseLanguage(GetParam().language); }
    void TearDown() override { UseLanguage("ENU"); }
    QTemporaryDir dir;
};

}  // namespace

TEST_P(Messages, RefusedFilesAndFailedSavesSpeakTheLanguageOfTheInterface)
{
    const Expected& expected = GetParam();
    CString connection;
    {
        CBarcodeDB db;
        const QString book = WriteFile(dir, "book.xls", "not a workbook");
        EXPECT_FALSE(db.OpenFile(book, connection));
        const QRegularExpression said(
            QStringLiteral("^%1$").arg(QString::fromUtf8(expected.workbook).arg(QRegularExpression::escape(book))));
        EXPECT_TRUE(said.match(db.GetLastError()).hasMatch()) << db.GetLastError().toStdString();
    }
    {
        CBarcodeDB db;
        const QString notes = WriteFile(dir, "notes.doc", "text");
        EXPECT_FALSE(db.OpenFile(notes, connection));
        EXPECT_EQ(db.GetLastError(), QString::fromUtf8(expected.unknownKind).arg(notes));
    }
    {
        CBarcodeDB db;
        EXPECT_FALSE(db.OpenConnection(QString()));
        EXPECT_EQ(db.GetLastError(), QString::fromUtf8(expected.emptyConnection));
        db.SetLabelFile(dir.filePath("shop.tag"));
        EXPECT_FALSE(db.OpenConnection(QString()));
        EXPECT_EQ(db.GetLastError(), QString::fromUtf8(expected.emptyStoredConnection).arg(dir.filePath("shop.tag")));
    }
    {
        CDrawDoc doc;
        const QString folder = dir.filePath("folder.tag");
        ASSERT_TRUE(QDir().mkdir(folder));
        EXPECT_FALSE(doc.OnSaveDocument(folder));
        EXPECT_EQ(doc.GetErrorText(), QString::fromUtf8(expected.saveToFolder).arg(folder));
    }
}

INSTANTIATE_TEST_SUITE_P(Chinese, Messages, ::testing::ValuesIn(kExpected),
                         [](const auto& info) { return std::string(info.param.language); });
