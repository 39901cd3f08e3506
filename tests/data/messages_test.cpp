// The messages of refused data files and failed saves in the Chinese interfaces: in the language
// of the string table, with the file's name and the library's number put in.
#include "datatest.h"

#include "document/drawdoc.h"

#include <QDir>
#include <QRegularExpression>

#include <array>

TEST(Messages, RefusedFilesAndFailedSavesSpeakTheLanguageOfTheInterface)
{
    // The language; a workbook the library cannot open (a pattern); a file of no known kind; an
    // empty connection, of no label and of a label; a save over a folder.
    const std::array<const char*, 6> cases[] = {
        {"CHS", "无法读取“%1”：freexl 无法打开工作簿（错误 -?\\d+）", "“%1”不是可以打开的数据文件类型。",
         "数据源未打开：连接字符串为空。", "“%1”的数据源未打开：连接字符串为空。", "无法保存 “%1”：它是一个文件夹。"},
        {"CHT", "無法讀取「%1」：freexl 無法開啟活頁簿（錯誤 -?\\d+）", "「%1」不是可以開啟的資料檔案類型。",
         "資料來源未開啟：連線字串是空的。", "「%1」的資料來源未開啟：連線字串是空的。", "無法儲存 “%1”：它是一個資料夾。"},
    };
    QTemporaryDir dir;
    const QString book = WriteFile(dir, "book.xls", "not a workbook"), notes = WriteFile(dir, "notes.doc", "text"),
                  label = dir.filePath("shop.tag"), folder = dir.filePath("folder.tag");
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const auto& [language, workbook, unknownKind, emptyConnection, emptyOfLabel, saveToFolder] : cases) {
        SCOPED_TRACE(language);
        UseLanguage(language);
        CString connection;
        CBarcodeDB db, empty;
        EXPECT_FALSE(db.OpenFile(book, connection));
        const QRegularExpression said("^" + QString::fromUtf8(workbook).arg(QRegularExpression::escape(book)) + "$");
        EXPECT_TRUE(said.match(db.GetLastError()).hasMatch()) << db.GetLastError().toStdString();
        EXPECT_FALSE(db.OpenFile(notes, connection));
        EXPECT_EQ(db.GetLastError(), QString::fromUtf8(unknownKind).arg(notes));
        EXPECT_FALSE(empty.OpenConnection(QString()));
        EXPECT_EQ(empty.GetLastError(), QString::fromUtf8(emptyConnection));
        empty.SetLabelFile(label);
        EXPECT_FALSE(empty.OpenConnection(QString()));
        EXPECT_EQ(empty.GetLastError(), QString::fromUtf8(emptyOfLabel).arg(label));
        CDrawDoc doc;
        EXPECT_FALSE(doc.OnSaveDocument(folder));
        EXPECT_EQ(doc.GetErrorText(), QString::fromUtf8(saveToFolder).arg(folder));
    }
    UseLanguage("ENU");
}
