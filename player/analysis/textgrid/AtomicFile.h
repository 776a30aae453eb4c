#pragma once
// Writing a whole file so that a reader, a crash or a full disk never meets
// half of it: the bytes go to a new file beside it, are synced, and the new
// file is renamed over the old name. On failure the old file stays as it was.
#include <string>
#include <string_view>

namespace sonavel::textgrid {

// False with the system's error in nErrno when the file could not be written.
// A path that is a symbolic link writes the file it points at (the link stays);
// a file replaced keeps its permissions, a new one gets 0666 less the umask.
bool WriteFileAtomically(const std::string& strPath, std::string_view bytes, int& nErrno);

} // namespace sonavel::textgrid
