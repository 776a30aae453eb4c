// The voice report: the perturbation measures on period and amplitude
// sequences worked out by hand; pulses, jitter, shimmer and HNR of voices made
// here with known periods, amplitudes and noise; CPPS against Praat's; the
// outcomes of bad settings and a failing source; the same numbers from a file
// read a block at a time, from samples held, and on any number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <fstream>
#include <sstream>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/voice/VoiceReport.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/FailingSamples.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

using namespace sonavel::voice;
using sonavel::analysis::EOutcome;
using testsupport::CScratchDir;
using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

std::vector<double> Alternating(double a, double b, int n)
{
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i % 2 ? b : a);
    return v;
}

// A sustained vowel whose every cycle is the same waveform (two damped
// resonances after a smooth onset, tapered to 0 before the shortest period
// ends), scaled by its amplitude and placed at its onset to a fraction of a
// sample, with white noise at dHnrDb below the voice's power.
struct KnownVoice {
    int nRate = 0;
    std::vector<int16_t> samples;
    std::vector<double> onsets, amplitudes;
};

KnownVoice MakeVoice(int nRate, double dSeconds, double dF0, double dJitter, double dShimmer, double dHnrDb,
                     unsigned nSeed)
{
    KnownVoice v;
    v.nRate = nRate;
    std::mt19937 rng(nSeed);
    std::normal_distribution<double> normal;
    for (double t = 0.03; t < dSeconds - 0.03; t += (1 + normal(rng) * dJitter / 1.128) / dF0) {
        v.onsets.push_back(t);
        v.amplitudes.push_back(std::pow(10.0, normal(rng) * dShimmer / 0.1837 / 20));
    }
    const double dShortest = 0.9 / dF0;
    auto shape = [&](double t) {
        if (t < 0 || t >= 0.85 * dShortest)
            return 0.0;
        const double dOnset = t < 0.0004 ? 0.5 - 0.5 * std::cos(M_PI * t / 0.0004) : 1.0;
        const double dTaper =
            t < 0.5 * dShortest ? 1.0 : 0.5 + 0.5 * std::cos(M_PI * (t - 0.5 * dShortest) / (0.35 * dShortest));
        return dOnset * dTaper *
               (std::exp(-M_PI * 90 * t) * std::sin(2 * M_PI * 700 * t) +
                0.6 * std::exp(-M_PI * 120 * t) * std::sin(2 * M_PI * 1200 * t + 0.5));
    };
    std::vector<double> x(size_t(dSeconds * nRate), 0.0);
    for (size_t i = 0; i < v.onsets.size(); ++i)
        for (size_t n = size_t(v.onsets[i] * nRate); n < x.size() && n < size_t((v.onsets[i] + dShortest) * nRate) + 1;
             ++n)
            x[n] += v.amplitudes[i] * shape(double(n) / nRate - v.onsets[i]);
    double dPower = 0;
    for (double d : x)
        dPower += d * d;
    dPower /= double(x.size());
    const double dNoise = std::sqrt(dPower / std::pow(10.0, dHnrDb / 10));
    double dPeak = 0;
    for (double& d : x) {
        d += dNoise * normal(rng);
        dPeak = std::max(dPeak, std::fabs(d));
    }
    for (double d : x)
        v.samples.push_back(int16_t(std::lround(d / dPeak * 16000)));
    return v;
}

// Jitter and shimmer of the true cycles, by the definitions written out here.
double TrueJitterLocal(const KnownVoice& v)
{
    double dDiff = 0, dSum = 0;
    const size_t n = v.onsets.size() - 1;
    for (size_t i = 0; i < n; ++i) {
        const double t = v.onsets[i + 1] - v.onsets[i];
        dSum += t;
        if (i > 0)
            dDiff += std::fabs(t - (v.onsets[i] - v.onsets[i - 1]));
    }
    return 100 * (dDiff / double(n - 1)) / (dSum / double(n));
}

