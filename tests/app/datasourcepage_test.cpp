// The data-source page of text and barcode objects as a user meets it: Edit > Properties on the
// selected object, keys typed into the page's fields, clicks on its buttons and its up-down, and
// the label read back afterwards.

#include "app/programrun.h"
#include "app/shellfixture.h"
#include "framework/archive.h"
#include "framework/compoundfile.h"
#include "framework/textnumbers.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "symbology/zxing_read.h"
#include "data/ui/datasourcedlg.h"
#include "support/testoutput.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>

namespace {

void Click(QWidget* w, QPoint at = {})
{
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, {}, at.isNull() ? w->rect().center() : at);
}

// Chooses the entry of a combo box as the keyboard does: the box focused, the entry's first
// word typed (a space would open the list).
void Choose(QWidget* combo, const QString& entry)
{
    ASSERT_NE(combo, nullptr);
    combo->setFocus();
    ASSERT_EQ(FocusIn(combo->window()), combo);
    QTest::qWait(QApplication::keyboardInputInterval() + 10);  // a new search, not a longer one
    QTest::keyClicks(combo, entry.section(u' ', 0, 0));
    ASSERT_EQ(qobject_cast<QComboBox*>(combo)->currentText(), entry);
}

void Shoot(QWidget* sheet, const char* name)
{
    sheet->grab().save(TestOutputDir() + QStringLiteral("/dbpage-%1.png").arg(QLatin1String(name)));
}

class DataSourcePage : public Shell {
protected:
    void SetUp() override
    {
        Shell::SetUp();
        ShowFrame();
        view = m_app->GetActiveDrawView();
        ASSERT_NE(view, nullptr);
        doc = Active();
        doc->GetSchemaMap()[QStringLiteral("T")] = {"A", "B", "C"};
    }

    // Edit > Properties; f gets the sheet and its data-source page.
    void Properties(std::function<void(CPropertySheet*, CPropertyPage*)> f)
    {
        RunSheet([&](CPropertySheet* sheet) {
            ASSERT_NE(sheet, nullptr);
            ASSERT_EQ(sheet->GetActiveIndex(), 0);
            ASSERT_EQ(sheet->GetActivePage()->TemplateId(), 107u);
            f(sheet, sheet->GetActivePage());
        });
    }
    // OK refused with the message of the string, the sheet still open.
    void OkRefused(CPropertySheet* sheet, UINT message)
    {
        QString text;
        ClickMessageBox(QMessageBox::Ok, &text);
        Click(sheet->Button(IDOK));
        EXPECT_EQ(text, CResourceModule::Get().LoadString(message));
        EXPECT_TRUE(sheet->isVisible());
    }

    CDrawView* view = nullptr;
    CDrawDoc* doc = nullptr;
};

// The block's data items as "table|field|prefix|suffix".
std::vector<CString> Items(const CContentBlock& block)
{
    std::vector<CString> out;
    for (const CDataItem& i : GetDataItems(block))
        out.push_back(QStringList {i.table, i.field, i.prefix, i.suffix}.join(u'|'));
    return out;
}

std::vector<QString> Column(QTableWidget* grid, int column)
{
    std::vector<QString> out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out.push_back(grid->item(r, column)->text());
    return out;
}

}  // namespace

