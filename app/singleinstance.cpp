#include "app/singleinstance.h"

#include "framework/progress.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

CInstanceChannel::CInstanceChannel(QObject* parent) : QObject(parent) {}

CInstanceChannel::~CInstanceChannel()
{
    Close();
}

namespace {

constexpr int kKeepListeningMs = 5 * 60 * 1000;

// The session's display as a file-name part: the Wayland socket, else the X display without its
// screen number (":0.0" and ":0" are one server); anything but letters, digits, '.', '-' and '_'
// becomes '_'.
QString DisplayPart(const QProcessEnvironment& env)
{
    QString display = env.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty()) {
        display = env.value(QStringLiteral("DISPLAY"));
        const qsizetype colon = display.lastIndexOf(u':');
        const qsizetype dot = display.indexOf(u'.', colon + 1);
        if (colon >= 0 && dot > colon)
            display.truncate(dot);
    }
    if (display.isEmpty())
        return QStringLiteral("nodisplay");
    QString part;
    for (QChar c : display.left(48))
        part += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'.' || c == u'-' || c == u'_' ? c : QChar(u'_');
    return part;
}

// A folder of this user's that nobody else may enter.
bool IsPrivateFolder(const QByteArray& path, uid_t uid)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 077) == 0;
}

}  // namespace

QString CInstanceChannel::DefaultName()
{
    return SessionName(QProcessEnvironment::systemEnvironment(), QDir::tempPath(), ::getuid());
}

QString CInstanceChannel::SessionName(const QProcessEnvironment& env, const QString& tempDir, uid_t uid)
{
    const QString display = DisplayPart(env);
    const QString runtime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(QFile::encodeName(runtime), uid))
        return QDir(runtime).filePath(QStringLiteral("quillbar-") + display);

    const QString folder = QDir(tempDir).filePath(QStringLiteral("quillbar-%1").arg(uid));
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid)
        return {};
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return {};
    return QDir(folder).filePath(display);
}

bool CInstanceChannel::Listen(const QString& name, OpenHandler handler)
{
    Close();
    m_handler = std::move(handler);
    m_name = name;
    if (!StartServer(name))
        return false;
    if (!m_keepTimer) {
        m_keepTimer = new QTimer(this);
        m_keepTimer->setInterval(kKeepListeningMs);
        connect(m_keepTimer, &QTimer::timeout, this, &CInstanceChannel::KeepListening);
    }
    m_keepTimer->start();
    return true;
}

bool CInstanceChannel::StartServer(const QString& name)
{
    delete m_server;
    m_server = nullptr;
    if (name.isEmpty())
        return false;
    // Someone answering means another instance runs; silence means a stale socket or none. Qt
    // listens with owner-only rights by renaming a fresh socket onto the name, which would
    // silently take the name from a running instance: so the question is asked first.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000))
        return false;
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        Close();
        return false;
    }
    // The sticky bit keeps the periodic clean-up of the runtime folder away from the socket.
    ::chmod(QFile::encodeName(m_server->fullServerName()).constData(), S_IRWXU | S_ISVTX);
    connect(m_server, &QLocalServer::newConnection, this, &CInstanceChannel::OnNewConnection);
    return true;
}

void CInstanceChannel::KeepListening()
{
    if (m_name.isEmpty())
        return;
    // Only a socket that is gone is replaced: closing ours would remove whatever now has its name.
    if (m_server && m_server->isListening() && QFileInfo::exists(m_server->fullServerName()))
        return;
    StartServer(m_name);
}

void CInstanceChannel::Close()
{
    if (m_keepTimer)
        m_keepTimer->stop();
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

void CInstanceChannel::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void CInstanceChannel::OnReadyRead(QLocalSocket* socket)
{
    if (socket->property("qbDone").toBool())
        return;
    // The request so far lives on the socket; nothing beyond the limit is ever buffered.
    QByteArray request = socket->property("qbRequest").toByteArray();
    const qint64 room = kMaxRequestBytes - request.size();
    request += socket->read(std::max<qint64>(0, std::min(socket->bytesAvailable(), room)));
    auto finish = [socket](bool ok) {
        socket->setProperty("qbDone", true);
        socket->write(ok ? "OK\n" : "FAIL\n");
        socket->flush();
        socket->disconnectFromServer();
    };
    if (!request.endsWith("END\n")) {
        if (request.size() >= kMaxRequestBytes)
            finish(false);
        else
            socket->setProperty("qbRequest", request);
        return;
    }

    QStringList files;
    const QList<QByteArray> lines = request.split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("OPEN "))
            files.append(QString::fromUtf8(line.mid(5)));
        else if (!line.isEmpty() && line != "END") {
            finish(false);
            return;
        }
    }
    // Files come while the program may be in the middle of long work that lets events through
    // (an import's progress): they are opened, and answered, once it has ended.
    socket->setProperty("qbDone", true);
    RunOutsideProgress([self = QPointer<CInstanceChannel>(this), guard = QPointer<QLocalSocket>(socket), finish, files] {
        const bool ok = self && self->m_handler ? self->m_handler(files) : false;
        if (guard)
            finish(ok);
    });
}

CInstanceChannel::Handover CInstanceChannel::SendFiles(const QString& name, const QStringList& files,
                                                       int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return Handover::NoInstance;
    QByteArray request;
    for (const QString& file : files) {
        // A line break inside a name would split the request; such a name cannot be handed on.
        if (file.contains(u'\n') || file.contains(u'\r'))
            return Handover::Failed;
        request += "OPEN " + file.toUtf8() + '\n';
    }
    request += "END\n";
    if (request.size() > kMaxRequestBytes)
        return Handover::Failed;
    socket.write(request);
    socket.flush();

    QElapsedTimer timer;
    timer.start();
    QByteArray answer;
    while (!answer.contains('\n') && timer.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - timer.elapsed()))))
            break;
        answer += socket.read(64);
    }
    return answer.startsWith("OK\n") ? Handover::Opened : Handover::Failed;
}
