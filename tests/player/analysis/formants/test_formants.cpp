// Formants without options on steady vowels of a man, a woman and a child, on
// a man's low F1 and on a fast glide; the settings' checks; the same frames
// for any thread count; a failing source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/FailingSamples.h"
#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/formants/FormantTrack.h"
#include "tools/voicesynth/CVoiceSynth.h"

using namespace sonavel::formants;

namespace {

const double kVowelHz[] = {530, 1840, 2480, 3500, 4500}; // an /e/-like vowel of a man

std::vector<int16_t> Vowel(double dScale, double dF0, double dSeconds, int nRate = 22050)
{
    VoiceSynthParams p;
    p.nSampleRate = nRate;
    p.dSeconds = dSeconds;
    p.contour = {{0.0, dF0}};
    p.formantsHz.clear();
    for (double f : kVowelHz)
        p.formantsHz.push_back(f * dScale);
    p.bandwidthsHz = {70, 90, 140, 200, 250};
    p.dJitter = 0.01;
    return SynthesizeVoice(p);
}

FormantFrames Track(const std::vector<int16_t>& samples, const FormantSettings& settings, int nRate = 22050,
                    int nThreads = 0)
{
    FormantFrames frames;
    const CMemorySamples source(samples.data(), int(samples.size()));
    EXPECT_EQ(TrackFormants(settings, source, int(samples.size()), nRate, nThreads, frames), sonavel::analysis::EOutcome::Done);
    return frames;
}

// The vowel silenced every other half second, in white noise of this
// standard deviation (in sample units).
std::vector<int16_t> PausedInNoise(std::vector<int16_t> samples, double dNoise, int nRate = 22050)
{
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, dNoise);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double v = (i / size_t(nRate / 2)) % 2 ? 0.0 : samples[i];
        samples[i] = int16_t(std::clamp(v + noise(rng), -32768.0, 32767.0));
    }
    return samples;
}

// The sound with its first and last 0.2 s silent, as speech between pauses.
std::vector<int16_t> Framed(std::vector<int16_t> samples, int nRate = 22050)
{
    const size_t nEdge = size_t(nRate / 5);
    for (size_t n = 0; n < samples.size(); ++n)
        if (n < nEdge || n + nEdge >= samples.size())
            samples[n] = 0;
    return samples;
}

double MedianOf(const FormantFrames& frames, int j, double dFrom = 0.1, double dTo = 0.9)
{
    std::vector<double> v;
    for (size_t i = 0; i < frames.time_s.size(); ++i)
        if (frames.time_s[i] > dFrom && frames.time_s[i] < dTo)
            v.push_back(frames.Hz(i, j));
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// A voice whose formants move: a pulse train at f0 (1 % jitter) through a
// glottal low-pass and a cascade of resonators whose frequencies formantsAt(t)
// gives per sample (bandwidths 60, 90, 150, 200, 250 Hz). With dOpen > 0 the
// source is instead a glottal flow's derivative, open for that part of each
// period (the flow x^3 - x^4 over it), closing at once.
std::vector<int16_t> MovingVowel(double dF0, double dSeconds, const std::function<void(double, double*)>& formantsAt,
                                 int nRate = 22050, double dOpen = 0)
{
    const double kBandwidthHz[5] = {60, 90, 150, 200, 250};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-0.01, 0.01);
    std::vector<double> y(size_t(dSeconds * nRate));
    double dState[5][2] = {}, dGlottal[2] = {}, dNext = 0, dStart = 0, dPeriod = 1 / dF0;
    for (size_t n = 0; n < y.size(); ++n) {
        const double t = double(n) / nRate;
        double x = 0;
        if (t >= dNext) {
            x = 1;
            dStart = t;
            dPeriod = (1 + jitter(rng)) / dF0;
            dNext = t + dPeriod;
        }
        double v = 0;
        if (dOpen > 0) {
            const double u = (t - dStart) / (dOpen * dPeriod);
            v = u < 1 ? 3 * u * u - 4 * u * u * u : 0;
        } else {
            // two real poles at 100 Hz: the glottal pulse's -12 dB per octave
            const double g = std::exp(-2 * M_PI * 100.0 / nRate);
            dGlottal[0] = x + g * dGlottal[0];
            dGlottal[1] = dGlottal[0] + g * dGlottal[1];
            v = dGlottal[1];
        }
        double f[5];
        formantsAt(t, f);
        for (int k = 0; k < 5; ++k) {
            const double r = std::exp(-M_PI * kBandwidthHz[k] / nRate);
            const double a1 = 2 * r * std::cos(2 * M_PI * f[k] / nRate), a2 = -r * r;
            const double out = (1 - a1 - a2) * v + a1 * dState[k][0] + a2 * dState[k][1];
            dState[k][1] = dState[k][0];
            dState[k][0] = out;
            v = out;
        }
        y[n] = v;
    }
    double dPeak = 0;
    for (double v : y)
        dPeak = std::max(dPeak, std::fabs(v));
    std::vector<int16_t> out(y.size());
    for (size_t n = 0; n < y.size(); ++n)
        out[n] = int16_t(std::lround(y[n] / dPeak * 20000));
    return out;
}

} // namespace

