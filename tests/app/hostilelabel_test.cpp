// Label files written by an attacker, each built here, opened on the roads a user takes: File >
// Open, a second start, the print dialog's Print Data button, and the database set-up wizard's
// preview. None loads a library (the marker library's constructor would write its file), none
// creates or changes a file outside the test's folder, each is answered, and the program goes on:
// the label opens and prints its stored texts. A road that waits out the reader program's bounds
// takes seconds, more on a busy machine; only a hang reaches the test's own bound.

#include "app/pdfpages.h"
#include "app/shellfixture.h"
#include "app/singleinstance.h"
#include "data/ui/dbgrid.h"
#include "data/ui/dbsetupwizard.h"
#include "framework/ui/dialogids.h"
#include "objects/drawtext.h"
#include "printing/prndataseldlg.h"
#include "printing/tagprintdlg.h"
#include "support/testoutput.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <atomic>
#include <dlfcn.h>
#include <iostream>
#include <map>
#include <sqlite3.h>
#include <thread>
#include <zip.h>

using namespace ShellCmd;

namespace {

constexpr UINT kCmdDatabaseSetup = 32934;
// The longest a road may go without a message before it counts as hung.
constexpr int kHangMs = HangBoundMs(60000);
const QString kLibrary = QStringLiteral(QB_MARKER_LIBRARY);

struct Attack {
    const char* name;
    QString connection;
    QString query;
    QString table = QStringLiteral("T");
    QString dataFile;  // typed into the set-up wizard
};

// Every file under a folder with a digest of its bytes.
std::map<std::string, std::string> Snapshot(const QString& folder)
{
    std::map<std::string, std::string> files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        QFile f(path);
        files[path.toStdString()] =
            f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex().toStdString() : "?";
    }
    return files;
}

void MakeSqliteFile(const QString& path)
{
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &h), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(h, "CREATE TABLE T(Code TEXT); INSERT INTO T VALUES('A');", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(h);
}

// A workbook whose 40 sheets all name one part padded with blanks to 100 MiB.
QByteArray SharedPartWorkbook()
{
    std::string workbook = R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)";
    std::string rels = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (int i = 1; i <= 40; ++i) {
        workbook += "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i) + "\" r:id=\"rId"
                    + std::to_string(i) + "\"/>";
        rels += "<Relationship Id=\"rId" + std::to_string(i) + "\" Target=\"worksheets/sheet1.xml\" Type=\"t\"/>";
    }
    workbook += "</sheets></workbook>";
    rels += "</Relationships>";
    std::string sheet = R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
                        R"(<row><c t="inlineStr"><is><t>Code</t></is></c></row>)";
    sheet.append(std::size_t(100) << 20, ' ');
    sheet += R"(<row><c t="inlineStr"><is><t>A</t></is></c></row></sheetData></worksheet>)";

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t* zip = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    for (const auto& [name, text] : {std::pair<const char*, const std::string*> {"xl/workbook.xml", &workbook},
                                     {"xl/_rels/workbook.xml.rels", &rels}, {"xl/worksheets/sheet1.xml", &sheet}})
        zip_file_add(zip, name, zip_source_buffer(zip, text->data(), text->size(), 0), ZIP_FL_OVERWRITE);
    zip_close(zip);
    zip_source_open(memory);
    zip_source_seek(memory, 0, SEEK_END);
    QByteArray bytes(qsizetype(zip_source_tell(memory)), '\0');
    zip_source_seek(memory, 0, SEEK_SET);
    zip_source_read(memory, bytes.data(), zip_uint64_t(bytes.size()));
    zip_source_close(memory);
    zip_source_free(memory);
    zip_error_fini(&error);
    return bytes;
}