TEST_F(DataSourcePage, FixedTextTakesLineBreaksAndSerialModeChecksItsFields)
{
    auto* text = AddSelected(new CDrawText(CRect(1000, 1000, 1000, 1000), view, "Label"));
    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        EXPECT_EQ(GetDlgItem<QComboBox>(page, 133)->currentText(), "Fixed text");
        EXPECT_FALSE(GetDlgItem(page, 134)->isVisible());
        EXPECT_FALSE(GetDlgItem(page, 135)->isVisible());
        // Enter adds a line to a text object's text.
        auto* edit = GetDlgItem<QPlainTextEdit>(page, 128);
        TypeInto(edit, "Line 1");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "Line 2");
        Choose(GetDlgItem(page, 192), "Right");
        Shoot(sheet, "fixed");
        Click(sheet->Button(IDOK));
    });
    EXPECT_EQ(text->m_text, "Line 1\r\nLine 2");
    EXPECT_EQ(text->Content().alignment, ALIGN_RIGHT);
    EXPECT_TRUE(doc->IsModified());

    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        EXPECT_EQ(GetDlgItem<QPlainTextEdit>(page, 128)->toPlainText(), "Line 1\nLine 2");
        Choose(GetDlgItem(page, 133), "Serial number");
        EXPECT_TRUE(GetDlgItem(page, 1154)->isVisible());
        EXPECT_EQ(GetDlgItemText(page, 134), "1");
        EXPECT_EQ(GetDlgItemText(page, 1154), "1");
        EXPECT_TRUE(GetDlgItem<QRadioButton>(page, 140)->isChecked());

        // A step typed, then the mode changed away and back: step and repeat are 1 again.
        TypeInto(GetDlgItem(page, 134), "5");
        Click(GetDlgItem(page, 141));
        Choose(GetDlgItem(page, 133), "Fixed text");
        Choose(GetDlgItem(page, 133), "Serial number");
        EXPECT_EQ(GetDlgItemText(page, 134), "1");
        EXPECT_TRUE(GetDlgItem<QRadioButton>(page, 140)->isChecked());

        TypeInto(GetDlgItem(page, 128), "12a");
        OkRefused(sheet, 17);
        EXPECT_EQ(sheet->focusWidget(), GetDlgItem(page, 128));
        EXPECT_EQ(text->Content().mode, CONTENT_FIXED);  // nothing stored

        TypeInto(GetDlgItem(page, 128), "0012");
        TypeInto(GetDlgItem(page, 1154), "0");
        OkRefused(sheet, 20);
        EXPECT_EQ(sheet->focusWidget(), GetDlgItem(page, 1154));
        EXPECT_EQ(text->Content().mode, CONTENT_FIXED);
        EXPECT_EQ(text->Content().alignment, ALIGN_RIGHT);

        TypeInto(GetDlgItem(page, 1154), "2");
        TypeInto(GetDlgItem(page, 134), "3");
        Click(GetDlgItem(page, 141));
        TypeInto(GetDlgItem(page, 136), "No. ");
        Shoot(sheet, "serial");
        Click(sheet->Button(IDOK));
        EXPECT_FALSE(sheet->isVisible());
    });
    const CContentBlock& block = text->Content();
    EXPECT_EQ(block.mode, CONTENT_SERIAL);
    EXPECT_EQ(block.repeat, 2);
    EXPECT_EQ(block.step, 3);
    EXPECT_EQ(block.direction, 1);
    EXPECT_EQ(block.prefix, "No. ");
    EXPECT_EQ(text->m_text, "0012");
    EXPECT_EQ(text->GetDrawString(nullptr, 2), "No. 0009");  // 12, 12, 9, counting down by 3
}

