#include "player/analysis/window/EditRecovery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    const QByteArray text = Heading(strKey) + QByteArray::fromStdString(sonavel::textgrid::FormatTextGrid(grid));
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
    if (!text.startsWith(heading))
        return std::nullopt;
    sonavel::textgrid::ReadResult result =
        sonavel::textgrid::ParseTextGrid(std::string_view(text.constData() + heading.size(), text.size() - heading.size()));
    if (!result.Ok())
        return std::nullopt;
    return Kept{std::move(result.grid), QFileInfo(file).lastModified()};
}

void Remove(const QString& strKey) { QFile::remove(FileFor(strKey)); }

} // namespace editrecovery
