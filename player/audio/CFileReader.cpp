#include "player/audio/CFileReader.h"

#include "common/InputFile.h"
#include "common/SplitWork.h"
#include "player/audio/CFileException.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Describe(const char* what, const std::string& path, int err)
{
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

// Reads up to nBytes, retrying interrupted and partial reads; at file offset
// nAt (pread, the descriptor's position untouched), or at the descriptor's
// position when nAt is negative (read, which streams need). Fewer bytes only
// at the end of the file.
std::size_t ReadFully(int fd, unsigned char* p, std::size_t nBytes, int64_t nAt, const std::string& path)
{
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        // Linux hands out at most about 2 GB per call.
        const std::size_t nAsk = std::min(nBytes - nDone, std::size_t(1) << 30);
        const ssize_t n = nAt < 0 ? ::read(fd, p + nDone, nAsk) : ::pread(fd, p + nDone, nAsk, off_t(nAt + int64_t(nDone)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            throw CFileException(Describe("cannot read", path, err), err);
        }
        if (n == 0)
            break;
        nDone += std::size_t(n);
    }
    return nDone;
}
} // namespace

CFileReader::~CFileReader() { Abort(); }

bool CFileReader::Open(const std::string& path)
{
    Abort();
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    // A FIFO, a device or a folder is refused at once, before and after the
    // open, so nothing here waits for a writer or reads a device for ever.
    const sonavel::files::InputFile file = sonavel::files::OpenInputFile(path);
    m_szNotAFile = file.szNotAFile;
    if (file.fd < 0) {
        errno = file.nErrno;
        return false;
    }
    const int fd = file.fd;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    m_fd = fd;
    m_nPos = 0;
    m_nLength = int64_t(st.st_size);
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
    const std::size_t nDone = ReadFully(m_fd, static_cast<unsigned char*>(pBuf), nBytes, -1, m_strPath);
    m_nPos += int64_t(nDone);
    return nDone;
}

std::size_t CFileReader::ReadSpread(void* pBuf, std::size_t nBytes, int64_t nPos)
{
    if (m_fd < 0)
        throw CFileException("read from a closed file", EBADF);
    if (nPos < 0)
        throw CFileException(Describe("seek before the start of", m_strPath, EINVAL), EINVAL);
    // Below this a second thread costs more than it saves.
    const std::size_t kSpreadFrom = std::size_t(32) << 20;
    const unsigned nCores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t nParts = nBytes < kSpreadFrom ? 1 : std::min<std::size_t>(nCores, 8);
    const std::size_t nPart = (nBytes / nParts + 4095) & ~std::size_t(4095);

    // Part k covers [k * nPart, ...); pread leaves the shared position alone.
    std::vector<std::size_t> got(nParts, 0);
    std::vector<std::exception_ptr> failed(nParts);
    auto PartBytes = [&](std::size_t k) { return std::min(nPart, nBytes - std::min(nBytes, k * nPart)); };
    auto ReadPart = [&](std::size_t k) {
        auto* p = static_cast<unsigned char*>(pBuf) + k * nPart;
        try {
            got[k] = ReadFully(m_fd, p, PartBytes(k), nPos + int64_t(k * nPart), m_strPath);
        } catch (...) {
            failed[k] = std::current_exception();
        }
    };
    sonavel::RunSplit(nParts, int(nParts), [&](std::size_t k0, std::size_t k1) {
        for (std::size_t k = k0; k < k1; ++k)
            ReadPart(k);
    });
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
    // What was read without a gap from the start.
    std::size_t nDone = 0;
    for (std::size_t k = 0; k < nParts; ++k) {
        nDone += got[k];
        if (got[k] < PartBytes(k))
            break;
    }
    Seek(nPos + int64_t(nDone));
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
