// sonavel-analyze intensity [--floor HZ] [--step S] [--channel N]
//                           [--format csv|json] [-o DIR] [-j N] FILE...
//
// The intensity of each file in dB (re 2 x 10^-5 Pa, full scale as 1 Pa) over
// the whole sound, a frame every --step seconds on the research pitch
// tracker's grid. Batches as pitch's: one file and no -o to standard output,
// else DIR/take7.intensity.csv (.json) per input. A frame without any sound
// reads -300 dB. Settings outside their ranges exit with 2 before any file is
// read.
#include "player/analyze/AnalyzeCommands.h"

#include "player/analyze/TrackCommand.h"
#include "player/analyze/TrackFormats.h"

namespace sonavel {
namespace analyze {

namespace {

using namespace sonavel::intensity;
using sonavel::pitch::ETrackResult;

const char kszUsage[] = "usage: sonavel-analyze intensity [--floor HZ] [--step SECONDS] [--channel N] "
                        "[--format csv|json] [-o DIR] [-j N] FILE...";

bool Refused(const IntensitySettings& settings)
{
    const analysis::SettingRefusal refusal = RefusedSetting(settings);
    if (refusal)
        PrintError(std::string("--") + refusal.szSetting + ": " + refusal.strWhy);
    return static_cast<bool>(refusal);
}

bool AnalyseFile(const IntensitySettings& settings, const std::string& strIn, const std::string& strOut,
                 const TrackOptions& opt, int nThreads)
{
    IntensityFrames frames;
    ETrackResult nResult;
    int nRate = 0;
    const auto fnCheckRate = [&](int nFileRate) {
        nRate = nFileRate;
        if (nFileRate > kMaxRateHz)
            PrintError(strIn + ": a sample rate above " + std::to_string(kMaxRateHz) + " Hz is not analysed");
        return nFileRate <= kMaxRateHz;
    };
    const auto fnTrack = [&](const CSampleSource& source, int nCount, int nSourceRate) {
        return TrackIntensity(settings, source, nCount, nSourceRate, nThreads, frames);
    };
    if (!TrackSound(strIn, opt.nChannel, fnCheckRate, fnTrack, nResult))
        return false;
    if (nResult != sonavel::pitch::TRACK_DONE) {
        PrintError(strIn + (nResult == sonavel::pitch::TRACK_NO_MEMORY ? ": not enough memory to measure the intensity"
                                                                       : ": the intensity cannot be measured"));
        return false;
    }
    return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return WriteIntensity(strIn, nRate, frames, opt.bJson, pfnWrite, pContext);
    });
}

} // namespace

int RunIntensity(int argc, char** argv)
{
    IntensitySettings settings;
    TrackCommand command;
    command.szUsage = kszUsage;
    command.szSuffix = ".intensity";
    command.ownOptions = {"floor"};
    command.fnOption = [&](const std::string& strName, const std::string& strValue) {
        return ParseNumber(strValue, strName.c_str(), settings.dFloorHz) && !Refused(settings);
    };
    command.fnCheck = [&](const TrackOptions& opt) {
        settings.dStepS = opt.dStepS;
        return !Refused(settings);
    };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) { return AnalyseFile(settings, strIn, strOut, opt, nThreads); };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
