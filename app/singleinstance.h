#pragma once
// One running program per user: a second start hands its files to the running one over a local
// socket and ends. The running program answers only after it has opened the files, with the
// outcome, so the second start can report a failure instead of a false success.
//
// Protocol (UTF-8 lines): the client sends "OPEN <absolute path>" per file and then "END"; the
// server answers "OK" when every file opened, otherwise "FAIL". Requests longer than
// kMaxRequestBytes are refused ("FAIL") without being read further.

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class QLocalServer;
class QLocalSocket;

class CInstanceChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxRequestBytes = 64 * 1024;

    enum class Handover { NoInstance, Opened, Failed };
    using OpenHandler = std::function<bool(const QStringList& files)>;

    explicit CInstanceChannel(QObject* parent = nullptr);
    ~CInstanceChannel() override;

    // The server name for the current user.
    static QString DefaultName();

    // Becomes the running instance. A socket left behind by a crashed program is taken over;
    // false when another program answers on the name or listening fails.
    bool Listen(const QString& name, OpenHandler handler);
    void Close();

    // Sends files to the running instance and waits for its answer.
    static Handover SendFiles(const QString& name, const QStringList& files, int timeoutMs = 30000);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QLocalServer* m_server = nullptr;
    OpenHandler m_handler;
};
