// Objects turned with Arrange > Rotate, as the user reaches them: printed to PDF and read back
// with poppler and zxing-cpp, painted by the view, and saved and opened again.

#include "app/pdfpages.h"
#include "app/shellfixture.h"
#include "framework/ui/dialogids.h"
#include "objects/drawtext.h"
#include "support/testoutput.h"
#include "symbology/drawbarcode.h"
#include "symbology/drawpdf417.h"
#include "symbology/zxing_read.h"

#include <QPainter>
#include <QRegularExpression>
#include <QTransform>

using namespace ShellCmd;

namespace {

constexpr UINT kRotate = 32831;

struct PdfWord {
    QString text;
    QRectF box;  // points, from the page's top-left corner
};

// The words poppler reads on the first page, each with its box.
QList<PdfWord> Words(const QString& pdf)
{
    QList<PdfWord> words;
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    const QString html = RunTool("pdftotext", {"-f", "1", "-l", "1", "-bbox", pdf, "-"});
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        words.append({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                            QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}

// The box of the only word with this text; an empty box when there is not exactly one.
QRectF WordBox(const QList<PdfWord>& words, const QString& text)
{
    QRectF found;
    int count = 0;
    for (const PdfWord& w : words)
        if (w.text == text) {
            found = w.box;
            ++count;
        }
    return count == 1 ? found : QRectF();
}

// Where a vector pointing right (the reading direction of upright text) points after the
// quarter turns counter-clockwise as seen: 0 right, 1 up, 2 left, 3 down.
int Heading(QPointF v)
{
    if (std::abs(v.x()) > std::abs(v.y()))
        return v.x() > 0 ? 0 : 2;
    return v.y() < 0 ? 1 : 3;
}

class TurnedObjects : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        ShowFrame();
        m_frame->resize(1400, 1000);
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        UseTwoByFiveSheet(Active());
    }
    // Arrange > Rotate on the object alone, a quarter turn each time.
    void Rotate(CDrawObj* obj, int quarters)
    {
        view->Select(obj, FALSE);
        for (int i = 0; i < quarters; ++i) {
            Update();
            ASSERT_TRUE(Action(kRotate)->isEnabled());
            Action(kRotate)->trigger();
        }
        view->Select(nullptr, FALSE);
    }
    // The label as the view paints it at 200 %.
    QImage Screen()
    {
        Active()->SetZoom(200);
        CDrawView* active = m_app->GetActiveDrawView();
        const int e = active->GetViewportExtent();
        active->ScrollToPosition(CPoint(10 * e - 4, 10 * e - 4));
        QImage screen(active->viewport()->size(), QImage::Format_RGB32);
        QPainter painter(&screen);
        active->Paint(painter, QRect(QPoint(0, 0), screen.size()));
        return screen;
    }

    CDrawView* view = nullptr;
};

}  // namespace

