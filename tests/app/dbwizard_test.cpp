// The database set-up wizard, its preview grid and the database bar as the user meets them: the
// command's action, clicks on the pages and keys typed into them, and the tree of the bar.

#include "gridcells.h"
#include "shellfixture.h"

#include "app/singleinstance.h"
#include "data/barcodedb.h"
#include "data/ui/dbgrid.h"
#include "data/ui/dbsetupwizard.h"
#include "framework/progress.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/progressdialog.h"
#include "printing/biffworkbook.h"
#include "support/testoutput.h"
#include "view/workspacebars.h"

#include <QComboBox>
#include <QHeaderView>
#include <QProgressDialog>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <sqlite3.h>
#include <atomic>
#include <thread>
#include <xlsxwriter.h>

namespace {

constexpr UINT kCmdDatabaseSetup = 32934;

void OnWizard(std::function<void(CWizDBSetupSheet*)> f)
{
    OnNextModal([f](QWidget* w) { f(qobject_cast<CWizDBSetupSheet*>(w)); }, IsA<CWizDBSetupSheet>);
}

void Click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    ClickMark(button);
}

void Press(CPropertySheet* sheet, int id)
{
    Click(sheet->Button(id));
}

// Clicks a list entry by its text.
void ClickEntry(QListWidget* list, const QString& text)
{
    ASSERT_NE(list, nullptr);
    const auto found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->scrollToItem(found[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
}

// Picks a combo box's entry by typing its name to the box once it has the focus.
void TypeToCombo(QComboBox* combo, const QString& text)
{
    FocusIn(combo->window());
    combo->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == combo; }));
    QTest::keyClicks(combo, text);
    EXPECT_TRUE(QTest::qWaitFor([&] { return combo->currentText() == text; })) << combo->currentText().toStdString();
}

QStringList Texts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void Shot(QWidget* w, const char* name)
{
    w->grab().save(TestOutputDir() + QStringLiteral("/dbwizard-%1.png").arg(QLatin1String(name)));
}

// A table of six rows: a leading zero, a quote, a non-ASCII text, a number, a date and an
// empty cell.
QByteArray ListCsv()
{
    return "Code,Name,Price,Added\r\n"
           "00123,it's,12.5,2024-03-01\r\n"
           "00007,Z\xc3\xbcrich,3,2024-03-02\r\n"
           "00042,,100,\r\n"
           "00001,plain,7.25,2023-12-31\r\n"
           "00500,last,0.5,2024-01-15\r\n"
           "00600,more,40,2024-01-16\r\n";
}

