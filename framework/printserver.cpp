#include "framework/printserver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {
constexpr int kIppPort = 631;

// A port number of text, 0 when the text is not one.
int PortOf(const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : 0;
}
}  // namespace

CPrintServer PrintServerOfName(const QString& given, int port)
{
    CPrintServer server;
    server.port = port;
    QString name = given.trimmed();
    if (const qsizetype options = name.lastIndexOf(QLatin1String("/version=")); options >= 0)
        name.truncate(options);
    if (name.isEmpty()) {
        server.host = QStringLiteral("localhost");
        return server;
    }
    if (name.startsWith(u'/')) {
        server.socket = name;
        return server;
    }
    // "[address]:port" or "host:port"; an address of several colons without brackets is all host.
    qsizetype colon = -1;
    if (name.startsWith(u'[')) {
        const qsizetype close = name.indexOf(u']');
        if (close > 0 && name.mid(close + 1).startsWith(u':'))
            colon = close + 1;
        server.host = close > 0 ? name.mid(1, close - 1) : name;
    } else if (name.count(u':') == 1) {
        colon = name.indexOf(u':');
        server.host = name.left(colon);
    } else {
        server.host = name;
    }
    if (colon >= 0)
        if (const int p = PortOf(name.mid(colon + 1)))
            server.port = p;
    return server;
}

QString ServerNameInClientConf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString name;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        // A comment runs from its sign to the end of the line.
        if (const qsizetype hash = line.indexOf(u'#'); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        const qsizetype space = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
        if (space > 0 && line.left(space).compare(QLatin1String("ServerName"), Qt::CaseInsensitive) == 0)
            name = line.mid(space).trimmed();
    }
    return name;
}

CPrintServer AfxGetPrintServer()
{
    int port = PortOf(qEnvironmentVariable("IPP_PORT"));
    if (port == 0)
        port = kIppPort;
    QString name = qEnvironmentVariable("CUPS_SERVER").trimmed();
    if (name.isEmpty())
        name = ServerNameInClientConf(QDir::homePath() + QStringLiteral("/.cups/client.conf"));
    if (name.isEmpty()) {
        QString root = qEnvironmentVariable("CUPS_SERVERROOT");
        if (root.isEmpty())
            root = QStringLiteral("/etc/cups");
        name = ServerNameInClientConf(root + QStringLiteral("/client.conf"));
    }
    // With no name the clients reach the local server, through its socket when it has one; the
    // same server shows its web page on the local host.
    return PrintServerOfName(name, port);
}

QUrl PrinterWebPage(const CPrintServer& server, const QString& queue)
{
    if (!server.socket.isEmpty() || server.host.isEmpty())
        return {};
    QUrl page;
    page.setScheme(QStringLiteral("http"));
    page.setHost(server.host);
    page.setPort(server.port);
    page.setPath(QStringLiteral("/printers/") + queue);
    return page;
}
