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
    return RefusalLine(RefusedSetting(settings));
}

} // namespace

int RunIntensity(int argc, char** argv)
{
    IntensitySettings settings;
    TrackCommand command(kszUsage, ".intensity", {EFormat::Csv, EFormat::Json});
    command.fnOption = [&](COptionReader& args) {
        return args.Number("--floor", settings.dFloorHz) || args.Number("--step", settings.dStepS);
    };
    command.fnRefusal = [&] { return Refusal(settings); };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) {
        IntensityFrames frames;
        return TrackFile(
            strIn, strOut, opt, kIntensityWords,
            [&](const analysis::CSoundInput& input) { return TrackSound(input, settings, nThreads, frames); },
            [&](const analysis::SoundOutcome& outcome, WriteFn pfnWrite, void* pContext) {
                return WriteIntensity(strIn, outcome.nRate, frames, opt.format, pfnWrite, pContext);
            });
    };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
