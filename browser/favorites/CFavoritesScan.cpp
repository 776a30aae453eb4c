#include "browser/favorites/CFavoritesScan.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace velmora {

namespace {

// A real Favorites tree is a few levels deep; the bound only keeps a pathological
// tree (or one reached through links) from exhausting the stack.
constexpr int kMaxDepth = 64;

// A shortcut file is a few hundred bytes; reading no more than this keeps a stray
// huge file from stalling window creation.
constexpr qint64 kMaxShortcutBytes = 1 << 20;

const QString kShortcutEnding = QStringLiteral(".url");

bool IsHiddenOrSystem(const QFileInfo& info)
{
    if (info.isHidden())
        return true;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(
        QDir::toNativeSeparators(info.absoluteFilePath()).utf16()));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM))
        return true;
#endif
    // Sockets, pipes, device nodes and dangling links are the system entries here.
    return !info.isFile() && !info.isDir();
}

QDirIterator ListFolder(const QString& strFolder)
{
    // Unsorted: the directory's own listing order decides between equal titles.
    return QDirIterator(strFolder, QDir::AllEntries | QDir::Hidden | QDir::System |
                                       QDir::NoDotAndDotDot);
}

} // namespace

int CFavoritesScan::CompareTitles(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}

int CFavoritesScan::FillFavoritesMenu(const QString& strFolder, int nStart, CFavoritesMenuNode& menu)
{
    if (nStart < 0)
        nStart = 0;
    // Positions from nStart on belong to this walk.
    while (m_favoriteUrls.size() > nStart)
        m_favoriteUrls.removeLast();
    while (m_favoriteUrls.size() < nStart)
        m_favoriteUrls.append(QString());
    m_activeFolders.clear();
    return FillFolder(strFolder, nStart, menu, 0);
}

int CFavoritesScan::FillFolder(const QString& strFolder, int nStart, CFavoritesMenuNode& menu, int nDepth)
{
    const QFileInfo folderInfo(strFolder);
    if (strFolder.isEmpty() || !folderInfo.isDir() || !folderInfo.isReadable() || nDepth > kMaxDepth)
        return nStart;
    const QString strCanonical = folderInfo.canonicalFilePath();
    if (strCanonical.isEmpty() || m_activeFolders.contains(strCanonical))
        return nStart;
    m_activeFolders.insert(strCanonical);

    QString strPrefix = strFolder;
    if (!strPrefix.endsWith(QLatin1Char('/')))
        strPrefix += QLatin1Char('/');

    // Shortcut pass: sorted insertion; an equal title goes after the ones already
    // stored, so equal titles keep the listing's order.
    int nEnd = nStart;
    QStringList titles;
    for (QDirIterator it = ListFolder(strFolder); it.hasNext();) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (IsHiddenOrSystem(info) || info.isDir())
            continue;
        const QString strName = info.fileName();
        if (strName.size() < kShortcutEnding.size() || !strName.endsWith(kShortcutEnding, Qt::CaseSensitive))
            continue;
        const QString strUrl = ReadShortcutUrl(strPrefix + strName);
        const QString strTitle = strName.left(strName.size() - kShortcutEnding.size());
        const auto place = std::upper_bound(titles.begin(), titles.end(), strTitle,
            [](const QString& a, const QString& b) { return CompareTitles(a, b) < 0; });
        const int nLocal = int(place - titles.begin());
        titles.insert(nLocal, strTitle);
        m_favoriteUrls.insert(nStart + nLocal, strUrl);
        ++nEnd;
    }
    for (int i = 0; i < titles.size(); ++i)
        menu.items.push_back({titles[i], kFavoriteFirstId + nStart + i});

    // Folder pass: hidden and system folders are searched too; a folder appears
    // only when something below it was added.
    QStringList folderNames;
    for (QDirIterator it = ListFolder(strFolder); it.hasNext();) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isDir())
            continue;
        const QString strName = info.fileName();
        CFavoritesMenuNode sub;
        sub.strName = strName;
        const int nResult = FillFolder(strPrefix + strName, nEnd, sub, nDepth + 1);
        if (nResult == nEnd)
            continue;
        const auto place = std::upper_bound(folderNames.begin(), folderNames.end(), strName,
            [](const QString& a, const QString& b) { return CompareTitles(a, b) < 0; });
        const int nPlace = int(place - folderNames.begin());
        folderNames.insert(nPlace, strName);
        menu.folders.insert(menu.folders.begin() + nPlace, std::move(sub));
        nEnd = nResult;
    }

    m_activeFolders.remove(strCanonical);
    return nEnd;
}

QString CFavoritesScan::UrlForCommand(int nCommandId) const
{
    if (nCommandId < kFavoriteFirstId || nCommandId > kFavoriteLastId)
        return QString();
    const int nIndex = nCommandId - kFavoriteFirstId;
    return nIndex < m_favoriteUrls.size() ? m_favoriteUrls[nIndex] : QString();
}

QString CFavoritesScan::ReadShortcutUrl(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = file.read(kMaxShortcutBytes);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);

    // Sections and keys match without regard to case, blanks around names and
    // values do not count, and the first "URL" of the first matching section wins.
    bool bInSection = false;
    for (const QByteArray& rawLine : bytes.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            const int nClose = line.indexOf(']');
            const QByteArray name = line.mid(1, nClose < 0 ? -1 : nClose - 1).trimmed();
            bInSection = name.compare("InternetShortcut", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!bInSection)
            continue;
        const int nEquals = line.indexOf('=');
        if (nEquals < 0 || line.left(nEquals).trimmed().compare("URL", Qt::CaseInsensitive) != 0)
            continue;
        QByteArray value = line.mid(nEquals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return QString::fromUtf8(value);
    }
    return QString();
}

} // namespace velmora
