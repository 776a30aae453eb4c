// sonavel-analyze info FILE...: which reader took each file and what it holds
// (of its first channel, and how many channels it has, and the duration in
// seconds, last so that readers of the older line still find theirs), one
// line each (prefixed with the file's name when there are several). A file
// that cannot be read gets one line on stderr; the status is then 1.
#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/JsonText.h"

#include <cstdio>

namespace sonavel {
namespace analyze {

int RunInfo(int argc, char** argv)
{
    if (argc < 2) {
        PrintError("usage: sonavel-analyze info FILE...");
        return 2;
    }
    int nStatus = 0;
    for (int i = 1; i < argc; ++i) {
        SampleStore store;
        std::string strReader;
        int nChannels = 0;
        if (!LoadSound(argv[i], store, strReader, 1, &nChannels)) {
            nStatus = 1;
            continue;
        }
        // The name as standard error gives it: one line per file, whatever the name holds.
        if (argc > 2)
            std::printf("%s: ", JsonEscaped(argv[i]).c_str());
        std::printf("reader=%s rate=%d samples=%d bytes=%d channels=%d duration=%.6f\n", strReader.c_str(),
                    int(store.sampleRate), int(store.sampleCount), int(store.byteLength), nChannels,
                    double(store.sampleCount) / store.sampleRate);
    }
    return std::fflush(stdout) == 0 ? nStatus : 1;
}

} // namespace analyze
} // namespace sonavel
