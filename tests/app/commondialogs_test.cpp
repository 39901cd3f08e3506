// The common dialogs of the framework, driven through their widgets: the file dialog's
// resource filters, default extension, must-exist and overwrite rules, and the font dialog's
// sizes and faces.

#include "app/testmodal.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFontDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const CString kPictures = QStringLiteral(
    "Pictures (*.bmp;*.jpg)|*.bmp;*.jpg|All Files (*.*)|*.*||");

}  // namespace

TEST(FileDialog, ResourceFiltersShowTheirTextsAndMatchTheirPatterns)
{
    EXPECT_EQ(CFileDialog::NameFilters(kPictures),
              (QStringList{"Pictures (*.bmp;*.jpg) (*.bmp *.jpg)", "All Files (*.*) (*)"}));
    EXPECT_TRUE(CFileDialog::NameFilters(QString()).isEmpty());

    // The patterns are not repeated after the text that already names them.
    CFileDialog dialog(TRUE, "bmp", {}, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, kPictures);
    dialog.show();
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->itemText(0), "Pictures (*.bmp;*.jpg)");
    EXPECT_EQ(types->itemText(1), "All Files (*.*)");
}

TEST(FileDialog, OpenNeedsAnExistingFileAndSaveAsksBeforeReplacing)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath("logo.JPG");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    // Must-exist: a missing name is refused with a message and the dialog stays.
    {
        CFileDialog dialog(TRUE, "bmp", {}, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, kPictures);
        dialog.setDirectory(dir.path());
        bool refused = false;
        OnNextModal([&](QWidget* d) {
            OnNextModal([&](QWidget* box) {
                refused = true;
                box->close();
            }, IsA<QMessageBox>);
            TypeFileName(d, dir.filePath("missing.png"));
            EXPECT_TRUE(d->isVisible());
            d->close();
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_TRUE(refused);
        OnNextModal([&](QWidget* d) { TypeFileName(d, existing); });
        ASSERT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.GetPathName(), existing);
        EXPECT_EQ(dialog.GetFileName(), "logo.JPG");
        EXPECT_EQ(dialog.GetFileExt(), "JPG");
    }

    // Save onto an existing file asks; No keeps the dialog open, Cancel ends it.
    {
        CFileDialog dialog(FALSE, "bmp", {}, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kPictures);
        dialog.setDirectory(dir.path());
        int asked = 0;
        OnNextModal([&](QWidget* box) {
            ++asked;
            auto* mb = qobject_cast<QMessageBox*>(box);
            mb->button(QMessageBox::No)->click();
            OnNextModal([](QWidget* d) { d->close(); }, IsA<QFileDialog>);
        }, IsA<QMessageBox>);
        OnNextModal([&](QWidget* d) { TypeFileName(d, existing); }, IsA<QFileDialog>);
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(asked, 1);
        EXPECT_TRUE(dialog.GetPathName().isEmpty());
    }
}

TEST(FontDialog, ShowsPointsAndTakesFamilyWeightAndItalic)
{
    const int ppi = CFontDialog::ScreenPixelsPerInch();
    LOGFONTW lf;
    SetFaceName(lf, QStringLiteral(u"細明體"));
    lf.lfHeight = -(12 * ppi / 72);  // 12 points on the screen
    lf.lfWeight = 400;
    lf.lfEscapement = 900;

    CFontDialog dialog(&lf);
    dialog.SetColor(RGB(255, 0, 0));
    EXPECT_DOUBLE_EQ(dialog.FontWidget()->currentFont().pointSizeF(), 12.0);

    // Another family, bold italic at 9 points; the escapement is no field of the dialog.
    LOGFONTW out = lf;
    QFont chosen(QStringLiteral("Liberation Serif"));
    chosen.setPointSizeF(9);
    chosen.setWeight(QFont::Bold);
    chosen.setItalic(true);
    dialog.FontWidget()->setCurrentFont(chosen);
    dialog.GetCurrentFont(&out);
    EXPECT_EQ(FaceNameOf(out), "Liberation Serif");
    EXPECT_EQ(out.lfHeight, -LONG(std::lround(9.0 * ppi / 72)));
    EXPECT_EQ(out.lfWeight, 700);
    EXPECT_EQ(out.lfItalic, 1);
    EXPECT_EQ(out.lfEscapement, 900);
    EXPECT_EQ(dialog.GetColor(), RGB(255, 0, 0));
}
