// Formants without options on steady vowels of a man, a woman and a child; the
// settings' checks; the same frames for any thread count; a failing source.
#include <gtest/gtest.h>

#include <algorithm>
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

double MedianOf(const FormantFrames& frames, int j)
{
    std::vector<double> v;
    for (size_t i = 0; i < frames.time_s.size(); ++i)
        if (frames.time_s[i] > 0.1 && frames.time_s[i] < 0.9)
            v.push_back(frames.Hz(i, j));
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
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
