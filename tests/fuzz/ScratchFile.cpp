#include "tests/fuzz/ScratchFile.h"

#include "tests/fuzz/FuzzTarget.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace fuzz {
namespace {

std::vector<std::string> g_scratchFiles;

void RemoveScratchFiles()
{
    for (const std::string& path : g_scratchFiles)
        std::remove(path.c_str());
}

std::string ScratchDir()
{
    if (access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* szTmp = std::getenv("TMPDIR");
    return szTmp && *szTmp ? szTmp : "/tmp";
}

} // namespace

std::string WriteScratchFile(const uint8_t* data, std::size_t size, const char* szSuffix)
{
    const std::string path = ScratchDir() + "/sonavel-fuzz-" + std::to_string(getpid()) + szSuffix;
    bool bNew = true;
    for (const std::string& p : g_scratchFiles)
        bNew = bNew && p != path;
    if (bNew) {
        if (g_scratchFiles.empty())
            std::atexit(RemoveScratchFiles);
        g_scratchFiles.push_back(path);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
    return path;
}

} // namespace fuzz