TEST_F(DataSourcePage, DatabaseFieldsAreAddedRemovedAndKeptWhenNotOffered)
{
    auto* text = AddSelected(new CDrawText(CRect(1000, 1000, 1000, 1000), view, "Label"));
    CContentBlock& block = text->Content();
    block.mode = CONTENT_DATA;
    AddDataItem(block, "T", "A", "<", ">");
    AddDataItem(block, "T", "B", "", "<TAB>");
    AddDataItem(block, "Old", "Gone", "p", "s");

    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        EXPECT_EQ(GetDlgItem<QComboBox>(page, 133)->currentText(), "Database field");
        EXPECT_FALSE(GetDlgItem(page, 128)->isEnabled());
        EXPECT_FALSE(GetDlgItem(page, 1154)->isVisible());
        auto* grid = GetDlgItem<QTableWidget>(page, 202);
        ASSERT_NE(grid, nullptr);
        EXPECT_GT(grid->y(), GetDlgItem(page, 135)->geometry().bottom());  // in the placeholder's place
        EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Data Field");
        EXPECT_EQ(grid->columnWidth(1), 120);
        EXPECT_EQ(Column(grid, 1), (std::vector<QString> {"T.A", "T.B", "Old.Gone"}));
        EXPECT_EQ(Column(grid, 2), (std::vector<QString> {">", "<TAB>", "s"}));
        // The item whose field is not offered: greyed, not editable; the others' middle is fixed.
        EXPECT_FALSE(grid->item(2, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_NE(grid->item(2, 1)->foreground().color(), grid->item(0, 1)->foreground().color());
        EXPECT_TRUE(grid->item(0, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_FALSE(grid->item(0, 1)->flags() & Qt::ItemIsEditable);

        // Add without a field chosen: string 19.
        QString said;
        ClickMessageBox(QMessageBox::Ok, &said);
        Click(GetDlgItem(page, 138));
        EXPECT_EQ(said, CResourceModule::Get().LoadString(19));

        // C with the prefix "#".
        TypeInto(GetDlgItem(page, 136), "#");
        Choose(GetDlgItem(page, 135), "C");
        Click(GetDlgItem(page, 138));
        EXPECT_EQ(Column(grid, 1), (std::vector<QString> {"T.A", "T.B", "Old.Gone", "T.C"}));
        EXPECT_EQ(grid->item(3, 0)->text(), "#");

        // B's suffix edited in its cell, then A removed.
        Click(grid->viewport(), grid->visualItemRect(grid->item(1, 2)).center());
        QTest::keyClicks(grid->viewport(), "!");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        Click(grid->viewport(), grid->visualItemRect(grid->item(0, 1)).center());
        Click(GetDlgItem(page, 139));
        EXPECT_EQ(Column(grid, 1), (std::vector<QString> {"T.B", "Old.Gone", "T.C"}));
        Shoot(sheet, "database");
        Click(sheet->Button(IDOK));
        EXPECT_FALSE(sheet->isVisible());
    });
    EXPECT_EQ(block.mode, CONTENT_DATA);
    EXPECT_EQ(Items(block), (std::vector<CString> {"T|B||!", "Old|Gone|p|s", "T|C|#|"}));
    EXPECT_EQ(text->m_text, "Label");

    // Every item removed: Apply is refused with 19, or 18 when the source has no fields.
    for (UINT message : {19u, 18u}) {
        if (message == 18)
            doc->GetSchemaMap().clear();
        Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
            auto* grid = GetDlgItem<QTableWidget>(page, 202);
            EXPECT_EQ(grid->rowCount(), 3);
            while (grid->rowCount() > 0) {
                Click(grid->viewport(), grid->visualItemRect(grid->item(0, 1)).center());
                Click(GetDlgItem(page, 139));
            }
            OkRefused(sheet, message);
            Click(sheet->Button(IDCANCEL));
        });
        EXPECT_EQ(GetDataItems(block).size(), 3u);
    }
}