class HostileLabel : public Shell
{
protected:
    // The SQLite ODBC driver, installed as many machines have it, and a data source "shop" over
    // a file of the test's own.
    static void SetUpTestSuite()
    {
        s_odbc = new QTemporaryDir;
        qputenv("ODBCSYSINI", s_odbc->path().toLocal8Bit());
        qputenv("ODBCINI", s_odbc->filePath("user.ini").toLocal8Bit());
        QFile inst(s_odbc->filePath("odbcinst.ini"));
        if (inst.open(QIODevice::WriteOnly))
            inst.write("[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
        // The driver manager makes this file when it lists the data sources.
        QFile system(s_odbc->filePath("odbc.ini"));
        if (system.open(QIODevice::WriteOnly))
            system.close();
        QFile user(s_odbc->filePath("user.ini"));
        if (user.open(QIODevice::WriteOnly))
            user.write("[ODBC Data Sources]\nshop=SQLite3\n\n[shop]\nDriver=SQLite3\nDatabase="
                       + s_odbc->filePath("shop.db").toUtf8() + "\n");
    }
    static void TearDownTestSuite()
    {
        delete s_odbc;
        s_odbc = nullptr;
        qunsetenv("ODBCSYSINI");
        qunsetenv("ODBCINI");
        qunsetenv("QB_MARKER_FILE");
    }

    void SetUp() override
    {
        Shell::SetUp();
        if (!QFile::exists(s_odbc->filePath("shop.db")))
            MakeSqliteFile(s_odbc->filePath("shop.db"));
        m_marker = m_files.filePath("marker");
        qputenv("QB_MARKER_FILE", m_marker.toLocal8Bit());
        // The library does write its marker when something loads it.
        void* handle = dlopen(kLibrary.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        dlclose(handle);
        ASSERT_TRUE(QFile::remove(m_marker));

        MakeSqliteFile(m_elsewhere.filePath("existing.db"));
        m_before = Snapshot(m_elsewhere.path());
        m_odbcBefore = Snapshot(s_odbc->path());
        QFile csv(m_files.filePath("list.csv"));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write("Code,Name\nA,1\n");
    }

    void TearDown() override
    {
        EXPECT_FALSE(QFile::exists(m_marker)) << "a library named by a label file was loaded";
        EXPECT_EQ(Snapshot(m_elsewhere.path()), m_before);
        EXPECT_EQ(Snapshot(s_odbc->path()), m_odbcBefore);
        Shell::TearDown();
    }

    QString CsvConnection() const
    {
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%1\";"
                              "Extended Properties=\"Text;HDR=Yes;IMEX=1;FMT=Delimited\"")
            .arg(m_files.path());
    }

    // The label file of an attack: a stored text and the attacker's data source.
    QString WriteLabel(const Attack& attack)
    {
        Action(kFileNew)->trigger();
        CDrawDoc* doc = Active();
        CDrawView* view = m_app->GetActiveDrawView();
        UseTwoByFiveSheet(doc);
        view->AddObject(new CDrawText(CRect(300, 1500, 3000, 1900), view, "STORED-TEXT"));
        doc->SetConnectionString(attack.connection);
        doc->SetQuery(attack.query);
        doc->SetTableName(attack.table);
        doc->SetDataFilePath(attack.dataFile);
        const QString path = m_files.filePath(QString::fromLatin1(attack.name) + ".tag");
        EXPECT_TRUE(doc->OnSaveDocument(path));
        doc->SetModifiedFlag(FALSE);
        m_app->CloseDocument(doc);
        return path;
    }

    // Runs one road; every message box it shows is answered and kept, and a print-data dialog
    // closed; any other window left waiting is closed as hung (app/testmodal.h). Fails when the
    // road went longer than the hang bound without a message.
    QStringList Road(const char* road, const Attack& attack, const std::function<void()>& run)
    {
        testmodal::WatchModalWindows();
        QStringList texts;
        QElapsedTimer t;
        t.start();
        qint64 longest = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                const std::string_view name = attack.name;
                if (texts.isEmpty() && std::string_view(road) == "Print Data"
                    && (name == "repeated-driver" || name == "endless" || name == "damaged-mdb"))
                    box->grab().save(TestOutputDir() + "/hostile-" + attack.name + ".png");
                texts << box->text();
                longest = std::max(longest, t.restart());
                box->button(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok)->click();
            } else if (auto* records = qobject_cast<CPrnDataSelDlg*>(modal)) {
                records->reject();
            }
        });
        timer.start(5);
        run();
        QApplication::processEvents();
        longest = std::max(longest, t.elapsed());
        EXPECT_LT(longest, kHangMs) << attack.name << " on " << road << " went that long without a message";
        std::cout << "[hostile] " << attack.name << " / " << road << ": longest wait " << longest << " ms: "
                  << texts.join(" | ").left(200).toStdString() << std::endl;
        return texts;
    }

    // Opens the label on every road; each message a road gives contains one of the texts in
    // said (nothing expected when said is empty).
    void OnEveryRoad(const Attack& attack, const QStringList& said)
    {
        SCOPED_TRACE(attack.name);
        const QString path = WriteLabel(attack);
        auto matches = [&](const QStringList& texts) {
            for (const QString& text : texts)
                if (said.isEmpty() || !std::all_of(said.begin(), said.end(), [&](const QString& s) { return text.contains(s); }))
                    ADD_FAILURE() << text.toStdString();
        };

        matches(Road("File > Open", attack, [&] {
            m_app->m_askOpenPath = [path] { return path; };
            Action(kFileOpen)->trigger();
        }));
        ASSERT_NE(Active(), nullptr);
        EXPECT_EQ(Active()->GetPathName(), path);

        matches(Road("Print Data", attack, [&] {
            OnNextModal([&](QWidget* w) {
                auto* dialog = qobject_cast<CTagPrintDlg*>(w);
                ASSERT_NE(dialog, nullptr);
                auto* button = dialog->LabelsTab()->findChild<QPushButton*>("4");
                ASSERT_NE(button, nullptr);
                QTest::mouseClick(button, Qt::LeftButton);
                dialog->reject();
            }, IsA<CTagPrintDlg>);
            Action(kFilePrint)->trigger();
        }));

        // The label prints its stored texts.
        const QString pdf = m_files.filePath(QString::fromLatin1(attack.name) + ".pdf");
        EXPECT_TRUE(m_app->PrintDocument(Active(), pdf));
        EXPECT_TRUE(PdfText(pdf).contains("STORED-TEXT"));
        m_app->CloseDocument(Active());

        matches(Road("second start", attack, [&] {
            std::atomic<int> result {-1};
            std::thread second([&] { result = int(CInstanceChannel::SendFiles(InstanceName(), {path}, kHangMs)); });
            QElapsedTimer t;
            t.start();
            while (result < 0 && t.elapsed() < kHangMs + HangBoundMs(5000))
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            second.join();
            EXPECT_GE(int(result), 0) << "no answer from the running program";
        }));
        if (Active() && Active()->GetPathName() == path)
            m_app->CloseDocument(Active());

        if (!attack.dataFile.isEmpty()) {
            matches(Road("File > Open before the wizard", attack, [&] {
                m_app->m_askOpenPath = [path] { return path; };
                Action(kFileOpen)->trigger();
            }));
            // The wizard's later pages say again that nothing is open: the first message is
            // the one about the file.
            const QStringList wizard = Road("set-up wizard preview", attack, [&] {
                OnNextModal([&](QWidget* w) {
                    auto* wizard = qobject_cast<CWizDBSetupSheet*>(w);
                    ASSERT_NE(wizard, nullptr);
                    TypeInto(Control(wizard, 180), attack.dataFile);
                    for (int page = 0; page < 3 && wizard->Button(ID_WIZNEXT)->isEnabled(); ++page)
                        wizard->Button(ID_WIZNEXT)->click();
                    // A source that opens shows its records on the preview.
                    if (said.isEmpty()) {
                        EXPECT_EQ(wizard->GetActiveIndex(), 3);
                        EXPECT_EQ(wizard->PreviewPage().Grid()->Model()->rowCount(), 1);
                    }
                    wizard->Button(IDCANCEL)->click();
                }, IsA<CWizDBSetupSheet>);
                Action(kCmdDatabaseSetup)->trigger();
            });
            matches(wizard.mid(0, 1));
            m_app->CloseDocument(Active());
        }

        // The program goes on.
        Action(kFileNew)->trigger();
        ASSERT_NE(Active(), nullptr);
        EXPECT_TRUE(Active()->GetPathName().isEmpty());
        m_app->CloseDocument(Active());
    }

    static inline QTemporaryDir* s_odbc = nullptr;
    QTemporaryDir m_elsewhere;  // files of the user's that a label must not touch
    std::map<std::string, std::string> m_before, m_odbcBefore;
    QString m_marker;
};

