#include "browser/handoff/LocalSoundCopy.h"

#include "browser/handoff/CPrivateTempFile.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

// Closes the descriptor however the copy ends.
class CFdHolder {
public:
    explicit CFdHolder(int nFd) : m_nFd(nFd) {}
    ~CFdHolder()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    CFdHolder(const CFdHolder&) = delete;
    CFdHolder& operator=(const CFdHolder&) = delete;
    int Fd() const { return m_nFd; }

private:
    int m_nFd;
};

#ifdef O_PATH
// A folder on the way needs to be searchable only, not readable.
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kWalkFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

// Opens the absolute link-free path one part at a time, following no link:
// a part that became a link fails (ELOOP, ENOTDIR). Non-blocking, so a pipe
// put in the file's place cannot hold the browser.
int OpenWithoutLinks(const QByteArray& path)
{
    if (!path.startsWith('/')) {
        errno = EINVAL;
        return -1;
    }
    int nDirFd = ::open("/", kWalkFlags);
    const QList<QByteArray> parts = path.mid(1).split('/');
    for (qsizetype i = 0; i < parts.size() && nDirFd >= 0; ++i) {
        const bool bLast = i + 1 == parts.size();
        const int nFd = ::openat(nDirFd, parts[i].constData(),
                                 bLast ? O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC : kWalkFlags);
        const int nErrno = errno;
        ::close(nDirFd);
        errno = nErrno;
        if (bLast)
            return nFd;
        nDirFd = nFd;
    }
    return -1;
}

}  // namespace

SCheckedFile CheckLocalFile(const QString& strPath)
{
    SCheckedFile checked;
    char* szReal = ::realpath(QFile::encodeName(strPath).constData(), nullptr);
    if (!szReal)
        return checked;
    const QByteArray real(szReal);
    std::free(szReal);
    struct stat st {};
    if (::stat(real.constData(), &st) != 0)
        return checked;
    checked.strRealPath = QFile::decodeName(real);
    checked.nDevice = quint64(st.st_dev);
    checked.nInode = quint64(st.st_ino);
    return checked;
}

ELocalCopy CopyCheckedFile(const SCheckedFile& checked, const QString& strDestination, QString* pstrWriteError)
{
    if (!checked.IsFound())
        return ELocalCopy::NoSound;
    const CFdHolder source(OpenWithoutLinks(QFile::encodeName(checked.strRealPath)));
    if (source.Fd() < 0)
        return errno == ELOOP || errno == ENOTDIR ? ELocalCopy::NotTheCheckedFile : ELocalCopy::NoSound;
    struct stat st {};
    if (::fstat(source.Fd(), &st) != 0)
        return ELocalCopy::NoSound;
    if (quint64(st.st_dev) != checked.nDevice || quint64(st.st_ino) != checked.nInode)
        return ELocalCopy::NotTheCheckedFile;
    // Only regular files: a directory, a pipe or a device is no sound to copy.
    if (!S_ISREG(st.st_mode) || ::fcntl(source.Fd(), F_SETFL, 0) != 0)
        return ELocalCopy::NoSound;

    CPrivateTempFile target(strDestination);
    bool bWritten = target.Create();
    char buffer[64 * 1024];
    while (bWritten) {
        const ssize_t nRead = ::read(source.Fd(), buffer, sizeof buffer);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0)
            return ELocalCopy::NoSound;  // a source that fails mid-way is no whole sound
        if (nRead == 0)
            break;
        bWritten = target.Write(buffer, nRead);
    }
    if (bWritten && target.Commit())
        return ELocalCopy::Copied;
    if (pstrWriteError)
        *pstrWriteError = target.ErrorText();
    return ELocalCopy::WriteFailed;
}

bool CopyFileReplacing(const QString& strSource, const QString& strDestination, QString* pstrWriteError)
{
    return CopyCheckedFile(CheckLocalFile(strSource), strDestination, pstrWriteError) == ELocalCopy::Copied;
}

}  // namespace velmora