double TrueShimmerLocal(const KnownVoice& v)
{
    double dDiff = 0, dSum = 0;
    const size_t n = v.amplitudes.size() - 1;
    for (size_t i = 0; i < n; ++i) {
        dSum += v.amplitudes[i];
        if (i > 0)
            dDiff += std::fabs(v.amplitudes[i] - v.amplitudes[i - 1]);
    }
    return 100 * (dDiff / double(n - 1)) / (dSum / double(n));
}

EOutcome Measure(const std::vector<int16_t>& samples, int nRate, VoiceReport& report, VoiceTracks* pTracks = nullptr,
                 int nThreads = 1, const VoiceSettings& settings = VoiceSettings())
{
    const CMemorySamples source(samples.data(), int(samples.size()));
    return MeasureVoice(settings, source, int(samples.size()), nRate, nThreads, report, pTracks);
}

} // namespace

TEST(VoicePerturbation, AlternatingPeriodsGiveTheJitterWorkedOutByHand)
{
    const double a = 0.010, b = 0.0101, d = b - a, mean = (a + b) / 2;
    const JitterValues j = MeasureJitter(Alternating(a, b, 40), PerturbationLimits());
    ASSERT_TRUE(j.dLocalPct && j.dLocalAbsUs && j.dRapPct && j.dPpq5Pct && j.dDdpPct);
    EXPECT_NEAR(*j.dLocalPct, 100 * d / mean, 1e-9);
    EXPECT_NEAR(*j.dLocalAbsUs, 1e6 * d, 1e-6);
    // A short period between two long ones lies 2/3 d below their mean of
    // three, and 2/5 d below the mean of five.
    EXPECT_NEAR(*j.dRapPct, 100 * (2.0 / 3) * d / mean, 1e-9);
    EXPECT_NEAR(*j.dPpq5Pct, 100 * (2.0 / 5) * d / mean, 1e-9);
    EXPECT_NEAR(*j.dDdpPct, 100 * 2 * d / mean, 1e-9);
}

TEST(VoicePerturbation, AlternatingAmplitudesGiveTheShimmerWorkedOutByHand)
{
    const double A = 1.0, B = 1.1, d = B - A, mean = (A + B) / 2;
    const ShimmerValues s = MeasureShimmer(std::vector<double>(40, 0.008), Alternating(A, B, 40), PerturbationLimits());
    ASSERT_TRUE(s.dLocalPct && s.dLocalDb && s.dApq3Pct && s.dApq5Pct && s.dApq11Pct && s.dDdaPct);
    EXPECT_NEAR(*s.dLocalPct, 100 * d / mean, 1e-9);
    EXPECT_NEAR(*s.dLocalDb, 20 * std::log10(B / A), 1e-9);
    EXPECT_NEAR(*s.dApq3Pct, 100 * (2.0 / 3) * d / mean, 1e-9);
    EXPECT_NEAR(*s.dApq5Pct, 100 * (2.0 / 5) * d / mean, 1e-9);
    EXPECT_NEAR(*s.dApq11Pct, 100 * (6.0 / 11) * d / mean, 1e-9); // 5 of one, 6 of the other around it
    EXPECT_NEAR(*s.dDdaPct, 100 * 2 * d / mean, 1e-9);
}