TEST_F(DataSourcePage, KeyboardReachesEveryFieldAndRemovesABoundField)
{
    auto* text = AddSelected(new CDrawText(CRect(1000, 1000, 1000, 1000), view, "Label"));
    CContentBlock& block = text->Content();
    block.mode = CONTENT_DATA;
    AddDataItem(block, "T", "A", "", "");
    AddDataItem(block, "T", "B", "", "");

    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        ASSERT_NE(FocusIn(sheet), nullptr);
        // Each label's access letter takes the focus to its field.
        const std::pair<Qt::Key, int> letters[] = {{Qt::Key_N, 130}, {Qt::Key_C, 133}, {Qt::Key_L, 192},
                                                   {Qt::Key_P, 136}, {Qt::Key_S, 132}, {Qt::Key_F, 135}};
        for (const auto& [key, id] : letters) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            EXPECT_EQ(QApplication::focusWidget(), GetDlgItem(page, id)) << "Alt+" << QKeySequence(key).toString().toStdString();
        }
        // Tab goes on from the field list to the grid of bound fields, and out of it again.
        auto* grid = GetDlgItem<QTableWidget>(page, 202);
        for (int step = 0; step < 4 && QApplication::focusWidget() != grid; ++step)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), grid) << "Tab does not reach the bound fields";
        // The second row chosen with the arrows, removed with Remove's access letter.
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(grid->currentRow(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
        // A button's access letter clicks it a moment later, as a click shows.
        EXPECT_TRUE(QTest::qWaitFor([&] { return grid->rowCount() != 2; }, HangBoundMs(10000))) << "nothing was removed";
        EXPECT_EQ(Column(grid, 1), (std::vector<QString> {"T.A"}));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), grid);
        Click(sheet->Button(IDOK));
    });
    EXPECT_EQ(Items(block), (std::vector<CString> {"T|A||"}));
}

TEST_F(DataSourcePage, BarcodeTakesOneLineTheUpDownsModuleAndATypedHeight)
{
    auto* code = AddSelected(new CDrawBarcode(CRect(1000, 1000, 1000, 1000), view, "ABC123", BARCODE_ID_CODE39));
    CBarcode& symbol = *code->GetBarcode();
    const CString shownWidth = MillimetresText(code->m_position.Width());
    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        ASSERT_NE(GetDlgItem<QLineEdit>(page, 128), nullptr);  // one line, where the text box was
        EXPECT_GT(GetDlgItem(page, 128)->y(), GetDlgItem(page, 133)->geometry().bottom());
        EXPECT_EQ(GetDlgItemText(page, 128), "ABC123");
        EXPECT_EQ(GetDlgItemText(page, 205), shownWidth);
        // The up arrow: the next module width that widens the symbol.
        auto* upDown = GetDlgItem<QScrollBar>(page, 104);
        Click(upDown, QPoint(upDown->width() / 2, 3));
        EXPECT_EQ(upDown->value(), 1);
        EXPECT_NE(GetDlgItemText(page, 205), shownWidth);
        EXPECT_FLOAT_EQ(symbol.GetModuleWidth(), 0.01f);  // nothing applied yet
        Shoot(sheet, "barcode");
        Click(sheet->Button(IDOK));
    });
    EXPECT_FLOAT_EQ(symbol.GetModuleWidth(), 0.0101f);
    EXPECT_FLOAT_EQ(symbol.GetBarHeight(), 0.4f);  // the height was not typed
    EXPECT_EQ(zxread::Decode(RenderObjects(), ZXing::BarcodeFormat::Code39).text, "ABC123");

    // A height below the text line: the smallest bars. Enter in the text confirms the sheet.
    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        TypeInto(GetDlgItem(page, 125), "1");
        TypeInto(GetDlgItem(page, 128), "XYZ");
        QTest::keyClick(GetDlgItem(page, 128), Qt::Key_Return);
        EXPECT_FALSE(sheet->isVisible());
    });
    EXPECT_FLOAT_EQ(symbol.GetBarHeight(), 0.1f);
    EXPECT_EQ(code->m_text, "XYZ");
    EXPECT_EQ(zxread::Decode(RenderObjects(), ZXing::BarcodeFormat::Code39).text, "XYZ");
}

namespace {

// Dark pixels of the image inside the rectangle, less its bottom-right corner of `corner`
// pixels square (where a bound object's marker sits).
int InkOutsideCorner(const QImage& image, CRect box, int corner)
{
    box.NormalizeRect();
    int ink = 0;
    const QRect r = QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom)).intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((x <= r.right() - corner || y <= r.bottom() - corner) && qGray(image.pixel(x, y)) < 96)
                ++ink;
    return ink;
}

}  // namespace

