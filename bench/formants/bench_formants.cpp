// The formant and intensity libraries run on a mono 16-bit WAV file as a whole
// process, for the benchmark's timing and accuracy (not a test; the command
// line gets its own commands later):
//   bench_formants formants FILE [--max-formant HZ] [--formants N] [-j N] [-o OUT]
//   bench_formants intensity FILE [-j N] [-o OUT]
// OUT gets one line per frame: the time, then F1 B1 F2 B2 ... (formants) or
// the dB (intensity); without -o only the frame count is printed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "player/analysis/core/CWaveFileSamples.h"
#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_formants formants|intensity FILE [--max-formant HZ] [--formants N] [-j N] [-o OUT]\n");
        return 2;
    }
    const std::string strWhat = argv[1];
    std::string strOut;
    double dCeiling = 0;
    int nThreads = 0;
    int nFormants = 5;
    for (int a = 3; a + 1 < argc; a += 2) {
        if (!std::strcmp(argv[a], "--max-formant"))
            dCeiling = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--formants"))
            nFormants = std::atoi(argv[a + 1]);
        else if (!std::strcmp(argv[a], "-j"))
            nThreads = std::atoi(argv[a + 1]);
        else if (!std::strcmp(argv[a], "-o"))
            strOut = argv[a + 1];
    }
    sonavel::analysis::CWaveFileSamples source;
    if (!source.Open(argv[2])) {
        std::fprintf(stderr, "%s: not a mono 16-bit WAV file\n", argv[2]);
        return 1;
    }
    FILE* out = strOut.empty() ? nullptr : std::fopen(strOut.c_str(), "w");
    if (!strOut.empty() && !out)
        return 1;
    sonavel::analysis::EOutcome nResult = sonavel::analysis::EOutcome::Done;
    size_t nFrames = 0;
    if (strWhat == "formants") {
        sonavel::formants::FormantSettings settings;
        settings.dCeilingHz = dCeiling;
        settings.nFormants = nFormants;
        sonavel::formants::FormantFrames frames;
        nResult = sonavel::formants::TrackFormants(settings, source, source.Count(), source.Rate(), nThreads, frames);
        nFrames = frames.time_s.size();
        for (size_t i = 0; out && i < nFrames; ++i) {
            std::fprintf(out, "%.4f", frames.time_s[i]);
            for (int j = 0; j < frames.nFormants; ++j)
                std::fprintf(out, " %.1f %.1f", frames.Hz(i, j), frames.Bandwidth(i, j));
            std::fprintf(out, "\n");
        }
        std::printf("frames=%zu ceiling=%.0f\n", nFrames, frames.dCeilingHz);
    } else {
        sonavel::intensity::IntensitySettings settings;
        sonavel::intensity::IntensityFrames frames;
        nResult = sonavel::intensity::TrackIntensity(settings, source, source.Count(), source.Rate(), nThreads, frames);
        nFrames = frames.time_s.size();
        for (size_t i = 0; out && i < nFrames; ++i)
            std::fprintf(out, "%.4f %.3f\n", frames.time_s[i], frames.db[i]);
        std::printf("frames=%zu\n", nFrames);
    }
    if (out)
        std::fclose(out);
    return nResult == sonavel::analysis::EOutcome::Done ? 0 : 1;
}
