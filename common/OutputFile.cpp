#include "common/OutputFile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace sonavel {
namespace files {

namespace {

// Bytes gathered before a write: rows of a table come a few dozen at a time.
constexpr std::size_t kBufferBytes = 1 << 16;
// The part of the final name the temporary name keeps, so a file left by a
// crash says whose it was; with the dot, a second dot and six letters the name
// stays far below the 255 bytes a name may have, however long the final one.
constexpr std::size_t kKeptNameBytes = 32;
// Links followed before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& strPath)
{
    const std::size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos)
        return ".";
    return nSlash == 0 ? "/" : strPath.substr(0, nSlash);
}

std::string NameOf(const std::string& strPath)
{
    const std::size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

bool IsProcFolder(const std::string& strFolder)
{
    struct statfs fs {};
    return ::statfs(strFolder.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// The descriptor a link of /proc names when it is one of this process's own
// (/proc/self/fd/N, /proc/thread-self/fd/N, /proc/PID/fd/N, /dev/fd/N), else -1.
int OwnDescriptor(const std::string& strLink)
{
    const std::string strPid = std::to_string(::getpid());
    for (const std::string& strFolder : {std::string("/proc/self/fd/"), "/proc/" + strPid + "/fd/",
                                         std::string("/proc/thread-self/fd/"), std::string("/dev/fd/")}) {
        if (strLink.compare(0, strFolder.size(), strFolder) != 0)
            continue;
        const std::string strNumber = strLink.substr(strFolder.size());
        if (strNumber.empty() || strNumber.size() > 9 || strNumber.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::stoi(strNumber);
    }
    return -1;
}

// Where strPath leads: the path after its links, and whether one of them was a
// descriptor's link of /proc (which only ever leads to something open, and is
// written through, never replaced). A link's folder is its own link's folder
// as written, so /dev/stdout -> /proc/self/fd/1 is seen as what it is.
struct Destination {
    std::string strPath;
    std::string strProcLink; // the /proc link the path went through, or empty
    int nErrno = 0;
};

Destination Resolve(const std::string& strPath)
{
    Destination dest{strPath, {}, 0};
    for (int nLinks = 0;; ++nLinks) {
        struct stat st {};
        if (::lstat(dest.strPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return dest;
        if (IsProcFolder(FolderOf(dest.strPath))) {
            dest.strProcLink = dest.strPath;
            return dest;
        }
        if (nLinks == kMaxLinks) {
            dest.nErrno = ELOOP;
            return dest;
        }
        std::string strTarget(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(dest.strPath.c_str(), strTarget.data(), strTarget.size());
        if (n < 0 || std::size_t(n) >= strTarget.size()) {
            dest.nErrno = n < 0 ? errno : ENAMETOOLONG;
            return dest;
        }
        strTarget.resize(std::size_t(n));
        dest.strPath = strTarget[0] == '/' ? strTarget : FolderOf(dest.strPath) + "/" + strTarget;
    }
}

// Six letters of a name no other call of any process is likely to take.
std::string Letters()
{
    static std::atomic<std::uint64_t> s_nCalls{0};
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t n = std::uint64_t(now.tv_nsec) ^ (std::uint64_t(now.tv_sec) << 30) ^
                      (std::uint64_t(::getpid()) << 20) ^ (s_nCalls++ * 0x9E3779B97F4A7C15ull);
    static const char kszAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s;
    for (int i = 0; i < 6; ++i, n /= 62)
        s += kszAlphabet[n % 62];
    return s;
}

// ".NAME." with NAME cut to kKeptNameBytes at a character's start.
std::string TemporaryPrefix(const std::string& strName)
{
    std::size_t nKeep = std::min(strName.size(), kKeptNameBytes);
    while (nKeep > 0 && nKeep < strName.size() && (static_cast<unsigned char>(strName[nKeep]) & 0xC0) == 0x80)
        --nKeep;
    return "." + strName.substr(0, nKeep) + ".";
}

} // namespace

COutputFile::COutputFile(char* szNameSlot, std::size_t nSlot) : m_szNameSlot(szNameSlot), m_nSlot(nSlot)
{
    if (m_szNameSlot && m_nSlot > 0)
        m_szNameSlot[0] = 0;
}

COutputFile::~COutputFile() { Discard(); }

bool COutputFile::Fail(int nErrno)
{
    if (m_nErrno == 0)
        m_nErrno = nErrno != 0 ? nErrno : EIO;
    return false;
}

bool COutputFile::Open(const std::string& strPath)
{
    Discard();
    m_nErrno = 0;
    m_bInPlace = false;
    m_buffer.clear();
    if (strPath.empty())
        return Fail(ENOENT);
    const Destination dest = Resolve(strPath);
    if (dest.nErrno != 0)
        return Fail(dest.nErrno);
    if (!dest.strProcLink.empty()) {
        // Through the descriptor itself, where this process holds it: its
        // position and append mode stay as the shell made them.
        const int nOwn = OwnDescriptor(dest.strProcLink);
        const int nFlags = nOwn >= 0 ? ::fcntl(nOwn, F_GETFL) : -1;
        m_bInPlace = true;
        if (nFlags >= 0 && (nFlags & O_ACCMODE) != O_RDONLY) {
            m_fd = ::fcntl(nOwn, F_DUPFD_CLOEXEC, 0);
            return m_fd >= 0 || Fail(errno);
        }
        // Another's descriptor, opened anew: a file behind it is begun again,
        // as a shell's > would.
        m_fd = ::open(dest.strProcLink.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        struct stat opened {};
        if (m_fd >= 0 && ::fstat(m_fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::ftruncate(m_fd, 0) != 0)
            return Fail(errno);
        return m_fd >= 0 || Fail(errno);
    }
    struct stat st {};
    const bool bExists = ::stat(dest.strPath.c_str(), &st) == 0;
    if (!bExists && errno != ENOENT)
        return Fail(errno);
    if (bExists && S_ISDIR(st.st_mode))
        return Fail(EISDIR);
    if (bExists && !S_ISREG(st.st_mode)) {
        // A FIFO waits here for its reader, as a shell's redirection does.
        m_fd = ::open(dest.strPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            return Fail(errno);
        struct stat opened {};
        if (::fstat(m_fd, &opened) == 0 && !S_ISREG(opened.st_mode)) {
            m_bInPlace = true;
            return true;
        }
        // Made a regular file meanwhile: it is replaced whole like any other.
        ::close(m_fd);
        m_fd = -1;
    }

    const std::string strFolder = FolderOf(dest.strPath);
    m_dirFd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0 && errno == EACCES) // a folder one may write but not list
        m_dirFd = ::open(strFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return Fail(errno);
    m_strFinal = NameOf(dest.strPath);
    // The kernel applies the umask to the new file (mkstemp's 0600 would not).
    const std::string strPrefix = TemporaryPrefix(m_strFinal);
    for (int nTry = 0; nTry < 100 && m_fd < 0; ++nTry) {
        m_strTemp = strPrefix + Letters();
        m_fd = ::openat(m_dirFd, m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const int nErrno = errno;
        m_strTemp.clear();
        Discard();
        return Fail(nErrno);
    }
    const std::string strTempPath = strFolder + "/" + m_strTemp;
    if (m_szNameSlot && strTempPath.size() < m_nSlot)
        std::memcpy(m_szNameSlot, strTempPath.c_str(), strTempPath.size() + 1);
    // A file replaced keeps its permissions and, where we may, its owner.
    struct stat now {};
    if (::stat(dest.strPath.c_str(), &now) == 0 && S_ISREG(now.st_mode)) {
        if (::fchmod(m_fd, now.st_mode & 07777) != 0) {
            const int nErrno = errno;
            Discard();
            return Fail(nErrno);
        }
        if (now.st_uid != ::geteuid() || now.st_gid != ::getegid())
            (void)!::fchown(m_fd, now.st_uid, now.st_gid);
    }
    return true;
}

bool COutputFile::WriteAll(const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t nDone = ::write(m_fd, p, n);
        if (nDone < 0 && errno == EINTR)
            continue;
        if (nDone <= 0)
            return Fail(nDone < 0 ? errno : ENOSPC);
        p += nDone;
        n -= std::size_t(nDone);
    }
    return true;
}

bool COutputFile::Flush()
{
    const bool bOk = WriteAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return bOk;
}

bool COutputFile::Write(const void* p, std::size_t nBytes)
{
    if (m_fd < 0 || m_nErrno != 0)
        return Fail(EBADF);
    const char* pc = static_cast<const char*>(p);
    if (m_buffer.size() + nBytes > kBufferBytes && !Flush())
        return false;
    if (nBytes >= kBufferBytes)
        return WriteAll(pc, nBytes); // a large block goes straight on, never held twice
    m_buffer.append(pc, nBytes);
    return true;
}

bool COutputFile::Commit()
{
    if (m_fd < 0)
        return Fail(EBADF);
    bool bOk = m_nErrno == 0 && Flush();
    // A device or a FIFO has nothing to sync; a file must be on the disk
    // before its name is.
    if (bOk && !m_bInPlace && ::fsync(m_fd) != 0)
        bOk = Fail(errno);
    if (::close(m_fd) != 0 && bOk)
        bOk = Fail(errno);
    m_fd = -1;
    if (bOk && !m_bInPlace) {
        if (::renameat(m_dirFd, m_strTemp.c_str(), m_dirFd, m_strFinal.c_str()) != 0) {
            bOk = Fail(errno);
        } else {
            m_strTemp.clear();
            // The rename lasts once the folder is synced; a folder that cannot
            // be (some file systems refuse) leaves the file written.
            ::fsync(m_dirFd);
        }
    }
    Discard();
    return bOk;
}

void COutputFile::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_strTemp.empty())
        ::unlinkat(m_dirFd, m_strTemp.c_str(), 0);
    m_strTemp.clear();
    if (m_szNameSlot && m_nSlot > 0)
        m_szNameSlot[0] = 0;
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    m_dirFd = -1;
}

bool WriteWholeFile(const std::string& strPath, std::string_view bytes, int& nErrno)
{
    COutputFile file;
    const bool bOk = file.Open(strPath) && file.Write(bytes.data(), bytes.size()) && file.Commit();
    nErrno = file.Error();
    return bOk;
}

std::string DescribeWriteFailure(const std::string& strPath, int nErrno)
{
    return "cannot write " + strPath + ": " + std::strerror(nErrno);
}

} // namespace files
} // namespace sonavel