class DatabaseSetup : public Shell
{
protected:
    // ODBC looks at data sources of these tests only. The driver manager reads where its
    // files are once per process, so one folder serves every test.
    static void SetUpTestSuite()
    {
        s_odbc = new QTemporaryDir;
        qputenv("ODBCSYSINI", s_odbc->path().toLocal8Bit());
        qputenv("ODBCINI", s_odbc->filePath("user.ini").toLocal8Bit());
    }
    static void TearDownTestSuite()
    {
        delete s_odbc;
        s_odbc = nullptr;
        qunsetenv("ODBCSYSINI");
        qunsetenv("ODBCINI");
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_odbc->isValid());
        Shell::SetUp();
        ASSERT_NE(Active(), nullptr);
        m_child = m_frame->ActiveChild();
        m_view = m_child->GetActiveDrawView();
        m_child->DatabaseBar()->show();
    }

    // long.csv of numbered items, about the bytes given.
    QString WriteLongCsv(qint64 bytes)
    {
        const QString path = m_files.filePath("long.csv");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Code,Name\r\n");
        for (int i = 0; f.size() < bytes; ++i)
            f.write(QByteArray::number(100000 + i) + ",Item number " + QByteArray::number(i) + "\r\n");
        return path;
    }

    QString WriteList()
    {
        const QString path = m_files.filePath("list.csv");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ListCsv());
        return path;
    }

    // A user DSN "shop" over an SQLite file with the tables Items and Items2, and a DSN "name"
    // whose driver does not exist.
    void WriteOdbcSources()
    {
        const QString db = s_odbc->filePath("shop.db");
        QFile::remove(db);  // the folder serves every test of the suite
        sqlite3* h = nullptr;
        ASSERT_EQ(sqlite3_open(db.toUtf8().constData(), &h), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(h,
                               "CREATE TABLE Items(Code TEXT, Price REAL); INSERT INTO Items VALUES('A', 1);"
                               "CREATE TABLE Items2(Code TEXT); INSERT INTO Items2 VALUES('B');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(h);
        QFile inst(s_odbc->filePath("odbcinst.ini"));
        ASSERT_TRUE(inst.open(QIODevice::WriteOnly));
        inst.write("[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
        QFile user(s_odbc->filePath("user.ini"));
        ASSERT_TRUE(user.open(QIODevice::WriteOnly));
        user.write("[ODBC Data Sources]\nname=Nowhere\nshop=SQLite3\n\n[name]\nDriver=Nowhere\n\n[shop]\nDriver=SQLite3\n"
                   "Database=" + db.toUtf8() + "\n");
    }

    // Page 1 with a data file typed in, then Next.
    static void ChooseFile(CWizDBSetupSheet* wizard, const QString& path)
    {
        TypeInto(Control(wizard, 180), path);
        Press(wizard, ID_WIZNEXT);
    }

    QTreeWidget* Tree() const { return m_child->DatabaseTree(); }
    QStringList TreeTexts() const
    {
        QStringList texts;
        for (QTreeWidgetItemIterator it(Tree()); *it; ++it)
            texts << (*it)->text(0);
        return texts;
    }

    static inline QTemporaryDir* s_odbc = nullptr;
    CSplitFrame* m_child = nullptr;
    CDrawView* m_view = nullptr;
};

}  // namespace

TEST_F(DatabaseSetup, DataFileRunFillsTheDocumentTheTreeAndTheSchemaMap)
{
    const QString path = WriteList();
    CDrawDoc* doc = Active();
    EXPECT_EQ(TreeTexts(), QStringList{"No Data Source"});

    QStringList tables, fields, preview;
    int rows = -1, fetches = -1;
    bool marked = false;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        EXPECT_FALSE(wizard->Button(ID_WIZFINISH)->isEnabled());
        Shot(wizard, "page1");
        ChooseFile(wizard, path);

        // A text file is one table, named as the file is.
        tables = Texts(Control<QListWidget>(wizard, 181));
        EXPECT_EQ(Control<QListWidget>(wizard, 181)->currentRow(), 0);
        Shot(wizard, "page2");
        Press(wizard, ID_WIZNEXT);

        // Price and then Code as sort fields; Price descending, then moved to the top.
        auto* available = Control<QListWidget>(wizard, 185);
        auto* sorted = Control<QListWidget>(wizard, 184);
        fields = Texts(available);
        EXPECT_FALSE(Control<QPushButton>(wizard, 142)->isEnabled());
        ClickEntry(available, "Code");
        Click(Control<QPushButton>(wizard, 138));
        ClickEntry(available, "Price");
        Click(Control<QPushButton>(wizard, 138));
        EXPECT_EQ(Texts(sorted), (QStringList{"Code", "Price"}));
        EXPECT_EQ(Texts(available), (QStringList{"Name", "Added"}));
        EXPECT_TRUE(Control<QRadioButton>(wizard, 140)->isChecked());
        EXPECT_FALSE(Control<QPushButton>(wizard, 183)->isEnabled());
        Click(Control<QRadioButton>(wizard, 143));
        Click(Control<QPushButton>(wizard, 182));
        EXPECT_EQ(Texts(sorted), (QStringList{"Price", "Code"}));
        EXPECT_TRUE(Control<QRadioButton>(wizard, 143)->isChecked());
        ClickEntry(sorted, "Code");
        EXPECT_TRUE(Control<QRadioButton>(wizard, 140)->isChecked());
        Shot(wizard, "page3");
        Press(wizard, ID_WIZNEXT);

        // The preview shows the sorted records as text, an empty cell empty, and marks the
        // row clicked.
        EXPECT_FALSE(wizard->Button(ID_WIZNEXT)->isEnabled());
        CExBCGPODBCGridCtrl* grid = wizard->PreviewPage().Grid();
        CDBGridModel* model = grid->Model();
        rows = model->rowCount();
        for (int r = 0; r < rows; ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells << model->index(r, c).data().toString();
            preview << cells.join(u'|');
        }
        // Every value shows whole in its column.
        EXPECT_GT(grid->columnWidth(3), grid->fontMetrics().horizontalAdvance("2024-01-16"));
        EXPECT_EQ(CutShortCells(grid), std::vector<std::string>());
        const QRect second = grid->visualRect(model->index(1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
        marked = !model->headerData(1, Qt::Vertical, Qt::DecorationRole).value<QIcon>().isNull()
                 && model->headerData(0, Qt::Vertical, Qt::DecorationRole).isNull();
        EXPECT_TRUE(grid->selectionModel()->isRowSelected(1, {}));
        fetches = model->WindowsFetched();
        Shot(wizard, "page4");
        Press(wizard, ID_WIZFINISH);
    });
    Action(kCmdDatabaseSetup)->trigger();

    EXPECT_EQ(tables, QStringList{"list.csv"});
    EXPECT_EQ(fields, (QStringList{"Code", "Name", "Price", "Added"}));
    EXPECT_EQ(rows, 6);
    EXPECT_EQ(preview, (QStringList{"00042||100|", "00600|more|40|2024-01-16", "00123|it's|12.5|2024-03-01",
                                    "00001|plain|7.25|2023-12-31", "00007|Zürich|3|2024-03-02",
                                    "00500|last|0.5|2024-01-15"}));
    EXPECT_TRUE(marked);
    EXPECT_EQ(fetches, 1);

    EXPECT_EQ(doc->GetTableName(), "list.csv");
    EXPECT_EQ(doc->GetQuery(), "SELECT * FROM `list.csv`  ORDER BY `Price` DESC, `Code` ASC");
    EXPECT_TRUE(doc->GetConnectionString().contains("FMT=Delimited"));
    EXPECT_EQ(doc->GetDataFilePath(), path);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(TreeTexts(), (QStringList{"Data File(" + path + ")", "list.csv", "Code", "Name", "Price", "Added"}));
    EXPECT_TRUE(Tree()->topLevelItem(0)->isExpanded());
    EXPECT_EQ(doc->GetSchemaMap(),
              (CDrawDoc::SchemaMap{{"list.csv", {"Code", "Name", "Price", "Added"}}}));
    m_child->DatabaseBar()->raise();
    m_child->resizeDocks({m_child->DatabaseBar()}, {260}, Qt::Horizontal);
    QApplication::processEvents();
    Shot(m_child, "bar");

    // A second run starts from the first one's choices; Reset empties the stored sort fields
    // at once, and Cancel does not bring them back.
    QString pathShown;
    QStringList sortShown;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        pathShown = Control<QLineEdit>(wizard, 180)->text();
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZNEXT);
        sortShown = Texts(Control<QListWidget>(wizard, 184));
        Click(Control<QPushButton>(wizard, 142));
        EXPECT_TRUE(wizard->State().sortList.empty());
        EXPECT_EQ(Control<QListWidget>(wizard, 185)->count(), 4);
        Press(wizard, IDCANCEL);
    });
    Action(kCmdDatabaseSetup)->trigger();
    EXPECT_EQ(pathShown, path);
    EXPECT_EQ(sortShown, (QStringList{"Price", "Code"}));
    EXPECT_TRUE(doc->GetDBSetupState().sortList.empty());
    EXPECT_EQ(doc->GetQuery(), "SELECT * FROM `list.csv`  ORDER BY `Price` DESC, `Code` ASC");
}

