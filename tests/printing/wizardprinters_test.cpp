// The label wizard's printer and paper pages against a real print server of the test's own.

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "printing/labelwizard.h"
#include "app/testmodal.h"
#include "support/cupsserver.h"
#include "support/testoutput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString Ppd()
{
    // Beside the test data folder, which this program may not have.
    return QDir::cleanPath(QStringLiteral(QB_TEST_DATA_DIR "/../sheets.ppd"));
}

// The entries of a combo box, or with `codes` their paper codes.
QStringList Entries(QComboBox* combo, bool codes = false)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << (codes ? QString::number(combo->itemData(i).toInt()) : combo->itemText(i));
    return entries;
}

// The printer and paper pages as a wizard on a document whose paper is US Letter.
struct PrinterWizard {
    PrinterWizard()
    {
        const float letter[2] = {2159, 2794};
        doc.SetPaperSize(letter);
        doc.SetPaperCode(1);
        sheet.AddPage(&printer);
        sheet.AddPage(&paper);
        sheet.Layout().CopyFromDocument(doc);
        sheet.show();
    }
    QComboBox* Printers() { return GetDlgItem<QComboBox>(&printer, 1139); }
    QComboBox* Papers() { return GetDlgItem<QComboBox>(&paper, 133); }
    void Next() { QTest::mouseClick(sheet.Button(ID_WIZNEXT), Qt::LeftButton); }

    CDrawDoc doc;
    CWzSetupSheet sheet;
    CWzPrnSelect printer;
    CWzPprSelect paper;
};

class WizardPrinters : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!CTestCupsServer::Available())
            GTEST_SKIP() << "cupsd and lpadmin are not installed (scripts/install-deps.sh)";
        UseTestCupsServer();
        if (!CResourceModule::Get().IsLoaded() || CResourceModule::Get().IsFallback())
            CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    }
};

}  // namespace

