#pragma once
// Where the user's Favorites folder lies: key "Favorites" in group
// "User Shell Folders" of the browser's profile, with $VAR and ${VAR} references
// expanded; without that key, ${XDG_DATA_HOME:-$HOME/.local/share}/Velmora/Favorites.
//
// Static functions that read the profile and the environment; any thread, answers by
// value.
#include <QString>

namespace velmora {

class CFavoritesFolder {
public:
    // The folder to scan (it may not exist: the menu then stays empty).
    static QString Locate();

    // The default folder when the profile names none.
    static QString DefaultFolder();

    // Replaces $NAME and ${NAME} by the variable's value. A reference to a
    // variable that is not set is left as written, so a mistyped name yields a
    // folder that does not exist rather than some other folder.
    static QString ExpandEnvironmentReferences(const QString& strText);
};

} // namespace velmora
