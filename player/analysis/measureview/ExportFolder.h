#pragma once
// Where the measuring view's Save dialogs open: the sound's own folder, so an
// export lands beside its sound, but the home folder for a sound that is a
// temporary copy (the one the browser hands over, under the user's cache
// folder) or has no file: nobody looks for their work there, and the next
// download replaces the copy. Plain C++ over the paths alone.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>
#include <vector>

namespace sonavel::measure {

// strSoundPath's folder, or strHome when strSoundPath is empty, has no folder,
// or lies inside one of temporaryFolders (compared as written, after "." and
// ".." are resolved: the caller gives absolute paths).
std::string ExportFolder(const std::string& strSoundPath, const std::vector<std::string>& temporaryFolders,
                         const std::string& strHome);

} // namespace sonavel::measure
