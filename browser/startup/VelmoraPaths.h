#pragma once
// Where the browser keeps the sounds it hands to the player: a private
// per-user folder rather than a fixed path in a world-writable directory,
// where another user could plant a link.
//
// Functions that read the environment and the file system and answer by value; any
// thread.
#include <QString>

namespace velmora {

// ${XDG_CACHE_HOME:-$HOME/.cache}/velmora (C:\Temp on Windows).
QString TempFolderPath();
// The one file in it that every hand-off overwrites.
QString TempFilePath();

// Creates strPath (and missing parents) with mode 0700. A link in its place is
// removed first; an existing folder of ours that others may enter is narrowed
// to 0700. False when the path is not a directory owned by this user (a file,
// someone else's folder) or cannot be made.
bool EnsurePrivateFolder(const QString& strPath);

} // namespace velmora
