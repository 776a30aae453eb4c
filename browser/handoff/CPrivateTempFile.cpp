#include "browser/handoff/CPrivateTempFile.h"

#include "browser/startup/VelmoraPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrnoText(int nErrno)
{
    return QString::fromLocal8Bit(std::strerror(nErrno));
}

}  // namespace

CPrivateTempFile::CPrivateTempFile(QString strFinalPath) : m_strFinalPath(std::move(strFinalPath))
{
    const QFileInfo info(m_strFinalPath);
    m_strFolder = info.absolutePath();
    m_finalName = QFile::encodeName(info.fileName());
}

CPrivateTempFile::~CPrivateTempFile()
{
    Discard();
    if (m_nDirFd >= 0)
        ::close(m_nDirFd);
}

bool CPrivateTempFile::Fail(const QString& strWhy)
{
    if (m_strError.isEmpty())
        m_strError = strWhy;
    return false;
}

bool CPrivateTempFile::FailErrno(int nErrno)
{
    return Fail(ErrnoText(nErrno));
}

bool CPrivateTempFile::Create()
{
    Discard();
    m_strError.clear();
    if (m_nDirFd < 0) {
        // A planted link in the folder's place goes and a private folder takes
        // it; the open below then refuses anything that is still not ours.
        velmora::EnsurePrivateFolder(m_strFolder);
        m_nDirFd = ::open(QFile::encodeName(m_strFolder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (m_nDirFd < 0)
            return Fail(errno == ELOOP || errno == ENOTDIR
                            ? QStringLiteral("it is not a folder but a link or a file")
                            : ErrnoText(errno));
        struct stat st {};
        if (::fstat(m_nDirFd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
            ::close(m_nDirFd);
            m_nDirFd = -1;
            return Fail(QStringLiteral("it is not private to you (another user owns it or may enter it)"));
        }
        RemoveLeftovers(m_nDirFd, m_finalName);
    }
    // A fresh name each time: O_EXCL fails on anything already there, a link included.
    for (int nTry = 0; nTry < 16; ++nTry) {
        const QByteArray name = m_finalName + ".part-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        m_nFd = ::openat(m_nDirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_nFd >= 0) {
            // Held while it is written: another run's clean-up leaves it alone.
            ::flock(m_nFd, LOCK_EX | LOCK_NB);
            m_tempName = name;
            return true;
        }
        if (errno != EEXIST)
            return FailErrno(errno);
    }
    return FailErrno(EEXIST);
}

bool CPrivateTempFile::Write(const char* pData, qint64 nBytes)
{
    if (m_nFd < 0)
        return Fail(QStringLiteral("the file is not open"));
    while (nBytes > 0) {
        const ssize_t nDone = ::write(m_nFd, pData, size_t(nBytes));
        if (nDone < 0) {
            if (errno == EINTR)
                continue;
            return FailErrno(errno);
        }
        pData += nDone;
        nBytes -= nDone;
    }
    return true;
}

bool CPrivateTempFile::Commit()
{
    if (m_nFd < 0)
        return Fail(QStringLiteral("the file is not open"));
    // Space is reserved lazily on some file systems: an error can first show
    // at the flush or the close, and then the sound is not whole.
    const bool bSynced = ::fsync(m_nFd) == 0 || errno == EINVAL;
    const int nSyncErrno = errno;
    const bool bClosed = ::close(m_nFd) == 0;
    const int nCloseErrno = errno;
    m_nFd = -1;
    if (!bSynced || !bClosed) {
        Discard();
        return FailErrno(!bSynced ? nSyncErrno : nCloseErrno);
    }
    // The rename replaces whatever holds the final name, a planted link too,
    // without touching what that link points to.
    if (::renameat(m_nDirFd, m_tempName.constData(), m_nDirFd, m_finalName.constData()) != 0) {
        const int nErrno = errno;
        Discard();
        return FailErrno(nErrno);
    }
    m_tempName.clear();
    return true;
}

void CPrivateTempFile::RemoveLeftovers(const QString& strFinalPath)
{
    const QFileInfo info(strFinalPath);
    const int nDirFd = ::open(QFile::encodeName(info.absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (nDirFd < 0)
        return;
    struct stat st {};
    if (::fstat(nDirFd, &st) == 0 && st.st_uid == ::geteuid())
        RemoveLeftovers(nDirFd, QFile::encodeName(info.fileName()));
    ::close(nDirFd);
}

void CPrivateTempFile::RemoveLeftovers(int nDirFd, const QByteArray& finalName)
{
    // Partial files of a run that was killed: "<name>.part-<hex>", regular,
    // and locked by nobody (a running download holds its own).
    const int nListFd = ::openat(nDirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* pDir = nListFd >= 0 ? ::fdopendir(nListFd) : nullptr;
    if (!pDir) {
        if (nListFd >= 0)
            ::close(nListFd);
        return;
    }
    const QByteArray prefix = finalName + ".part-";
    while (const dirent* pEntry = ::readdir(pDir)) {
        if (!QByteArray(pEntry->d_name).startsWith(prefix))
            continue;
        const int nFd = ::openat(nDirFd, pEntry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (nFd < 0)
            continue;
        struct stat st {};
        if (::fstat(nFd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(nFd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(nDirFd, pEntry->d_name, 0);
        ::close(nFd);
    }
    ::closedir(pDir);
}

void CPrivateTempFile::Discard()
{
    if (m_nFd >= 0) {
        ::close(m_nFd);
        m_nFd = -1;
    }
    if (!m_tempName.isEmpty() && m_nDirFd >= 0)
        ::unlinkat(m_nDirFd, m_tempName.constData(), 0);
    m_tempName.clear();
}
