#include "app/singleinstance.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

#include <unistd.h>

CInstanceChannel::CInstanceChannel(QObject* parent) : QObject(parent) {}

CInstanceChannel::~CInstanceChannel()
{
    Close();
}

QString CInstanceChannel::DefaultName()
{
    return QStringLiteral("quillbar-%1").arg(::getuid());
}

bool CInstanceChannel::Listen(const QString& name, OpenHandler handler)
{
    Close();
    m_handler = std::move(handler);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        if (m_server->serverError() != QAbstractSocket::AddressInUseError) {
            Close();
            return false;
        }
        // Someone answering means another instance runs; silence means a stale socket.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(1000)) {
            Close();
            return false;
        }
        QLocalServer::removeServer(name);
        if (!m_server->listen(name)) {
            Close();
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &CInstanceChannel::OnNewConnection);
    return true;
}

void CInstanceChannel::Close()
{
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
    QPointer<QLocalSocket> guard(socket);
    const bool ok = m_handler ? m_handler(files) : false;
    if (guard)
        finish(ok);
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