// The preview of a workbook shows its short values whole, at the size of the page.
TEST_F(DatabaseSetup, WorkbookPreviewShowsShortValuesWhole)
{
    const QString path = m_files.filePath("parts.xls");
    const char* const cells[3][3] = {{"Code", "Number", "Part"}, {"A100", "12345678", "P-001"}, {"A2", "7", "P-002"}};
    CString error;
    ASSERT_TRUE(CTextSheet("Parts", 3, 3, [&](int r, int c) { return CString(cells[r][c]); }).Save(path, &error))
        << error.toStdString();
    int rows = 0;
    std::vector<std::string> cut;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        ChooseFile(wizard, path);
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZNEXT);
        CExBCGPODBCGridCtrl* grid = wizard->PreviewPage().Grid();
        ASSERT_TRUE(grid->isVisible());
        rows = grid->model()->rowCount();
        cut = CutShortCells(grid);
        Shot(wizard, "workbook");
        Press(wizard, IDCANCEL);
    });
    Action(kCmdDatabaseSetup)->trigger();
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cut, std::vector<std::string>());
}

TEST_F(DatabaseSetup, FailedFieldListingKeepsTheSortListAndFinishFromTheTablePageKeepsItToo)
{
    const QString path = WriteList();
    CDBSetupState& state = Active()->GetDBSetupState();
    state.dataFilePath = path;
    state.sortList = {{"price", 1}, {"Gone", 0}};

    // Finishing on the table page stores no new sort list; the query sorts as stored.
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZFINISH);
    });
    Action(kCmdDatabaseSetup)->trigger();
    EXPECT_EQ(Active()->GetQuery(), "SELECT * FROM `list.csv`  ORDER BY `price` DESC, `Gone` ASC");

    // The file is gone: the table page shows why and keeps the table; the sort page cannot
    // list the fields, shows that, and leaves the sort list as it was.
    QFile::remove(path);
    MessageBoxWatch boxes;
    int tablesShown = -1, fieldsShown = -1;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Press(wizard, ID_WIZNEXT);
        tablesShown = Control<QListWidget>(wizard, 181)->count();
        Press(wizard, ID_WIZNEXT);
        fieldsShown = Control<QListWidget>(wizard, 185)->count();
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZFINISH);
    });
    ASSERT_FALSE(Active()->GetSchemaMap().empty());
    Action(kCmdDatabaseSetup)->trigger();
    ASSERT_EQ(boxes.titled.size(), 4);
    EXPECT_TRUE(boxes.titled[0].contains("list.csv")) << boxes.titled[0].toStdString();
    EXPECT_EQ(tablesShown, 0);
    EXPECT_EQ(state.table, "list.csv");
    EXPECT_EQ(boxes.titled[1],
              "Quillbar: list.csv could not be read: there is no such table, or the data source is not open.");
    EXPECT_EQ(fieldsShown, 0);
    EXPECT_EQ(state.sortList, (std::vector<CDBSortEntry>{{"price", 1}, {"Gone", 0}}));
    // The tree cannot list the table now: the root stands alone and the schema map holds
    // none of the fields it listed before.
    EXPECT_EQ(boxes.titled[3], boxes.titled[1]);
    EXPECT_EQ(TreeTexts(), QStringList{"Data File(" + path + ")"});
    EXPECT_TRUE(Active()->GetSchemaMap().empty());

    // With the file back, a field no longer in the table leaves the sort list when the page
    // is left.
    WriteList();
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZNEXT);
        EXPECT_EQ(Texts(Control<QListWidget>(wizard, 184)), QStringList{"Price"});
        Press(wizard, ID_WIZNEXT);
        Press(wizard, IDCANCEL);
    });
    Action(kCmdDatabaseSetup)->trigger();
    EXPECT_EQ(state.sortList, (std::vector<CDBSortEntry>{{"Price", 1}}));
}

