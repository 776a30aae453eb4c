// The spectral slice against truths it did not compute: sines of known
// frequency and level, white noise whose mean level the envelope must meet,
// synthesised vowels of known formants; and how it fails.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/slice/SpectralSlice.h"
#include "tests/support/FailingSamples.h"
#include "tests/support/VowelCorpus.h"

using namespace sonavel::slice;
using sonavel::analysis::EOutcome;

namespace {

struct Sine {
    double dHz, dAmplitude; // amplitude as full scale 1
};

std::vector<int16_t> Sines(const std::vector<Sine>& sines, int nRate, double dSeconds)
{
    std::vector<int16_t> s(size_t(dSeconds * nRate));
    for (size_t i = 0; i < s.size(); ++i) {
        double v = 0;
        for (const Sine& sine : sines)
            v += sine.dAmplitude * std::sin(2 * M_PI * sine.dHz * double(i) / nRate + 0.3);
        s[i] = int16_t(std::lround(v * 32767));
    }
    return s;
}

EOutcome Slice(const std::vector<int16_t>& samples, int nRate, const SliceSettings& settings, SpectralSlice& slice,
               const CSampleSource* pSource = nullptr)
{
    const CMemorySamples memory(samples.data(), int(samples.size()));
    return MakeSlice(settings, pSource ? *pSource : memory, int(samples.size()), nRate, 0, slice);
}

SliceSettings At(double dTimeS, double dWindowS = 0.005, bool bEnvelope = false)
{
    SliceSettings settings;
    settings.dTimeS = dTimeS;
    settings.dWindowS = dWindowS;
    settings.bEnvelope = bEnvelope;
    return settings;
}

} // namespace

TEST(SpectralSlice, SinesReadTheirFrequencyAndTheirOwnLevel)
{
    const std::vector<Sine> sines = {{440.3, 0.3}, {1777.7, 0.1}, {3211.1, 0.02}};
    for (int nRate : {16000, 44100})
        for (double dWindow : {0.005, 0.03}) {
            SpectralSlice slice;
            ASSERT_EQ(Slice(Sines(sines, nRate, 1), nRate, At(0.4567, dWindow), slice), EOutcome::Done);
            ASSERT_EQ(slice.peaks.size(), sines.size()) << nRate << " Hz, window " << dWindow;
            for (size_t k = 0; k < sines.size(); ++k) {
                // The level as the intensity reads a sine: its mean square re (2e-5 Pa)^2.
                const double dLevel = 10 * std::log10(sines[k].dAmplitude * sines[k].dAmplitude / 2 / 4e-10);
                EXPECT_NEAR(slice.peaks[k].dHz, sines[k].dHz, 0.5) << nRate << " Hz, window " << dWindow;
                EXPECT_NEAR(slice.peaks[k].dDb, dLevel, 0.2) << nRate << " Hz, window " << dWindow;
            }
            EXPECT_DOUBLE_EQ(slice.frequency_hz.back(), nRate / 2.0);
            EXPECT_LE(slice.frequency_hz[1], 8.0);
        }
}

TEST(SpectralSlice, EnvelopeMeetsTheMeanSpectrumOfNoise)
{
    const int nRate = 16000, nSlices = 120;
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 3000);
    std::vector<int16_t> samples(size_t(nSlices * 0.025 * nRate + 0.4 * nRate));
    for (int16_t& s : samples)
        s = int16_t(std::lround(noise(rng)));
    // The spectrum's power and the envelope's, each averaged over windows that
    // do not overlap.
    std::vector<double> mean, envelope;
    SpectralSlice slice;
    SliceSettings settings = At(0, 0.005, true);
    settings.formants.dCeilingHz = 5000;
    for (int i = 0; i < nSlices; ++i) {
        settings.dTimeS = 0.2 + i * 0.025;
        ASSERT_EQ(Slice(samples, nRate, settings, slice), EOutcome::Done);
        mean.resize(slice.db.size());
        envelope.resize(slice.db.size());
        for (size_t k = 0; k < slice.db.size(); ++k) {
            mean[k] += std::pow(10, slice.db[k] / 10) / nSlices;
            envelope[k] += std::pow(10, slice.lpc_db[k] / 10) / nSlices;
        }
    }
    double dOffset = 0;
    int nBins = 0;
    for (size_t k = 0; k < slice.frequency_hz.size(); ++k) {
        if (slice.frequency_hz[k] < 300 || slice.frequency_hz[k] > 4500)
            continue;
        const double d = 10 * std::log10(envelope[k] / mean[k]);
        EXPECT_NEAR(d, 0, 3) << slice.frequency_hz[k] << " Hz";
        dOffset += d;
        ++nBins;
    }
    EXPECT_NEAR(dOffset / nBins, 0, 0.5);
    EXPECT_TRUE(std::isnan(slice.lpc_db.back())) << "nothing above the ceiling, " << slice.dCeilingHz << " Hz";
}