TEST_F(HostileLabel, ConnectionStringsThatLoadCodeOrWriteFiles)
{
    const QString existing = m_elsewhere.filePath("existing.db");
    const QString created = m_elsewhere.filePath("created.db");
    const std::vector<std::pair<Attack, QString>> attacks = {
        {{"repeated-driver", "DRIVER=x;DRIVER=" + kLibrary, "SELECT * FROM \"T\" "}, "twice"},
        {{"driver-path", "DRIVER={" + kLibrary + "}", "SELECT * FROM \"T\" "}, "DRIVER"},
        {{"load-ext-key", "DSN=shop;LoadExt=" + kLibrary, "SELECT * FROM \"T\" "}, "LOADEXT"},
        {{"creates-file", "DRIVER=SQLite3;Database=" + created, "SELECT * FROM \"T\" "}, "DRIVER"},
        {{"wal", "DSN=shop;Database=" + existing + ";JournalMode=WAL", "SELECT * FROM \"T\" "}, "DATABASE"},
        {{"file-dsn", "FILEDSN=" + m_elsewhere.filePath("x.dsn"), "SELECT * FROM \"T\" "}, "FILEDSN"},
    };
    for (const auto& [attack, key] : attacks)
        OnEveryRoad(attack, {QString::fromLatin1(attack.name) + ".tag", key});
    EXPECT_FALSE(QFile::exists(created));
}