TEST_F(DatabaseSetup, ANewLabelOffersTheFirstTableOfEverySource)
{
    // A folder of three text files, a workbook of three sheets and an Access database: each
    // on a new label, whose table name is still empty.
    for (const char* name : {"a.csv", "b.csv", "c.csv"}) {
        QFile f(m_files.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Code\r\n1\r\n");
    }
    const QString book = m_files.filePath("sheets.xlsx");
    lxw_workbook* workbook = workbook_new(book.toUtf8().constData());
    for (const char* sheet : {"Prices", "Empty", "Stock"}) {
        lxw_worksheet* w = workbook_add_worksheet(workbook, sheet);
        if (std::string_view(sheet) != "Empty")
            worksheet_write_string(w, 0, 0, "Code", nullptr);
    }
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
    const QString access = QStringLiteral(QB_ACCESS_TESTDATA_DIR "/test97.mdb");
    if (!QFileInfo::exists(access))
        GTEST_SKIP() << "no Access test databases";

    struct Source {
        QString path, first;
    };
    for (const Source& source : {Source{m_files.filePath("b.csv"), "b.csv"}, Source{book, "Prices$"}, Source{access, "Table1"}}) {
        SCOPED_TRACE(source.path.toStdString());
        Action(ShellCmd::kFileNew)->trigger();
        CDrawDoc* doc = Active();
        ASSERT_TRUE(doc->GetTableName().isEmpty());
        QStringList offered;
        QString chosen;
        OnWizard([&](CWizDBSetupSheet* wizard) {
            FocusIn(wizard);
            ChooseFile(wizard, source.path);
            auto* tables = Control<QListWidget>(wizard, 181);
            offered = Texts(tables);
            chosen = tables->currentItem() ? tables->currentItem()->text() : QString();
            Press(wizard, ID_WIZFINISH);
        });
        Action(kCmdDatabaseSetup)->trigger();
        ASSERT_FALSE(offered.isEmpty());
        EXPECT_EQ(offered.first(), source.first);
        EXPECT_EQ(chosen, source.first);
        EXPECT_EQ(doc->GetTableName(), source.first);
        EXPECT_TRUE(doc->GetQuery().contains(source.first)) << doc->GetQuery().toStdString();
    }

    // An ODBC data source with the tables Items and Items2.
    WriteOdbcSources();
    Action(ShellCmd::kFileNew)->trigger();
    QString chosen;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Click(Control<QRadioButton>(wizard, 141));
        TypeToCombo(Control<QComboBox>(wizard, 133), "shop");
        Press(wizard, ID_WIZNEXT);
        auto* tables = Control<QListWidget>(wizard, 181);
        chosen = tables->currentItem() ? tables->currentItem()->text() : QString();
        Press(wizard, ID_WIZFINISH);
    });
    Action(kCmdDatabaseSetup)->trigger();
    EXPECT_EQ(chosen, "Items");
    EXPECT_EQ(Active()->GetTableName(), "Items");
}

