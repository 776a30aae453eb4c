#pragma once
// A file system of a few blocks in a folder of its own, mounted for a test and
// unmounted at its end, for what a full disk does to a writer. Mounting needs
// the right to (root, in a system that lets it); without it Mounted() is false
// and Why() says so, for the test's skip.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/support/CScratchDir.h"

namespace testsupport {

class CSmallDisk {
public:
    explicit CSmallDisk(int nKiB)
    {
        const std::string strOptions = "size=" + std::to_string(nKiB) + "k";
        m_bMounted = ::mount("tmpfs", m_dir.Path().c_str(), "tmpfs", 0, strOptions.c_str()) == 0;
        if (!m_bMounted)
            m_strWhy = std::string("no tmpfs could be mounted for a full disk (") + std::strerror(errno) + ")";
    }
    ~CSmallDisk()
    {
        if (m_bMounted)
            ::umount2(m_dir.Path().c_str(), MNT_DETACH);
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool Mounted() const { return m_bMounted; }
    const std::string& Why() const { return m_strWhy; }
    const std::string& Path() const { return m_dir.Path(); }
    std::string operator/(const std::string& name) const { return m_dir / name; }

    // Takes every block left, so the next write fails with ENOSPC.
    void Fill() const
    {
        const int fd = ::open((m_dir / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string block(4096, 'x');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
        }
        while (fd >= 0 && ::write(fd, block.data(), 1) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    }

private:
    CScratchDir m_dir;
    bool m_bMounted = false;
    std::string m_strWhy;
};

} // namespace testsupport
