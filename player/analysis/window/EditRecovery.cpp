#include "player/analysis/window/EditRecovery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <signal.h>
#include <unistd.h>

#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"

namespace editrecovery {

namespace {

// The first line: whose edits the rest of the file holds, percent-encoded so
// that any file name fits on one line.
QByteArray Heading(const QString& strKey)
{
    return "sonavel unsaved edits of " + QFile::encodeName(strKey).toPercentEncoding("/") + "\n";
}

QString Program(qint64 nPid) { return QFileInfo(QStringLiteral("/proc/%1/exe").arg(nPid)).symLinkTarget(); }

// Whether the player of process nPid (not this one) still runs: a number
// taken by another program since means it ended.
bool OtherPlayerRuns(qint64 nPid)
{
    return nPid > 0 && nPid != getpid() && kill(static_cast<pid_t>(nPid), 0) == 0
           && Program(nPid) == Program(getpid());
}

} // namespace

QString KeyFor(const QString& strTextGrid, const QString& strSound)
{
    if (!strTextGrid.isEmpty())
        return QFileInfo(strTextGrid).absoluteFilePath();
    if (!strSound.isEmpty())
        return QStringLiteral("new tiers of ") + QFileInfo(strSound).absoluteFilePath();
    return {};
}

QString Folder()
{
    // A state folder that is not absolute is to be ignored, as a missing one is.
    QString strState = qEnvironmentVariable("XDG_STATE_HOME");
    if (strState.isEmpty() || QDir::isRelativePath(strState))
        strState = QDir::homePath() + QStringLiteral("/.local/state");
    return strState + QStringLiteral("/sonavel/recovery");
}

QString FileFor(const QString& strKey)
{
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(strKey), QCryptographicHash::Sha1).toHex();
    return Folder() + QLatin1Char('/') + QString::fromLatin1(hash.left(24)) + QStringLiteral(".TextGrid");
}

bool Write(const QString& strKey, const sonavel::textgrid::TextGrid& grid)
{
    const QString strFolder = Folder();
    // The labels are the user's words: the folder is the user's alone.
    if (!QDir().mkpath(strFolder))
        return false;
    QFile::setPermissions(strFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray text = Heading(strKey) + "by process " + QByteArray::number(getpid()) + "\n"
                            + QByteArray::fromStdString(sonavel::textgrid::FormatTextGrid(grid));
    QSaveFile file(FileFor(strKey));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

std::optional<Kept> Read(const QString& strKey)
{
    QFile file(FileFor(strKey));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray heading = Heading(strKey);
    const QByteArray text = file.readAll();
    // Another key of the same hash, or a file cut short, is not these edits.
    const qsizetype nWriterEnd = text.indexOf('\n', heading.size());
    if (!text.startsWith(heading) || nWriterEnd < 0)
        return std::nullopt;
    const QByteArray writer = text.mid(heading.size(), nWriterEnd - heading.size());
    const qint64 nPid = writer.startsWith("by process ") ? writer.mid(11).toLongLong() : 0;
    sonavel::textgrid::ReadResult result =
        sonavel::textgrid::ParseTextGrid(std::string_view(text.constData() + nWriterEnd + 1, text.size() - nWriterEnd - 1));
    if (!result.Ok())
        return std::nullopt;
    return Kept{std::move(result.grid), QFileInfo(file).lastModified(), OtherPlayerRuns(nPid)};
}

void Remove(const QString& strKey) { QFile::remove(FileFor(strKey)); }

} // namespace editrecovery