TEST_F(WizardPrinters, QueuesOfTheServerWithTheDefaultByItsWholeNameAndTheirPapers)
{
    CTestCupsServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    for (const char* name : {"Office-Color", "Office"})
        ASSERT_TRUE(server.AddPrinter(name, Ppd())) << server.Error().toStdString();
    ASSERT_TRUE(server.SetDefault("Office")) << server.Error().toStdString();

    PrinterWizard wizard;
    // The default is the first entry: a search by prefix from the next entry on would take
    // "Office-Color".
    EXPECT_EQ(Entries(wizard.Printers()), (QStringList{"Office", "Office-Color"}));
    EXPECT_EQ(wizard.Printers()->currentText(), "Office");
    EXPECT_EQ(wizard.sheet.Layout().GetPrinterName(), "Office");
    wizard.sheet.grab().save(TestOutputDir() + "/wizard-cups-printer.png");

    // Another queue chosen with the keys: its name is the sheet's printer.
    wizard.Printers()->setFocus();
    QTest::keyClick(wizard.Printers(), Qt::Key_Down);
    EXPECT_EQ(wizard.sheet.Layout().GetPrinterName(), "Office-Color");

    // The papers of the queue's description, the document's paper chosen.
    wizard.Next();
    ASSERT_EQ(wizard.sheet.GetActivePage(), &wizard.paper);
    EXPECT_EQ(Entries(wizard.Papers()), (QStringList{"A4", "US Letter", "4 x 6 in"}));
    EXPECT_EQ(Entries(wizard.Papers(), true), (QStringList{"9", "1", "256"}));
    std::vector<std::pair<int, int>> sizes;
    for (const PaperInfo& p : wizard.paper.Papers())
        sizes.emplace_back(p.width, p.height);
    EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{2100, 2970}, {2159, 2794}, {1016, 1524}}));
    EXPECT_EQ(wizard.Papers()->currentText(), "US Letter");

    // Printer Forms: this server listens on a local socket only, and a socket has no web page.
    const auto printerForms = [&wizard] { QTest::mouseClick(GetDlgItem<QAbstractButton>(&wizard.paper, 138), Qt::LeftButton); };
    QString said;
    const auto answer = [&said] {
        said.clear();
        OnNextModal([&said](QWidget* w) {
            said = qobject_cast<QMessageBox*>(w)->text();
            qobject_cast<QMessageBox*>(w)->accept();
        }, IsA<QMessageBox>);
    };
    answer();
    printerForms();
    EXPECT_TRUE(said.contains(UseTestCupsServer()) && said.contains("no web page")) << said.toStdString();

    // A server on the network, as CUPS_SERVER names it: its page of the queue goes to the
    // desktop's opener, and a failure to show it is told with the page's address.
    {
        const QByteArray path = qgetenv("PATH"), cupsServer = qgetenv("CUPS_SERVER");
        auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            qputenv("CUPS_SERVER", cupsServer);
        });
        qputenv("CUPS_SERVER", "localhost:8631");
        const QString page = "http://localhost:8631/printers/Office-Color";
        QTemporaryDir openers;
        ASSERT_TRUE(openers.isValid());
        const QString shown = openers.filePath("shown");
        for (const auto& [name, script] : {std::pair {"opens", "#!/bin/sh\nprintf '%s' \"$1\" > '" + shown + "'\n"},
                                           std::pair {"fails", QString("#!/bin/sh\nexit 3\n")}}) {
            QDir(openers.path()).mkdir(name);
            QFile opener(openers.filePath(QString(name) + "/xdg-open"));
            ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
            opener.write(script.toUtf8());
            opener.close();
            opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        // Waits with the events running until `done` holds, for as long as a modal window.
        const auto waitFor = [](const std::function<bool()>& done) {
            QElapsedTimer waited;
            waited.start();
            while (!done() && waited.elapsed() < ModalWaitMs())
                QTest::qWait(20);
            return done();
        };
        const auto shownPage = [&shown] {
            QFile f(shown);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        qputenv("PATH", QFile::encodeName(openers.filePath("opens")) + ":" + path);
        printerForms();
        EXPECT_TRUE(waitFor([&] { return shownPage() == page; })) << shownPage().toStdString();
        // An opener that showed the page is not answered by a message.
        QTest::qWait(300);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        // The opener finds no browser: it says so when it ends, after the click.
        qputenv("PATH", QFile::encodeName(openers.filePath("fails")) + ":" + path);
        answer();
        printerForms();
        EXPECT_TRUE(waitFor([&] { return !said.isEmpty(); }));
        EXPECT_TRUE(said.contains(page)) << said.toStdString();
        // Without an opener, Qt finds no browser either.
        qputenv("PATH", "/nonexistent");
        qunsetenv("BROWSER");
        qunsetenv("DEFAULT_BROWSER");
        answer();
        printerForms();
        EXPECT_TRUE(said.contains(page)) << said.toStdString();
    }

    // 4 x 6 in, then turned: the sheet takes its code and the turned size.
    wizard.Papers()->setFocus();
    QTest::keyClick(wizard.Papers(), Qt::Key_Down);
    EXPECT_EQ(wizard.sheet.Layout().GetPaperCode(), 256);
    EXPECT_EQ(wizard.sheet.Layout().GetPaperSize(), CSize(1016, 1524));
    auto* landscape = GetDlgItem<QAbstractButton>(&wizard.paper, 143);
    QTest::mouseClick(landscape, Qt::LeftButton, {}, QPoint(6, landscape->height() / 2));
    EXPECT_EQ(wizard.sheet.Layout().GetPaperSize(), CSize(1524, 1016));
    EXPECT_EQ(wizard.sheet.Layout().GetOrientation(), 2);
    wizard.sheet.grab().save(TestOutputDir() + "/wizard-cups-paper.png");

    // Coming back to the wizard from elsewhere reads the papers again.
    server.Stop();
    QEvent activated(QEvent::WindowActivate);
    QApplication::sendEvent(&wizard.sheet, &activated);
    EXPECT_EQ(Entries(wizard.Papers()), QStringList{"A4"});
}

TEST_F(WizardPrinters, WithoutAServerThereIsNoPrinterAndOnlyA4)
{
    CTestCupsServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    ASSERT_TRUE(server.AddPrinter("Office", Ppd())) << server.Error().toStdString();
    server.Stop();

    PrinterWizard wizard;
    EXPECT_EQ(wizard.Printers()->count(), 0);
    wizard.sheet.Layout().SetPrinterName("Office");  // a name the server no longer answers for
    wizard.Next();
    EXPECT_EQ(Entries(wizard.Papers()), QStringList{"A4"});
    EXPECT_EQ(Entries(wizard.Papers(), true), QStringList{"9"});
    // The sheet's Letter is not offered: it takes A4, code and all.
    EXPECT_EQ(wizard.sheet.Layout().GetPaperSize(), CSize(2100, 2970));
    EXPECT_EQ(wizard.sheet.Layout().GetPaperCode(), 9);
    EXPECT_FALSE(GetDlgItem(&wizard.paper, 138)->isEnabled());
}