TEST(SpectralSlice, EnvelopePeaksAreTheFormantsOfVowels)
{
    // Men's, women's and children's vowels with known F1-F3 (tests/support).
    const testsupport::VowelRecording rec = testsupport::MakeVowelRecording();
    const auto& mids = rec.grid.tiers[1].points;
    for (size_t v = 0; v < mids.size(); ++v) {
        const testsupport::KnownVowel& vowel = testsupport::KnownVowels()[v];
        SpectralSlice slice;
        ASSERT_EQ(Slice(rec.samples, rec.nRate, At(mids[v].dTime, 0.005, true), slice), EOutcome::Done);
        for (double dTruth : {vowel.dF1Hz, vowel.dF2Hz, vowel.dF3Hz}) {
            double dNearest = 1e9;
            for (const SlicePeak& p : slice.lpcPeaks)
                if (std::fabs(p.dHz - dTruth) < std::fabs(dNearest - dTruth))
                    dNearest = p.dHz;
            EXPECT_NEAR(dNearest, dTruth, 0.08 * dTruth) << vowel.szLabel << " at " << mids[v].dTime << " s";
        }
    }
}

TEST(SpectralSlice, EndsSilenceAndRefusals)
{
    const int nRate = 16000;
    const std::vector<int16_t> sine = Sines({{1000, 0.5}}, nRate, 0.5);
    SpectralSlice slice;
    // At either end the window holds only the sound's samples, and still reads the sine.
    for (double t : {0.0, 0.5}) {
        ASSERT_EQ(Slice(sine, nRate, At(t, 0.005, true), slice), EOutcome::Done) << t;
        ASSERT_EQ(slice.peaks.size(), 1u) << t;
        EXPECT_NEAR(slice.peaks[0].dHz, 1000, 30) << t; // half a window: a broader peak
    }
    const std::vector<int16_t> silence(8000, 0);
    ASSERT_EQ(Slice(silence, nRate, At(0.25, 0.005, true), slice), EOutcome::Done);
    for (size_t k = 0; k < slice.db.size(); ++k) {
        ASSERT_EQ(slice.db[k], kSilenceDb);
        ASSERT_TRUE(slice.lpc_db[k] == kSilenceDb || std::isnan(slice.lpc_db[k])) << slice.lpc_db[k];
    }
    EXPECT_TRUE(slice.peaks.empty() && slice.lpcPeaks.empty());

    for (const SliceSettings& s : {At(-0.1), At(NAN), At(0.1, 0.0005), At(0.1, 2)})
        EXPECT_EQ(Slice(sine, nRate, s, slice), EOutcome::Refused);
    EXPECT_TRUE(slice.db.empty());
    const CFailingSamples failing;
    EXPECT_EQ(Slice(sine, nRate, At(0.2, 0.005, false), slice, &failing), EOutcome::SourceFailed);
    EXPECT_EQ(Slice(sine, nRate, At(0.2, 0.005, true), slice, &failing), EOutcome::SourceFailed);

    // Past the end, the door says where the sound ends.
    const CMemorySamples memory(sine.data(), int(sine.size()));
    const auto outcome =
        SliceSound(sonavel::analysis::CSoundInput::Samples(memory, int(sine.size()), nRate), At(0.75), 0, slice);
    EXPECT_EQ(outcome.nOutcome, EOutcome::Refused);
    EXPECT_EQ(sonavel::analysis::DescribeOutcome(outcome, kSliceWords, "take7.wav"),
              "take7.wav: 0.75 s lies past the sound's end, 0.5 s");
}

TEST(SpectralSlice, PeaksStandOutAndLieBetweenBins)
{
    // A parabola's top between bins, a shoulder that is no peak, a bump too small.
    const std::vector<double> hz = {0, 10, 20, 30, 40, 50, 60, 70, 80};
    const std::vector<double> db = {0, 20, 24, 20, 10, 12, 11, 11.5, 0};
    const std::vector<SlicePeak> peaks = FindPeaks(hz, db, 6, 60);
    ASSERT_EQ(peaks.size(), 1u);
    EXPECT_NEAR(peaks[0].dHz, 20, 1e-9);
    EXPECT_NEAR(peaks[0].dDb, 24, 1e-9);
    const std::vector<double> skew = {0, 20, 24, 22, 0};
    EXPECT_NEAR(FindPeaks({0, 10, 20, 30, 40}, skew, 6, 60)[0].dHz, 20 + 10 * 0.5 * (20 - 22) / (20 - 48 + 22), 1e-9);
}
