// The print server named by CUPS_SERVER or client.conf, and the web page of a queue on it.

#include "framework/printserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The web page of the queue "Labels" on a server, or "socket PATH".
std::string PageOf(const CPrintServer& server)
{
    const QUrl page = PrinterWebPage(server, QStringLiteral("Labels"));
    return (page.isEmpty() ? QStringLiteral("socket ") + server.socket : page.toString()).toStdString();
}

TEST(PrintServer, NamesGiveTheServersPageOrItsSocket)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "http://localhost:631/printers/Labels"},
        {"  printhost.example:8631 ", "http://printhost.example:8631/printers/Labels"},
        {"printhost:8631/version=1.1", "http://printhost:8631/printers/Labels"},
        {"printhost:99999", "http://printhost:631/printers/Labels"},
        {"[::1]:8631", "http://[::1]:8631/printers/Labels"},
        {"fe80::1", "http://[fe80::1]:631/printers/Labels"},
        {"/tmp/my server.sock/version=1.1", "socket /tmp/my server.sock"},
    };
    for (const auto& [name, page] : cases)
        EXPECT_EQ(PageOf(PrintServerOfName(QString::fromUtf8(name), 631)), page) << name;
    EXPECT_EQ(PrinterWebPage(PrintServerOfName("printhost", 631), "Office #2?").toString(QUrl::FullyEncoded),
              "http://printhost:631/printers/Office%20%232%3F");
}

// The environment before the user's file, the user's before the system's; a file's last ServerName counts.
TEST(PrintServer, TheEnvironmentThenTheUsersFileThenTheSystemsNameTheServer)
{
    QTemporaryDir home, root;
    ASSERT_TRUE(home.isValid() && root.isValid() && QDir(home.path()).mkpath(".cups"));
    std::vector<std::pair<const char*, QByteArray>> saved;
    for (const char* name : {"CUPS_SERVER", "CUPS_SERVERROOT", "IPP_PORT", "HOME"})
        saved.emplace_back(name, qgetenv(name));
    qunsetenv("CUPS_SERVER");
    qunsetenv("IPP_PORT");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(root.path()));
    const auto write = [](const QString& path, const char* text) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text) > 0;
    };

    EXPECT_EQ(PageOf(AfxGetPrintServer()), "http://localhost:631/printers/Labels");
    qputenv("IPP_PORT", "8000");
    EXPECT_EQ(PageOf(AfxGetPrintServer()), "http://localhost:8000/printers/Labels");
    ASSERT_TRUE(write(root.filePath("client.conf"), "# ServerName commented\nEncryption Never\nservername sys-host\n"));
    EXPECT_EQ(PageOf(AfxGetPrintServer()), "http://sys-host:8000/printers/Labels");
    ASSERT_TRUE(write(home.filePath(".cups/client.conf"), "ServerName first\n  ServerName user-host:700  # print room\n"));
    EXPECT_EQ(PageOf(AfxGetPrintServer()), "http://user-host:700/printers/Labels");
    qputenv("CUPS_SERVER", "/tmp/cups.sock");
    EXPECT_EQ(PageOf(AfxGetPrintServer()), "socket /tmp/cups.sock");
    // An empty variable names nothing; a file without a name leaves it to the next.
    qputenv("CUPS_SERVER", "");
    ASSERT_TRUE(write(home.filePath(".cups/client.conf"), "Encryption Required\n"));
    EXPECT_EQ(PageOf(AfxGetPrintServer()), "http://sys-host:8000/printers/Labels");

    for (const auto& [name, value] : saved)
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

}  // namespace
