#pragma once
// One running program per user and graphical session: a second start hands its files to the running one over a local
// socket and ends. The running program answers only after it has opened the files, with the
// outcome, so the second start can report a failure instead of a false success.
//
// Protocol (UTF-8 lines): the client sends "OPEN <absolute path>" per file and then "END"; the
// server answers "OK" when every file opened, otherwise "FAIL". Requests longer than
// kMaxRequestBytes are refused ("FAIL") without being read further.

#include <QObject>
#include <QPointer>
#include <QProcessEnvironment>
#include <QStringList>

#include <sys/types.h>

#include <functional>

class QLocalServer;
class QLocalSocket;
class QTimer;

class CInstanceChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxRequestBytes = 64 * 1024;

    enum class Handover { NoInstance, Opened, Failed };
    using OpenHandler = std::function<bool(const QStringList& files)>;

    explicit CInstanceChannel(QObject* parent = nullptr);
    ~CInstanceChannel() override;

    // The socket of this user's graphical session (see SessionName); empty when no private
    // folder can be had.
    static QString DefaultName();
    // The socket for a session described by env: $XDG_RUNTIME_DIR/quillbar-<display> when the
    // runtime folder is set and belongs to the user, else <tempDir>/quillbar-<uid>/<display>,
    // that folder made (or narrowed to) owner-only. <display> names the Wayland socket, else the
    // X display without its screen number. Empty when the folder is someone else's.
    static QString SessionName(const QProcessEnvironment& env, const QString& tempDir, uid_t uid);

    // Becomes the running instance. A socket left behind by a crashed program is taken over;
    // false when another program answers on the name or listening fails.
    bool Listen(const QString& name, OpenHandler handler);
    void Close();
    // Listens again when the socket was removed from under the running program (a clean-up of
    // the folder); called every few minutes while the program runs.
    void KeepListening();

    // Sends files to the running instance and waits for its answer.
    static Handover SendFiles(const QString& name, const QStringList& files, int timeoutMs = 30000);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    bool StartServer(const QString& name);

    QLocalServer* m_server = nullptr;
    OpenHandler m_handler;
    QString m_name;
    QTimer* m_keepTimer = nullptr;
};
