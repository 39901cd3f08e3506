// The property sheets of label objects and of the document, reached as a user reaches them:
// the creating tools dragged with the mouse, a double click, Edit > Properties and File >
// Document Properties, with keys typed into the pages' own widgets.

#include "app/shellfixture.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "document/summinfo.h"
#include "objects/drawimage.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "objects/drawpoly.h"
#include "symbology/zxing_read.h"
#include "view/objectpages.h"

#include <QCheckBox>
#include <QPushButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QListView>
#include <QStringListModel>
#include <QMouseEvent>

#include <cstring>

namespace {

constexpr UINT kProperties = 32785;
constexpr UINT kDocumentProperties = 32792;
constexpr UINT kTextTool = 32827, kBarcodeTool = 32832, kPictureTool = 32901;

void Click(QAbstractButton* b)
{
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

QAbstractButton* BoxButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    for (auto* box : dialog->findChildren<QDialogButtonBox*>())
        if (QAbstractButton* b = box->button(which); b && b->isVisible())
            return b;
    return nullptr;
}

// The font dialog's size box: the one field that takes only numbers.
QLineEdit* SizeBox(QWidget* fontDialog)
{
    for (auto* e : fontDialog->findChild<QFontDialog*>()->findChildren<QLineEdit*>())
        if (e->validator())
            return e;
    return nullptr;
}

class ObjectSheets : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        ShowFrame();
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        doc = Active();
        doc->SetModifiedFlag(FALSE);
    }

    void Run(UINT id)
    {
        Update();
        ASSERT_TRUE(Action(id)->isEnabled()) << id;
        Action(id)->trigger();
    }

    QWidget* Port() const { return view->viewport(); }
    QPoint Client(CPoint logical) const
    {
        const CPoint p = view->DocToClient(logical);
        return QPoint(p.x, p.y);
    }
    void Send(QEvent::Type type, QPoint p, Qt::MouseButtons buttons)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(p), Port()->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(Port(), &e);
    }
    // The main window active again (after a dialog) and the view with the focus, as when the
    // user comes back to the label.
    void ActivateView()
    {
        FocusIn(m_frame);
        view->setFocus();
        QApplication::processEvents();
    }
    void Drag(QPoint from, QPoint to)
    {
        ActivateView();
        Send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        Send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        Send(QEvent::MouseMove, to, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    CDrawView* view = nullptr;
    CDrawDoc* doc = nullptr;
};

}  // namespace

