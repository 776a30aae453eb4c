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

// The refused setting's line ("--count: must be ..."), after the file's name
// when the refusal is the file's; nothing when the settings are taken.
std::string Refusal(const FormantSettings& settings, int nRate, const std::string& strFile)
{
    const analysis::SettingRefusal refusal = RefusedSetting(settings, nRate);
    if (!refusal)
        return std::string();
    // The option a refused setting was given as.
    const std::string strOption = std::string("--") + (std::string(refusal.szSetting) == "formants" ? "count"
                                                                                                     : refusal.szSetting);
    return (strFile.empty() ? "" : strFile + ": ") + strOption + ": " + refusal.strWhy;
}

bool AnalyseFile(const FormantSettings& settings, const std::string& strIn, const std::string& strOut,
                 const TrackOptions& opt, int nThreads)
{
    FormantFrames frames;
    const analysis::SoundOutcome outcome =
        TrackSound(analysis::CSoundInput::File(strIn, opt.nChannel), settings, nThreads, frames);
    if (!outcome.Done()) {
        // A ceiling above half this file's rate is the setting's refusal.
        const std::string strRefusal = outcome.nOutcome == analysis::EOutcome::Refused && outcome.strWhy.empty()
                                           ? Refusal(settings, outcome.nRate, strIn)
                                           : std::string();
        PrintError(strRefusal.empty() ? analysis::DescribeOutcome(outcome, kFormantWords, strIn) : strRefusal);
        return false;
    }
    return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return WriteFormants(strIn, outcome.nRate, frames, opt.format, pfnWrite, pContext);
    });
}

} // namespace

int RunFormants(int argc, char** argv)
{
    FormantSettings settings;
    double dStepS = settings.dStepS; // checked with the others once all are read
    TrackCommand command;
    command.szUsage = kszUsage;
    command.szSuffix = ".formants";
    command.formats = {EFormat::Csv, EFormat::Json};
    command.fnOption = [&](COptionReader& args) {
        double d = 0;
        if (args.Number("--count", d)) {
            // Outside an int (or not whole) is out of range as well.
            settings.nFormants = d == std::floor(d) && d >= kMinFormants && d <= kMaxFormants ? int(d) : 0;
        } else if (args.Number("--max-formant", d)) {
            settings.dCeilingHz = d;
        } else {
            return args.Number("--step", dStepS);
        }
        if (!args.Failed() && !Refusal(settings, 0, std::string()).empty())
            args.Fail(Refusal(settings, 0, std::string()));
        return true;
    };
    command.fnCheck = [&] {
        settings.dStepS = dStepS;
        const std::string strRefusal = Refusal(settings, 0, std::string());
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