TEST(VoicePerturbation, GuardsLeaveJumpsGapsAndShortRunsUncompared)
{
    const PerturbationLimits limits;
    // A jump by 1.4 (over the factor 1.3) is not compared: steady runs either side read 0.
    std::vector<double> periods(10, 0.005);
    periods.insert(periods.end(), 10, 0.007);
    EXPECT_DOUBLE_EQ(*MeasureJitter(periods, limits).dLocalPct, 0);
    // A gap longer than the longest period is no period and parts the runs: the
    // same jitter as the runs alone.
    std::vector<double> split = Alternating(0.010, 0.0101, 8);
    split.push_back(0.025);
    const std::vector<double> tail = Alternating(0.010, 0.0101, 8);
    split.insert(split.end(), tail.begin(), tail.end());
    EXPECT_NEAR(*MeasureJitter(split, limits).dRapPct, *MeasureJitter(tail, limits).dRapPct, 1e-12);
    EXPECT_EQ(CountPeriods(split, limits), 16);
    // Amplitudes that jump by 1.7 (over 1.6) are not compared; periods still are.
    std::vector<double> amps(10, 0.5);
    amps.insert(amps.end(), 10, 0.85);
    EXPECT_DOUBLE_EQ(*MeasureShimmer(std::vector<double>(20, 0.008), amps, limits).dLocalPct, 0);
    // Too few periods: what needs more is not available.
    const JitterValues three = MeasureJitter({0.010, 0.0101, 0.010}, limits);
    EXPECT_TRUE(three.dLocalPct && three.dRapPct);
    EXPECT_FALSE(three.dPpq5Pct);
    EXPECT_FALSE(MeasureJitter({0.010}, limits).dLocalPct);
    EXPECT_FALSE(MeasureShimmer(std::vector<double>(10, 0.01), std::vector<double>(10, 1.0), limits).dApq11Pct);
}

TEST(VoiceReport, PulsesOfAKnownVoiceFallOnePerCycle)
{
    for (const auto& [nRate, dF0] : {std::pair<int, double>{44100, 120}, {16000, 310}}) {
        const KnownVoice v = MakeVoice(nRate, 2.0, dF0, 0.01, 0.04, 40, 7);
        VoiceReport r;
        VoiceTracks tracks;
        ASSERT_EQ(Measure(v.samples, nRate, r, &tracks), EOutcome::Done);
        const std::vector<double>& pulses = tracks.pulses.time_s;
        ASSERT_GE(pulses.size(), v.onsets.size() - 4) << nRate;
        ASSERT_LE(pulses.size(), v.onsets.size());
        // Each pulse lies at one phase of its own cycle: the same offset from
        // its onset, whatever the cycle's jitter.
        std::vector<double> offsets;
        std::vector<size_t> cycles;
        for (double p : pulses) {
            const size_t k = size_t(std::upper_bound(v.onsets.begin(), v.onsets.end(), p) - v.onsets.begin()) - 1;
            cycles.push_back(k);
            offsets.push_back(p - v.onsets[k]);
        }
        EXPECT_TRUE(std::adjacent_find(cycles.begin(), cycles.end()) == cycles.end()) << "two pulses in one cycle";
        const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
        EXPECT_LT(*hi - *lo, 10e-6) << nRate;
        EXPECT_NEAR(*r.jitter.dLocalPct, TrueJitterLocal(v), 0.03) << nRate;
        EXPECT_NEAR(*r.shimmer.dLocalPct, TrueShimmerLocal(v), 0.3) << nRate;
        EXPECT_EQ(r.nVoiceBreaks, 0);
        EXPECT_NEAR(*r.dF0MedianHz, dF0, dF0 * 0.02);
    }
}

TEST(VoiceReport, HnrReadsTheNoiseMixedIn)
{
    for (double dHnr : {5.0, 12.0, 20.0}) {
        const KnownVoice v = MakeVoice(22050, 1.5, 180, 0, 0, dHnr, 11);
        VoiceReport r;
        ASSERT_EQ(Measure(v.samples, v.nRate, r), EOutcome::Done);
        ASSERT_TRUE(r.dHnrDb);
        EXPECT_NEAR(*r.dHnrDb, dHnr, 0.5);
    }
    // Silence has no voiced frame: nothing to report, no made-up number.
    VoiceReport r;
    ASSERT_EQ(Measure(std::vector<int16_t>(22050, 0), 22050, r), EOutcome::Done);
    EXPECT_FALSE(r.dHnrDb || r.jitter.dLocalPct || r.shimmer.dLocalPct || r.dF0MeanHz);
    EXPECT_EQ(r.nPulses, 0);
    EXPECT_DOUBLE_EQ(*r.dUnvoicedFraction, 1.0);
}