TEST_F(ObjectSheets, PicturePageTakesMillimetresAndRefusesWhatIsNoSize)
{
    CDrawImage* picture = AddSelected(new CDrawImage(CRect(0, 0, 1536, 768)));
    bool shown = false;
    OnNextModal([&](QWidget* w) {
        shown = true;
        EXPECT_EQ(GetDlgItemText(w, 205), "25.40");
        EXPECT_EQ(GetDlgItemText(w, 125), "12.70");
        for (const char* bad : {"0", "abc", "nan", "1e300"}) {
            SCOPED_TRACE(bad);
            TypeInto(GetDlgItem(w, 205), QString::fromLatin1(bad));
            QString text;
            ClickMessageBox(QMessageBox::Ok, &text);
            Click(GetDlgItem<QAbstractButton>(w, IDOK));
            EXPECT_EQ(text, QStringLiteral(u"請輸入正確尺寸."));
            EXPECT_TRUE(w->isVisible());
            EXPECT_EQ(w->focusWidget(), GetDlgItem(w, 205));
        }
        TypeInto(GetDlgItem(w, 205), "10");
        Click(GetDlgItem<QAbstractButton>(w, IDOK));
    }, IsA<CSetImageSizeDlg>);
    Run(kProperties);
    EXPECT_TRUE(shown);
    EXPECT_EQ(picture->m_position, CRect(0, 0, 605, 768));
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(ObjectSheets, FontPageShowsPointsAndCancelKeepsTheFont)
{
    auto* text = AddSelected(new CDrawText(CRect(1000, 1000, 1000, 1000), view, "Label"));
    text->m_logfont.lfHeight = -200;
    text->m_logfont.lfWeight = 600;

    // The font dialog cancelled, then a new size and colour chosen, then the sheet cancelled:
    // nothing changes.
    RunSheet([&](CPropertySheet* sheet) {
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->GetPageCount(), 2);
        EXPECT_EQ(sheet->Button(ID_APPLY_NOW), nullptr);
        EXPECT_EQ(sheet->GetActivePage()->TemplateId(), 107u);  // the data-source page first
        ClickTab(sheet, 1);
        CPropertyPage* page = sheet->GetActivePage();
        EXPECT_EQ(GetDlgItemText(page, 133), "9");
        EXPECT_EQ(GetDlgItemText(page, 132), "");
        EXPECT_EQ(GetDlgItemText(page, 129), QStringLiteral(u"細明體"));

        OnNextModal([](QWidget* d) {
            EXPECT_EQ(SizeBox(d)->text(), "9");
            Click(BoxButton(d, QDialogButtonBox::Cancel));
        }, IsA<CFontDialog>);
        Click(GetDlgItem<QAbstractButton>(page, 131));
        EXPECT_EQ(GetDlgItemText(page, 133), "9");

        OnNextModal([](QWidget* d) {
            TypeInto(SizeBox(d), "12");
            OnNextModal([](QWidget* c) {
                for (auto* e : c->findChildren<QLineEdit*>())
                    if (e->text().startsWith(u'#'))
                        TypeInto(e, "#ff0000");
                Click(BoxButton(c, QDialogButtonBox::Ok));
            }, IsA<QColorDialog>);
            Click(qobject_cast<CFontDialog*>(d)->ColorButton());
            Click(BoxButton(d, QDialogButtonBox::Ok));
        }, IsA<CFontDialog>);
        Click(GetDlgItem<QAbstractButton>(page, 131));
        EXPECT_EQ(GetDlgItemText(page, 133), "12");
        Click(sheet->Button(IDCANCEL));
    });
    EXPECT_EQ(text->m_logfont.lfHeight, -200);
    EXPECT_EQ(text->m_textColor, RGB(0, 0, 0));
    EXPECT_FALSE(doc->IsModified());

    // The font dialog cancelled and the sheet confirmed: the height comes back exactly, not as
    // its round trip through screen pixels (-192).
    RunSheet([&](CPropertySheet* sheet) {
        OnNextModal([](QWidget* d) { Click(BoxButton(d, QDialogButtonBox::Cancel)); }, IsA<CFontDialog>);
        ClickTab(sheet, 1);
        Click(GetDlgItem<QAbstractButton>(sheet->GetActivePage(), 131));
        Click(sheet->Button(IDOK));
    });
    EXPECT_EQ(text->m_logfont.lfHeight, -200);

    // 12 points and red, confirmed.
    RunSheet([&](CPropertySheet* sheet) {
        OnNextModal([](QWidget* d) {
            TypeInto(SizeBox(d), "12");
            qobject_cast<CFontDialog*>(d)->SetColor(RGB(255, 0, 0));
            Click(BoxButton(d, QDialogButtonBox::Ok));
        }, IsA<CFontDialog>);
        ClickTab(sheet, 1);
        Click(GetDlgItem<QAbstractButton>(sheet->GetActivePage(), 131));
        Click(sheet->Button(IDOK));
    });
    // The offscreen screen has 96 pixels per inch: 12 points are 16 pixels, -256 units.
    ASSERT_EQ(CFontDialog::ScreenPixelsPerInch(), 96);
    EXPECT_EQ(text->m_logfont.lfHeight, -256);
    EXPECT_EQ(FaceNameOf(text->m_logfont), QStringLiteral(u"細明體"));  // its stand-in was shown
    EXPECT_EQ(text->m_textColor, RGB(255, 0, 0));
    EXPECT_TRUE(doc->IsModified());
    // The bigger font grew the box to the text.
    EXPECT_GT(text->m_position.Height(), 0);
}