TEST_F(HostileLabel, StoredQueriesThatLoadCodeHangOrExhaust)
{
    const QString load = "SELECT load_extension('" + kLibrary + "')";
    const QString endless = "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT n FROM r";
    const QStringList said = {"is not run", "not of the form"};
    for (const Attack& attack :
         {Attack {"dsn-load-extension", "DSN=shop", load}, Attack {"file-load-extension", CsvConnection(), load, "list.csv"},
          Attack {"endless", CsvConnection(), endless, "list.csv"},
          Attack {"counting", CsvConnection(), "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT count(*) FROM r", "list.csv"},
          Attack {"zeroblob", CsvConnection(), "SELECT zeroblob(1e9), zeroblob(1e9)", "list.csv"},
          Attack {"tokenizer", "DSN=shop", "SELECT fts3_tokenizer('simple')"},
          Attack {"order-by-call", CsvConnection(), "SELECT * FROM `list.csv`  ORDER BY load_extension('x') ASC", "list.csv"}})
        OnEveryRoad(attack, said + QStringList {QString::fromLatin1(attack.name) + ".tag"});
}

TEST_F(HostileLabel, DataFilesThatExhaustTheReaders)
{
    const QString book = m_files.filePath("shared.xlsx");
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SharedPartWorkbook());
    f.close();
    const QString bookConnection = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\"" + book
                                   + "\";Extended Properties=\"Excel 12.0 Xml; HDR=YES; IMEX=1\"";
    // The shared part is read once: the workbook opens as one sheet.
    OnEveryRoad({"shared-part", bookConnection, "SELECT * FROM `S1$` ", "S1$", book}, {});

    const QString access = QStringLiteral(QB_ACCESS_TESTDATA_DIR "/numeric2000.mdb");
    if (!QFile::exists(access))
        GTEST_SKIP() << "no Access test databases";
    // This byte makes the library read the catalogue forever.
    QFile original(access);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray bytes = original.readAll();
    ASSERT_GT(bytes.size(), 128991);
    bytes[128991] = char(190);
    const QString mdb = m_files.filePath("loops.mdb");
    QFile damaged(mdb);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes);
    damaged.close();
    OnEveryRoad({"damaged-mdb", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + mdb + "\"", "SELECT * FROM `test` ",
                 "test", mdb},
                {"damaged"});
}

}  // namespace
