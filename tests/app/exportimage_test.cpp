// Exporting the label as a picture from the toolbar's command, and inserting a picture file:
// the dialogs driven with keys and clicks as the user drives them.

#include "app/shellfixture.h"
#include "framework/ui/dialogids.h"
#include "objects/drawimage.h"
#include "printing/exportfiledlg.h"

#include <QFile>
#include <QFileDialog>
#include <QPushButton>

namespace {

constexpr UINT kExport = 32936, kInsertPicture = 32944;

QLineEdit* Edit(QWidget* dialog, int id) { return dialog->findChild<QLineEdit*>(QString::number(id)); }
QPushButton* Button(QWidget* dialog, int id) { return dialog->findChild<QPushButton*>(QString::number(id)); }

// Replaces the text of an edit as the user does: a click into it, select all, type.
void Retype(QLineEdit* edit, const QString& text)
{
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class ExportImage : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        const float size[2] = {500.0f, 300.0f};
        Active()->SetLabelSize(size);
        dialog = std::make_unique<CExportFileDlg>(m_frame);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        path = Edit(dialog.get(), 125);
        dpi = Edit(dialog.get(), 185);
        ASSERT_TRUE(path && dpi);
    }
    void TearDown() override
    {
        dialog.reset();
        Shell::TearDown();
    }
    std::unique_ptr<CExportFileDlg> dialog;
    QLineEdit* path = nullptr;
    QLineEdit* dpi = nullptr;
};

}  // namespace

TEST_F(ExportImage, ResolutionIsCheckedOnLeavingAndOnOkButNeverOnCancel)
{
    const QString range = "The resolution must lie in the range 16 ~ 1536.";
    EXPECT_EQ(dpi->text(), "300");
    Retype(path, m_files.filePath("x.png"));
    for (const char* refused : {"15", "1537"}) {
        MessageBoxWatch watch;
        // Offscreen, a closed message box does not hand the activation back by itself.
        QApplication::setActiveWindow(dialog.get());
        Retype(dpi, refused);
        QTest::keyClick(dpi, Qt::Key_Tab);
        QTest::qWait(50);
        EXPECT_EQ(watch.texts, QStringList{range}) << refused;
        EXPECT_EQ(dialog->focusWidget(), dpi);
        // Enter goes to OK, which checks as well and keeps the dialog open.
        QTest::keyClick(dpi, Qt::Key_Return);
        QTest::qWait(50);
        EXPECT_EQ(watch.texts.size(), 2);
        EXPECT_TRUE(dialog->isVisible());
    }
    for (const char* accepted : {"16", "1536"}) {
        MessageBoxWatch watch;
        QApplication::setActiveWindow(dialog.get());
        Retype(dpi, accepted);
        QTest::keyClick(dpi, Qt::Key_Tab);
        QTest::qWait(30);
        EXPECT_TRUE(watch.texts.isEmpty()) << accepted;
    }

    // Cancel and Escape close without a word, whatever the resolution says.
    {
        MessageBoxWatch watch;
        Retype(dpi, "15");
        QTest::mouseClick(Button(dialog.get(), IDCANCEL), Qt::LeftButton);
        QTest::qWait(30);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        Retype(dpi, "15");
        QTest::keyClick(dpi, Qt::Key_Escape);
        QTest::qWait(30);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(watch.texts.isEmpty()) << watch.texts.join('|').toStdString();
    }

    // An empty path is refused; a good one closes with OK.
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    MessageBoxWatch watch;
    Retype(dpi, "200");
    path->clear();
    QTest::mouseClick(Button(dialog.get(), IDOK), Qt::LeftButton);
    EXPECT_EQ(watch.texts, QStringList{"Please enter a file name."});
    EXPECT_TRUE(dialog->isVisible());
    Retype(path, m_files.filePath("typed.png"));
    QTest::mouseClick(Button(dialog.get(), IDOK), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->m_nResolution, 200);
    EXPECT_EQ(dialog->m_strFilePath, m_files.filePath("typed.png"));
    EXPECT_TRUE(dialog->m_strFileExt.isEmpty());
}

TEST_F(ExportImage, BrowseTakesNewNamesAndAsksBeforeReplacingOne)
{
    const QString fresh = m_files.filePath("fresh.jpg");
    OnNextModal([&](QWidget* w) { TypeFileName(w, fresh); }, IsA<QFileDialog>);
    QTest::mouseClick(Button(dialog.get(), 3), Qt::LeftButton);
    EXPECT_EQ(path->text(), fresh);
    EXPECT_EQ(dialog->m_strFileExt, "jpg");

    const QString existing = m_files.filePath("old.png");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QString asked;
    OnNextModal([&](QWidget* w) {
        ClickMessageBox(QMessageBox::Yes, &asked);
        TypeFileName(w, existing);
    }, IsA<QFileDialog>);
    QTest::mouseClick(Button(dialog.get(), 3), Qt::LeftButton);
    EXPECT_FALSE(asked.isEmpty());
    EXPECT_EQ(path->text(), existing);
}

TEST_F(ExportImage, TheToolbarCommandWritesTheTypedPathsFormat)
{
    dialog.reset();
    const QString file = m_files.filePath("x.png");
    OnNextModal([&](QWidget* w) {
        auto* export_ = qobject_cast<CExportFileDlg*>(w);
        ASSERT_NE(export_, nullptr);
        Retype(Edit(w, 125), file);
        ClickMessageBox(QMessageBox::Ok);
        QTest::mouseClick(Button(w, IDOK), Qt::LeftButton);
    });
    Update();
    ASSERT_TRUE(Action(kExport)->isEnabled());
    Action(kExport)->trigger();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(4), QByteArray("\x89PNG", 4));
    EXPECT_EQ(QImage(file).size(), QSize(590, 354));
}

TEST_F(ExportImage, AnUnreadablePictureIsNotInserted)
{
    dialog.reset();
    const QString bad = m_files.filePath("broken.png");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
    }
    QString told;
    OnNextModal([&](QWidget* w) {
        ClickMessageBox(QMessageBox::Ok, &told);
        TypeFileName(w, bad);
    }, IsA<QFileDialog>);
    Update();
    Action(kInsertPicture)->trigger();
    EXPECT_EQ(told, "The object could not be inserted.");
    EXPECT_TRUE(Active()->GetObjects().empty());
}
