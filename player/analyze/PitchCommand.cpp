// sonavel-analyze pitch FILE: the player's pitch track as CSV, one line per 100
// samples: time in seconds (6 decimals) and pitch in whole Hz (0 = no pitch).
#include "player/analyze/AnalyzeCommands.h"

#include <cstdio>

#include "player/analysis/CSignalMath.h"

namespace sonavel {
namespace analyze {

int RunPitch(int argc, char** argv)
{
    if (argc != 2) {
        PrintError("usage: sonavel-analyze pitch FILE");
        return 2;
    }
    SampleStore store;
    std::string strReader;
    if (!LoadSound(argv[1], store, strReader))
        return 1;
    if (store.sampleRate <= 0) {
        PrintError(std::string(argv[1]) + ": the sound has no sample rate, so no time axis");
        return 1;
    }
    const size_t nCount = static_cast<size_t>(store.sampleCount) / 100 + 1;
    CSampleBlockHandle hPitch = CSampleBlock::Alloc(nCount * sizeof(int16_t));
    if (!hPitch || CSignalMath().TrackPitch(store, hPitch, 0, store.sampleCount) != 0) {
        PrintError(std::string(argv[1]) + ": not enough memory to track the pitch");
        return 1;
    }
    CSampleLock lock(hPitch);
    const int16_t* pitch = lock.Samples();
    std::printf("time_s,pitch_hz\n");
    for (size_t i = 0; i < nCount; ++i)
        std::printf("%.6f,%d\n", static_cast<double>(i) * 100.0 / store.sampleRate, int(pitch[i]));
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace analyze
} // namespace sonavel
