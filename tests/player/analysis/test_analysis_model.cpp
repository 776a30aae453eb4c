// The analysis model without a window: its layout for the window's size, what
// it holds for a silent sound, and its answers when memory is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "player/analysis/model/CAnalysisModel.h"
#include "player/audio/AudioResource.h"
#include "tests/support/SampleBlockProbe.h"

using sonavel::analysis::EOutcome;

namespace {

SampleStore Silence(int nCount, int nRate)
{
    SampleStore store;
    store.sampleCount = nCount;
    store.byteLength = 2 * nCount;
    store.sampleRate = nRate;
    store.hSamples = CSampleBlock::Alloc(2 * static_cast<size_t>(nCount));
    return store;
}

TEST(AnalysisModel, LaysOutTheWindowAndScalesASilentSoundToFullRange)
{
    CAnalysisModel model;
    model.Layout(487, 284);
    EXPECT_EQ(model.Columns(), 487);
    EXPECT_EQ(model.Rows(), 224);
    const CAnalysisModel::Rect p = model.PitchRect(), s = model.SpectrogramRect();
    EXPECT_EQ((std::vector<int>{p.left, p.top, p.right, p.bottom}), (std::vector<int>{40, 0, 487, 100}));
    EXPECT_EQ((std::vector<int>{s.left, s.top, s.right, s.bottom}), (std::vector<int>{40, 105, 487, 224}));

    const SampleStore store = Silence(44100, 22050);
    ASSERT_EQ(model.ComputePitch(store), EOutcome::Done);
    ASSERT_EQ(model.ComputeSpectrogram(store), EOutcome::Done);
    ASSERT_EQ(model.PitchCount(), 442);
    for (int i = 0; i < model.PitchCount(); ++i)
        ASSERT_EQ(model.Pitch()[i], 0) << i;
    // Every point is the loudest: the full dynamic range, drawn black.
    for (int c = 0; c < model.Columns(); c += 50)
        for (int r = 0; r < model.Rows(); ++r)
            ASSERT_EQ(model.Column(c)[r], 35.0) << c << "," << r;
    // A new layout drops the results.
    model.Layout(487, 284);
    EXPECT_FALSE(model.IsPitchReady() || model.IsSpectrogramReady());
    EXPECT_EQ(model.Pitch(), nullptr);
}

TEST(AnalysisModel, RefusedBlocksLeaveThePanelsNotReady)
{
    CAnalysisModel model;
    model.Layout(487, 284);
    const SampleStore store = Silence(1000000, 22050);
    {
        CScopedAllocationLimit limit(20000); // below the 10001 pitch values
        EXPECT_EQ(model.ComputePitch(store), EOutcome::NoMemory);
        EXPECT_EQ(model.ComputeSpectrogram(store), EOutcome::NoMemory);
        EXPECT_EQ(model.SetPitchTrack(std::vector<int16_t>(20000, 100)), EOutcome::NoMemory);
    }
    EXPECT_FALSE(model.IsPitchReady() || model.IsSpectrogramReady());
    EXPECT_EQ(model.SetPitchTrack({120, 0, 130}), EOutcome::Done);
    EXPECT_TRUE(model.IsPitchReady());
    EXPECT_EQ(model.PitchCount(), 3);
}

// A tracker that fails leaves a ready panel without dots, as the window shows
// it, and says why to whoever tells the user.
TEST(AnalysisModel, AFailedTrackIsReadyWithoutDotsAndKeepsItsReason)
{
    CAnalysisModel model;
    model.Layout(487, 284);
    const SampleStore store = Silence(1000000, 22050);
    {
        CScopedAllocationLimit limit(100000); // the track's block, not the tracker's scratch
        EXPECT_EQ(model.ComputePitch(store), EOutcome::NoMemory);
    }
    EXPECT_TRUE(model.IsPitchReady());
    EXPECT_EQ(std::count(model.Pitch(), model.Pitch() + model.PitchCount(), 0), model.PitchCount());
}

} // namespace