TEST_F(DatabaseSetup, OdbcSourcesPickTheExactTableAndReportSourcesThatFail)
{
    WriteOdbcSources();
    CDBSetupState& state = Active()->GetDBSetupState();
    state.table = "items";

    // "shop": the table named as stored is chosen, not the first whose name begins with it.
    MessageBoxWatch boxes;
    QStringList names, tables;
    QString chosen;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        auto* sources = Control<QComboBox>(wizard, 133);
        EXPECT_FALSE(sources->isVisible());
        Click(Control<QRadioButton>(wizard, 141));
        EXPECT_TRUE(sources->isVisible());
        EXPECT_FALSE(Control(wizard, 180)->isVisible());
        for (int i = 0; i < sources->count(); ++i)
            names << sources->itemText(i);
        // Next without a choice is refused with string 13 and opens the list.
        Press(wizard, ID_WIZNEXT);
        EXPECT_EQ(wizard->GetActiveIndex(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return sources->view()->isVisible(); }));
        QTest::keyClick(sources->view(), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !sources->view()->isVisible(); }));
        TypeToCombo(sources, "shop");
        Press(wizard, ID_WIZNEXT);
        ASSERT_EQ(wizard->GetActiveIndex(), 1);
        tables = Texts(Control<QListWidget>(wizard, 181));
        ASSERT_FALSE(tables.isEmpty()) << boxes.titled.join("\n").toStdString();
        chosen = Control<QListWidget>(wizard, 181)->currentItem()->text();
        Press(wizard, ID_WIZFINISH);
    });
    Action(kCmdDatabaseSetup)->trigger();
    EXPECT_EQ(boxes.titled, QStringList{"Quillbar: Please choose a data file or an ODBC data source."});
    EXPECT_EQ(names, (QStringList{"name", "shop"}));
    EXPECT_EQ(tables, (QStringList{"Items", "Items2"}));
    EXPECT_EQ(chosen, "Items");
    EXPECT_EQ(Active()->GetQuery(), "SELECT * FROM \"Items\" ");
    EXPECT_EQ(TreeTexts(), (QStringList{"(shop)", "Items", "Code", "Price"}));

    // "name": Next stores "DSN=name" before anything is opened; the table page tells why the
    // source failed, the sort page says it could not open it and is passed over, and the
    // preview's grid reports the failure too.
    boxes.titled.clear();
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Click(Control<QRadioButton>(wizard, 141));
        TypeToCombo(Control<QComboBox>(wizard, 133), "name");
        Press(wizard, ID_WIZNEXT);
        EXPECT_EQ(wizard->State().connection, "DSN=name");
        EXPECT_EQ(wizard->State().dataSourceName, "name");
        Press(wizard, ID_WIZNEXT);
        EXPECT_EQ(wizard->GetActiveIndex(), 3);
        Press(wizard, IDCANCEL);
    });
    Action(kCmdDatabaseSetup)->trigger();
    ASSERT_EQ(boxes.titled.size(), 3);
    EXPECT_TRUE(boxes.titled[0].contains("name")) << boxes.titled[0].toStdString();
    EXPECT_EQ(boxes.titled[1], "Error: The data could not be opened.");
    // Cancelled: the document keeps its source.
    EXPECT_EQ(Active()->GetConnectionString(), "DSN=shop");
}

