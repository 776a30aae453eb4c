#pragma once
// Where the browser keeps the sounds it hands to the player: a private
// per-user folder rather than a fixed path in a world-writable directory,
// where another user could plant a link.
#include <QString>

namespace velmora {

// ${XDG_CACHE_HOME:-$HOME/.cache}/velmora (C:\Temp on Windows).
QString TempFolderPath();
// The one file in it that every hand-off overwrites.
QString TempFilePath();

// Creates strPath (and missing parents) with mode 0700. An existing folder of
// ours is narrowed to 0700; false when the path is not a directory owned by
// this user (a link, a file, someone else's) or cannot be made.
bool EnsurePrivateFolder(const QString& strPath);

} // namespace velmora