TEST(VoiceReport, CppsAgreesWithPraat)
{
    if (Shell("command -v praat > /dev/null") != 0)
        GTEST_SKIP() << "praat is not installed (apt-get install praat): CPPS is not checked against it";
    CScratchDir dir;
    // A breathy woman's vowel at 44.1 kHz, and a man's voice with pauses (over a
    // noise floor, as a microphone gives) at 16 kHz.
    std::vector<std::pair<std::string, std::vector<int16_t>>> files;
    files.push_back({dir / "vowel.wav", MakeVoice(44100, 1.5, 220, 0.005, 0.03, 15, 3).samples});
    VoiceSynthParams p;
    p.nSampleRate = 16000;
    p.dSeconds = 2.5;
    p.contour = {{0.0, 0}, {0.3, 0}, {0.31, 110}, {1.2, 95}, {1.21, 0}, {1.5, 0}, {1.51, 130}, {2.3, 100}, {2.31, 0}};
    std::vector<int16_t> speech = SynthesizeVoice(p);
    std::mt19937 rng(5);
    std::normal_distribution<double> floorNoise(0, 20);
    for (int16_t& s : speech)
        s = int16_t(std::clamp(std::lround(s + floorNoise(rng)), -32768L, 32767L));
    files.push_back({dir / "speech.wav", speech});
    std::string strList;
    for (const auto& [path, samples] : files) {
        ASSERT_TRUE(WriteWavFile(path, samples, path.find("vowel") != std::string::npos ? 44100 : 16000));
        strList += "Read from file: \"" + path + "\"\nTo PowerCepstrogram: 60, 0.002, 5000, 50\n"
                   "c = Get CPPS: \"yes\", 0.02, 0.0005, 60, 330, 0.05, \"parabolic\", 0.001, 0, "
                   "\"Exponential decay\", \"Robust\"\nappendInfoLine: fixed$ (c, 6)\n";
    }
    std::ofstream(dir / "cpps.praat") << strList;
    ASSERT_EQ(Shell("HOME=" + Quote(dir.Path()) + " praat --run " + Quote(dir / "cpps.praat") + " > " +
                    Quote(dir / "praat.txt") + " 2>&1"),
              0)
        << Slurp(dir / "praat.txt");
    std::istringstream praat(Slurp(dir / "praat.txt"));
    for (const auto& [path, samples] : files) {
        double dPraat = 0;
        ASSERT_TRUE(praat >> dPraat) << Slurp(dir / "praat.txt");
        VoiceReport r;
        ASSERT_TRUE(ReportVoice(sonavel::analysis::CSoundInput::File(path, 1), VoiceSettings(), 0, r).Done());
        ASSERT_TRUE(r.dCppsDb);
        EXPECT_NEAR(*r.dCppsDb, dPraat, 0.15) << path;
    }
}

TEST(VoiceReport, BadSettingsAndAFailingSourceAreSaidSo)
{
    VoiceSettings s;
    s.dFloorHz = 700;
    EXPECT_STREQ(RefusedSetting(s).szSetting, "floor");
    s = VoiceSettings();
    s.dStartS = 1.0;
    s.dEndS = 0.5;
    EXPECT_STREQ(RefusedSetting(s).szSetting, "end");
    s.dEndS = 0;
    s.dStartS = 5.0; // past the end of a one-second sound
    const std::vector<int16_t> second(8000, 0);
    VoiceReport r;
    EXPECT_EQ(Measure(second, 8000, r, nullptr, 1, s), EOutcome::Refused);
    s.dStartS = 0;
    s.dCeilingHz = 3000; // above a quarter of 8 kHz: the pitch tracker cannot hold it
    EXPECT_EQ(Measure(second, 8000, r, nullptr, 1, s), EOutcome::RangeUnfit);
    const CFailingSamples failing;
    EXPECT_EQ(MeasureVoice(VoiceSettings(), failing, 80000, 8000, 1, r), EOutcome::SourceFailed);
    EXPECT_EQ(r.nPulses, 0);
}