// Binding to a field through the page (Database field, a field added, OK) keeps the stored text:
// the view and the exported picture draw it, the symbol keeps its size, and it is saved.
TEST_F(DataSourcePage, BoundObjectsKeepShowingAndSavingTheirStoredText)
{
    const float size[2] = {600.0f, 400.0f};
    doc->SetLabelSize(size);
    auto* text = AddSelected(new CDrawText(CRect(150, 150, 150, 150), view, "Hello Label"));
    auto* code = AddSelected(new CDrawBarcode(CRect(150, 800, 150, 800), view, "12345678", BARCODE_ID_CODE128_AUTO));
    const CRect codeBox = code->m_position;
    for (CDrawText* obj : {static_cast<CDrawText*>(text), static_cast<CDrawText*>(code)}) {
        view->Select(obj, FALSE);
        Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
            Choose(GetDlgItem(page, 133), "Database field");
            Choose(GetDlgItem(page, 135), "B");
            Click(GetDlgItem(page, 138));
            Click(sheet->Button(IDOK));
            EXPECT_FALSE(sheet->isVisible());
        });
        EXPECT_EQ(obj->Content().mode, CONTENT_DATA);
    }
    EXPECT_EQ(text->m_text, "Hello Label");
    EXPECT_EQ(code->m_text, "12345678");
    EXPECT_EQ(code->m_position, codeBox);

    // The view at 200 %: the text's and the symbol's ink besides the marker.
    FocusIn(m_frame);
    TypeIntoZoomBox("200");
    view->viewport()->repaint();
    const QImage screen = view->viewport()->grab().toImage();
    screen.save(TestOutputDir() + "/dbpage-bound-view.png");
    for (CDrawText* obj : {static_cast<CDrawText*>(text), static_cast<CDrawText*>(code)})
        EXPECT_GT(InkOutsideCorner(screen, view->DocToClient(obj->m_position), 17), 100) << obj->m_text.toStdString();

    // Export as Image at 300 dpi: the same, and the symbol reads.
    const QString png = m_files.filePath("bound.png");
    OnNextModal([&](QWidget* w) {
        QTimer::singleShot(5000, w, [w] {
            if (w->isVisible()) {
                ADD_FAILURE() << "the export dialog did not close on OK";
                w->close();
            }
        });
        TypeInto(w->findChild<QLineEdit*>("125"), png);
        ClickMessageBox(QMessageBox::Ok);
        Click(w->findChild<QAbstractButton*>(QString::number(IDOK)));
    });
    Update();
    Action(32936)->trigger();
    const QImage exported(png);
    ASSERT_FALSE(exported.isNull());
    exported.save(TestOutputDir() + "/dbpage-bound-export.png");
    const auto pixels = [](const CRect& r) {
        return CRect(MulDiv(r.left, 300, 1536), MulDiv(r.top, 300, 1536), MulDiv(r.right, 300, 1536),
                     MulDiv(r.bottom, 300, 1536));
    };
    EXPECT_GT(InkOutsideCorner(exported, pixels(text->m_position), 17), 100);
    const CRect bars = pixels(code->m_position);
    EXPECT_EQ(zxread::Decode(exported.copy(bars.left - 30, bars.top - 30, bars.Width() + 60, bars.Height() + 60),
                             ZXing::BarcodeFormat::Code128).text, "12345678");

    // Saved and opened again: the stored texts, the page showing them, the symbol's size.
    const QString saved = SavedLabel();
    m_app->CloseDocument(doc);
    doc = m_app->OpenDocumentFile(saved);
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->GetObjects().size(), 2u);
    auto* reopenedText = dynamic_cast<CDrawText*>(doc->GetObjects()[0]);
    auto* reopenedCode = dynamic_cast<CDrawBarcode*>(doc->GetObjects()[1]);
    ASSERT_TRUE(reopenedText && reopenedCode);
    EXPECT_EQ(reopenedText->m_text, "Hello Label");
    EXPECT_EQ(reopenedCode->m_position, codeBox);
    view = m_app->GetActiveDrawView();
    doc->GetSchemaMap()[QStringLiteral("T")] = {"A", "B", "C"};
    view->Select(reopenedCode, FALSE);
    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        EXPECT_EQ(GetDlgItemText(page, 128), "12345678");
        Click(sheet->Button(IDCANCEL));
    });
}

