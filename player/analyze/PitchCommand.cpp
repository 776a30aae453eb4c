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

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analyze/OutputFile.h"
#include "player/analyze/PitchFormats.h"
#include "player/analyze/TrackCommand.h"

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] = "usage: sonavel-analyze pitch [--tracker nccf|amdf] [--floor HZ] [--ceiling HZ] "
                        "[--step SECONDS] [-j N] [-o DIR] [--format csv|json|pitchtier] [--channel N] FILE...";

// Tracks one file through the pitch's door and writes its track; false after
// one line on stderr: the loader's own, or why the track failed.
bool AnalyseFile(const pitch::PitchSettings& settings, const std::string& strIn, const std::string& strOut,
                 const TrackOptions& opt, int nThreads)
{
    pitch::PitchFrames frames; // the samples are not held while the text is written
    const analysis::SoundOutcome outcome =
        pitch::TrackSound(analysis::CSoundInput::File(strIn, opt.nChannel), settings, nThreads, frames);
    if (!outcome.Done()) {
        PrintError(analysis::DescribeOutcome(outcome, pitch::kPitchWords, strIn));
        return false;
    }
    PitchTrack track;
    track.strFile = strIn;
    track.nSampleRate = outcome.nRate;
    track.nSampleCount = outcome.nCount;
    track.pFrames = &frames;
    track.tracker = settings.tracker;
    return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return WritePitchTrack(track, opt.format, pfnWrite, pContext);
    });
}

} // namespace

int RunPitch(int argc, char** argv)
{
    pitch::PitchSettings settings;
    TrackCommand command;
    command.szUsage = kszUsage;
    command.szSuffix = "";
    command.formats = {EFormat::Csv, EFormat::Json, EFormat::PitchTier};
    command.fnOption = [&](COptionReader& args) {
        std::string v;
        if (args.Value("--tracker", v)) {
            if (!pitch::TrackerFromName(v, settings.tracker))
                args.Fail("--tracker: unknown tracker '" + v + "'; the trackers are " + pitch::TrackerNames());
            return true;
        }
        return args.Positive("--floor", "Hz", settings.dFloorHz) || args.Positive("--ceiling", "Hz", settings.dCeilingHz)
               || args.Positive("--step", "seconds", settings.dStepS);
    };
    command.fnCheck = [&] {
        if (const analysis::SettingRefusal refusal = pitch::RefusedSetting(settings)) {
            PrintError(std::string("--") + refusal.szSetting + ": " + refusal.strWhy);
            return false;
        }
        return true;
    };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) { return AnalyseFile(settings, strIn, strOut, opt, nThreads); };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
