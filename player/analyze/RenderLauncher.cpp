// sonavel-analyze render runs the renderer, a program of its own: the picture
// needs Qt's painting, and linking Qt into sonavel-analyze would make every
// other command pay for loading it (a fifth of a five-minute pitch track).
#include "player/analyze/AnalyzeCommands.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace sonavel {
namespace analyze {

namespace {

// The renderer lies beside the program in the build tree and in the private
// folder of the installed package.
std::string FindRenderer()
{
    char szExe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", szExe, sizeof szExe - 1);
    if (n <= 0)
        return std::string();
    szExe[n] = 0;
    std::string strDir(szExe);
    strDir.erase(strDir.find_last_of('/') + 1);
    for (const char* szPlace : {"sonavel-render", "../libexec/sonavel/sonavel-render"}) {
        const std::string strPath = strDir + szPlace;
        if (::access(strPath.c_str(), X_OK) == 0)
            return strPath;
    }
    return std::string();
}

} // namespace

int StartRender(int argc, char** argv)
{
    const std::string strRenderer = FindRenderer();
    if (strRenderer.empty()) {
        PrintError("render: the renderer sonavel-render is not installed beside this program");
        return 1;
    }
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    ::execv(strRenderer.c_str(), args.data());
    PrintError("render: cannot run " + strRenderer + ": " + std::strerror(errno));
    return 1;
}

} // namespace analyze
} // namespace sonavel
