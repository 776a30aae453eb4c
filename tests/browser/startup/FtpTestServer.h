#pragma once
// A real FTP server for the connection tests: pyftpdlib on 127.0.0.1 at a free
// port, anonymous unless a user is given. The test reads its log as it comes.
#include "tests/support/AwaitEvent.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace velmora_test {

// A port nothing listens on right now (bound once by us, then released).
inline int FreeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t nLen = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

inline bool CanConnect(int nPort)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    const bool bOk = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (fd >= 0)
        ::close(fd);
    return bOk;
}

// A socket that accepts connections (the kernel completes them) but never
// says a word: a server that hangs before its greeting.
class CSilentServer {
public:
    CSilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t nLen = sizeof addr;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
            && ::listen(m_fd, 4) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &nLen) == 0)
            m_nPort = ntohs(addr.sin_port);
    }
    ~CSilentServer()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Port() const { return m_nPort; }
    // Waits until a client has connected (it waits in the backlog, never
    // accepted); true once one has.
    bool AwaitCaller(int nTimeoutMs = testsupport::kEventBoundMs) const
    {
        pollfd fd{m_fd, POLLIN, 0};
        return m_fd >= 0 && ::poll(&fd, 1, nTimeoutMs) == 1;
    }

private:
    int m_fd = -1;
    int m_nPort = 0;
};

class CFtpTestServer {
public:
    ~CFtpTestServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(testsupport::kEventBoundMs);
        }
    }

    bool Start(const QString& strUser = QString(), const QString& strPassword = QString())
    {
        if (!m_dir.isValid())
            return false;
        m_nPort = FreeTcpPort();
        QStringList args{QStringLiteral("-m"), QStringLiteral("pyftpdlib"),
                         QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                         QStringLiteral("-p"), QString::number(m_nPort),
                         QStringLiteral("-d"), m_dir.path()};
        if (!strUser.isEmpty())
            args << QStringLiteral("-u") << strUser << QStringLiteral("-P") << strPassword;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(VELMORA_TEST_PYTHON), args);
        if (!m_process.waitForStarted(testsupport::kEventBoundMs))
            return false;
        // It listens before it logs its start.
        return WaitForLog(QStringLiteral(">>> starting FTP server"));
    }

    int Port() const { return m_nPort; }
    QString HostText() const { return QStringLiteral("127.0.0.1:%1").arg(m_nPort); }

    // Waits until the server's log holds strText; true once it does, false
    // when the server ended or the bound passed without it.
    bool WaitForLog(const QString& strText, int nTimeoutMs = testsupport::kEventBoundMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
        while (!Log().contains(strText))
            if (!m_process.waitForReadyRead(testsupport::MsLeft(deadline)))
                return Log().contains(strText);
        return true;
    }

    // What the server has logged so far.
    QString Log()
    {
        m_strLog += QString::fromLocal8Bit(m_process.readAll());
        return m_strLog;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_strLog;
    int m_nPort = 0;
};

} // namespace velmora_test