TEST_F(TurnedObjects, TextAndBarcodeReadInTheTurnedDirectionOnPaper)
{
    for (int quarters = 0; quarters < 4; ++quarters) {
        SCOPED_TRACE(quarters);
        for (CDrawObj* obj : std::vector<CDrawObj*>(Active()->GetObjects())) {
            Active()->Remove(obj);
            delete obj;
        }
        auto* text = new CDrawText(CRect(1500, 800, 1510, 810), view, "Hello Label");
        auto* code = new CDrawBarcode(CRect(3500, 800, 3510, 810), view, "12345678", BARCODE_ID_CODE128_AUTO);
        view->AddObject(text);
        view->AddObject(code);
        const CRect upright = code->m_position;
        Rotate(text, quarters);
        Rotate(code, quarters);

        const QString pdf = m_files.filePath(QString("turned%1.pdf").arg(quarters));
        ASSERT_TRUE(m_app->PrintDocument(Active(), pdf));
        const QList<PdfWord> words = Words(pdf);
        const QRectF hello = WordBox(words, "Hello"), label = WordBox(words, "Label");
        const QRectF digits = WordBox(words, "12345678");
        ASSERT_FALSE(hello.isEmpty());
        ASSERT_FALSE(label.isEmpty());
        ASSERT_FALSE(digits.isEmpty());
        // Words run along the turned direction, and the text line stays beneath its bars as the
        // symbol turns: below them upright, to their right a quarter turn on.
        EXPECT_EQ(Heading(label.center() - hello.center()), quarters);
        for (const QRectF& box : {hello, label, digits})
            EXPECT_EQ(box.height() > box.width(), quarters % 2 == 1);
        // Label corner at 10 mm, 1536 units an inch, 72 points an inch.
        const QPointF codeCentre = QPointF(28.35, 28.35) + QPointF(code->m_position.CenterPoint().x,
                                                                  code->m_position.CenterPoint().y) * 72.0 / 1536;
        EXPECT_EQ(Heading(digits.center() - codeCentre), (quarters + 3) % 4);

        const QImage page = RenderPdf(pdf).value(0);
        page.copy(TwoByFiveCell(0, 0)).save(TestOutputDir() + QStringLiteral("/turned-objects-print-%1.png").arg(quarters * 90));
        const QImage back = page.transformed(QTransform().rotate(90.0 * quarters));
        EXPECT_EQ(zxread::Decode(back, ZXing::BarcodeFormat::Code128).text, "12345678");
        EXPECT_EQ(code->m_position.Width(), quarters % 2 ? upright.Height() : upright.Width());

        const QImage screen = Screen();
        screen.save(TestOutputDir() + QStringLiteral("/turned-objects-view-%1.png").arg(quarters * 90));
        EXPECT_EQ(zxread::Decode(screen.transformed(QTransform().rotate(90.0 * quarters)),
                                 ZXing::BarcodeFormat::Code128).text, "12345678");
    }
}

TEST_F(TurnedObjects, TurnedObjectsStayPutThroughOpenAndSave)
{
    auto* text = new CDrawText(CRect(500, 900, 510, 910), view, "Hello Label");
    auto* quarter = new CDrawBarcode(CRect(2000, 500, 2010, 510), view, "12345678", BARCODE_ID_CODE128_AUTO);
    auto* threeQuarters = new CDrawBarcode(CRect(4000, 500, 4010, 510), view, "12345678", BARCODE_ID_CODE128_AUTO);
    auto* stacked = new CDrawPDF417(CRect(500, 2200, 510, 2210), view, "Stacked rows");
    for (CDrawObj* obj : std::initializer_list<CDrawObj*>{text, quarter, threeQuarters, stacked})
        view->AddObject(obj);
    Rotate(text, 1);
    Rotate(quarter, 1);
    Rotate(threeQuarters, 3);
    Rotate(stacked, 1);
    auto boxes = [this] {
        std::vector<CRect> out;
        for (CDrawObj* obj : Active()->GetObjects())
            out.push_back(obj->m_position);
        return out;
    };
    Screen();
    const std::vector<CRect> designed = boxes();
    // Edit > Properties with OK changes nothing of a turned symbol's box either.
    for (CDrawObj* obj : {static_cast<CDrawObj*>(threeQuarters), static_cast<CDrawObj*>(stacked)}) {
        view->Select(obj, FALSE);
        RunSheet([](CPropertySheet* sheet) { QTest::mouseClick(sheet->Button(IDOK), Qt::LeftButton); });
    }
    EXPECT_EQ(boxes(), designed);
    const QImage drawn = RenderObjects();
    const QString path = SavedLabel();
    m_app->m_askOpenPath = [path] { return path; };
    for (int cycle = 1; cycle <= 5; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(m_app->Router()->Execute(kFileClose));
        Action(kFileOpen)->trigger();
        ASSERT_EQ(m_app->Documents().size(), 1u);
        Screen();
        EXPECT_EQ(boxes(), designed);
        EXPECT_TRUE(RenderObjects() == drawn);
        Update();
        Action(kFileSave)->trigger();
    }
}
