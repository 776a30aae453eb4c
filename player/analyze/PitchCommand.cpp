// sonavel-analyze pitch [--tracker nccf|amdf] [--floor HZ] [--ceiling HZ]
//                       [--step SECONDS] [-j N] [-o DIR] [--format csv|json|pitchtier]
//                       [--channel N] FILE...
//
// The research tracker (nccf) is the default: a frame every --step seconds
// (0.01), 50-800 Hz narrowed to each speaker's own range unless --floor or
// --ceiling is given. --tracker amdf gives the player's own track, 70-260 Hz
// unless given, one frame per 100 samples. A setting the tracker refuses exits
// with 2 and one line naming the option, before any file is read. --channel N
// tracks channel N of every file (the first unless given).
//
// One file and no -o: the track on standard output. Several files, or -o DIR:
// one output per input in DIR (the current folder when not given), named
// after it (take7.wav -> DIR/take7.csv), each written to a new file and renamed
// into place, so an interrupted run leaves no half file. -j N analyses N files
// at once in as many single-threaded processes (default: one per core); a
// file's output is the same whatever N is; a worker that dies is replaced and
// only the file it held fails. An output that would replace an input is
// refused. A single file to standard output is tracked on every core. A file
// that cannot be read gets one line on standard error and the others are still
// written; the status is 1 if any failed.
#include "player/analyze/AnalyzeCommands.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analyze/OutputFile.h"
#include "player/analyze/PitchBatch.h"
#include "player/audio/SoundReaders.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] = "usage: sonavel-analyze pitch [--tracker nccf|amdf] [--floor HZ] [--ceiling HZ] "
                        "[--step SECONDS] [-j N] [-o DIR] [--format csv|json|pitchtier] [--channel N] FILE...";

int Usage()
{
    PrintError(kszUsage);
    return 2;
}

char g_szPartial[kPartialNameSize];
char* g_pszPartial = g_szPartial;

// A positive, finite decimal number, or a line naming the option and false.
bool ParsePositive(const std::string& strValue, const char* szName, const char* szUnit, double& d)
{
    char* pEnd = nullptr;
    d = std::strtod(strValue.c_str(), &pEnd);
    if (strValue.empty() || *pEnd || !std::isfinite(d) || d <= 0) {
        PrintError(std::string("--") + szName + ": '" + strValue + "' is not a number of " + szUnit + " above 0");
        return false;
    }
    return true;
}

// 0 when the options are good; 2 after a line on stderr when not.
int ParseOptions(int argc, char** argv, PitchOptions& opt)
{
    bool bFilesOnly = false;
    sonavel::pitch::PitchSettings& settings = opt.settings;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        if (bFilesOnly || a.empty() || a[0] != '-' || a == "-") {
            opt.files.push_back(a);
        } else if (a == "--") {
            bFilesOnly = true;
        } else if (a == "-j" && i + 1 < argc) {
            char* pEnd = nullptr;
            const long n = std::strtol(argv[++i], &pEnd, 10);
            if (!*argv[i] || *pEnd || n < 1 || n > kMaxJobs)
                return Usage();
            opt.nJobs = int(n);
        } else if (ChannelOption(argc, argv, i, opt.nChannel)) {
            if (opt.nChannel == 0)
                return 2;
        } else if (OptionValue(argc, argv, i, "--tracker", v)) {
            if (!sonavel::pitch::TrackerFromName(v, settings.tracker)) {
                PrintError("--tracker: unknown tracker '" + v + "'; the trackers are " + sonavel::pitch::TrackerNames());
                return 2;
            }
        } else if (OptionValue(argc, argv, i, "--floor", v)) {
            if (!ParsePositive(v, "floor", "Hz", settings.dFloorHz))
                return 2;
        } else if (OptionValue(argc, argv, i, "--ceiling", v)) {
            if (!ParsePositive(v, "ceiling", "Hz", settings.dCeilingHz))
                return 2;
        } else if (OptionValue(argc, argv, i, "--step", v)) {
            if (!ParsePositive(v, "step", "seconds", settings.dStepS))
                return 2;
        } else if (a == "-o" && i + 1 < argc && *argv[i + 1]) {
            opt.strDir = argv[++i];
            opt.bToDir = true;
        } else if ((a == "--format" && i + 1 < argc) || a.rfind("--format=", 0) == 0) {
            const std::string f = a == "--format" ? argv[++i] : a.substr(9);
            if (f == "csv")
                opt.format = EPitchFormat::Csv;
            else if (f == "json")
                opt.format = EPitchFormat::Json;
            else if (f == "pitchtier")
                opt.format = EPitchFormat::PitchTier;
            else
                return Usage();
        } else {
            return Usage();
        }
    }
    if (opt.files.empty())
        return Usage();
    if (const sonavel::analysis::SettingRefusal refusal = sonavel::pitch::RefusedSetting(settings)) {
        PrintError(std::string("--") + refusal.szSetting + ": " + refusal.strWhy);
        return 2;
    }
    return 0;
}

// Tracks the file with the chosen tracker through the one entry (a mono 16-bit
// WAV straight from its file, any other sound loaded). False after one line on
// stderr: the loader's own, or why the track failed.
bool TrackFile(const std::string& strIn, const PitchOptions& opt, int nThreads, PitchTrack& track,
               sonavel::pitch::PitchFrames& frames)
{
    using sonavel::analysis::EOutcome;
    const sonavel::analysis::SoundOutcome outcome = sonavel::pitch::TrackSound(
        sonavel::analysis::CSoundInput::File(strIn, opt.nChannel), opt.settings, nThreads, frames);
    track.nSampleRate = outcome.nRate;
    track.nSampleCount = outcome.nCount;
    switch (outcome.nOutcome) {
    case EOutcome::Done:
        return true;
    case EOutcome::NotLoaded:
        PrintError(sonavel::audio::DescribeLoadFailure(outcome.load, strIn));
        return false;
    case EOutcome::RangeUnfit:
        PrintError(strIn + ": " + sonavel::pitch::RateMismatch(opt.settings, outcome.nRate));
        return false;
    case EOutcome::NoMemory:
        PrintError(strIn + ": not enough memory to track the pitch");
        return false;
    case EOutcome::SourceFailed:
    case EOutcome::Refused:
        break;
    }
    PrintError(strIn + ": the pitch cannot be tracked");
    return false;
}

} // namespace

char* PartialName() { return g_pszPartial; }
void SetPartialName(char* szBuffer) { g_pszPartial = szBuffer; }

EFileResult AnalyseOne(const std::string& strIn, const std::string& strOut, const PitchOptions& opt, int nThreads)
{
    const EPitchFormat format = opt.format;
    PitchTrack track;
    track.strFile = strIn;
    sonavel::pitch::PitchFrames frames; // the samples are not held while the text is written
    if (!TrackFile(strIn, opt, nThreads, track, frames))
        return EFileResult::FailedAndSaid;
    track.pFrames = &frames;
    track.tracker = opt.settings.tracker;

    const bool bWritten = WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return WritePitchTrack(track, format, pfnWrite, pContext);
    });
    return bWritten ? EFileResult::Written : EFileResult::FailedAndSaid;
}

int RunPitch(int argc, char** argv)
{
    PitchOptions opt;
    if (const int nStatus = ParseOptions(argc, argv, opt); nStatus != 0)
        return nStatus;
    InstallSignalHandlers();
    if (opt.files.size() == 1 && !opt.bToDir)
        return AnalyseOne(opt.files[0], std::string(), opt, 0) == EFileResult::Written ? 0 : 1;
    return RunBatch(opt);
}

} // namespace analyze
} // namespace sonavel
