// Preloaded into a command under test: once a file has been renamed into a
// folder whose name holds KILL_AFTER_RENAME_IN, with a last part equal to
// KILL_AFTER_RENAME_NAME, the process kills itself, as the system might kill
// a worker the moment its output is in place and before it can say so.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

void KillIfWatched(int nResult, const std::string& strTo)
{
    const char* szIn = std::getenv("KILL_AFTER_RENAME_IN");
    const char* szName = std::getenv("KILL_AFTER_RENAME_NAME");
    const std::size_t nSlash = strTo.rfind('/');
    if (nResult == 0 && szIn && szName && nSlash != std::string::npos && strTo.find(szIn) != std::string::npos &&
        strTo.compare(nSlash + 1, std::string::npos, szName) == 0)
        std::raise(SIGKILL);
}

} // namespace

extern "C" int rename(const char* szFrom, const char* szTo)
{
    using Rename = int (*)(const char*, const char*);
    static const Rename pfnRename = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    const int nResult = pfnRename ? pfnRename(szFrom, szTo) : -1;
    KillIfWatched(nResult, szTo);
    return nResult;
}

// The same for a name in a folder given by its descriptor.
extern "C" int renameat(int fromFd, const char* szFrom, int toFd, const char* szTo)
{
    using RenameAt = int (*)(int, const char*, int, const char*);
    static const RenameAt pfnRenameAt = reinterpret_cast<RenameAt>(dlsym(RTLD_NEXT, "renameat"));
    const int nResult = pfnRenameAt ? pfnRenameAt(fromFd, szFrom, toFd, szTo) : -1;
    std::string strTo = szTo;
    if (szTo[0] != '/' && toFd != AT_FDCWD) {
        char szFolder[4096];
        const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(toFd)).c_str(), szFolder, sizeof szFolder - 1);
        if (n > 0)
            strTo = std::string(szFolder, std::size_t(n)) + "/" + szTo;
    }
    KillIfWatched(nResult, strTo);
    return nResult;
}
