// The property pages of the QR Code, PDF417 and Data Matrix objects, opened with Edit >
// Properties and worked with the keyboard: their lists, the up-downs beside them, Cancel, and
// OK refitting the object to its new symbol.

#include "app/shellfixture.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "support/testoutput.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTabBar>

namespace {

class Code2DPages : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        ShowFrame();
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        doc = Active();
    }

    // Edit > Properties on the selection; the symbol's page is chosen by its tab, f gets it, then
    // the button is pressed.
    void Properties(const std::function<void(CPropertyPage*)>& f, int button, const char* shot = nullptr)
    {
        RunSheet([&](CPropertySheet* sheet) {
            ASSERT_NE(sheet, nullptr);
            // The data-source page, then the symbol's page in the font page's place.
            ASSERT_EQ(sheet->GetPageCount(), 2);
            FocusIn(sheet);
            auto* tabs = sheet->findChild<QTabBar*>();
            ASSERT_NE(tabs, nullptr);
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
            ASSERT_EQ(sheet->GetActivePage(), sheet->GetPage(1));
            f(sheet->GetActivePage());
            if (shot)
                sheet->grab().save(TestOutputDir() + QStringLiteral("/%1.png").arg(shot));
            QTest::mouseClick(sheet->Button(button), Qt::LeftButton);
        });
    }

    CDrawView* view = nullptr;
    CDrawDoc* doc = nullptr;
};

// Keys pressed on a control as a user does: a click gives it the focus first.
void Keys(QWidget* control, std::initializer_list<Qt::Key> keys)
{
    ASSERT_NE(control, nullptr);
    control->setFocus(Qt::MouseFocusReason);
    FocusIn(control->window());
    for (Qt::Key key : keys)
        QTest::keyClick(QApplication::focusWidget(), key);
}

QComboBox* List(CPropertyPage* page, int id)
{
    return GetDlgItem<QComboBox>(page, id);
}