// The text's mnemonic (Alt+T) leads from the name to the text, and Tab reaches the text between
// the alignment and the size, before the sheet's buttons: on the page of a text, of a barcode
// and of each 2-D symbol. What is typed there is the object's text and its symbol's data.
TEST_F(DataSourcePage, TextIsReachedByItsMnemonicAndInTabOrder)
{
    struct Kind {
        const char* name;
        CDrawText* object;
        ZXing::BarcodeFormat format;
    };
    const auto at = [](int i) { return CRect(300, 300 + 1150 * i, 300, 300 + 1150 * i); };
    const Kind kinds[] = {
        {"text", new CDrawText(CRect(300, 300, 4000, 800), view, "Label"), ZXing::BarcodeFormat::None},
        {"barcode", new CDrawBarcode(at(1), view, "Label", BARCODE_ID_CODE128_AUTO), ZXing::BarcodeFormat::Code128},
        {"qrcode", new CDrawQRCode(at(2), view, "Label"), ZXing::BarcodeFormat::QRCode},
        {"pdf417", new CDrawPDF417(at(3), view, "Label"), ZXing::BarcodeFormat::PDF417},
        {"datamatrix", new CDrawDataMatrix(at(4), view, "Label"), ZXing::BarcodeFormat::DataMatrix},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        CDrawText* object = AddSelected(kind.object);
        const CString name = object->GetName();
        Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
            QWidget* text = GetDlgItem(page, 128);
            ASSERT_NE(text, nullptr);
            QTest::mouseClick(GetDlgItem(page, 130), Qt::LeftButton);
            ASSERT_EQ(FocusIn(sheet), GetDlgItem(page, 130));

            // Tab from the name round the sheet.
            QList<QWidget*> order;
            for (int i = 0; i < 60; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                if (QApplication::focusWidget() == GetDlgItem(page, 130))
                    break;
                order << QApplication::focusWidget();
            }
            ASSERT_TRUE(order.contains(text));
            EXPECT_EQ(order.indexOf(text), order.indexOf(GetDlgItem(page, 192)) + 1);
            EXPECT_LT(order.indexOf(text), order.indexOf(GetDlgItem(page, 125)));
            EXPECT_LT(order.indexOf(text), order.indexOf(sheet->Button(IDOK)));

            QTest::mouseClick(GetDlgItem(page, 130), Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
            ASSERT_EQ(QApplication::focusWidget(), text);
            QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(text, "12345678");
            Click(sheet->Button(IDOK));
        });
        EXPECT_EQ(object->m_text, "12345678");
        EXPECT_EQ(object->GetName(), name);
        if (kind.format != ZXing::BarcodeFormat::None) {
            const QImage page = RenderObjects();
            const CRect& r = object->m_position;
            const QRect around(MulDiv(r.left, 300, 1536) - 30, MulDiv(r.top, 300, 1536) - 30,
                               MulDiv(r.Width(), 300, 1536) + 60, MulDiv(r.Height(), 300, 1536) + 60);
            EXPECT_EQ(zxread::Decode(page.copy(around), kind.format).text, "12345678");
        }
    }
}

// The binding text as the label file holds it: a string of the archive.
static QByteArray Stored(const CString& xml)
{
    CArchive out(CArchive::store);
    out << xml;
    return out.GetBuffer();
}

