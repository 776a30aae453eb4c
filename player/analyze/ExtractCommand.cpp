// sonavel-analyze extract FILE [--start S] [--end E] -o OUT.wav [--channel N]:
// the samples from --start to --end (seconds; the sound's start and end unless
// given), each time rounded to the nearest sample, as a mono 16-bit WAV at the
// file's rate, sample for sample as the player reads them. An end past the
// sound's end stops there; a span that holds no sample fails (status 1). OUT
// may not be FILE itself (by any name).
#include "player/analyze/AnalyzeCommands.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/OutputFile.h"
#include "player/audio/WaveWriter.h"

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] = "usage: sonavel-analyze extract FILE [--start S] [--end E] -o OUT.wav [--channel N]";
const analysis::OutcomeWords kExtractWords{"extract the span", "the span cannot be extracted"};
// Samples fetched at a time from a streamed file.
const int kPiece = 1 << 20;

} // namespace

int RunExtract(int argc, char** argv)
{
    std::string strIn, strOut;
    double dStart = 0, dEnd = std::numeric_limits<double>::infinity();
    int nChannel = 1;
    std::vector<std::string> files;
    COptionReader args(argc, argv, kszUsage);
    while (args.Next())
        if (!(args.Number("--start", dStart) || args.Number("--end", dEnd) || args.Channel(nChannel)
              || args.Output(strOut) || args.File(files)))
            args.Refuse();
    if (const int nStatus = args.End(files.size() == 1 && !strOut.empty()))
        return nStatus;
    strIn = files[0];
    if (dStart < 0) {
        PrintError("--start: must be 0 s or later");
        return 2;
    }
    if (!(dEnd > dStart)) {
        PrintError("--end: must lie after --start");
        return 2;
    }
    if (CInputFiles({strIn}).Refuses(strIn, strOut))
        return 1;

    std::vector<int16_t> span;
    analysis::SoundOutcome outcome = analysis::AnalyseSound(
        analysis::CSoundInput::File(strIn, nChannel),
        [&](const CSampleSource& source, int nCount, int nRate) {
            const auto [nFirst, nEnd] = audio::SamplesOfSpan(dStart, dEnd, nRate, nCount);
            if (nFirst >= nEnd)
                return analysis::EOutcome::Refused;
            if (nEnd - nFirst > audio::kMaxWaveSamples)
                return analysis::EOutcome::NoMemory;
            span.resize(size_t(nEnd - nFirst));
            for (int64_t i = nFirst; i < nEnd; i += kPiece) {
                const int n = static_cast<int>(std::min<int64_t>(kPiece, nEnd - i));
                int16_t* pTo = span.data() + (i - nFirst);
                const int16_t* p = source.Fetch(static_cast<int>(i), n, pTo);
                if (!p)
                    return analysis::EOutcome::SourceFailed;
                if (p != pTo)
                    std::copy(p, p + n, pTo);
            }
            return analysis::EOutcome::Done;
        });
    if (outcome.nOutcome == analysis::EOutcome::Refused) {
        char szWhy[160];
        std::snprintf(szWhy, sizeof szWhy, "the span from %.6g s holds no sample of the sound's %.6g s", dStart,
                      outcome.nRate > 0 ? double(outcome.nCount) / outcome.nRate : 0.0);
        outcome.strWhy = szWhy;
    }
    if (!outcome.Done()) {
        PrintError(analysis::DescribeOutcome(outcome, kExtractWords, strIn));
        return 1;
    }
    // Through a new file renamed over OUT once whole, as every command writes.
    InstallSignalHandlers();
    return WriteOutput(strOut,
                       [&](WriteFn pfnWrite, void* pContext) {
                           return audio::WriteWave(span.data(), int64_t(span.size()), outcome.nRate,
                                                   [&](const char* p, size_t n) { return pfnWrite(pContext, p, n); });
                       })
               ? 0
               : 1;
}

} // namespace analyze
} // namespace sonavel
