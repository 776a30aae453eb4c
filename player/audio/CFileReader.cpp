#include "player/audio/CFileReader.h"

#include "player/audio/CFileException.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Describe(const char* what, const std::string& path, int err)
{
    return std::string(what) + " " + path + ": " + std::strerror(err);
}
} // namespace

CFileReader::~CFileReader() { Abort(); }

bool CFileReader::Open(const std::string& path)
{
    Abort();
    if (path.empty())
        return false;
    // O_NONBLOCK only for the open itself, so a FIFO without a writer cannot hang
    // the player here.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_nPos = 0;
    m_nLength = S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
    m_strPath = path;
    // The readers read each file once from front to back in large pieces.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

void CFileReader::Seek(int64_t nPos)
{
    if (m_fd < 0)
        throw CFileException("seek on a closed file", EBADF);
    if (nPos < 0)
        throw CFileException(Describe("seek before the start of", m_strPath, EINVAL), EINVAL);
    if (::lseek(m_fd, off_t(nPos), SEEK_SET) < 0) {
        int err = errno;
        throw CFileException(Describe("cannot seek in", m_strPath, err), err);
    }
    m_nPos = nPos;
}

std::size_t CFileReader::Read(void* pBuf, std::size_t nBytes)
{
    if (m_fd < 0)
        throw CFileException("read from a closed file", EBADF);
    auto* p = static_cast<unsigned char*>(pBuf);
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        // Linux hands out at most about 2 GB per call.
        std::size_t nAsk = nBytes - nDone;
        if (nAsk > (std::size_t(1) << 30))
            nAsk = std::size_t(1) << 30;
        ssize_t n = ::read(m_fd, p + nDone, nAsk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            throw CFileException(Describe("cannot read", m_strPath, err), err);
        }
        if (n == 0)
            break;
        nDone += std::size_t(n);
    }
    m_nPos += int64_t(nDone);
    return nDone;
}

void CFileReader::Close()
{
    if (m_fd < 0)
        return;
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        int err = errno;
        throw CFileException(Describe("cannot close", m_strPath, err), err);
    }
}

void CFileReader::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