QStringList Items(QComboBox* list)
{
    QStringList items;
    for (int i = 0; list && i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

}  // namespace

TEST_F(Code2DPages, QRCodePageStepsTheModuleAndRaisesTheLevel)
{
    auto* qr = AddSelected(new CDrawQRCode(CRect(1000, 1000, 1000, 1000), view, "12345678"));
    ASSERT_EQ(qr->m_position.Size(), CSize(525, 525));

    // Changed and cancelled: nothing happens.
    Properties([](CPropertyPage* page) { Keys(List(page, 134), {Qt::Key_Down}); }, IDCANCEL);
    EXPECT_EQ(qr->Encoder().GetLevel(), 1);
    EXPECT_FALSE(doc->IsModified());

    Properties([](CPropertyPage* page) {
        QComboBox* sizes = List(page, 133);
        ASSERT_EQ(sizes->count(), 146);
        EXPECT_EQ(sizes->itemText(0), "0.08");
        EXPECT_EQ(sizes->currentText(), "0.41");
        EXPECT_EQ(sizes->currentData().toInt(), 25);
        EXPECT_EQ(Items(List(page, 134)), QStringList({"L recovers 7%", "M recovers 15%", "Q recovers 25%",
                                                        "H recovers 35%"}));
        EXPECT_EQ(List(page, 134)->currentIndex(), 1);
        QComboBox* pages = List(page, 135);
        EXPECT_EQ(pages->count(), 34);
        EXPECT_EQ(pages->currentText(), "65001: UTF-8 UNICODE");

        // The up-down beside the sizes: up twice and down once is one size up.
        auto* upDown = GetDlgItem<QScrollBar>(page, 106);
        Keys(upDown, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down});
        EXPECT_EQ(sizes->currentData().toInt(), 26);
        // A list moved by its keys moves its up-down along.
        Keys(sizes, {Qt::Key_Down, Qt::Key_Down});
        EXPECT_EQ(sizes->currentData().toInt(), 28);
        Keys(upDown, {Qt::Key_Down});
        EXPECT_EQ(sizes->currentData().toInt(), 27);
        Keys(List(page, 134), {Qt::Key_End});
        EXPECT_EQ(List(page, 134)->currentText(), "H recovers 35%");
    }, IDOK, "qrcode-page");
    EXPECT_EQ(qr->GetModuleSize(), 27);
    EXPECT_EQ(qr->Encoder().GetLevel(), 3);
    // Eight bytes at level H need version 2.
    EXPECT_EQ(qr->m_position, CRect(1000, 1000, 1000 + 25 * 27, 1000 + 25 * 27));
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(Code2DPages, PDF417PageFixesRowsAndLevel)
{
    auto* pdf = AddSelected(new CDrawPDF417(CRect(1000, 1000, 1000, 1000), view, "Quillbar"));
    Properties([](CPropertyPage* page) {
        EXPECT_EQ(List(page, 133)->count(), 146);
        EXPECT_EQ(List(page, 133)->currentText(), "0.41");
        EXPECT_EQ(Items(List(page, 134)), QStringList({"Automatic", "0", "1", "2", "3", "4", "5", "6", "7", "8"}));
        EXPECT_EQ(List(page, 134)->currentIndex(), 0);
        EXPECT_EQ(List(page, 135)->count(), 10);
        EXPECT_EQ(List(page, 135)->currentText(), "3");
        EXPECT_EQ(List(page, 136)->count(), 31);
        EXPECT_EQ(List(page, 136)->currentText(), "Automatic");
        EXPECT_GE(List(page, 137)->view()->minimumWidth(), 400);

        Keys(List(page, 134), {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down});  // level 2
        Keys(GetDlgItem<QScrollBar>(page, 105), {Qt::Key_Up});           // row factor 4
        Keys(GetDlgItem<QScrollBar>(page, 104), {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up});  // 3 rows
        EXPECT_EQ(List(page, 136)->currentText(), "3");
    }, IDOK, "pdf417-page");
    EXPECT_EQ(pdf->Encoder().GetOptions(), PDF417_FIXED_ROWS | PDF417_USE_ERROR_LEVEL);
    EXPECT_EQ(pdf->Encoder().GetRows(), 3);
    EXPECT_EQ(pdf->Encoder().GetErrorLevel(), 2);
    EXPECT_EQ(pdf->GetRowFactor(), 4);
    // "Quillbar" in 3 fixed rows takes 5 columns.
    EXPECT_EQ(pdf->m_position.Size(), CSize(25 * (17 * (5 + 4) + 1), 4 * 25 * 3));

    // The automatic level is stored as level 0 without option 16.
    Properties([](CPropertyPage* page) { Keys(List(page, 134), {Qt::Key_Home}); }, IDOK);
    EXPECT_EQ(pdf->Encoder().GetOptions(), PDF417_FIXED_ROWS);
    EXPECT_EQ(pdf->Encoder().GetErrorLevel(), 0);
}

TEST_F(Code2DPages, DataMatrixPageChoosesTheShape)
{
    auto* dm = AddSelected(new CDrawDataMatrix(CRect(1000, 1000, 1000, 1000), view, "Quillbar 2-D"));
    dm->Encoder().m_nCodePage = 437;  // not in the English catalogue
    Properties([](CPropertyPage* page) {
        EXPECT_EQ(Items(List(page, 136)), QStringList({"ECC 200"}));
        EXPECT_EQ(List(page, 136)->currentIndex(), 0);
        EXPECT_EQ(List(page, 133)->count(), 296);
        EXPECT_EQ(List(page, 133)->currentData().toInt(), 50);
        EXPECT_EQ(List(page, 135)->currentIndex(), -1);
        QComboBox* shapes = List(page, 190);
        ASSERT_EQ(shapes->count(), 32);
        EXPECT_EQ(shapes->itemText(0), "Automatic (rectangular)");
        EXPECT_EQ(shapes->itemText(1), "Automatic (square)");
        EXPECT_EQ(shapes->itemText(2), "10 x 10");
        EXPECT_EQ(shapes->itemText(25), "144 x 144");
        EXPECT_EQ(shapes->itemText(26), "8 x 18");
        EXPECT_EQ(shapes->itemText(31), "16 x 48");
        EXPECT_EQ(shapes->currentIndex(), 1);
        Keys(shapes, {Qt::Key_Up});
    }, IDOK, "datamatrix-page");
    EXPECT_EQ(dm->Encoder().m_nSizeRequest, DATAMATRIX_RECT_AUTO);
    EXPECT_EQ(dm->Encoder().m_nCodePage, 437u);  // no choice made: kept
    EXPECT_EQ(dm->m_position.Size(), CSize(1300, 600));
}
