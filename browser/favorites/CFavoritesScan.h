#pragma once
// The favourites scan: walks the user's Favorites folder and its sub-folders,
// reads every Internet shortcut (".url" file) and builds the menu tree as plain
// data, so that the menu widgets only have to mirror it. Needs QtCore only.
//
// A scan is a value its caller owns; one thread at a time per scan (the UI thread in the
// browser).
#include "browser/startup/VelmoraResource.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace velmora {

// One menu level: its sub-folders (sorted, each holding shortcuts at some depth)
// come first in the menu, then its own shortcuts (sorted).
struct CFavoritesMenuNode {
    struct Item {
        QString strTitle;
        int nCommandId = 0;
    };
    QString strName;                            // label of the folder's popup
    std::vector<CFavoritesMenuNode> folders;
    std::vector<Item> items;

    bool IsEmpty() const { return folders.empty() && items.empty(); }
};

class CFavoritesScan {
public:
    // Scans szFolder and everything below it, appends the folder's shortcuts and
    // sub-folders to menu and fills m_favoriteUrls from nStart on. Returns the next
    // free position: nStart when nothing was added (also when the folder is
    // missing or unreadable).
    int FillFavoritesMenu(const QString& strFolder, int nStart, CFavoritesMenuNode& menu);

    // URL for a command id, or an empty string when the id is outside the range
    // the handler serves or beyond the scanned shortcuts.
    QString UrlForCommand(int nCommandId) const;

    // The "URL" entry of the "[InternetShortcut]" section of a shortcut file, or
    // an empty string when the file or the entry is missing.
    static QString ReadShortcutUrl(const QString& strPath);

    // Ordering of titles and folder names: case-insensitive.
    static int CompareTitles(const QString& a, const QString& b);

    QStringList m_favoriteUrls;   // index = command id - kFavoriteFirstId

private:
    int FillFolder(const QString& strFolder, int nStart, CFavoritesMenuNode& menu, int nDepth);

    // Canonical paths of the folders on the current descent: a symbolic link back
    // to an ancestor would otherwise make the walk endless.
    QSet<QString> m_activeFolders;
};

} // namespace velmora
