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

    // Printer Forms, answered by a message when the queue's page cannot be shown.
    QString said;
    const auto printerForms = [&](bool answered) {
        said.clear();
        if (answered)
            OnNextModal([&said](QWidget* w) {
                said = qobject_cast<QMessageBox*>(w)->text();
                qobject_cast<QMessageBox*>(w)->accept();
            }, IsA<QMessageBox>);
        QTest::mouseClick(GetDlgItem<QAbstractButton>(&wizard.paper, 138), Qt::LeftButton);
        return QTest::qWaitFor([&] { return !answered || !said.isEmpty(); }, ModalWaitMs());
    };
    // This server listens on a local socket only, which has no web page.
    printerForms(true);
    EXPECT_TRUE(said.contains(UseTestCupsServer()) && said.contains("no web page")) << said.toStdString();

    // A server on the network: the desktop's opener gets its page of the queue; an opener that
    // fails (when it ends, after the click) or none at all leaves a message with the address.
    {
        const QByteArray path = qgetenv("PATH"), cupsServer = qgetenv("CUPS_SERVER");
        auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            qputenv("CUPS_SERVER", cupsServer);
        });
        qputenv("CUPS_SERVER", "localhost:8631");
        qunsetenv("BROWSER");
        qunsetenv("DEFAULT_BROWSER");
        const QString page = "http://localhost:8631/printers/Office-Color";
        QTemporaryDir bin;
        QFile opener(bin.filePath("xdg-open")), shown(bin.filePath("xdg-open-shown"));
        for (const char* script : {"printf '%s' \"$1\" > \"$0\"-shown", "exit 3", ""}) {
            SCOPED_TRACE(script);
            ASSERT_TRUE(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
            opener.write(QByteArray("#!/bin/sh\n") + script + "\n");
            opener.close();
            opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("PATH", *script ? QFile::encodeName(bin.path()) + ":" + path : "/nonexistent");
            const bool opens = script[0] == 'p';
            printerForms(!opens);
            if (opens) {
                EXPECT_TRUE(QTest::qWaitFor([&] {
                    shown.close();
                    return shown.open(QIODevice::ReadOnly) && shown.readAll() == page;
                }, ModalWaitMs()));
                QTest::qWait(300);
                EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            } else {
                EXPECT_TRUE(said.contains(page)) << said.toStdString();
            }
        }
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

