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

} // namespace

int RunPitch(int argc, char** argv)
{
    pitch::PitchSettings settings;
    TrackCommand command(kszUsage, "", {EFormat::Csv, EFormat::Json, EFormat::PitchTier});
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
    command.fnRefusal = [&] { return RefusalLine(pitch::RefusedSetting(settings)); };
    command.fnAnalyse = [&](const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
                            int nThreads) {
        pitch::PitchFrames frames; // the samples are not held while the text is written
        return TrackFile(
            strIn, strOut, opt, pitch::kPitchWords,
            [&](const analysis::CSoundInput& input) { return pitch::TrackSound(input, settings, nThreads, frames); },
            [&](const analysis::SoundOutcome& outcome, WriteFn pfnWrite, void* pContext) {
                const PitchTrack track{strIn, outcome.nRate, outcome.nCount, &frames, settings.tracker};
                return WritePitchTrack(track, opt.format, pfnWrite, pContext);
            });
    };
    return RunTrackCommand(command, argc, argv);
}

} // namespace analyze
} // namespace sonavel
