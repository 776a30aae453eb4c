// Preloaded into a command under test: once a file has been renamed into a
// folder whose name holds KILL_AFTER_RENAME_IN, with a last part equal to
// KILL_AFTER_RENAME_NAME, the process kills itself, as the system might kill
// a worker the moment its output is in place and before it can say so.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

extern "C" int rename(const char* szFrom, const char* szTo)
{
    using Rename = int (*)(const char*, const char*);
    static const Rename pfnRename = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    const int nResult = pfnRename ? pfnRename(szFrom, szTo) : -1;
    const char* szIn = std::getenv("KILL_AFTER_RENAME_IN");
    const char* szName = std::getenv("KILL_AFTER_RENAME_NAME");
    const char* szSlash = std::strrchr(szTo, '/');
    if (nResult == 0 && szIn && szName && szSlash && std::strstr(szTo, szIn) && std::strcmp(szSlash + 1, szName) == 0)
        std::raise(SIGKILL);
    return nResult;
}
