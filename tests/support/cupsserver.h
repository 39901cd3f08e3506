// A print server of the test's own: cupsd in the foreground with its configuration, spool, cache,
// state and logs in a temporary folder, listening on a socket there. Print queues write to
// /dev/null. The process's print clients (Qt's CUPS plugin) reach it through CUPS_SERVER, which
// libcups reads once per process: call UseTestCupsServer() before anything asks for printers,
// and every server of the process listens on that same socket.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>

// The socket path of this process's servers, made the print clients' server.
inline QString UseTestCupsServer()
{
    static const QString socket = [] {
        const QString path = QDir::tempPath() + QStringLiteral("/qb-cups-%1.sock").arg(QCoreApplication::applicationPid());
        qputenv("CUPS_SERVER", QFile::encodeName(path));
        return path;
    }();
    return socket;
}

class CTestCupsServer
{
public:
    // Empty when cupsd or lpadmin are not installed.
    static bool Available()
    {
        return !FindTool("cupsd").isEmpty() && !FindTool("lpadmin").isEmpty();
    }

    CTestCupsServer() : m_socket(UseTestCupsServer()) {}
    ~CTestCupsServer() { Stop(); }

    // Starts cupsd and waits until it answers; false with Error() set when it does not.
    bool Start()
    {
        if (!m_dir.isValid())
            return Fail("no temporary folder");
        const QString root = m_dir.path();
        for (const char* sub : {"spool", "cache", "state", "log"})
            QDir(root).mkpath(QString::fromLatin1(sub));
        QFile::remove(m_socket);
        // Everyone on the socket may do everything: the server is the test's alone.
        Write(root + "/cupsd.conf",
              "Listen " + m_socket + "\n"
              "LogLevel warn\nDefaultAuthType None\nBrowsing No\n"
              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
              "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
              "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n</Policy>\n");
        // No PidFile: cupsd refuses to start on it.
        Write(root + "/cups-files.conf",
              "ServerRoot " + root + "\nRequestRoot " + root + "/spool\nCacheDir " + root + "/cache\n"
              "StateDir " + root + "/state\nAccessLog " + root + "/log/access_log\n"
              "ErrorLog " + root + "/log/error_log\nPageLog " + root + "/log/page_log\nFileDevice Yes\n");
        m_cupsd = std::make_unique<QProcess>();
        m_cupsd->setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd->start(FindTool("cupsd"), {"-f", "-c", root + "/cupsd.conf", "-s", root + "/cups-files.conf"});
        if (!m_cupsd->waitForStarted(10000))
            return Fail("cupsd did not start");
        for (int i = 0; i < 200; ++i) {
            if (Run("lpstat", {"-r"}) && m_output.startsWith(QStringLiteral("scheduler is running")))
                return true;
            if (m_cupsd->state() != QProcess::Running)
                return Fail("cupsd ended: " + QString::fromLocal8Bit(m_cupsd->readAll()));
            QThread::msleep(50);
        }
        return Fail("cupsd does not answer");
    }

    // Ends the server by its process id.
    void Stop()
    {
        if (!m_cupsd)
            return;
        if (m_cupsd->state() != QProcess::NotRunning) {
            ::kill(pid_t(m_cupsd->processId()), SIGTERM);
            if (!m_cupsd->waitForFinished(10000)) {
                m_cupsd->kill();
                m_cupsd->waitForFinished(5000);
            }
        }
        m_cupsd.reset();
        QFile::remove(m_socket);
    }

    // A queue that prints to /dev/null with the given printer description.
    bool AddPrinter(const QString& name, const QString& ppd)
    {
        return Run("lpadmin", {"-p", name, "-E", "-v", "file:///dev/null", "-P", ppd});
    }
    bool SetDefault(const QString& name) { return Run("lpadmin", {"-d", name}); }

    QString Error() const { return m_error; }
    // Where the server keeps its jobs: the files printed (d<job>-001) and their attributes
    // (c<job>), kept after the jobs end.
    QString SpoolDir() const { return m_dir.path() + QStringLiteral("/spool"); }

private:
    static QString FindTool(const char* name)
    {
        return QStandardPaths::findExecutable(QString::fromLatin1(name), {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
    }
    static void Write(const QString& path, const QString& text)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(text.toUtf8());
    }
    bool Run(const char* tool, const QStringList& arguments)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(FindTool(tool), arguments);
        const bool finished = p.waitForFinished(20000);
        m_output = QString::fromLocal8Bit(p.readAll());
        if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_error = QString::fromLatin1(tool) + ": " + m_output;
            return false;
        }
        return true;
    }
    bool Fail(const QString& why)
    {
        m_error = why;
        return false;
    }

    QTemporaryDir m_dir;
    QString m_socket;
    std::unique_ptr<QProcess> m_cupsd;
    QString m_error;
    QString m_output;
};