// The font dialog opens on the style the label draws with; what the user leaves alone comes back
// to the byte, and a family, style or size chosen changes that alone.
TEST_F(ObjectSheets, FontDialogGivesBackWhatTheUserLeftAlone)
{
    // A click on the entry of whichever of the dialog's lists holds it.
    const auto pick = [](QWidget* d, const QString& entry) {
        for (auto* list : d->findChildren<QListView*>())
            if (auto* model = qobject_cast<QStringListModel*>(list->model()); model && model->stringList().contains(entry)) {
                const QModelIndex index = model->index(int(model->stringList().indexOf(entry)));
                list->scrollTo(index);
                return QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
            }
        FAIL() << "no list holds " << entry.toStdString();
    };
    const struct {
        const char16_t* face;
        LONG weight;
        BYTE italic;
        const char* shownStyle;
        char chosen;  // 'f'amily, 's'tyle or si'z'e, or nothing
        const char16_t* choice;
        LONG wantWeight;
        BYTE wantItalic;
    } cases[] = {
        {u"DejaVu Sans", 600, 0, "Bold", 0, nullptr, 600, 0},
        {u"DejaVu Sans", 700, 1, "Bold Oblique", 0, nullptr, 700, 1},
        {u"Liberation Serif", 400, 1, "Italic", 0, nullptr, 400, 1},
        {u"細明體", 400, 0, "Light", 0, nullptr, 400, 0},  // shown through its stand-in
        {u"DejaVu Sans", 600, 0, "Bold", 's', u"Book", 400, 0},
        {u"DejaVu Sans", 700, 1, "Bold Oblique", 's', u"Bold", 700, 0},
        {u"DejaVu Sans", 600, 1, "Bold Oblique", 'z', u"12", 600, 1},
        // Another family keeps weight and slant, though its styles have other names.
        {u"DejaVu Sans", 700, 1, "Bold Oblique", 'f', u"Liberation Serif", 700, 1},
        {u"細明體", 400, 0, "Light", 'f', u"DejaVu Sans", 400, 0},
    };
    ASSERT_EQ(CFontDialog::ScreenPixelsPerInch(), 96);
    auto* text = AddSelected(new CDrawText(CRect(1000, 1000, 1000, 1000), view, "Label"));
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        LOGFONTW want = text->m_logfont;
        SetFaceName(want, QString::fromUtf16(c.face));
        want.lfHeight = -200;  // 9.375 points: shown as 9
        want.lfWeight = c.weight;
        want.lfItalic = c.italic;
        text->m_logfont = want;
        RunSheet([&](CPropertySheet* sheet) {
            OnNextModal([&](QWidget* d) {
                EXPECT_EQ(qobject_cast<CFontDialog*>(d)->FontWidget()->currentFont().styleName(), c.shownStyle);
                if (c.chosen == 'z')
                    TypeInto(SizeBox(d), QString::fromUtf16(c.choice));
                else if (c.chosen)
                    pick(d, QString::fromUtf16(c.choice));
                Click(BoxButton(d, QDialogButtonBox::Ok));
            }, IsA<CFontDialog>);
            ClickTab(sheet, 1);
            Click(GetDlgItem<QAbstractButton>(sheet->GetActivePage(), 131));
            Click(sheet->Button(IDOK));
        });
        if (c.chosen == 'f')
            SetFaceName(want, QString::fromUtf16(c.choice));
        want.lfHeight = c.chosen == 'z' ? -256 : -200;
        want.lfWeight = c.wantWeight;
        want.lfItalic = c.wantItalic;
        const LOGFONTW& got = text->m_logfont;
        EXPECT_EQ(std::memcmp(&got, &want, sizeof want), 0)
            << FaceNameOf(got).toStdString() << ", height " << got.lfHeight << ", weight " << got.lfWeight << ", italic " << int(got.lfItalic);
    }
}

