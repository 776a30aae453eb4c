// sonavel-analyze: the player's loading and analysis without a window or
// sound, for scripts, corpora and tests. Messages go to stderr.
#include "player/analyze/AnalyzeCommands.h"

#include "common/ProgramVersion.h"

#include <cstdio>
#include <cstring>
#include <iterator>


using namespace sonavel::analyze;

namespace {

// One line per subcommand.
const AnalyzeCommand s_commands[] = {
    {"info", "FILE...", RunInfo},
    {"samples", "FILE -o OUT [--channel N]", RunSamples},
    {"pitch",
     "[--tracker nccf|amdf] [--floor HZ] [--ceiling HZ] [--step SECONDS] [-j N] [-o DIR] "
     "[--format csv|json|pitchtier] [--channel N] FILE...",
     RunPitch},
    {"formants",
     "[--max-formant HZ] [--count N] [--step SECONDS] [--channel N] [--format csv|json] [-o DIR] [-j N] FILE...",
     RunFormants},
    {"intensity", "[--floor HZ] [--step SECONDS] [--channel N] [--format csv|json] [-o DIR] [-j N] FILE...",
     RunIntensity},
    {"spectrum", "FILE --at T [--window S] [--lpc [--max-formant HZ]] [--channel N] [--format csv|json] [-o OUT]",
     RunSpectrum},
    {"extract", "FILE [--start S] [--end E] -o OUT.wav [--channel N]", RunExtract},
    {"measure", "FILE... [--textgrid TG] [--tier NAME] [--voice] [--format csv|json] [-o OUT] [-j N]", RunMeasure},
    {"voice", "FILE... [--floor HZ] [--ceiling HZ] [--start S] [--end E] [--channel N] [--format csv|json] [-o OUT] [-j N]",
     RunVoice},
    {"render", "FILE -o OUT.png|OUT.jpg [--channel N] [--view [--start S] [--end E] [--size WxH[cm|mm|in]] [--dpi D] "
               "[--textgrid TG]] (with --view also OUT.svg|OUT.pdf)", StartRender},
};

// What --help adds about the tracking commands' columns and ranges.
const char kszPitchHelp[] =
    "\npitch: one row per frame, 0 Hz where the frame is unvoiced.\n"
    "  --tracker nccf  (default) the research tracker: normalised cross-correlation\n"
    "                  with a dynamic-programming path; a frame every --step seconds\n"
    "                  (0.01), at the frame's centre; CSV time_s,pitch_hz,confidence\n"
    "                  (confidence 0-1: how periodic the chosen period is). It searches\n"
    "                  50-800 Hz and keeps to each speaker's own range, learnt from the\n"
    "                  speech around him (a pause may change the speaker), so men,\n"
    "                  women and children, in one file or many, need no options.\n"
    "  --tracker amdf  the player's own AMDF track, as the Pitch / Spectrogram window\n"
    "                  shows it: a frame every 100 samples, whole Hz, CSV time_s,pitch_hz;\n"
    "                  70-260 Hz unless given (a voice above the ceiling comes out at a\n"
    "                  half or a third of its pitch).\n"
    "  --floor HZ, --ceiling HZ  the range searched: set them to bracket the voices\n"
    "                  (for example --floor 150 --ceiling 500 for the AMDF on a woman's\n"
    "                  or a child's voice); the amdf takes whole Hz below 1638 Hz, the\n"
    "                  research tracker a floor of 20 Hz at least and a ceiling up to a\n"
    "                  quarter of the sample rate, and no longer looks for the speaker's\n"
    "                  range once one is given.\n"
    "  --format json   the same columns as arrays (and the tracker's name); pitchtier: a\n"
    "                  Praat PitchTier of the voiced frames. A setting a tracker refuses\n"
    "                  exits with status 2.\n"
    "\nformants: a frame every --step seconds (0.01, from 0.001 to 1), the times pitch\n"
    "  gives at the same step; CSV time_s,f1_hz,...,fN_hz,b1_hz,...,bN_hz (frequencies\n"
    "  and bandwidths, 0 where a frame lacks the formant), N = --count (1-6, 5 unless\n"
    "  given). --max-formant HZ: the highest formant sought, from 1000 Hz to half the\n"
    "  sample rate (a file whose rate is too low for it fails with status 1); unless\n"
    "  given, found per file for the voice. Outputs take7.formants.csv (.json).\n"
    "\nintensity: dB re 2e-5 Pa (full scale as 1 Pa: a full-scale sine reads about\n"
    "  91 dB) on the same frames; CSV time_s,intensity_db; a frame without any sound\n"
    "  reads -300. --floor HZ (25-1000, 100 unless given): the lowest pitch expected,\n"
    "  which sets the window (6.4 / floor s). Outputs take7.intensity.csv (.json).\n"
    "  Both batch as pitch does; a setting out of range exits with status 2.\n"
    "\nmeasure: one row per labelled interval or point of each FILE's TextGrid (--textgrid\n"
    "  TG for one file; else FILE's own name with .TextGrid, beside it), every tier or\n"
    "  --tier's; columns file,tier,label,start_s,end_s,duration_s,f0_mean_hz,f0_min_hz,\n"
    "  f0_max_hz,f1_hz,f2_hz,f3_hz,intensity_db: the research tracker's f0 over the\n"
    "  interval's voiced frames, F1-F3 at its midpoint, the intensity's energy mean;\n"
    "  an empty field (JSON null) where there is no value. All rows in one table, in\n"
    "  the files' order, for any -j N (N files at once). --voice adds jitter_local_pct,\n"
    "  shimmer_local_pct, hnr_db and cpps_db: each interval's own voice report.\n"
    "\nvoice: one row per FILE (its span from --start S to --end E seconds, the whole\n"
    "  sound unless given), in one table as measure's: file,start_s,end_s,f0_median_hz,\n"
    "  f0_mean_hz,f0_sd_hz,pulses,periods,unvoiced_fraction,voice_breaks,\n"
    "  jitter_local_pct,jitter_local_abs_us,jitter_rap_pct,jitter_ppq5_pct,\n"
    "  jitter_ddp_pct,shimmer_local_pct,shimmer_local_db,shimmer_apq3_pct,\n"
    "  shimmer_apq5_pct,shimmer_apq11_pct,shimmer_dda_pct,hnr_db,cpps_db. Pulses are\n"
    "  sought along the research tracker's pitch from --floor to --ceiling Hz (75 and\n"
    "  600 unless given); jitter and shimmer compare consecutive periods of 0.1-20 ms\n"
    "  differing by at most a factor 1.3 (amplitudes 1.6); HNR: the mean over voiced\n"
    "  frames of the autocorrelation method (10 ms step); CPPS over the whole span.\n"
    "  An empty field (JSON null) where a value cannot be had (too few periods).\n"
    "\n--channel N (samples, pitch, formants, intensity, voice, render): the file's channel\n"
    "  N, 1 for the first (the default); info prints each file's channels= and\n"
    "  duration= (seconds). A file without that channel fails with a line naming its\n"
    "  count (status 1).\n"
    "\nNo command writes over one of its inputs (by any name or link): status 1.\n"
    "File names in messages are escaped as in JSON (a newline as \\n).\n";

void PrintUsage(std::FILE* pOut, bool bHelp = false)
{
    std::fprintf(pOut, "usage:\n");
    for (const AnalyzeCommand& c : s_commands)
        std::fprintf(pOut, "  sonavel-analyze %s %s\n", c.szName, c.szUsage);
    std::fprintf(pOut, "  sonavel-analyze --help | --version\n");
    if (bHelp)
        std::fputs(kszPitchHelp, pOut);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        PrintUsage(stdout, true);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("sonavel-analyze %s\n", PROGRAM_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    KeepBlocksForReuse();
    for (const AnalyzeCommand& c : s_commands)
        if (std::strcmp(argv[1], c.szName) == 0)
            return c.pfnRun(argc - 1, argv + 1);
    PrintError(std::string("unknown command '") + argv[1] + "'");
    PrintUsage(stderr);
    return 2;
}
