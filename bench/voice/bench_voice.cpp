// The voice report of a sound file as a whole process, for the benchmark's
// timing and accuracy (not a test; the command line gets its own command later):
//   bench_voice FILE [--floor HZ] [--ceiling HZ] [--start S] [--end E] [-j N] [--pulses OUT]
// prints one line "name value" per measure ("-" where not available); OUT gets
// the pulses, one "time amplitude" line each.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "player/analysis/voice/VoiceReport.h"

namespace {
void Print(const char* szName, const std::optional<double>& d)
{
    if (d)
        std::printf("%s %.6f\n", szName, *d);
    else
        std::printf("%s -\n", szName);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_voice FILE [--floor HZ] [--ceiling HZ] [--start S] [--end E] [-j N] "
                             "[--pulses OUT]\n");
        return 2;
    }
    sonavel::voice::VoiceSettings settings;
    int nThreads = 0;
    std::string strPulses;
    for (int a = 2; a + 1 < argc; a += 2) {
        if (!std::strcmp(argv[a], "--floor"))
            settings.dFloorHz = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--ceiling"))
            settings.dCeilingHz = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--start"))
            settings.dStartS = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--end"))
            settings.dEndS = std::atof(argv[a + 1]);
        else if (!std::strcmp(argv[a], "-j"))
            nThreads = std::atoi(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--pulses"))
            strPulses = argv[a + 1];
    }
    sonavel::voice::VoiceReport r;
    sonavel::voice::VoiceTracks tracks;
    const sonavel::analysis::SoundOutcome outcome = sonavel::voice::ReportVoice(
        sonavel::analysis::CSoundInput::File(argv[1], 1), settings, nThreads, r, strPulses.empty() ? nullptr : &tracks);
    if (!outcome.Done()) {
        std::fprintf(stderr, "%s: the voice report failed (%d)\n", argv[1], int(outcome.nOutcome));
        return 1;
    }
    Print("f0_median_hz", r.dF0MedianHz);
    Print("f0_mean_hz", r.dF0MeanHz);
    Print("f0_sd_hz", r.dF0SdHz);
    std::printf("pulses %d\nperiods %d\n", r.nPulses, r.nPeriods);
    Print("unvoiced_fraction", r.dUnvoicedFraction);
    std::printf("voice_breaks %d\n", r.nVoiceBreaks);
    Print("jitter_local", r.jitter.dLocalPct);
    Print("jitter_local_abs", r.jitter.dLocalAbsUs);
    Print("jitter_rap", r.jitter.dRapPct);
    Print("jitter_ppq5", r.jitter.dPpq5Pct);
    Print("jitter_ddp", r.jitter.dDdpPct);
    Print("shimmer_local", r.shimmer.dLocalPct);
    Print("shimmer_db", r.shimmer.dLocalDb);
    Print("shimmer_apq3", r.shimmer.dApq3Pct);
    Print("shimmer_apq5", r.shimmer.dApq5Pct);
    Print("shimmer_apq11", r.shimmer.dApq11Pct);
    Print("shimmer_dda", r.shimmer.dDdaPct);
    Print("hnr", r.dHnrDb);
    Print("cpps", r.dCppsDb);
    if (!strPulses.empty()) {
        FILE* f = std::fopen(strPulses.c_str(), "w");
        if (!f)
            return 1;
        for (size_t i = 0; i < tracks.pulses.time_s.size(); ++i)
            std::fprintf(f, "%.9f %.9g\n", tracks.pulses.time_s[i], tracks.pulses.amplitude[i]);
        std::fclose(f);
    }
    return 0;
}
