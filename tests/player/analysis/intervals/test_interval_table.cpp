// The per-interval table against vowels whose f0 and formants are known, and
// intensity against a sine's level (a full-scale sine reads 90.97 dB).
#include <gtest/gtest.h>

#include <cmath>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/intervals/IntervalTable.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/VowelCorpus.h"
#include "tools/voicesynth/WavFile.h"

using namespace sonavel::intervals;
using sonavel::textgrid::ETierKind;
using sonavel::textgrid::TextGrid;

namespace {

std::vector<IntervalRow> Measure(const std::vector<int16_t>& samples, int nRate, const TextGrid& grid,
                                 const std::string& strTier = std::string())
{
    const CMemorySamples source(samples.data(), int(samples.size()));
    std::vector<IntervalRow> rows;
    const auto input = sonavel::analysis::CSoundInput::Samples(source, int(samples.size()), nRate);
    EXPECT_TRUE(MeasureIntervals(input, grid, strTier, 0, rows).Done());
    return rows;
}

bool Within(double dValue, double dTruth, double dShare) { return std::fabs(dValue - dTruth) <= dShare * dTruth; }

} // namespace

TEST(IntervalTable, VowelsGiveTheirF0AndFormantsAtExactTimes)
{
    const testsupport::VowelRecording rec = testsupport::MakeVowelRecording();
    const std::vector<IntervalRow> rows = Measure(rec.samples, rec.nRate, rec.grid);
    const auto& vowels = testsupport::KnownVowels();
    ASSERT_EQ(rows.size(), 2 * vowels.size()); // the pauses' empty labels give none
    int nF0 = 0, nFormants = 0, nValues = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const IntervalRow& r = rows[i];
        const testsupport::KnownVowel& v = vowels[i % vowels.size()];
        const bool bPoint = i >= vowels.size();
        EXPECT_EQ(r.strTier, bPoint ? "mid" : "vowel");
        EXPECT_EQ(r.strLabel, v.szLabel);
        const auto& tier = rec.grid.tiers[bPoint ? 1 : 0];
        EXPECT_EQ(r.dStart, bPoint ? tier.points[i - vowels.size()].dTime : tier.intervals[2 * i + 1].dStart);
        EXPECT_EQ(r.dEnd, bPoint ? r.dStart : tier.intervals[2 * i + 1].dEnd);
        EXPECT_LE(r.dF0MinHz, r.dF0MeanHz);
        EXPECT_GE(r.dF0MaxHz, r.dF0MeanHz);
        nF0 += Within(r.dF0MeanHz, v.dF0Hz, 0.05);
        nFormants += Within(r.dF1Hz, v.dF1Hz, 0.1) + Within(r.dF2Hz, v.dF2Hz, 0.1) + Within(r.dF3Hz, v.dF3Hz, 0.1);
        nValues += 3;
        EXPECT_TRUE(std::isfinite(r.dIntensityDb));
    }
    EXPECT_GE(nF0, 0.9 * double(rows.size()));
    EXPECT_GE(nFormants, 0.85 * nValues);
}

TEST(IntervalTable, MissingValuesAreNaNAndATierIsChosenByName)
{
    testsupport::VowelRecording rec = testsupport::MakeVowelRecording();
    sonavel::textgrid::Tier& vowels = rec.grid.tiers[0];
    vowels.intervals.front().strLabel = "pause";   // silence: no voiced frame
    const double dEnd = rec.grid.dEnd;
    vowels.intervals.back().dEnd = vowels.dEnd = rec.grid.dEnd = dEnd + 5;
    vowels.intervals.push_back({dEnd + 5, dEnd + 6, "beyond"}); // past the sound's end
    vowels.dEnd = rec.grid.dEnd = dEnd + 6;
    rec.grid.tiers[1].dEnd = rec.grid.dEnd;

    EXPECT_TRUE(HasTier(rec.grid, "vowel"));
    EXPECT_FALSE(HasTier(rec.grid, "word"));
    const std::vector<IntervalRow> rows = Measure(rec.samples, rec.nRate, rec.grid, "vowel");
    ASSERT_EQ(rows.size(), testsupport::KnownVowels().size() + 2);
    for (const IntervalRow& r : rows)
        EXPECT_EQ(r.strTier, "vowel");
    EXPECT_EQ(rows.front().strLabel, "pause");
    EXPECT_TRUE(std::isnan(rows.front().dF0MeanHz) && std::isnan(rows.front().dF0MinHz));
    EXPECT_LT(rows.front().dIntensityDb, rows[1].dIntensityDb - 6); // only the next vowel's onset reaches it
    EXPECT_EQ(rows.back().strLabel, "beyond");
    EXPECT_TRUE(std::isnan(rows.back().dF0MaxHz) && std::isnan(rows.back().dF1Hz)
                && std::isnan(rows.back().dIntensityDb));
}

TEST(IntervalTable, IntensityIsTheEnergyMeanOverTheInterval)
{
    // A sine at half of full scale for 1 s, then 1 s of silence: 84.95 dB over
    // the sine, half its energy (3.01 dB less) over a span half in each.
    const int nRate = 16000;
    std::vector<int16_t> samples(2 * nRate, 0);
    for (int i = 0; i < nRate; ++i)
        samples[size_t(i)] = int16_t(std::lround(16384 * std::sin(2 * M_PI * 440 * i / nRate)));
    const TextGrid grid{
        0, 2, {{"span", ETierKind::Interval, 0, 2, {{0, 0.2, ""}, {0.2, 0.5, "sine"}, {0.5, 1.5, "half"}, {1.5, 2, ""}}, {}}}};
    const std::vector<IntervalRow> rows = Measure(samples, nRate, grid);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NEAR(rows[0].dIntensityDb, 90.97 - 6.02, 0.1);
    EXPECT_NEAR(rows[1].dIntensityDb, 90.97 - 6.02 - 3.01, 0.3);
}

// The door reads a file as the tracks do (a mono WAV streamed), and its rows
// are those of the samples held; a sound it cannot load gives no row.
TEST(IntervalTable, AFileGivesTheRowsOfItsSamples)
{
    const testsupport::VowelRecording rec = testsupport::MakeVowelRecording();
    testsupport::CScratchDir dir;
    ASSERT_TRUE(WriteWavFile(dir / "take.wav", rec.samples, rec.nRate));
    const std::vector<IntervalRow> held = Measure(rec.samples, rec.nRate, rec.grid);
    std::vector<IntervalRow> rows;
    ASSERT_TRUE(MeasureIntervals(sonavel::analysis::CSoundInput::File(dir / "take.wav", 1), rec.grid, "", 2, rows).Done());
    ASSERT_EQ(rows.size(), held.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const double a[] = {rows[i].dF0MeanHz, rows[i].dF1Hz, rows[i].dF3Hz, rows[i].dIntensityDb};
        const double b[] = {held[i].dF0MeanHz, held[i].dF1Hz, held[i].dF3Hz, held[i].dIntensityDb};
        for (int k = 0; k < 4; ++k)
            EXPECT_TRUE(a[k] == b[k] || (std::isnan(a[k]) && std::isnan(b[k]))) << i << " " << k;
    }
    const auto missing = MeasureIntervals(sonavel::analysis::CSoundInput::File(dir / "none.wav", 1), rec.grid, "", 2, rows);
    EXPECT_EQ(missing.nOutcome, sonavel::analysis::EOutcome::NotLoaded);
    EXPECT_TRUE(rows.empty());
}
