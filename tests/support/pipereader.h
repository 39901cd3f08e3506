#pragma once
// A reader at the other end of a named pipe, for tests that write into one.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>

// Reads a pipe from a thread of its own, which also holds the pipe open for writing so that the
// reader is never gone before Stop; or, given `keep`, closes it after that many bytes (the
// reader goes away while the writer still writes).
class PipeReader {
public:
    explicit PipeReader(const QString& path, qsizetype keep = -1) : m_keep(keep)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        EXPECT_GE(m_fd, 0) << std::strerror(errno);
        m_thread = std::thread([this] {
            char buffer[4096];
            for (;;) {
                const size_t want = m_keep < 0 ? sizeof buffer : std::min(sizeof buffer, size_t(m_keep - m_bytes.size()));
                // A writer that never comes ends the wait after a minute.
                pollfd ready{m_fd, POLLIN, 0};
                if (want == 0 || ::poll(&ready, 1, 60000) != 1)
                    break;
                const ssize_t n = ::read(m_fd, buffer, want);
                if (n <= 0)
                    break;
                m_bytes.append(buffer, n);
                if (m_keep < 0 && m_bytes.endsWith(End())) {
                    m_bytes.chop(End().size());
                    break;
                }
            }
            if (m_keep >= 0)
                ::close(std::exchange(m_fd, -1));
        });
    }
    // Everything that came through the pipe.
    QByteArray Stop()
    {
        if (m_keep < 0) {
            EXPECT_EQ(::write(m_fd, End().constData(), size_t(End().size())), End().size());
        }
        m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
        return m_bytes;
    }

private:
    static QByteArray End() { return QByteArrayLiteral("\n-- the end of the test's pipe --\n"); }
    qsizetype m_keep;
    int m_fd = -1;
    QByteArray m_bytes;
    std::thread m_thread;
};