TEST_F(ObjectSheets, ShapePageTakesLineWidthAndFill)
{
    CDrawRect* rect = AddSelected(new CDrawRect(CRect(0, 0, 900, 600)));
    RunSheet([&](CPropertySheet* sheet) {
        CPropertyPage* page = sheet->GetActivePage();
        EXPECT_EQ(GetDlgItemText(page, 102), "0.100");
        EXPECT_NE(sheet->Button(ID_APPLY_NOW), nullptr);
        TypeInto(GetDlgItem(page, 102), "0.25");
        ClickMark(GetDlgItem<QCheckBox>(page, 103));
        Click(sheet->Button(IDOK));
    });
    EXPECT_EQ(rect->m_logpen.lopnWidth.x, 15);
    EXPECT_EQ(rect->m_logpen.lopnWidth.y, 15);
    EXPECT_TRUE(rect->m_bBrush);
    EXPECT_TRUE(doc->IsModified());

    // Cancel keeps what the page shows.
    doc->SetModifiedFlag(FALSE);
    RunSheet([&](CPropertySheet* sheet) {
        TypeInto(GetDlgItem(sheet->GetActivePage(), 102), "2");
        Click(sheet->Button(IDCANCEL));
    });
    EXPECT_EQ(rect->m_logpen.lopnWidth.x, 15);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ObjectSheets, BarcodePageChangesTheSymbologyAndKeepsTheModule)
{
    auto* code = AddSelected(new CDrawBarcode(CRect(1000, 1000, 1000, 1000), view, "400638133393", BARCODE_ID_CODE39));
    const float module = code->GetBarcode()->GetModuleWidth();
    const float height = code->GetBarcode()->GetBarHeight();
    const CRect before = code->m_position;

    auto chooseEan13 = [](CPropertySheet* sheet) {
        ClickTab(sheet, 2);
        auto* combo = GetDlgItem<QComboBox>(sheet->GetActivePage(), 133);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->currentText(), "Code39");
        combo->setFocus();
        QTest::keyClicks(combo, "EAN13");
        EXPECT_EQ(combo->currentText(), "EAN13");
    };
    RunSheet([&](CPropertySheet* sheet) {
        EXPECT_EQ(sheet->GetPageCount(), 3);
        chooseEan13(sheet);
        Click(sheet->Button(IDCANCEL));
    });
    EXPECT_EQ(code->GetBarcode()->GetType(), BARCODE_ID_CODE39);
    EXPECT_EQ(code->m_position, before);
    EXPECT_FALSE(doc->IsModified());

    RunSheet([&](CPropertySheet* sheet) {
        chooseEan13(sheet);
        Click(sheet->Button(IDOK));
    });
    EXPECT_EQ(code->GetBarcode()->GetType(), BARCODE_ID_EAN13);
    EXPECT_FLOAT_EQ(code->GetBarcode()->GetModuleWidth(), module);
    EXPECT_FLOAT_EQ(code->GetBarcode()->GetBarHeight(), height);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(zxread::Decode(RenderObjects(), ZXing::BarcodeFormat::EAN13).text, "4006381333931");
}

namespace {

// The columns of a picture that hold dark pixels in rows [top, bottom): first and last.
std::pair<int, int> InkColumns(const QImage& image, int top, int bottom)
{
    int first = image.width(), last = -1;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

}  // namespace

TEST_F(ObjectSheets, BarcodeTextAlignmentListReadsAsItDraws)
{
    auto* code = AddSelected(new CDrawBarcode(CRect(1000, 1000, 1000, 1000), view, "123", BARCODE_ID_CODE39));
    auto entry = [](const char* english) { return CResourceModule::Get().DialogText(QString::fromLatin1(english)); };

    // Each entry chosen by its text, the way the list shows it; the next opening shows it again.
    struct Choice {
        const char* text;
        int stored;
    };
    const char* shown = "Centre";  // a new barcode centres its text
    for (const Choice& choice : {Choice{"Left", 1}, Choice{"Right", 2}, Choice{"Centre", 0}}) {
        SCOPED_TRACE(choice.text);
        RunSheet([&](CPropertySheet* sheet) {
            ClickTab(sheet, 2);
            auto* combo = GetDlgItem<QComboBox>(sheet->GetActivePage(), 136);
            ASSERT_NE(combo, nullptr);
            EXPECT_EQ(combo->currentText(), entry(shown));
            combo->setFocus();
            QTest::keyClicks(combo, entry(choice.text));
            EXPECT_EQ(combo->currentText(), entry(choice.text));
            Click(sheet->Button(IDOK));
        });
        shown = choice.text;
        EXPECT_EQ(code->GetBarcode()->GetTextAlign(), choice.stored);

        // The digits' ink under the bars: at the symbol's left edge, its middle or its right edge.
        const QImage drawn = RenderObjects();
        EXPECT_EQ(zxread::Decode(drawn, ZXing::BarcodeFormat::Code39).text, "123");
        auto px = [](int logical) { return MulDiv(logical, 300, 1536); };
        const CRect box = code->m_position;
        const int textHeight = px(MulDiv(8, 1536, 72));
        const auto [first, last] = InkColumns(drawn, px(box.bottom) - textHeight + 3, px(box.bottom));
        ASSERT_LT(first, last);
        const int left = px(box.left), right = px(box.right);
        ASSERT_GT(right - left, 3 * (last - first)) << "the text is narrower than the bars";
        const int slack = (right - left) / 20;
        switch (choice.stored) {
        case 1:
            EXPECT_LE(std::abs(first - left), slack) << first << " from " << left;
            break;
        case 2:
            EXPECT_LE(std::abs(last - right), slack) << last << " from " << right;
            break;
        default:
            EXPECT_LE(std::abs((first + last) - (left + right)) / 2, slack) << first << ".." << last << " in " << left << ".." << right;
        }
    }
}

TEST_F(ObjectSheets, CreatingToolsOpenTheirSheetsAndCancelLeavesNothing)
{
    const QPoint from = Client(CPoint(800, 800)), to = Client(CPoint(3000, 2000));

    // Text: Cancel, then OK.
    for (bool ok : {false, true}) {
        Run(kTextTool);
        bool asked = false;
        OnNextModal([&](QWidget* w) {
            asked = true;
            auto* sheet = qobject_cast<CPropertySheet*>(w);
            EXPECT_EQ(sheet->GetActivePage()->TemplateId(), 107u);  // opens on the data-source page
            Click(sheet->Button(ok ? IDOK : IDCANCEL));
        }, IsA<CPropertySheet>);
        Drag(from, to);
        EXPECT_TRUE(asked);
        EXPECT_EQ(doc->GetObjects().size(), ok ? 1u : 0u);
        EXPECT_EQ(doc->IsModified(), ok);
    }
    auto* text = dynamic_cast<CDrawText*>(doc->GetObjects().front());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->m_text, CResourceModule::Get().LoadString(8));
    EXPECT_GT(text->m_position.Width(), 0);