TEST(Formants, SteadyVowelsOfManWomanChildWithinTwoAndAHalfPercentWithoutOptions)
{
    const struct {
        const char* name;
        double dScale, dF0;
    } voices[] = {{"man", 1.0, 110}, {"woman", 1.17, 210}, {"child", 1.35, 250}, {"child", 1.35, 260}};
    // An unweighted predictor puts this child's F1 (715 Hz) on the harmonic
    // nearest to it: 4-5 % high at 250-260 Hz. Weighted by the energy before
    // each sample it reads within 2 % there; above 270 Hz this voice's own
    // source still draws it down (7 % at 300 Hz), which the benchmark measures
    // over many voices.
    for (const auto& v : voices) {
        const FormantFrames frames = Track(Vowel(v.dScale, v.dF0, 1.0), FormantSettings());
        ASSERT_EQ(frames.time_s.size(), 101u) << v.name;
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(MedianOf(frames, j), kVowelHz[j] * v.dScale, 0.025 * kVowelHz[j] * v.dScale)
                << v.name << " at " << v.dF0 << " Hz: F" << j + 1 << " at a ceiling of " << frames.dCeilingHz;
    }
}

TEST(Formants, LowFirstFormantOfAMansIFollowedFrameByFrame)
{
    // A man's /i/ at 100 Hz between two hisses (a "cease"): F1 at 270-300 Hz
    // lies between the second and third harmonics, and the hisses' poles lie
    // far above it; neither may pull the vowel's frames.
    for (const double dF1 : {270.0, 300.0}) {
        std::vector<int16_t> samples = MovingVowel(100, 0.7, [&](double, double* f) {
            const double i[5] = {dF1, 2250, 2950, 3500, 4500};
            std::copy(i, i + 5, f);
        });
        std::mt19937 rng(3);
        std::normal_distribution<double> hiss(0, 2000);
        for (size_t n = 0; n < samples.size(); ++n)
            if (n < 22050 * 15 / 100 || n >= 22050 * 55 / 100)
                samples[n] = int16_t(hiss(rng));
        const FormantFrames frames = Track(samples, FormantSettings());
        for (size_t n = 17; n <= 53; ++n) {
            EXPECT_NEAR(frames.Hz(n, 0), dF1, 0.08 * dF1) << "F1 at " << frames.time_s[n] << " s";
            EXPECT_NEAR(frames.Hz(n, 1), 2250, 0.05 * 2250) << "F2 at " << frames.time_s[n] << " s";
        }
    }
}

TEST(Formants, FastTransitionIsFollowedToItsTurn)
{
    // F2 rises 100 Hz per 10 ms from 1000 to 2000 Hz and falls back as fast:
    // a smoothing of 9 frames cut the turn down by a fifth.
    const auto F2At = [](double t) { return 2000 - 1e4 * std::min(std::fabs(t - 0.5), 0.1); };
    const FormantFrames frames = Track(MovingVowel(120, 1.0, [&](double t, double* f) {
        const double v[5] = {500, F2At(t), 2600, 3500, 4500};
        std::copy(v, v + 5, f);
    }), FormantSettings());
    for (size_t n = 0; n < frames.time_s.size(); ++n) {
        const double t = frames.time_s[n];
        if (t >= 0.38 && t <= 0.62) {
            EXPECT_NEAR(frames.Hz(n, 1), F2At(t), 0.06 * F2At(t)) << "F2 at " << t << " s";
        }
    }
}

TEST(Formants, ChildsFirstFormantNearItsSecondHarmonicIsNotDrawnToIt)
{
    // A glottal source open for 70 % of each period, F1 at 1.75 x f0: read
    // over the whole period the predictor put F1 11-12 % high, toward the
    // second harmonic; the closed phases alone hold it within 9.5 %.
    for (const double dF0 : {300.0, 330.0, 360.0}) {
        const double dF1 = 1.75 * dF0;
        const FormantFrames frames = Track(Framed(MovingVowel(dF0, 1.0, [&](double, double* f) {
            const double v[5] = {dF1, 1500, 3300, 4600, 5800};
            std::copy(v, v + 5, f);
        }, 22050, 0.7)), FormantSettings());
        EXPECT_NEAR(MedianOf(frames, 0, 0.3, 0.7), dF1, 0.095 * dF1) << "f0 " << dF0 << " Hz, ceiling " << frames.dCeilingHz;
    }
}

