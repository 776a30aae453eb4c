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

#include "player/analyze/TrackCommand.h"
#include "player/analyze/TrackFormats.h"

namespace sonavel {
namespace analyze {

namespace {

using namespace sonavel::formants;
using sonavel::pitch::ETrackResult;

const char kszUsage[] = "usage: sonavel-analyze formants [--max-formant HZ] [--count N] [--step SECONDS] "
                        "[--channel N] [--format csv|json] [-o DIR] [-j N] FILE...";

// The option a refused setting was given as.
std::string OptionName(const char* szSetting)
{
    return std::string("--") + (std::string(szSetting) == "formants" ? "count" : szSetting);
}

bool Refused(const FormantSettings& settings, int nRate, const std::string& strFile)
{
    const analysis::SettingRefusal refusal = RefusedSetting(settings, nRate);
    if (refusal)
        PrintError((strFile.empty() ? "" : strFile + ": ") + OptionName(refusal.szSetting) + ": " + refusal.strWhy);
    return static_cast<bool>(refusal);
}

bool AnalyseFile(const FormantSettings& settings, const std::string& strIn, const std::string& strOut,
                 const TrackOptions& opt, int nThreads)
{
    FormantFrames frames;
    ETrackResult nResult;
    int nRate = 0;
    const auto fnCheckRate = [&](int nFileRate) {
        nRate = nFileRate;
        if (nFileRate > kMaxRateHz) {
            PrintError(strIn + ": a sample rate above " + std::to_string(kMaxRateHz) + " Hz is not analysed");
            return false;
        }
        return !Refused(settings, nFileRate, strIn);
    };
    const auto fnTrack = [&](const CSampleSource& source, int nCount, int nSourceRate) {
        return TrackFormants(settings, source, nCount, nSourceRate, nThreads, frames);
    };
    if (!TrackSound(strIn, opt.nChannel, fnCheckRate, fnTrack, nResult))
        return false;
    if (nResult != sonavel::pitch::TRACK_DONE) {
        PrintError(strIn + (nResult == sonavel::pitch::TRACK_NO_MEMORY ? ": not enough memory to find the formants"
                                                                       : ": the formants cannot be found"));
        return false;
    }
    return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return WriteFormants(strIn, nRate, frames, opt.bJson, pfnWrite, pContext);
    });
}

} // namespace

int RunFormants(int argc, char** argv)
{
    FormantSettings settings;
    TrackCommand command;
    command.szUsage = kszUsage;
    command.szSuffix = ".formants";
    command.ownOptions = {"max-formant", "count"};
    command.fnOption = [&](const std::string& strName, const std::string& strValue) {
        double d = 0;
        if (!ParseNumber(strValue, strName.c_str(), d))
            return false;
        if (strName == "count") {
            // Outside an int (or not whole) is out of range as well.
            settings.nFormants = d == std::floor(d) && d >= kMinFormants && d <= kMaxFormants ? int(d) : 0;
        } else {
            settings.dCeilingHz = d;
        }
        return !Refused(settings, 0, std::string());
    };
    command.fnCheck = [&](const TrackOptions& opt) {
        settings.dStepS = opt.dStepS;
        return !Refused(settings, 0, std::string());
    };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) { return AnalyseFile(settings, strIn, strOut, opt, nThreads); };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
