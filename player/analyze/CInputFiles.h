#pragma once
// The files a command reads, known by device and inode, so that no output
// replaces one of them: not by its own name, another path to it, a hard link
// or a symbolic link. Every command that writes a file asks here first.
//
// A value its caller owns; one thread at a time.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace sonavel {
namespace analyze {

class CInputFiles {
public:
    // Inputs that do not exist (yet) are nothing an output could replace.
    explicit CInputFiles(const std::vector<std::string>& files);

    // True when strOut is one of the inputs, after one line on stderr naming
    // strIn and strOut: the command then writes nothing there.
    bool Refuses(const std::string& strIn, const std::string& strOut) const;

private:
    std::set<std::pair<dev_t, ino_t>> m_files;
};

} // namespace analyze
} // namespace sonavel