    // Barcode: the data typed on the data-source page.
    view->Select(nullptr);
    Run(kBarcodeTool);
    OnNextModal([&](QWidget* w) {
        auto* sheet = qobject_cast<CPropertySheet*>(w);
        TypeInto(GetDlgItem(sheet->GetActivePage(), 128), "CODE39");
        Click(sheet->Button(IDOK));
    }, IsA<CPropertySheet>);
    Drag(Client(CPoint(800, 3000)), Client(CPoint(5000, 4500)));
    ASSERT_EQ(doc->GetObjects().size(), 2u);
    auto* code = dynamic_cast<CDrawBarcode*>(doc->GetObjects().back());
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->m_text, "CODE39");
    EXPECT_GT(code->m_position.Width(), 0);
    EXPECT_EQ(zxread::Decode(RenderObjects(), ZXing::BarcodeFormat::Code39).text, "CODE39");

    // Picture: the file dialog first; Cancel adds nothing, a file gives a filled picture.
    const QString png = m_files.filePath("logo.png");
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    ASSERT_TRUE(logo.save(png));
    doc->SetModifiedFlag(FALSE);
    for (bool ok : {false, true}) {
        Run(kPictureTool);
        OnNextModal([&](QWidget* w) {
            if (!ok) {
                w->close();
                return;
            }
            TypeFileName(w, png);
        }, IsA<QFileDialog>);
        Drag(Client(CPoint(6000, 800)), Client(CPoint(7000, 1500)));
        EXPECT_EQ(doc->GetObjects().size(), ok ? 3u : 2u);
        EXPECT_EQ(doc->IsModified(), ok);
    }
    // A file that is no picture: string 102, and nothing is added.
    const QString damaged = m_files.filePath("damaged.png");
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG\r\n\x1a\n broken");
    }
    doc->SetModifiedFlag(FALSE);
    Run(kPictureTool);
    QString message;
    OnNextModal([&](QWidget* w) {
        ClickMessageBox(QMessageBox::Ok, &message);
        TypeFileName(w, damaged);
    }, IsA<QFileDialog>);
    Drag(Client(CPoint(6000, 2000)), Client(CPoint(7000, 2500)));
    EXPECT_EQ(message, CResourceModule::Get().LoadString(102));
    EXPECT_EQ(doc->GetObjects().size(), 3u);
    EXPECT_FALSE(doc->IsModified());

    auto* picture = dynamic_cast<CDrawImg*>(doc->GetObjects().back());
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->GetBitmap(), nullptr);
    const QImage drawn = RenderObjects();
    const QPoint inside(MulDiv(6000 + 320, 300, 1536), MulDiv(800 + 160, 300, 1536));
    // Shown as the label stores it (a JPEG), so within a step of pure blue.
    const QColor shown = drawn.pixelColor(inside);
    EXPECT_TRUE(shown.red() < 8 && shown.green() < 8 && shown.blue() > 247) << shown.name().toStdString();

    // A double click on the selected text opens its sheet.
    view->Select(text, FALSE);
    bool opened = false;
    OnNextModal([&](QWidget* w) {
        opened = true;
        qobject_cast<CPropertySheet*>(w)->Button(IDCANCEL)->click();
    }, IsA<CPropertySheet>);
    const QPoint centre = Client(text->m_position.CenterPoint());
    ActivateView();
    Send(QEvent::MouseButtonPress, centre, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, centre, Qt::NoButton);
    Send(QEvent::MouseButtonDblClick, centre, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, centre, Qt::NoButton);
    EXPECT_TRUE(opened);
}

