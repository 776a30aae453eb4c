#include "browser/startup/VelmoraPaths.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora {

QString TempFolderPath()
{
#ifdef _WIN32
    return QStringLiteral("C:\\Temp");
#else
    // A relative XDG_CACHE_HOME is invalid and ignored, as the base-directory rules say.
    QString strBase = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"));
    if (strBase.isEmpty() || !QDir::isAbsolutePath(strBase))
        strBase = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(strBase + QStringLiteral("/velmora"));
#endif
}

QString TempFilePath()
{
    return TempFolderPath() + QDir::separator() + QStringLiteral("tempFile");
}

bool EnsurePrivateFolder(const QString& strPath)
{
#ifdef _WIN32
    return QDir().mkpath(strPath);
#else
    const QByteArray path = QFile::encodeName(QDir::cleanPath(strPath));
    if (path.isEmpty())
        return false;
    // Make the parents first, each private when it is new.
    for (int i = 1; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        const QByteArray parent = path.left(i);
        if (::mkdir(parent.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    // A link in the folder's place was planted there: it goes (the place is in
    // a folder of ours, so the link is ours to remove) and a private folder
    // takes its place. What the link pointed to is not touched.
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(path.constData()) != 0)
        return false;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return false;
    return true;
#endif
}

} // namespace velmora