TEST_F(DatabaseSetup, BarButtonAndRootMenuRunTheWizardAndAnOpenedLabelNamesItsMissingFile)
{
    auto* bar = qobject_cast<CDatabaseWorkSpaceBar*>(m_child->DatabaseBar());
    ASSERT_NE(bar, nullptr);
    bool ran = false;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        ran = true;
        Press(wizard, IDCANCEL);
    });
    QTest::mouseClick(bar->Button(), Qt::LeftButton);
    EXPECT_TRUE(ran);

    // The root's menu is the database menu.
    QStringList menuItems;
    QTimer menuWatch;
    QObject::connect(&menuWatch, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                menuItems << QString::number(CommandIdOf(a));
            menu->close();
        }
    });
    menuWatch.start(10);
    QTreeWidget* tree = bar->Tree();
    const QPoint root = tree->visualItemRect(tree->topLevelItem(0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, root, tree->viewport()->mapToGlobal(root));
    QApplication::sendEvent(tree->viewport(), &event);
    EXPECT_EQ(menuItems, QStringList{"32934"});

    // A label whose data file is gone: the root names it, with nothing under it.
    CDrawDoc* doc = Active();
    doc->SetConnectionString(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/d\";Extended Properties=\"Text;HDR=Yes;IMEX=1;FMT=Delimited\"");
    doc->SetDataFilePath("/d/list.csv");
    doc->SetTableName("list.csv");
    const QString saved = SavedLabel();
    m_app->CloseDocument(doc);
    MessageBoxWatch boxes;
    CDrawDoc* opened = m_app->OpenDocumentFile(saved);
    ASSERT_NE(opened, nullptr);
    ASSERT_EQ(boxes.titled.size(), 1);
    EXPECT_TRUE(boxes.titled[0].contains("list.csv")) << boxes.titled[0].toStdString();
    QTreeWidget* openedTree = m_frame->ActiveChild()->DatabaseTree();
    ASSERT_EQ(openedTree->topLevelItemCount(), 1);
    EXPECT_EQ(openedTree->topLevelItem(0)->text(0), "Data File(/d/list.csv)");
    EXPECT_EQ(openedTree->topLevelItem(0)->childCount(), 0);
    EXPECT_TRUE(opened->GetSchemaMap().empty());
}

TEST(DatabaseQuery, NamesAreQuotedWithTheSourcesQuoteWhetherOrNotItOpens)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath("we`ird.csv");
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a b,Code\n1,2\n");
    f.close();
    CString connection;
    {
        CBarcodeDB db;
        ASSERT_TRUE(db.OpenFile(csv, connection));
    }
    const std::vector<CDBSortEntry> sort{{"Code", 0}, {"Price", 1}};
    EXPECT_EQ(BuildQuery(connection, "Items", sort), "SELECT * FROM `Items`  ORDER BY `Code` ASC, `Price` DESC");
    EXPECT_EQ(BuildQuery(connection, "Items", {}), "SELECT * FROM `Items` ");
    EXPECT_EQ(BuildQuery(connection, "Items", {{"Odd", 2}}), "SELECT * FROM `Items` ");
    EXPECT_EQ(BuildQuery(connection, "we`ird", {{"a b", 0}}), "SELECT * FROM `we``ird`  ORDER BY `a b` ASC");
    // The query of a source that cannot be opened now still quotes its names.
    const CString gone = CString(connection).replace(dir.path(), dir.path() + "/gone");
    EXPECT_EQ(BuildQuery(gone, "we`ird", {{"a b", 0}}), "SELECT * FROM `we``ird`  ORDER BY `a b` ASC");
    EXPECT_EQ(BuildQuery("DSN=nowhere", "it\"s", {}), "SELECT * FROM \"it\"\"s\" ");
}

