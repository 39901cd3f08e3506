// The up-downs of the object pages and of the count dialogs sit against the right side of the
// box they step and are as tall as it, in the windows as the user opens them: Edit > Properties
// on a barcode and a PDF417 symbol, File > Print and File > Print Preview.

#include "shellfixture.h"

#include "framework/ui/dialogids.h"
#include "printing/tagprintdlg.h"
#include "support/testoutput.h"
#include "symbology/drawbarcode.h"
#include "symbology/drawpdf417.h"

#include <QPushButton>

namespace {

constexpr UINT kFilePrint = 57607;
constexpr UINT kFilePrintPreview = 57609;

// The up-down's left edge just right of the box, its top and height the box's; both found by
// their ids in the window or page.
void ExpectAgainst(QWidget* window, int upDownId, int boxId)
{
    SCOPED_TRACE(QString("up-down %1 of box %2").arg(upDownId).arg(boxId).toStdString());
    QWidget* upDown = GetDlgItem(window, upDownId);
    QWidget* box = GetDlgItem(window, boxId);
    ASSERT_TRUE(upDown && box);
    ASSERT_TRUE(upDown->isVisible() && box->isVisible());
    const QRect b(box->mapTo(window, QPoint(0, 0)), box->size());
    const QRect u(upDown->mapTo(window, QPoint(0, 0)), upDown->size());
    EXPECT_EQ(u.left(), b.right() + 1);
    EXPECT_EQ(u.top(), b.top());
    EXPECT_EQ(u.height(), b.height());
}

class UpDowns : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        ShowFrame();
    }
};

}  // namespace

TEST_F(UpDowns, SitAgainstTheBoxTheyStep)
{
    CDrawView* view = m_app->GetActiveDrawView();
    AddSelected(new CDrawBarcode(CRect(300, 300, 310, 310), view, "123", BARCODE_ID_CODE128_AUTO));
    RunSheet([&](CPropertySheet* sheet) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        ExpectAgainst(sheet->GetActivePage(), 104, 205);  // the width's module steps
        sheet->grab().save(TestOutputDir() + "/updown-width.png");
        sheet->Button(IDCANCEL)->click();
    });
    AddSelected(new CDrawPDF417(CRect(300, 2000, 300, 2000), view, "123"));
    RunSheet([&](CPropertySheet* sheet) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        ClickTab(sheet, 1);
        for (const auto& [upDown, list] : {std::pair{106, 133}, {105, 135}, {104, 136}})
            ExpectAgainst(sheet->GetActivePage(), upDown, list);
        sheet->Button(IDCANCEL)->click();
    });

    // The count of labels, on the tab of the print dialog and in the preview's dialog.
    int counted = 0;
    OnNextModal([&](QWidget* w) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        ExpectAgainst(w, 159, 158);
        w->grab().save(TestOutputDir() + "/updown-print.png");
        ++counted;
        qobject_cast<QDialog*>(w)->reject();
    }, IsA<CTagPrintDlg>);
    Update();
    Action(kFilePrint)->trigger();
    OnNextModal([&](QWidget* w) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        ExpectAgainst(w, 159, 158);
        ++counted;
        qobject_cast<QDialog*>(w)->reject();
    }, IsA<CTagPreviewDlg>);
    Update();
    Action(kFilePrintPreview)->trigger();
    EXPECT_EQ(counted, 2);
}
