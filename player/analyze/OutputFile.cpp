#include "player/analyze/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/PitchBatch.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

bool WriteToStream(void* pContext, const char* p, size_t n)
{
    return std::fwrite(p, 1, n, static_cast<std::FILE*>(pContext)) == n;
}

} // namespace

bool WriteOutput(const std::string& strOut, const std::function<bool(WriteFn, void*)>& fnText)
{
    if (strOut.empty()) {
        if (!fnText(WriteToStream, stdout) || std::fflush(stdout) != 0 || std::ferror(stdout)) {
            PrintError("cannot write the standard output");
            return false;
        }
        return true;
    }
    char* szPartial = PartialName();
    const fs::path out(strOut);
    const std::string strTemp = (out.parent_path() / ("." + out.filename().string() + ".XXXXXX")).string();
    if (strTemp.size() >= kPartialNameSize) {
        PrintError("cannot write " + strOut + ": the name is too long");
        return false;
    }
    std::strcpy(szPartial, strTemp.c_str());
    const int fd = ::mkstemp(szPartial);
    if (fd < 0) {
        const int err = errno;
        szPartial[0] = 0;
        PrintError("cannot write " + strOut + ": " + std::strerror(err));
        return false;
    }
    // mkstemp makes the file private; the output gets the usual mode.
    const mode_t nMask = ::umask(0);
    ::umask(nMask);
    ::fchmod(fd, 0666 & ~nMask);
    std::FILE* pFile = ::fdopen(fd, "wb");
    bool bOk = pFile && fnText(WriteToStream, pFile) && std::fflush(pFile) == 0;
    int err = errno;
    if (pFile ? std::fclose(pFile) != 0 : ::close(fd) != 0) {
        err = bOk ? errno : err;
        bOk = false;
    }
    if (bOk && ::rename(szPartial, strOut.c_str()) != 0) {
        err = errno;
        bOk = false;
    }
    if (!bOk) {
        ::unlink(szPartial);
        PrintError("cannot write " + strOut + ": " + std::strerror(err));
    }
    szPartial[0] = 0;
    return bOk;
}

} // namespace analyze
} // namespace sonavel
