#include "player/analyze/OutputFile.h"

#include <csignal>
#include <cstdio>

#include <unistd.h>

#include "common/OutputFile.h"
#include "player/analyze/AnalyzeCommands.h"

namespace sonavel {
namespace analyze {

namespace {

char g_szPartial[kPartialNameSize];
char* g_pszPartial = g_szPartial;
void (*g_pfnFirst)(int nSignal) = nullptr;

void OnFatalSignal(int nSignal)
{
    if (g_pfnFirst)
        g_pfnFirst(nSignal);
    if (*g_pszPartial)
        ::unlink(g_pszPartial);
    std::signal(nSignal, SIG_DFL);
    std::raise(nSignal);
}

bool WriteToStream(void* pContext, const char* p, size_t n)
{
    return std::fwrite(p, 1, n, static_cast<std::FILE*>(pContext)) == n;
}

bool WriteToFile(void* pContext, const char* p, size_t n)
{
    return static_cast<files::COutputFile*>(pContext)->Write(p, n);
}

} // namespace

char* PartialName() { return g_pszPartial; }

void SetPartialName(char* szBuffer) { g_pszPartial = szBuffer; }

void InstallSignalHandlers(void (*pfnFirst)(int nSignal))
{
    g_pfnFirst = pfnFirst;
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(nSignal, OnFatalSignal);
}

bool WriteOutput(const std::string& strOut, const std::function<bool(WriteFn, void*)>& fnText)
{
    if (strOut.empty()) {
        if (!fnText(WriteToStream, stdout) || std::fflush(stdout) != 0 || std::ferror(stdout)) {
            PrintError("cannot write the standard output");
            return false;
        }
        return true;
    }
    // What is on standard output already goes before what a descriptor's link
    // (-o /dev/stdout) adds.
    std::fflush(stdout);
    files::COutputFile file(PartialName(), kPartialNameSize);
    const bool bOk = file.Open(strOut) && fnText(WriteToFile, &file) && file.Commit();
    if (!bOk)
        PrintError(files::DescribeWriteFailure(strOut, file.Error()));
    return bOk;
}

} // namespace analyze
} // namespace sonavel