TEST_F(ObjectSheets, PolygonHasNoSheet)
{
    auto* poly = new CDrawPoly(CRect(0, 0, 0, 0));
    poly->AddPoint(CPoint(0, 0));
    poly->AddPoint(CPoint(500, 0));
    AddSelected(poly);
    Run(kProperties);  // nothing opens, nothing waits
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ObjectSheets, DocumentPropertiesShowTheSummaryAndWriteTheAuthorBack)
{
    auto open = [&](std::function<void(CPropertySheet*)> f) { RunSheet(f, kDocumentProperties); };
    open([&](CPropertySheet* sheet) {
        ASSERT_EQ(sheet->GetPageCount(), 2);
        CPropertyPage* summary = sheet->GetPage(0);
        EXPECT_EQ(GetDlgItemText(summary, 120), QStringLiteral(u"標籤"));
        EXPECT_TRUE(GetDlgItem<QLineEdit>(summary, 120)->isReadOnly());
        ClickTab(sheet, 1);
        CPropertyPage* stats = sheet->GetPage(1);
        EXPECT_EQ(GetDlgItemText(stats, 112), "0");
        EXPECT_EQ(GetDlgItemText(stats, 113), "0 min");
        EXPECT_EQ(GetDlgItemText(stats, 117), "1");
        EXPECT_EQ(GetDlgItemText(stats, 116), "");
        for (int id : {111, 112, 113, 114, 115, 116, 117, 118, 119, 122})
            EXPECT_TRUE(GetDlgItem<QLineEdit>(stats, id)->isReadOnly()) << id;
        ClickTab(sheet, 0);
        TypeInto(GetDlgItem(summary, 105), "Someone else");
        Click(sheet->Button(IDCANCEL));
    });
    EXPECT_EQ(doc->GetSummInfo()->GetAuthor(), "");
    EXPECT_FALSE(doc->IsModified());

    open([&](CPropertySheet* sheet) {
        TypeInto(GetDlgItem(sheet->GetPage(0), 105), "Mei Lin");
        TypeInto(GetDlgItem(sheet->GetPage(0), 108), "Price tags");
        Click(sheet->Button(IDOK));
    });
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetSummInfo()->GetTitle(), "Price tags");
    SavedLabel();
    open([&](CPropertySheet* sheet) {
        EXPECT_EQ(GetDlgItemText(sheet->GetPage(1), 112), "1");
        EXPECT_EQ(GetDlgItemText(sheet->GetPage(1), 111), "Mei Lin");
        EXPECT_EQ(GetDlgItemText(sheet->GetPage(0), 105), "Mei Lin");
        Click(sheet->Button(IDCANCEL));
    });
}

TEST_F(ObjectSheets, APictureToolsSeeThroughPartsStayWhiteAfterSaveAndReopen)
{
    const QString png = m_files.filePath("clear.png");
    QImage logo(40, 20, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x)
            logo.setPixel(x, y, qRgb(0, 0, 255));
    ASSERT_TRUE(logo.save(png));
    Run(kPictureTool);
    OnNextModal([&](QWidget* w) { TypeFileName(w, png); }, IsA<QFileDialog>);
    Drag(Client(CPoint(1000, 800)), Client(CPoint(2000, 1500)));
    ASSERT_EQ(doc->GetObjects().size(), 1u);
    Port()->repaint();  // the first paint sizes the picture

    const QString saved = m_files.filePath("clear.tag");
    m_app->m_askSavePath = [saved](const CString&) { return saved; };
    Run(ShellCmd::kFileSave);
    ASSERT_FALSE(doc->IsModified());
    CDrawDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(saved)) << reopened.GetErrorText().toStdString();
    auto* picture = dynamic_cast<CDrawImg*>(reopened.GetObjects().at(0));
    ASSERT_TRUE(picture && picture->GetBitmap());
    const QImage back = picture->GetBitmap()->ToQImage();
    EXPECT_GE(qGray(back.pixel(5, 10)), 250) << "see-through part";
    EXPECT_GT(qBlue(back.pixel(30, 10)), 240);
    EXPECT_LT(qRed(back.pixel(30, 10)), 20);
}
