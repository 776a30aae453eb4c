#include "player/analyze/CInputFiles.h"

#include <sys/stat.h>

#include "player/analyze/AnalyzeCommands.h"

namespace sonavel {
namespace analyze {

CInputFiles::CInputFiles(const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        if (struct stat st; ::stat(f.c_str(), &st) == 0)
            m_files.emplace(st.st_dev, st.st_ino);
}

bool CInputFiles::Refuses(const std::string& strIn, const std::string& strOut) const
{
    // stat follows a symbolic link to what it names, which is what a write replaces.
    struct stat st;
    if (::stat(strOut.c_str(), &st) != 0 || !m_files.count({st.st_dev, st.st_ino}))
        return false;
    PrintError(strIn + ": its output " + strOut + " is an input file; it is not overwritten");
    return true;
}

} // namespace analyze
} // namespace sonavel
