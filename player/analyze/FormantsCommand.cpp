// sonavel-analyze formants [--max-formant HZ] [--count N] [--step S] [--channel N]
//                          [--format csv|json] [-o DIR] [-j N] FILE...
//
// The formants of each file over the whole sound, a frame every --step seconds
// on the research pitch tracker's grid. Batches as pitch's: one file and no -o
// to standard output, else DIR/take7.formants.csv (.json) per input. Settings
// outside their ranges exit with 2 before any file is read; a ceiling above
// half a file's rate fails that file alone (status 1).
#include "player/analyze/AnalyzeCommands.h"

#include <cmath>

#include "player/analysis/core/CSoundInput.h"
#include "player/analyze/TrackCommand.h"
#include "player/analyze/TrackFormats.h"

namespace sonavel {
namespace analyze {

namespace {

using namespace sonavel::formants;

const char kszUsage[] = "usage: sonavel-analyze formants [--max-formant HZ] [--count N] [--step SECONDS] "
                        "[--channel N] [--format csv|json] [-o DIR] [-j N] FILE...";

// The refused setting's line ("--count: must be ..."); nothing when the
// settings are taken at nRate (0: any rate).
std::string Refusal(const FormantSettings& settings, int nRate)
{
    const analysis::SettingRefusal refusal = RefusedSetting(settings, nRate);
    // The formants' count is given as --count.
    return RefusalLine(refusal, refusal && std::string(refusal.szSetting) == "formants" ? "count" : nullptr);
}

} // namespace

int RunFormants(int argc, char** argv)
{
    FormantSettings settings;
    TrackCommand command(kszUsage, ".formants", {EFormat::Csv, EFormat::Json});
    command.fnOption = [&](COptionReader& args) {
        double d = 0;
        if (!args.Number("--count", d))
            return args.Number("--max-formant", settings.dCeilingHz) || args.Number("--step", settings.dStepS);
        // Outside an int (or not whole) is out of range as well.
        settings.nFormants = d == std::floor(d) && d >= kMinFormants && d <= kMaxFormants ? int(d) : 0;
        return true;
    };
    command.fnRefusal = [&] { return Refusal(settings, 0); };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) {
        FormantFrames frames;
        return TrackFile(
            strIn, strOut, opt, kFormantWords,
            [&](const analysis::CSoundInput& input) { return TrackSound(input, settings, nThreads, frames); },
            [&](const analysis::SoundOutcome& outcome, WriteFn pfnWrite, void* pContext) {
                return WriteFormants(strIn, outcome.nRate, frames, opt.format, pfnWrite, pContext);
            },
            // A ceiling above half a file's rate is refused for that file.
            [&](int nRate) { return Refusal(settings, nRate); });
    };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
