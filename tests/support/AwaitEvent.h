#pragma once
// Waits for an event outside any event loop, without Qt: a process's end, a
// file opened, a file grown. Each blocks on the kernel's own notice (a pidfd,
// inotify) and returns as soon as it comes; the bound only limits a failure.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "tests/support/EventBound.h"

namespace testsupport {

// Milliseconds left until the deadline, at least 0.
inline int MsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until pid has ended (a zombie has ended); any process, not only a
// child. True once it has, or when it is gone already.
inline bool AwaitProcessEnd(pid_t pid, int nTimeoutMs = kEventBoundMs)
{
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return errno == ESRCH;
    pollfd p{fd, POLLIN, 0};
    const bool bEnded = ::poll(&p, 1, nTimeoutMs) == 1;
    ::close(fd);
    return bEnded;
}

// Watches files for the moment something opens them. Made before whatever
// opens them starts, so no open can come too early to be seen.
class CFileOpenWatch {
public:
    explicit CFileOpenWatch(const std::vector<std::string>& paths) : m_fd(::inotify_init1(IN_CLOEXEC))
    {
        for (const std::string& path : paths)
            m_pending.insert(::inotify_add_watch(m_fd, path.c_str(), IN_OPEN));
    }
    ~CFileOpenWatch() { ::close(m_fd); }
    CFileOpenWatch(const CFileOpenWatch&) = delete;
    CFileOpenWatch& operator=(const CFileOpenWatch&) = delete;

    // True once every file has been opened since the watch was made.
    bool AwaitAll(int nTimeoutMs = kEventBoundMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
        alignas(inotify_event) char buf[4096];
        while (!m_pending.empty() && m_pending.count(-1) == 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, MsLeft(deadline)) != 1)
                return false;
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            for (ssize_t at = 0; at < n;) {
                const auto* pEvent = reinterpret_cast<const inotify_event*>(buf + at);
                m_pending.erase(pEvent->wd);
                at += static_cast<ssize_t>(sizeof(inotify_event) + pEvent->len);
            }
        }
        return m_pending.empty();
    }

private:
    int m_fd;
    std::set<int> m_pending; // watches not yet opened (-1: a watch that failed)
};

// Blocks, without running any event loop, until the file at path is at least
// nBytes long: each write to it wakes the wait.
inline bool AwaitFileSize(const std::string& path, long long nBytes, int nTimeoutMs = kEventBoundMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    const int fd = ::inotify_init1(IN_CLOEXEC);
    const bool bWatched = ::inotify_add_watch(fd, path.c_str(), IN_MODIFY) >= 0;
    struct stat st {};
    bool bGrown = false;
    alignas(inotify_event) char buf[4096];
    while (bWatched && !(bGrown = ::stat(path.c_str(), &st) == 0 && st.st_size >= nBytes)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) != 1 || ::read(fd, buf, sizeof buf) <= 0)
            break;
    }
    ::close(fd);
    return bGrown;
}

} // namespace testsupport
