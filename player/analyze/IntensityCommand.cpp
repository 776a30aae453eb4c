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

#include "player/analysis/core/CSoundInput.h"
#include "player/analyze/TrackCommand.h"
#include "player/analyze/TrackFormats.h"

namespace sonavel {
namespace analyze {

namespace {

using namespace sonavel::intensity;

const char kszUsage[] = "usage: sonavel-analyze intensity [--floor HZ] [--step SECONDS] [--channel N] "
                        "[--format csv|json] [-o DIR] [-j N] FILE...";

// The refused setting's line ("--floor: must lie ..."); nothing when the settings are taken.
std::string Refusal(const IntensitySettings& settings)
{
    const analysis::SettingRefusal refusal = RefusedSetting(settings);
    return refusal ? std::string("--") + refusal.szSetting + ": " + refusal.strWhy : std::string();
}

bool AnalyseFile(const IntensitySettings& settings, const std::string& strIn, const std::string& strOut,
                 const TrackOptions& opt, int nThreads)
{
    IntensityFrames frames;
    const analysis::SoundOutcome outcome =
        TrackSound(analysis::CSoundInput::File(strIn, opt.nChannel), settings, nThreads, frames);
    if (!outcome.Done()) {
        PrintError(analysis::DescribeOutcome(outcome, kIntensityWords, strIn));
        return false;
    }
    return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return WriteIntensity(strIn, outcome.nRate, frames, opt.format, pfnWrite, pContext);
    });
}

} // namespace

int RunIntensity(int argc, char** argv)
{
    IntensitySettings settings;
    double dStepS = settings.dStepS; // checked with the floor once all are read
    TrackCommand command;
    command.szUsage = kszUsage;
    command.szSuffix = ".intensity";
    command.formats = {EFormat::Csv, EFormat::Json};
    command.fnOption = [&](COptionReader& args) {
        if (!args.Number("--floor", settings.dFloorHz))
            return args.Number("--step", dStepS);
        if (!args.Failed() && !Refusal(settings).empty())
            args.Fail(Refusal(settings));
        return true;
    };
    command.fnCheck = [&] {
        settings.dStepS = dStepS;
        const std::string strRefusal = Refusal(settings);
        if (!strRefusal.empty())
            PrintError(strRefusal);
        return strRefusal.empty();
    };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) { return AnalyseFile(settings, strIn, strOut, opt, nThreads); };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
