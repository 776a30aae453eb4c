#pragma once
// Opening a user's file for reading only when it is one: a FIFO would wait for
// a writer that may never come, a device may act on being opened or never end,
// and a folder holds nothing to read. Such a path is refused at once, checked
// before it is opened and again on what was opened (it may have been swapped
// meanwhile). Any thread may call.
#include <string>

namespace sonavel {
namespace files {

struct InputFile {
    int fd = -1;                    // open for reading, the caller's to close; -1 on failure
    int nErrno = 0;                 // why not: the system's error, EISDIR for a folder,
                                    // EINVAL for anything else that is no regular file
    const char* szNotAFile = nullptr; // then what it is: "a folder", "a FIFO", "a device", "a socket"
};

InputFile OpenInputFile(const std::string& strPath);

// The reason to show for a failed OpenInputFile: "is a FIFO, not a file" or the
// system's words.
std::string DescribeOpenFailure(const InputFile& file);

} // namespace files
} // namespace sonavel
