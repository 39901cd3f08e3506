#pragma once
// The print server the program's print clients reach, chosen as the print system's client library
// chooses it: the server named by CUPS_SERVER, else by the user's ~/.cups/client.conf, else by
// the system's client.conf (in CUPS_SERVERROOT, by default /etc/cups), each by its ServerName;
// else the local server. A name is a host with an optional port ("host", "host:8631",
// "[::1]:631", "/version=1.1" after it is ignored) or the path of a local socket ("/run/...").

#include <QString>
#include <QUrl>

struct CPrintServer {
    QString socket;  // the local socket the server is reached through; empty for a host
    QString host;
    int port = 631;
};

// The server in use now, from the environment and the configuration files.
CPrintServer AfxGetPrintServer();
// The server of a name as CUPS_SERVER or ServerName give it; an empty name is the local server.
// `port` is the port of a name without one.
CPrintServer PrintServerOfName(const QString& name, int port);
// The ServerName a client.conf file gives (its last one); empty when it gives none or cannot be
// read.
QString ServerNameInClientConf(const QString& path);

// The server's web page of a print queue; empty for a server reached through a socket, which
// has none.
QUrl PrinterWebPage(const CPrintServer& server, const QString& queue);
