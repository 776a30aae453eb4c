// The pitch tracker and the frame spectrum on the sounds a hostile or odd file can
// leave in the store: lengths around the frame and margin bounds, rates from 0 to
// far above any audio rate (a reader takes the rate field as it stands, so negative
// ones arrive too), and full-scale content. Nothing may crash, hang or write
// outside its buffers; every pitch the tracker reports lies on the window's scale.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "player/analysis/model/CSignalMath.h"
#include "tests/support/SampleBlockProbe.h"

namespace {

const int kLengths[] = {0, 1, 73, 74, 539, 540, 4000};
const int kRates[] = {0, 1, 259, 999, 1000, 8000, 192000, -1, INT_MIN, INT_MAX};

enum class EContent { Min, Max, Alternating, Silence };
const EContent kContents[] = {EContent::Min, EContent::Max, EContent::Alternating, EContent::Silence};

std::vector<int16_t> MakeSound(int nCount, EContent content)
{
    std::vector<int16_t> s(static_cast<size_t>(nCount));
    for (int i = 0; i < nCount; ++i) {
        switch (content) {
        case EContent::Min: s[i] = -32768; break;
        case EContent::Max: s[i] = 32767; break;
        case EContent::Alternating: s[i] = (i & 1) ? 32767 : -32768; break;
        case EContent::Silence: s[i] = 0; break;
        }
    }
    return s;
}

std::string Describe(int nCount, int nRate, EContent content)
{
    static const char* names[] = {"all -32768", "all +32767", "alternating", "silence"};
    return std::to_string(nCount) + " samples at " + std::to_string(nRate) + " Hz, " +
           names[static_cast<int>(content)];
}

// A store whose block is exactly as large as its samples, so that any read past
// the end is a sanitizer report.
SampleStore MakeStore(const std::vector<int16_t>& s, int nRate)
{
    SampleStore store;
    store.sampleCount = static_cast<int32_t>(s.size());
    store.byteLength = 2 * store.sampleCount;
    store.sampleRate = nRate;
    store.hSamples = CSampleBlock::Alloc(s.size() * sizeof(int16_t));
    CSampleLock lock(store.hSamples);
    std::copy(s.begin(), s.end(), lock.Samples());
    return store;
}

} // namespace

TEST(AnalysisExtremes, PitchTrackStaysOnScaleForEveryLengthRateAndContent)
{
    for (int nCount : kLengths)
        for (int nRate : kRates)
            for (EContent content : kContents) {
                SCOPED_TRACE(Describe(nCount, nRate, content));
                const std::vector<int16_t> s = MakeSound(nCount, content);
                const SampleStore store = MakeStore(s, nRate);
                const int nValues = nCount / 100 + 1;
                // Exactly the room the tracker may use; filled with a value it never writes.
                CSampleBlockHandle hOut = CSampleBlock::Alloc(sizeof(int16_t) * nValues);
                {
                    CSampleLock lock(hOut);
                    std::fill(lock.Samples(), lock.Samples() + nValues, int16_t(0x7777));
                }
                ASSERT_EQ(CSignalMath().TrackPitch(store, hOut, 0, nCount), sonavel::analysis::EOutcome::Done);
                EXPECT_EQ(CSampleBlockProbe::LockCount(hOut), 0);
                EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
                CSampleLock lock(hOut);
                for (int i = 0; i < nValues; ++i) {
                    const int v = lock.Samples()[i];
                    ASSERT_TRUE(v >= 0 && v <= 260) << "value " << i << " is " << v;
                }
                // Flat or full-scale square content carries no speech pitch at all.
                if (content != EContent::Alternating) {
                    for (int i = 0; i < nValues; ++i)
                        ASSERT_EQ(lock.Samples()[i], 0) << "value " << i;
                }
            }
}

TEST(AnalysisExtremes, PitchTrackOfAStretchInsideTheStoreNeverReadsBeyondIt)
{
    const std::vector<int16_t> s = MakeSound(1000, EContent::Alternating);
    const SampleStore store = MakeStore(s, 8000);
    CSampleBlockHandle hOut = CSampleBlock::Alloc(sizeof(int16_t) * 11);
    // Stretches that do not fit the store or the output block are refused.
    EXPECT_EQ(CSignalMath().TrackPitch(store, hOut, 0, 1001), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(CSignalMath().TrackPitch(store, hOut, -1, 999), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(CSignalMath().TrackPitch(store, hOut, 500, 400), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(CSignalMath().TrackPitch(store, CSampleBlock::Alloc(sizeof(int16_t) * 10), 0, 1000), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(CSignalMath().TrackPitch(store, hOut, 0, 1000), sonavel::analysis::EOutcome::Done);
    EXPECT_EQ(CSignalMath().TrackPitch(store, hOut, 460, 1000), sonavel::analysis::EOutcome::Done);
}

TEST(AnalysisExtremes, FrameSpectrumIsFiniteOrRefusedForEveryRateAndContent)
{
    // The analysis window asks for 64-point frames and as many points as its panel
    // has rows; odd panel sizes give the other point counts.
    const int kPoints[] = {0, 1, 64, 224, 1000};
    for (int nRate : kRates)
        for (EContent content : kContents)
            for (int nPoints : kPoints) {
                SCOPED_TRACE(Describe(74, nRate, content) + ", " + std::to_string(nPoints) + " points");
                const std::vector<int16_t> s = MakeSound(74, content);
                // Room for the 65 samples read and the points written, nothing more.
                std::vector<double> frame(static_cast<size_t>(std::max(65, nPoints)));
                for (size_t i = 0; i < 65; ++i)
                    frame[i] = s[i];
                const sonavel::analysis::EOutcome nResult = CSignalMath().FrameSpectrum(frame.data(), 64, 0.98, nPoints, 5000, nRate);
                if (nRate <= 0) {
                    EXPECT_EQ(nResult, sonavel::analysis::EOutcome::Refused); // no frequency grid without a rate
                    continue;
                }
                ASSERT_EQ(nResult, sonavel::analysis::EOutcome::Done);
                for (int i = 0; i < nPoints; ++i)
                    ASSERT_TRUE(std::isfinite(frame[i])) << "point " << i << " is " << frame[i];
                // Silence is 0 dB everywhere, which the window shows as the loudest grey.
                if (content == EContent::Silence) {
                    for (int i = 0; i < nPoints; ++i)
                        ASSERT_EQ(frame[i], 0.0) << "point " << i;
                }
            }
}
