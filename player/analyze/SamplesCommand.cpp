// sonavel-analyze samples FILE -o OUT [--channel N]: the loaded samples (of
// channel N, the first unless given) as raw signed 16-bit little-endian,
// exactly sampleCount of them. OUT may not be FILE itself (by any name).
#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/OutputFile.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/FileBatch.h"

#include "player/audio/SampleConversions.h"

#include <string>
#include <vector>

namespace sonavel {
namespace analyze {

int RunSamples(int argc, char** argv)
{
    std::string strIn, strOut;
    int nChannel = 1;
    COptionReader args(argc, argv, "usage: sonavel-analyze samples FILE -o OUT [--channel N]");
    while (args.Next()) {
        if (args.Channel(nChannel) || args.Output(strOut))
            continue;
        if (!strIn.empty() || args.Arg() == "-o")
            args.Refuse();
        strIn = args.Arg();
    }
    if (const int nStatus = args.End(!strIn.empty() && !strOut.empty()))
        return nStatus;

    if (CInputFiles({strIn}).Refuses(strIn, strOut))
        return 1;
    SampleStore store;
    std::string strReader;
    if (!LoadSound(strIn, store, strReader, nChannel))
        return 1;

    // Through a new file renamed over OUT once whole, as every command writes:
    // a failed or interrupted write leaves an OUT that was there as it was. A
    // pipe or a device (/dev/null) is written as it is.
    InstallSignalHandlers();
    const std::size_t nSamples = std::size_t(store.sampleCount);
    const auto fnSamples = [&](WriteFn pfnWrite, void* pContext) {
        if (nSamples == 0)
            return true;
        CSampleLock lock(store.hSamples);
        const int16_t* pSamples = lock.Samples();
        if (audio::IsHostLittleEndian())
            return pfnWrite(pContext, reinterpret_cast<const char*>(pSamples), nSamples * 2);
        std::vector<int16_t> le(pSamples, pSamples + nSamples);
        audio::SwapBytes16InPlace(le.data(), int64_t(le.size()));
        return pfnWrite(pContext, reinterpret_cast<const char*>(le.data()), nSamples * 2);
    };
    return WriteOutput(strOut, fnSamples) ? 0 : 1;
}

} // namespace analyze
} // namespace sonavel
