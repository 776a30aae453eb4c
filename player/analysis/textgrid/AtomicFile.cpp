#include "player/analysis/textgrid/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace sonavel::textgrid {

namespace {

// The file a link leads to, so that the link itself is not replaced by a file.
std::string FinalPath(const std::string& strPath)
{
    struct stat st {};
    if (::lstat(strPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return strPath;
    char resolved[PATH_MAX];
    return ::realpath(strPath.c_str(), resolved) ? std::string(resolved) : strPath;
}

std::string FolderOf(const std::string& strPath)
{
    const std::size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos)
        return ".";
    return nSlash == 0 ? "/" : strPath.substr(0, nSlash);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& strPath, std::string_view bytes, int& nErrno)
{
    const std::string strTarget = FinalPath(strPath);
    // A name of its own per process and call: O_EXCL never opens another's
    // file, and the kernel applies the umask (mkstemp's 0600 would not).
    static std::atomic<unsigned> s_nCalls{0};
    std::string strTemp;
    int fd = -1;
    for (int nTry = 0; nTry < 100 && fd < 0; ++nTry) {
        strTemp = strTarget + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(s_nCalls++);
        fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        nErrno = errno;
        return false;
    }
    struct stat st {};
    bool bOk = true;
    if (::stat(strTarget.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        bOk = ::fchmod(fd, st.st_mode & 07777) == 0;
    bOk = bOk && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    nErrno = bOk ? 0 : errno;
    if (::close(fd) != 0 && bOk) {
        bOk = false;
        nErrno = errno;
    }
    if (bOk && ::rename(strTemp.c_str(), strTarget.c_str()) != 0) {
        bOk = false;
        nErrno = errno;
    }
    if (!bOk) {
        ::unlink(strTemp.c_str());
        return false;
    }
    // The rename itself lasts only once the folder is synced; a folder that
    // cannot be synced (some file systems refuse) leaves the file written.
    const int dirFd = ::open(FolderOf(strTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace sonavel::textgrid
