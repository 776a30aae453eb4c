// Intensity: sines of known level, the settings' checks, the same frames for
// any thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/FailingSamples.h"
#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/intensity/IntensityTrack.h"

using namespace sonavel::intensity;

namespace {

std::vector<int16_t> Sine(double dHz, double dPeak, double dSeconds, int nRate, double dOffset = 0)
{
    std::vector<int16_t> s(size_t(dSeconds * nRate));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(std::lround(32767 * (dOffset + dPeak * std::sin(2 * M_PI * dHz * double(i) / nRate))));
    return s;
}

IntensityFrames Track(const std::vector<int16_t>& samples, int nRate, int nThreads = 0)
{
    IntensityFrames frames;
    const CMemorySamples source(samples.data(), int(samples.size()));
    EXPECT_EQ(TrackIntensity(IntensitySettings(), source, int(samples.size()), nRate, nThreads, frames), sonavel::analysis::EOutcome::Done);
    return frames;
}

} // namespace

TEST(Intensity, SinesReadTheirLevelInDbWithTheMeanTakenOff)
{
    const struct {
        double dPeak, dOffset, dDb;
    } cases[] = {{1.0, 0, 90.97}, {0.1, 0, 70.97}, {0.1, 0.5, 70.97}};
    for (const auto& c : cases) {
        const IntensityFrames frames = Track(Sine(1000, c.dPeak, 1.0, 44100, c.dOffset), 44100);
        ASSERT_EQ(frames.db.size(), 101u);
        EXPECT_DOUBLE_EQ(frames.time_s[50], 0.5);
        for (size_t i = 0; i < frames.db.size(); ++i)
            EXPECT_NEAR(frames.db[i], c.dDb, 0.1) << "peak " << c.dPeak << " frame " << i;
    }
}

TEST(Intensity, FramesDoNotDependOnThreadsAndSilenceIsMarked)
{
    std::vector<int16_t> samples = Sine(220, 0.3, 12.0, 16000);
    std::fill(samples.begin(), samples.begin() + 16000, int16_t(0));
    const IntensityFrames one = Track(samples, 16000, 1);
    EXPECT_EQ(one.db, Track(samples, 16000, 3).db);
    EXPECT_EQ(one.db[20], kSilenceDb);
}

TEST(Intensity, RefusedSettingsAreNamedAndAFailingSourceIsReported)
{
    const struct {
        double dFloor, dStep;
        const char* refused;
    } cases[] = {{24, 0.01, "floor"}, {1001, 0.01, "floor"}, {100, 0.0009, "step"}, {100, 2, "step"},
                 {25, 1, nullptr}};
    const CFailingSamples source;
    for (const auto& c : cases) {
        const IntensitySettings s{c.dFloor, c.dStep};
        EXPECT_STREQ(RefusedSetting(s).szSetting, c.refused) << c.dFloor << " " << c.dStep;
        IntensityFrames frames;
        EXPECT_EQ(TrackIntensity(s, source, 16000, 16000, 1, frames), c.refused ? sonavel::analysis::EOutcome::Refused : sonavel::analysis::EOutcome::SourceFailed);
        EXPECT_TRUE(frames.time_s.empty());
    }
}