TEST(VoiceReport, FileStreamedSamplesHeldAndThreadsAgree)
{
    // Nine seconds: the cepstral frames fall in more than one block.
    const KnownVoice v = MakeVoice(8000, 9.0, 140, 0.008, 0.03, 25, 21);
    CScratchDir dir;
    ASSERT_TRUE(WriteWavFile(dir / "v.wav", v.samples, 8000));
    VoiceReport one, two, file;
    ASSERT_EQ(Measure(v.samples, 8000, one, nullptr, 1), EOutcome::Done);
    ASSERT_EQ(Measure(v.samples, 8000, two, nullptr, 3), EOutcome::Done);
    ASSERT_TRUE(ReportVoice(sonavel::analysis::CSoundInput::File(dir / "v.wav", 1), VoiceSettings(), 2, file).Done());
    for (const VoiceReport* r : {&two, &file}) {
        EXPECT_EQ(r->nPulses, one.nPulses);
        EXPECT_EQ(*r->jitter.dPpq5Pct, *one.jitter.dPpq5Pct);
        EXPECT_EQ(*r->shimmer.dApq11Pct, *one.shimmer.dApq11Pct);
        EXPECT_EQ(*r->dHnrDb, *one.dHnrDb);
        EXPECT_EQ(*r->dCppsDb, *one.dCppsDb);
    }
    // A span is measured as the same sound cut out: its times start at 0.
    VoiceSettings span;
    span.dStartS = 3.0;
    span.dEndS = 6.0;
    const std::vector<int16_t> cut(v.samples.begin() + 24000, v.samples.begin() + 48000);
    VoiceReport a, b;
    ASSERT_EQ(Measure(v.samples, 8000, a, nullptr, 1, span), EOutcome::Done);
    ASSERT_EQ(Measure(cut, 8000, b), EOutcome::Done);
    EXPECT_DOUBLE_EQ(a.dStartS, 3.0);
    EXPECT_DOUBLE_EQ(a.dEndS, 6.0);
    EXPECT_EQ(a.nPulses, b.nPulses);
    EXPECT_EQ(*a.dCppsDb, *b.dCppsDb);
    EXPECT_EQ(*a.jitter.dLocalPct, *b.jitter.dLocalPct);
}

TEST(VoiceReport, TracksAloneAreTheReportsOwn)
{
    const KnownVoice v = MakeVoice(16000, 2.0, 180, 0.01, 0.04, 20, 5);
    const CMemorySamples source(v.samples.data(), int(v.samples.size()));
    const auto input = sonavel::analysis::CSoundInput::Samples(source, int(v.samples.size()), 16000);
    VoiceSettings s;
    s.dStartS = 0.5;
    VoiceReport r;
    VoiceTracks all, pulses, harmonicity;
    ASSERT_TRUE(ReportVoice(input, s, 1, r, &all).Done());
    ASSERT_TRUE(TrackVoice(input, s, 1, EVoiceTracks::Pulses, pulses).Done());
    ASSERT_TRUE(TrackVoice(input, s, 1, EVoiceTracks::Harmonicity, harmonicity).Done());
    ASSERT_GT(all.pulses.time_s.size(), 200u);
    EXPECT_GE(all.pulses.time_s.front(), 0.5); // times from the start of the sound
    EXPECT_EQ(pulses.pulses.time_s, all.pulses.time_s);
    EXPECT_TRUE(pulses.harmonicity.time_s.empty());
    EXPECT_EQ(harmonicity.harmonicity.time_s, all.harmonicity.time_s);
    EXPECT_EQ(harmonicity.harmonicity.db, all.harmonicity.db);
    // A refused setting is said in the outcome's words, naming the setting.
    s.dFloorHz = 700;
    const sonavel::analysis::SoundOutcome refused = TrackVoice(input, s, 1, EVoiceTracks::Pulses, pulses);
    EXPECT_EQ(refused.nOutcome, EOutcome::Refused);
    EXPECT_EQ(refused.strWhy.rfind("floor: ", 0), 0u) << refused.strWhy;
}
