#include "browser/handoff/CPlayerLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <utility>

namespace {

QString ExecutableIn(const QString& strDir)
{
    if (strDir.isEmpty())
        return {};
    QString strName = QLatin1String(CPlayerLauncher::kPlayerName);
#ifdef Q_OS_WIN
    strName += QLatin1String(".exe");
#endif
    const QFileInfo info(QDir(strDir).filePath(strName));
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
}

}  // namespace

CPlayerLauncher::CPlayerLauncher(QString strOwnDir, QString strStartupDir)
    : m_strOwnDir(std::move(strOwnDir)), m_strStartupDir(std::move(strStartupDir))
{
}

QString CPlayerLauncher::Locate() const
{
    QString strPath = ExecutableIn(m_strOwnDir);
    if (strPath.isEmpty())
        strPath = ExecutableIn(m_strStartupDir);
    if (strPath.isEmpty())
        strPath = QStandardPaths::findExecutable(QLatin1String(kPlayerName));
    return strPath;
}

bool CPlayerLauncher::Start(const QStringList& arguments, qint64* pPid) const
{
    const QString strPlayer = Locate();
    if (strPlayer.isEmpty())
        return false;
    return QProcess::startDetached(strPlayer, arguments, QString(), pPid);
}