namespace {
// The base grid with a filter of its own: only even records.
class EvenRowsGrid : public CBCGPADOGridCtrl
{
public:
    BOOL OnBeforeAddRow(std::int64_t record) override { return record % 2 == 0; }
};
}  // namespace

TEST(DatabaseGrid, EmptyTablesShowColumnsAndNullCellsShowNothing)
{
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    write("empty.csv", "Code,Price\r\n");
    write("nulls.csv", "Name,Price\r\nfirst,1.5\r\n,\r\nlast,2.25\r\n");
    const QString path = write("list.csv", ListCsv());
    CString connection;
    {
        CBarcodeDB db;
        ASSERT_TRUE(db.OpenFile(path, connection));
    }

    CExBCGPODBCGridCtrl preview;
    ASSERT_TRUE(preview.OpenConnectionString(connection));
    ASSERT_TRUE(preview.OpenTableRecords("empty.csv"));
    EXPECT_EQ(preview.Model()->columnCount(), 2);
    EXPECT_EQ(preview.Model()->rowCount(), 0);

    // The second record has no name (a text column) and no price (a number column): the
    // preview shows empty text for both, the base grid empty text for the name only.
    CBCGPADOGridCtrl grid;
    ASSERT_TRUE(grid.OpenConnectionString(connection));
    for (CBCGPADOGridCtrl* g : {static_cast<CBCGPADOGridCtrl*>(&preview), &grid})
        ASSERT_TRUE(g->OpenTableRecords("nulls.csv"));
    EXPECT_EQ(preview.Model()->index(1, 0).data(), QVariant(QString()));
    EXPECT_EQ(preview.Model()->index(1, 1).data(), QVariant(QString()));
    EXPECT_EQ(grid.Model()->index(1, 0).data(), QVariant(QString()));
    EXPECT_FALSE(grid.Model()->index(1, 1).data().isValid());
    EXPECT_EQ(grid.Model()->index(2, 1).data(), QVariant("2.25"));
    EXPECT_TRUE(grid.CanSortColumn(1));
    std::vector<CString> fields;
    EXPECT_TRUE(grid.GetTableFieldNames("nulls.csv", fields));
    EXPECT_EQ(fields, (std::vector<CString>{"Name", "Price"}));

    // Outside virtual mode the grid keeps the records its filter accepts.
    EvenRowsGrid even;
    ASSERT_TRUE(even.OpenConnectionString(connection));
    ASSERT_TRUE(even.OpenTableRecords("list.csv"));
    EXPECT_EQ(even.Model()->rowCount(), 3);
    EXPECT_EQ(even.Model()->index(1, 0).data(), QVariant("00042"));

    // After the source is closed nothing is shown and nothing can be sorted.
    grid.CloseSource();
    EXPECT_EQ(grid.Model()->columnCount(), 0);
    EXPECT_FALSE(grid.CanSortColumn(0));
}

TEST_F(DatabaseSetup, ALongImportShowsItsProgressKeepsTheWindowsPaintingAndCancels)
{
    // The dialog comes at once instead of after a second, so that a small file shows it.
    InstallProgressDialogs(0);
    const QString path = WriteLongCsv(6000000);

    // Once the dialog is up the label's window is asked to repaint; when it has painted under
    // the dialog, Cancel is clicked.
    struct Watch : QObject {
        QWidget* view = nullptr;
        QPointer<QProgressDialog> dialog;
        bool painted = false;
        QString label;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Show && watched->objectName() == QLatin1String(kProgressDialogName)) {
                dialog = qobject_cast<QProgressDialog*>(watched);
                view->update();
            } else if (event->type() == QEvent::Paint && watched == view && dialog && dialog->isVisible() && !painted) {
                painted = true;
                label = dialog->labelText();
                QTimer::singleShot(0, dialog, [this] {
                    Shot(dialog, "progress");
                    auto* cancel = dialog->findChild<QPushButton*>(QString::number(IDCANCEL));
                    ASSERT_NE(cancel, nullptr);
                    QTest::mouseClick(cancel, Qt::LeftButton);
                });
            }
            return false;
        }
    } watch;
    watch.view = m_view->viewport();
    qApp->installEventFilter(&watch);

    MessageBoxWatch boxes;
    int tablesShown = -1;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        ChooseFile(wizard, path);
        tablesShown = Control<QListWidget>(wizard, 181)->count();
        Press(wizard, IDCANCEL);
    });
    Action(kCmdDatabaseSetup)->trigger();
    qApp->removeEventFilter(&watch);
    SetProgressMaker({});

    EXPECT_TRUE(watch.painted);
    EXPECT_EQ(watch.label, "Reading long.csv");
    EXPECT_TRUE(watch.dialog.isNull()) << "the dialog stayed";
    EXPECT_EQ(boxes.titled, QStringList{"Quillbar: Reading \"long.csv\" was cancelled."});
    EXPECT_EQ(tablesShown, 0);
}

