// sonavel-analyze info FILE: which reader took the file and what it holds.
#include "player/analyze/AnalyzeCommands.h"

#include <cstdio>

namespace sonavel {
namespace analyze {

int RunInfo(int argc, char** argv)
{
    if (argc != 2) {
        PrintError("usage: sonavel-analyze info FILE");
        return 2;
    }
    SampleStore store;
    std::string strReader;
    if (!LoadSound(argv[1], store, strReader))
        return 1;
    std::printf("reader=%s rate=%d samples=%d bytes=%d\n", strReader.c_str(), int(store.sampleRate),
                int(store.sampleCount), int(store.byteLength));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace analyze
} // namespace sonavel
