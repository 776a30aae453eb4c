// sonavel-analyze samples FILE -o OUT [--channel N]: the loaded samples (of
// channel N, the first unless given) as raw signed 16-bit little-endian,
// exactly sampleCount of them. OUT may not be FILE itself (by any name).
#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/CInputFiles.h"

#include "player/audio/SampleConversions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace sonavel {
namespace analyze {

int RunSamples(int argc, char** argv)
{
    std::string strIn, strOut;
    bool bHaveOut = false;
    int nChannel = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (ChannelOption(argc, argv, i, nChannel)) {
            if (nChannel == 0)
                return 2;
        } else if (arg == "-o" && i + 1 < argc) {
            strOut = argv[++i];
            bHaveOut = true;
        } else if (strIn.empty() && arg != "-o") {
            strIn = arg;
        } else {
            strIn.clear();
            break;
        }
    }
    if (strIn.empty() || !bHaveOut || strOut.empty()) {
        PrintError("usage: sonavel-analyze samples FILE -o OUT [--channel N]");
        return 2;
    }

    if (CInputFiles({strIn}).Refuses(strIn, strOut))
        return 1;
    SampleStore store;
    std::string strReader;
    if (!LoadSound(strIn, store, strReader, nChannel))
        return 1;

    std::FILE* pOut = std::fopen(strOut.c_str(), "wb");
    if (!pOut) {
        PrintError("cannot write " + strOut + ": " + std::strerror(errno));
        return 1;
    }
    const std::size_t nSamples = std::size_t(store.sampleCount);
    bool bOk = true;
    if (nSamples > 0) {
        CSampleLock lock(store.hSamples);
        const int16_t* pSamples = lock.Samples();
        if (audio::IsHostLittleEndian()) {
            bOk = std::fwrite(pSamples, 2, nSamples, pOut) == nSamples;
        } else {
            std::vector<int16_t> le(pSamples, pSamples + nSamples);
            audio::SwapBytes16InPlace(le.data(), int64_t(le.size()));
            bOk = std::fwrite(le.data(), 2, nSamples, pOut) == nSamples;
        }
    }
    const int err = errno;
    if (std::fclose(pOut) != 0 || !bOk) {
        PrintError("cannot write " + strOut + ": " + std::strerror(bOk ? errno : err));
        return 1;
    }
    return 0;
}

} // namespace analyze
} // namespace sonavel