// A label a second start hands over while an import shows its progress opens, and the second
// start is answered, only once the import has ended.
TEST_F(DatabaseSetup, ALabelHandedOverDuringAnImportOpensAfterIt)
{
    InstallProgressDialogs(0);
    const QString path = WriteLongCsv(3000000);
    const QString handed = m_files.filePath("handed.tag");
    ASSERT_TRUE(QFile::copy(SavedLabel(), handed));
    const std::size_t before = m_app->Documents().size();

    std::atomic<int> result{-1};
    std::thread second;
    std::size_t openDuring = 0;
    int resultDuring = 0;
    struct Watch : QObject {
        std::function<void()> onShow;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Show && watched->objectName() == QLatin1String(kProgressDialogName) && onShow)
                std::exchange(onShow, nullptr)();
            return false;
        }
    } watch;
    // The import waits under its dialog, letting events through, while the second start sends.
    watch.onShow = [&] {
        second = std::thread([&] { result = int(CInstanceChannel::SendFiles(InstanceName(), {handed}, HangBoundMs(20000))); });
        (void)QTest::qWaitFor([&] { return result >= 0; }, 1000);
        openDuring = m_app->Documents().size();
        resultDuring = result;
    };
    qApp->installEventFilter(&watch);
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        ChooseFile(wizard, path);
        Press(wizard, IDCANCEL);
    });
    Action(kCmdDatabaseSetup)->trigger();
    qApp->removeEventFilter(&watch);
    SetProgressMaker({});
    ASSERT_FALSE(watch.onShow) << "the import showed no progress";
    EXPECT_TRUE(QTest::qWaitFor([&] { return result >= 0; }, HangBoundMs(20000)));
    second.join();

    EXPECT_EQ(openDuring, before) << "the label opened in the middle of the import";
    EXPECT_EQ(resultDuring, -1);
    EXPECT_EQ(CInstanceChannel::Handover(result.load()), CInstanceChannel::Handover::Opened);
    EXPECT_EQ(m_app->Documents().size(), before + 1);
}

// A file grown wider than a table of the engine can be: the page of the fields and the tree say why.
TEST_F(DatabaseSetup, AFileTooWideForTheEngineIsReportedAsSuchOnTheFieldPageAndTheTree)
{
    const QString path = WriteList();
    CDBSetupState& state = Active()->GetDBSetupState();
    state.dataFilePath = path;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZFINISH);
    });
    Action(kCmdDatabaseSetup)->trigger();
    ASSERT_EQ(state.table, "list.csv");

    QByteArray wide = "c0";
    for (int c = 1; c < 2001; ++c)
        wide += ",c" + QByteArray::number(c);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(wide + "\r\n" + QByteArray(2000, ',') + "1\r\n");
    file.close();

    MessageBoxWatch boxes;
    int fieldsShown = -1;
    OnWizard([&](CWizDBSetupSheet* wizard) {
        FocusIn(wizard);
        Press(wizard, ID_WIZNEXT);
        Press(wizard, ID_WIZNEXT);
        fieldsShown = Control<QListWidget>(wizard, 185)->count();
        Press(wizard, ID_WIZFINISH);
    });
    Action(kCmdDatabaseSetup)->trigger();
    const QString why = "the table \"list.csv\" has 2001 columns, and a table can have at most 2000.";
    ASSERT_GE(boxes.texts.size(), 3);
    EXPECT_EQ(fieldsShown, 0);
    EXPECT_TRUE(boxes.texts[1].contains(why)) << boxes.texts[1].toStdString();
    EXPECT_TRUE(boxes.texts.back().contains(why)) << boxes.texts.back().toStdString();
    EXPECT_EQ(TreeTexts(), QStringList{"Data File(" + path + ")"});
}