TEST(Formants, ShortDipOfAMansFirstFormantIsFollowedToItsBottom)
{
    // F1 falls from 700 to 240 Hz in 20 ms and rises as fast (a closure
    // between two open vowels): a median of 3 frames read the bottom 360-390
    // Hz, or nothing.
    const auto F1At = [](double t) {
        const double d = std::fabs(t - 0.5);
        return d < 0.005 ? 240.0 : d < 0.025 ? 240 + (d - 0.005) / 0.02 * 460 : 700.0;
    };
    for (const double dF0 : {100.0, 110.0, 125.0}) {
        const FormantFrames frames = Track(Framed(MovingVowel(dF0, 1.0, [&](double t, double* f) {
            const double v[5] = {F1At(t), 1200, 2500, 3500, 4500};
            std::copy(v, v + 5, f);
        })), FormantSettings());
        EXPECT_NEAR(frames.Hz(50, 0), 240, 0.1 * 240) << "f0 " << dF0 << " Hz";
    }
}

TEST(Formants, EveryFrameOfANoisyVoiceNumbersItsFormantsFromTheLowest)
{
    // In the pauses the tracks' numbering shifts from frame to frame; each
    // track smoothed alone once left F4 below F3 or F2 below F1 there.
    const FormantFrames frames = Track(PausedInNoise(Vowel(1.0, 120, 3.0), 1000), FormantSettings());
    for (size_t i = 0; i < frames.time_s.size(); ++i)
        for (int j = 1; j < frames.nFormants && frames.Hz(i, j) > 0; ++j)
            ASSERT_GE(frames.Hz(i, j), frames.Hz(i, j - 1)) << "F" << j + 1 << " at " << frames.time_s[i] << " s";
}

TEST(Formants, FramesLieOnThePitchGridAndDoNotDependOnThreads)
{
    // 12 s at a step of 3 ms: 4001 frames in three blocks, probed in runs.
    const std::vector<int16_t> samples = Vowel(1.1, 150, 12.0, 16000);
    FormantSettings settings;
    settings.dStepS = 0.003;
    const FormantFrames one = Track(samples, settings, 16000, 1);
    const FormantFrames three = Track(samples, settings, 16000, 3);
    ASSERT_EQ(one.time_s.size(), 4001u);
    EXPECT_DOUBLE_EQ(one.time_s[100], 0.3);
    EXPECT_EQ(one.dCeilingHz, three.dCeilingHz);
    EXPECT_EQ(one.hz, three.hz);
    EXPECT_EQ(one.bandwidth_hz, three.bandwidth_hz);
    // No sound at all is one frame at 0 s without formants.
    const FormantFrames none = Track({}, FormantSettings(), 16000);
    ASSERT_EQ(none.time_s.size(), 1u);
    EXPECT_EQ(none.Hz(0, 0), 0.0);
}

TEST(Formants, RefusedSettingsAreNamedBeforeAnySoundIsRead)
{
    const struct {
        int nFormants;
        double dCeiling, dStep;
        const char* refused;
    } cases[] = {{0, 0, 0.01, "formants"},    {7, 0, 0.01, "formants"},      {5, 999, 0.01, "max-formant"},
                 {5, 11026, 0.01, "max-formant"}, {5, 0, 0.0009, "step"}, {5, 0, 1.5, "step"},
                 {6, 11025, 1.0, nullptr},    {1, 1000, 0.001, nullptr}};
    const CFailingSamples source;
    for (const auto& c : cases) {
        FormantSettings s;
        s.nFormants = c.nFormants;
        s.dCeilingHz = c.dCeiling;
        s.dStepS = c.dStep;
        EXPECT_STREQ(RefusedSetting(s, 22050).szSetting, c.refused) << c.nFormants << " " << c.dCeiling << " " << c.dStep;
        FormantFrames frames;
        // A refused setting never reaches the source; a taken one does, and its failure shows.
        EXPECT_EQ(TrackFormants(s, source, 22050, 22050, 1, frames), c.refused ? sonavel::analysis::EOutcome::Refused : sonavel::analysis::EOutcome::SourceFailed);
        EXPECT_TRUE(frames.time_s.empty());
    }
    FormantFrames frames;
    EXPECT_EQ(TrackFormants(FormantSettings(), source, 100, kMaxRateHz + 1, 1, frames), sonavel::analysis::EOutcome::Refused);
}

