// Labels whose pictures cannot all be shown, each made here, on the roads a user takes: opened in
// the program's window, printed from its File menu and from the command line. The label opens
// and prints what it can; what it leaves out is said, and the print never passes for complete.

#include "app/pdfpages.h"
#include "app/programrun.h"
#include "app/shellfixture.h"
#include "framework/compoundfile.h"
#include "printing/tagprintdlg.h"
#include "support/madepictures.h"
#include "support/picturelabel.h"

#include <functional>

namespace {

constexpr int kPictureStep = 1836;  // units from one picture's left edge to the next one's

// A label file whose pictures are stored as the given files.
void WritePictureLabel(const QString& path, const QList<QByteArray>& pictures)
{
    const QByteArray contents = PictureLabelContents(pictures, kPictureStep);
    ASSERT_FALSE(contents.isEmpty());
    CCompoundFile file;
    ASSERT_TRUE(file.GetRoot().WriteStream(CDrawDoc::ContentsStreamName(), contents));
    QString error;
    ASSERT_TRUE(file.Save(path, error)) << error.toStdString();
}

// Whether the middle of picture i of a label printed on the first page is black.
bool PictureShows(const QImage& page, int i)
{
    const double x = 100 + (1068.0 + i * kPictureStep) * 254 / 1536;
    const double y = 100 + 1068.0 * 254 / 1536;
    return qGray(page.pixel(Px(x), Px(y))) < 50;
}

struct Case {
    const char* name;
    QList<QByteArray> pictures;
    QList<bool> shown;     // which pictures the print shows
    QString said;          // what every road says of the picture left out; empty when none is
    std::function<void(const CDrawDoc&)> opened = {};  // looks at the label opened in the window
};

}  // namespace

class PicturePrint : public Shell
{
protected:
    // Every road over one label: the command line's print, opening it in the window and
    // printing it from the File menu.
    void GoEveryRoad(const Case& c)
    {
        SCOPED_TRACE(c.name);
        // Files of their own: the print dialog would ask before printing over one.
        const QString name = QString::fromLatin1(c.name).replace(' ', '-');
        const QString label = m_files.filePath(name + ".tag");
        WritePictureLabel(label, c.pictures);
        const bool complete = c.said.isEmpty();

        const QString byCommand = m_files.filePath(name + "-command.pdf");
        const ProgramRun run = RunProgram({"--print-to", label, byCommand}, m_settingsDir.path());
        EXPECT_EQ(run.exitCode, complete ? 0 : 1) << run.err.toStdString();
        if (!complete) {
            EXPECT_TRUE(run.err.contains("was printed without everything it holds")) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(c.said)) << run.err.toStdString();
        }
        const QList<QImage> pages = RenderPdf(byCommand);
        ASSERT_EQ(pages.size(), 1);
        for (int i = 0; i < c.shown.size(); ++i)
            EXPECT_EQ(PictureShows(pages[0], i), c.shown[i]) << "picture " << i;

        MessageBoxWatch boxes;
        CDrawDoc* doc = m_app->OpenDocumentFile(label);
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetObjects().size(), size_t(c.pictures.size()));
        if (c.opened)
            c.opened(*doc);
        QApplication::processEvents();
        if (complete) {
            EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
        } else {
            ASSERT_EQ(boxes.texts.size(), 1) << boxes.texts.join("|").toStdString();
            EXPECT_TRUE(boxes.texts[0].startsWith("Not everything in")) << boxes.texts[0].toStdString();
            EXPECT_TRUE(boxes.texts[0].contains(c.said)) << boxes.texts[0].toStdString();
        }

        boxes.texts.clear();
        const QString byMenu = PrinterToPdf(name + "-menu.pdf");
        OnNextModal([](QWidget* w) { ClickAccept(w); }, IsA<CTagPrintDlg>);
        Update();
        Action(ShellCmd::kFilePrint)->trigger();
        QApplication::processEvents();
        if (complete) {
            EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
        } else {
            ASSERT_EQ(boxes.texts.size(), 1);
            EXPECT_TRUE(boxes.texts[0].contains("was printed without everything it holds")) << boxes.texts[0].toStdString();
            EXPECT_TRUE(boxes.texts[0].contains(c.said)) << boxes.texts[0].toStdString();
        }
        const QList<QImage> menuPages = RenderPdf(byMenu);
        ASSERT_EQ(menuPages.size(), 1);
        for (int i = 0; i < c.shown.size(); ++i)
            EXPECT_EQ(PictureShows(menuPages[0], i), c.shown[i]) << "picture " << i;
        EXPECT_TRUE(m_app->CloseDocument(doc));
    }
};

TEST_F(PicturePrint, ASmallPngOfALargeSolidAreaPrints)
{
    GoEveryRoad({"one-bit", {made::SolidPng(3000, 3000, 1, 0)}, {true}, {}});
}

TEST_F(PicturePrint, PicturesThatCannotBeShownAreSaidOnEveryRoad)
{
    QByteArray cut = made::SolidPng(300, 300, 8, 0);
    cut.chop(30);
    const Case cases[] = {
        // 137 and 137 MiB leave 238 MiB of the label's 512 to the third, which needs 244.
        {"beyond the label's bound",
         {made::SolidPng(16000, 9000, 8, 0), made::SolidPng(16000, 9000, 8, 0), made::SolidPng(16000, 16000, 8, 0)},
         {true, true, false},
         "The picture at 65.7 mm, 5.0 mm is not shown: it needs 244.1 MiB, and the pictures of one label may take 512 MiB "
         "together, of which 237.3 MiB are left."},
        {"damaged", {made::SolidPng(300, 300, 8, 0), cut}, {true, false}, "The picture at 35.3 mm, 5.0 mm is not shown: Damaged PNG"},
        {"too much drawing", {made::EllipseFlood(4000, 4000)}, {false},
         "The picture at 5.0 mm, 5.0 mm is not shown: drawing it takes more work than a picture may cost."},
    };
    for (const Case& c : cases)
        GoEveryRoad(c);
}

TEST_F(PicturePrint, ALabelOfManyCostlyMetafilesIsRefusedTheRestOnceItsWorkIsSpent)
{
    // Each metafile is under 3 KB and costs more than a picture may; the label's work allows
    // only a few of them to be drawn, up to their own bound. Every one after that is refused
    // before anything of it is drawn.
    constexpr int kPictures = 200;
    const QByteArray costly = made::EllipseFlood(1700, 200);
    ASSERT_LT(costly.size(), 3000);
    const QString pictureBound = "is not shown: drawing it takes more work than a picture may cost.";
    const QString labelBound = "is not shown: the pictures of one label may cost only so much drawing work together, "
                               "and the label's other pictures have used it up.";
    const int drawn = int(CDrawDoc::kMaxPictureWork / RASTER_MAX_DRAW_WORK);
    ASSERT_GE(drawn, 1);
    ASSERT_LE(drawn, 8);
    auto countRefusals = [&](const CDrawDoc& doc) {
        int byPicture = 0, byLabel = 0;
        for (const CDrawObj* obj : doc.GetObjects()) {
            byPicture += obj->GetLoadProblem().endsWith(pictureBound);
            byLabel += obj->GetLoadProblem().endsWith(labelBound);
        }
        EXPECT_EQ(byPicture, drawn);
        EXPECT_EQ(byLabel, kPictures - drawn);
    };
    GoEveryRoad({"costly metafiles", QList<QByteArray>(kPictures, costly), {false}, labelBound, countRefusals});
}
