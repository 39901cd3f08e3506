// Labels whose pictures cannot all be shown, on the roads a user takes: opened in the window,
// printed from the File menu and from the command line. The label prints what it can, says what
// it leaves out, and the print never passes for complete.

#include "app/pdfpages.h"
#include "app/programrun.h"
#include "app/shellfixture.h"
#include "framework/compoundfile.h"
#include "printing/tagprintdlg.h"
#include "support/madepictures.h"
#include "support/picturelabel.h"

#include <functional>

namespace {

constexpr int kStep = 1836;  // units from one picture's left edge to the next one's

struct Case {
    const char* name;
    QList<QByteArray> pictures;
    QList<bool> shown;  // which pictures the print shows
    QStringList said;   // what every road says of the pictures left out; empty when none is
    std::function<void(const CDrawDoc&)> opened = {};
};

}  // namespace

class PicturePrint : public Shell
{
protected:
    void GoEveryRoad(const Case& c)
    {
        SCOPED_TRACE(c.name);
        // Files of their own: the print dialog would ask before printing over one.
        const QString name = QString::fromLatin1(c.name).replace(' ', '-'), label = m_files.filePath(name + ".tag");
        const QByteArray contents = PictureLabelContents(c.pictures, kStep);
        ASSERT_FALSE(contents.isEmpty());
        CCompoundFile file;
        QString error;
        ASSERT_TRUE(file.GetRoot().WriteStream(CDrawDoc::ContentsStreamName(), contents));
        ASSERT_TRUE(file.Save(label, error)) << error.toStdString();
        const bool complete = c.said.isEmpty();
        auto expectPrinted = [&](const QString& pdf) {
            const QList<QImage> pages = RenderPdf(pdf);
            ASSERT_EQ(pages.size(), 1);
            for (int i = 0; i < c.shown.size(); ++i) {
                const double middle = 1068.0 * 254 / 1536;  // of picture i, 10 mm from the page's corner
                EXPECT_EQ(qGray(pages[0].pixel(Px(100 + middle + i * kStep * 254.0 / 1536), Px(100 + middle))) < 50, c.shown[i]) << i;
            }
        };
        auto expectSaid = [&](const QStringList& texts, const QString& lead) {
            if (complete) {
                EXPECT_TRUE(texts.isEmpty()) << texts.join('|').toStdString();
                return;
            }
            ASSERT_EQ(texts.size(), 1) << texts.join('|').toStdString();
            for (const QString& part : QStringList(lead) + c.said)
                EXPECT_TRUE(texts[0].contains(part)) << texts[0].toStdString() << "\nlacks: " << part.toStdString();
        };

        const QString byCommand = m_files.filePath(name + "-command.pdf");
        const ProgramRun run = RunProgram({"--print-to", label, byCommand}, m_settingsDir.path());
        EXPECT_EQ(run.exitCode, complete ? 0 : 1) << run.err.toStdString();
        if (!complete)
            expectSaid({run.err}, "was printed without everything it holds");
        expectPrinted(byCommand);

        MessageBoxWatch boxes;
        CDrawDoc* doc = m_app->OpenDocumentFile(label);
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetObjects().size(), size_t(c.pictures.size()));
        if (c.opened)
            c.opened(*doc);
        QApplication::processEvents();
        expectSaid(boxes.texts, "Not everything in");

        boxes.texts.clear();
        const QString byMenu = PrinterToPdf(name + "-menu.pdf");
        OnNextModal([](QWidget* w) { ClickAccept(w); }, IsA<CTagPrintDlg>);
        Update();
        Action(ShellCmd::kFilePrint)->trigger();
        QApplication::processEvents();
        expectSaid(boxes.texts, "was printed without everything it holds");
        expectPrinted(byMenu);
        EXPECT_TRUE(m_app->CloseDocument(doc));
    }
};

TEST_F(PicturePrint, WhatALabelCannotShowIsSaidOnEveryRoad)
{
    QByteArray cut = made::SolidPng(300, 300, 8, 0);
    cut.chop(30);
    // 200 metafiles that each cost more work than a picture may: the label's work lets a few be
    // drawn up to their own bound, and every one after those is refused before it is drawn.
    const QString pictureBound = "is not shown: drawing it takes more work than a picture may cost.";
    const QString labelBound = "is not shown: the pictures of one label may cost only so much drawing work together, "
                               "and the label's other pictures have used it up.";
    auto countRefusals = [&](const CDrawDoc& doc) {
        const int drawn = int(CDrawDoc::kMaxPictureWork / RASTER_MAX_DRAW_WORK);
        int byPicture = 0, byLabel = 0;
        for (const CDrawObj* obj : doc.GetObjects()) {
            byPicture += obj->GetLoadProblem().endsWith(pictureBound);
            byLabel += obj->GetLoadProblem().endsWith(labelBound);
        }
        EXPECT_EQ(byPicture, drawn);
        EXPECT_EQ(byLabel, 200 - drawn);
    };
    const QByteArray wide = made::SolidPng(16000, 9000, 8, 0);
    const Case cases[] = {
        {"small one-bit png of a large area", {made::SolidPng(3000, 3000, 1, 0)}, {true}, {}},
        // 137 and 137 MiB leave 238 MiB of the label's 512 to the third, which needs 244.
        {"beyond the label's bound", {wide, wide, made::SolidPng(16000, 16000, 8, 0)}, {true, true, false},
         {"The picture at 65.7 mm, 5.0 mm is not shown: it needs 244.1 MiB, and the pictures of one label may take 512 MiB "
          "together, of which 237.3 MiB are left."}},
        {"damaged", {made::SolidPng(300, 300, 8, 0), cut}, {true, false}, {"The picture at 35.3 mm, 5.0 mm is not shown: Damaged PNG"}},
        {"costly metafiles", QList<QByteArray>(200, made::EllipseFlood(1700, 200)), {false, false},
         {"The picture at 5.0 mm, 5.0 mm " + pictureBound, labelBound}, countRefusals},
    };
    for (const Case& c : cases)
        GoEveryRoad(c);
}