// A label whose binding nests 66,000 elements deep prints from the command line and opens with
// File > Open, its object keeping its place and text and taking the binding of a new object.
TEST_F(DataSourcePage, ADeeplyNestedBindingPrintsAndOpensLikeOneThatDoesNotParse)
{
    auto* text = AddSelected(new CDrawText(CRect(300, 300, 300, 300), view, "Deep"));
    text->Content().mode = CONTENT_DATA;
    const CRect box = text->m_position;
    const QByteArray old = Stored(text->Content().binding.Xml());
    const QString path = SavedLabel();
    ASSERT_TRUE(m_app->Router()->Execute(ShellCmd::kFileClose));

    CCompoundFile file;
    QString error;
    ASSERT_TRUE(file.Load(path, error)) << error.toStdString();
    QByteArray contents = *file.GetRoot().OpenStream(CDrawDoc::ContentsStreamName());
    ASSERT_EQ(contents.count(old), 1);
    contents.replace(old, Stored("<DataSource><Database>" + QString("<a>").repeated(66000) + QString("</a>").repeated(66000) +
                                 "<DataItem TableName=\"T\" FieldName=\"A\"/></Database></DataSource>"));
    ASSERT_TRUE(file.GetRoot().WriteStream(CDrawDoc::ContentsStreamName(), contents));
    ASSERT_TRUE(file.Save(path, error)) << error.toStdString();

    const QString pdf = m_files.filePath("deep.pdf");
    const ProgramRun run = RunProgram({"--print-to", path, pdf}, m_settingsDir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_GT(QFileInfo(pdf).size(), 0);

    m_app->m_askOpenPath = [path] { return path; };
    ASSERT_TRUE(m_app->Router()->Execute(ShellCmd::kFileOpen));
    ASSERT_TRUE(Active() && Active()->GetObjects().size() == 1u);
    auto* opened = dynamic_cast<CDrawText*>(Active()->GetObjects().front());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->m_text, "Deep");
    EXPECT_EQ(opened->m_position, box);
    CContentBlock fresh;
    ASSERT_TRUE(LoadBindingDocument(fresh, BindingTemplate()));
    EXPECT_EQ(opened->Content().binding.Xml(), fresh.binding.Xml());
}

// A leading U+FEFF stays through an unchanged Apply; a binding without a database element gets one
// holding the rows Apply stores.
TEST_F(DataSourcePage, ApplyKeepsEveryCharacterAndStoresItsRows)
{
    const QString field = QStringLiteral("\uFEFFB");
    auto* marked = AddSelected(new CDrawText(CRect(300, 300, 300, 300), view, "Marked"));
    marked->Content().mode = CONTENT_DATA;
    ASSERT_TRUE(AddDataItem(marked->Content(), "T", field, QStringLiteral("\uFEFFp"), ""));
    auto* bare = AddSelected(new CDrawText(CRect(300, 1000, 300, 1000), view, "Bare"));
    bare->Content().mode = CONTENT_DATA;
    ASSERT_TRUE(LoadBindingDocument(bare->Content(), "<DataSource/>"));

    doc->GetSchemaMap()[QStringLiteral("T")] = {"A", field, "C"};
    const std::vector<CString> markedItems {QStringLiteral("T|\uFEFFB|\uFEFFp|")};
    EXPECT_EQ(Items(marked->Content()), markedItems);

    view->Select(marked, FALSE);
    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        auto* grid = GetDlgItem<QTableWidget>(page, 202);
        ASSERT_EQ(grid->rowCount(), 1);
        EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("T.\uFEFFB"));
        EXPECT_TRUE(grid->item(0, 0)->flags() & Qt::ItemIsEditable);  // the field is one of the list
        Click(sheet->Button(IDOK));
        EXPECT_FALSE(sheet->isVisible());
    });
    EXPECT_EQ(Items(marked->Content()), markedItems);

    view->Select(bare, FALSE);
    Properties([&](CPropertySheet* sheet, CPropertyPage* page) {
        Choose(GetDlgItem(page, 135), "C");
        Click(GetDlgItem(page, 138));
        Click(sheet->Button(IDOK));
    });
    EXPECT_EQ(Items(bare->Content()), std::vector<CString> {"T|C||"});
    EXPECT_TRUE(bare->Content().binding.Xml().contains("<DataSource><Database><DataItem"));
}
