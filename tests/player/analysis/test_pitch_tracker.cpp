// The pitch tracker: its clean-up stages on hand-made tracks, its geometry, and
// whole runs on synthetic voices whose pitch is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "player/audio/CSampleBlock.h"
#include "tests/support/SampleBlockProbe.h"
#include "player/analysis/model/CSignalMath.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "player/analysis/pitch/PitchKernels.h"
#include "player/analysis/pitch/PitchTracker.h"
#include "player/audio/SampleStore.h"

using namespace sonavel::pitch;

namespace {

// A track of analysed frames F .. L with the given values, unvoiced (-1) around
// them; returns the array with one frame of room after L.
struct Track {
    std::vector<int16_t> v;
    int first = 1, last = 0;
};
Track MakeTrack(const std::vector<int>& values)
{
    Track t;
    t.v.assign(values.size() + 3, kNoPitch);
    t.first = 1;
    t.last = int(values.size()) + 1; // one unvoiced analysed frame after the values
    for (size_t i = 0; i < values.size(); ++i)
        t.v[1 + i] = int16_t(values[i]);
    return t;
}

std::vector<int> Slice(const std::vector<int16_t>& v, int from, int count)
{
    return std::vector<int>(v.begin() + from, v.begin() + from + count);
}

TEST(PitchStages, SingleOutlierTakesTheMeanOfItsNeighbours)
{
    const PitchParams params;
    Track t = MakeTrack({1000, 1010, 2000, 1020, 1030, 1040});
    MarkRuns(t.v.data(), t.first, t.last, params);
    ResolveRunMarks(t.v.data(), t.first, t.last);
    EXPECT_EQ(Slice(t.v, 1, 6), (std::vector<int>{1000, 1010, 1015, 1020, 1030, 1040}));
}

TEST(PitchStages, TwoRunsMeetingAtAJumpLoseTheFirstRunsLastFrame)
{
    const PitchParams params;
    Track t = MakeTrack({1000, 1000, 1000, 1000, 1000, 1000, 2000, 2000, 2000, 2000, 2000, 2000});
    MarkRuns(t.v.data(), t.first, t.last, params);
    ResolveRunMarks(t.v.data(), t.first, t.last);
    EXPECT_EQ(Slice(t.v, 1, 12), (std::vector<int>{1000, 1000, 1000, 1000, 1000, -1, 2000, 2000,
                                                     2000, 2000, 2000, 2000}));
}

TEST(PitchStages, ShortRunIsRemovedAndBridged)
{
    const PitchParams params;
    Track t = MakeTrack({1000, 1010, 1020, 1030, 1040, 2000, 2010, 1050, 1060, 1070, 1080, 1090});
    MarkRuns(t.v.data(), t.first, t.last, params);
    EXPECT_EQ(t.v[6], kRemoved);
    EXPECT_EQ(t.v[7], kRemoved);
    ResolveRunMarks(t.v.data(), t.first, t.last);
    std::vector<int16_t> fin(t.v.size(), kNoPitch);
    BridgeGaps(t.v.data(), fin.data(), t.first, t.last, params);
    EXPECT_EQ(Slice(fin, 1, 12), (std::vector<int>{1000, 1010, 1020, 1030, 1040, 1043, 1046, 1050,
                                                    1060, 1070, 1080, 1090}));
}

TEST(PitchStages, RunReachingTheLastFrameKeepsItsValues)
{
    const PitchParams params;
    std::vector<int16_t> v{-1, 1200, 1210, 1220, 1230, 1240, -1};
    MarkRuns(v.data(), 1, 5, params); // frame 5 is the last analysed one
    ResolveRunMarks(v.data(), 1, 5);
    EXPECT_EQ(Slice(v, 1, 5), (std::vector<int>{1200, 1210, 1220, 1230, 1240}));
}

TEST(PitchStages, GapsTooLongOrTooDifferentAreNotBridged)
{
    const PitchParams params;
    // Seven removed frames between two runs: d = 8 is beyond the weight table.
    std::vector<int16_t> longGap{-1, 1000, -2, -2, -2, -2, -2, -2, -2, 1000, -1};
    std::vector<int16_t> fin(longGap.size(), kNoPitch);
    BridgeGaps(longGap.data(), fin.data(), 1, 9, params);
    for (int j = 2; j <= 8; ++j)
        EXPECT_EQ(fin[j], kNoPitch) << j;
    EXPECT_EQ(fin[9], 1000);

    // Two removed frames (d = 3, weight 17): 1000 and 1500 differ by 500, within
    // 17 * 2500 * 27 / 2000 = 573, so the gap is bridged; 1000 and 1700 differ
    // by 700, beyond 17 * 2700 * 27 / 2000 = 619, so it is not.
    std::vector<int16_t> near{-1, 1000, -2, -2, 1500, -1};
    std::vector<int16_t> far{-1, 1000, -2, -2, 1700, -1};
    std::vector<int16_t> f1(6, kNoPitch), f2(6, kNoPitch);
    BridgeGaps(near.data(), f1.data(), 1, 4, params);
    BridgeGaps(far.data(), f2.data(), 1, 4, params);
    EXPECT_EQ(Slice(f1, 1, 4), (std::vector<int>{1000, 1166, 1333, 1500}));
    EXPECT_EQ(Slice(f2, 1, 4), (std::vector<int>{1000, -1, -1, 1700}));

    // A removed frame with no voiced frame before it simply becomes no pitch.
    std::vector<int16_t> lead{-1, -2, -2, 1200, -1};
    std::vector<int16_t> f3(5, kNoPitch);
    BridgeGaps(lead.data(), f3.data(), 1, 3, params);
    EXPECT_EQ(Slice(f3, 1, 3), (std::vector<int>{-1, -1, 1200}));
}

TEST(PitchStages, ThreePointSmoother)
{
    std::vector<int16_t> v{100, 100, 200, 200};
    SmoothThreePoint(v.data(), 4);
    EXPECT_EQ(Slice(v, 0, 4), (std::vector<int>{108, 131, 163, 183}));

    std::vector<int16_t> lone{-1, 150, -1, 300, 300, 300, 300, -2};
    SmoothThreePoint(lone.data(), int(lone.size()));
    EXPECT_EQ(Slice(lone, 0, 8), (std::vector<int>{-1, 150, -1, 300, 300, 300, 300, -2}));
}

TEST(PitchGeometry, LagGridAndMarginsAt11025)
{
    PitchGeometry g;
    ASSERT_TRUE(ComputeGeometry(100000, 11025, PitchParams(), g));
    EXPECT_EQ(g.nMinLag, 42);
    EXPECT_EQ(g.nMaxLag, 157);
    EXPECT_EQ(g.nAverage, 11);
    EXPECT_EQ(g.nMargin, 239);
    EXPECT_EQ(g.nFirstFrame, 3);
    EXPECT_EQ(g.nLastFrame, (100000 - 239) / 100);
    const std::vector<int> want{41, 42, 44, 46, 48, 51, 53, 56, 59, 62, 65, 68, 71, 75, 79, 83, 87,
                                91, 96, 101, 106, 111, 116, 122, 128, 135, 142, 149, 156, 157, 158};
    EXPECT_EQ(BuildLagGrid(42, 157), want);
}

// Runs the tracker through the store interface, as the window does.
std::vector<int16_t> Track(const std::vector<int16_t>& samples, int rate, sonavel::analysis::EOutcome* result = nullptr)
{
    SampleStore store;
    store.sampleCount = int(samples.size());
    store.byteLength = 2 * store.sampleCount;
    store.sampleRate = rate;
    store.hSamples = CSampleBlock::Alloc(samples.size() * 2 + 2);
    {
        CSampleLock lock(store.hSamples);
        std::copy(samples.begin(), samples.end(), lock.Samples());
    }
    const size_t count = samples.size() / 100 + 1;
    CSampleBlockHandle hOut = CSampleBlock::Alloc(count * 2);
    {
        CSampleLock lock(hOut);
        std::fill(lock.Samples(), lock.Samples() + count, int16_t(-7)); // to see what was written
    }
    const sonavel::analysis::EOutcome r = CSignalMath().TrackPitch(store, hOut, 0, store.sampleCount);
    if (result)
        *result = r;
    CSampleLock lock(hOut);
    return std::vector<int16_t>(lock.Samples(), lock.Samples() + count);
}

TEST(TrackPitch, TooShortOrEmptyGivesAllZeros)
{
    sonavel::analysis::EOutcome r = sonavel::analysis::EOutcome::Refused;
    EXPECT_EQ(Track({}, 11025, &r), std::vector<int16_t>{0});
    EXPECT_EQ(r, sonavel::analysis::EOutcome::Done);
    // 538 samples at 11025 Hz: shorter than both margins.
    VoiceSynthParams p;
    p.nSampleRate = 11025;
    p.dSeconds = 538.0 / 11025;
    const auto out = Track(SynthesizeVoice(p), 11025);
    ASSERT_EQ(out.size(), 6u);
    for (int v : out)
        EXPECT_EQ(v, 0);
}

TEST(TrackPitch, RatesBelowOneKilohertzGiveAllZerosQuickly)
{
    std::vector<int16_t> s(20000);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(20000 * std::sin(i * 0.9));
    for (int rate : {0, 1, 100, 259, 260, 999, -8000}) {
        sonavel::analysis::EOutcome r = sonavel::analysis::EOutcome::Refused;
        const auto out = Track(s, rate, &r);
        EXPECT_EQ(r, sonavel::analysis::EOutcome::Done);
        ASSERT_EQ(out.size(), 201u);
        for (int v : out)
            ASSERT_EQ(v, 0) << "rate " << rate;
    }
}

TEST(TrackPitch, StaysInsideTheSoundAtEveryRateAndLengthNearTheMargins)
{
    // Loud noise makes every frame voiced and drives the searches to every lag;
    // the sanitizer build reports any read beyond the copies.
    unsigned seed = 11;
    std::vector<int16_t> noise(60000);
    for (auto& v : noise) {
        seed = seed * 1103515245u + 12345u;
        v = int16_t(seed >> 16);
    }
    for (int rate : {1000, 1001, 3999, 8000, 11025, 44100, 48000, 96000, 192000, 1000000}) {
        PitchGeometry g;
        ASSERT_TRUE(ComputeGeometry(int(noise.size()), rate, PitchParams(), g));
        for (int n : {g.nMargin - 1, g.nMargin, g.nMargin + 1, g.nMargin + 100, g.nMargin + 201,
                      g.nFirstFrame * 100 + g.nMargin, g.nFirstFrame * 100 + g.nMargin + 99,
                      20000}) {
            if (n < 0 || n > int(noise.size()))
                continue;
            std::vector<int16_t> sound(noise.begin(), noise.begin() + n);
            std::vector<int16_t> out(n / 100 + 1, -7);
            ASSERT_EQ(CSignalMath().TrackPitch(sound.data(), n, rate, out.data()), sonavel::analysis::EOutcome::Done);
            for (int v : out)
                ASSERT_TRUE(v == 0 || (v >= 70 && v <= 260)) << rate << " Hz, " << n << ": " << v;
            EXPECT_EQ(out.back(), 0);
        }
    }
}

TEST(TrackPitch, EveryKernelSetAndThreadCountGivesTheSameTrack)
{
    // 20 s at 44.1 kHz, long enough for two threads: a gliding voice, then loud
    // noise that sends the searches to every lag.
    VoiceSynthParams p;
    p.nSampleRate = 44100;
    p.dSeconds = 12.0;
    p.contour = {{0.0, 75.0}, {6.0, 255.0}, {12.0, 90.0}};
    p.dJitter = 0.02;
    std::vector<int16_t> sound = SynthesizeVoice(p);
    unsigned seed = 5;
    while (sound.size() < 20 * 44100u) {
        seed = seed * 1103515245u + 12345u;
        sound.push_back(int16_t(seed >> 16));
    }
    auto TrackWith = [&](EPitchKernels kind, int nThreads, int nRate = 44100, int n = 20 * 44100) {
        EXPECT_EQ(UsePitchKernels(kind), kind);
        CSignalMath math;
        math.SetThreads(nThreads);
        std::vector<int16_t> out(n / 100 + 1, -7);
        EXPECT_EQ(math.TrackPitch(sound.data(), n, nRate, out.data()), sonavel::analysis::EOutcome::Done);
        return out;
    };
    // The smoother alone, on values up to the largest and runs without values.
    std::vector<int16_t> values(5000);
    for (auto& v : values) {
        seed = seed * 1103515245u + 12345u;
        v = (seed >> 29) == 0 ? int16_t(-1 - int(seed >> 28 & 1)) : int16_t(seed >> 17);
    }
    auto SmoothWith = [&](EPitchKernels kind) {
        UsePitchKernels(kind);
        std::vector<int16_t> v = values;
        SmoothThreePoint(v.data(), int(v.size()));
        return v;
    };
    const EPitchKernels widest = WidestPitchKernels();
    EXPECT_EQ(SmoothWith(widest), SmoothWith(EPitchKernels::Plain));
    const std::vector<int16_t> expected = TrackWith(widest, 2);
    EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](int16_t v) { return v > 0; }), 500);
    for (EPitchKernels kind : {EPitchKernels::Plain, EPitchKernels::Sse2, EPitchKernels::Avx2}) {
        if (int(kind) > int(widest))
            continue;
        EXPECT_EQ(TrackWith(kind, 1), expected) << "kernel set " << int(kind);
        EXPECT_EQ(TrackWith(kind, 2), expected) << "kernel set " << int(kind);
    }
    // The same samples read at other rates: the running mean's length W runs
    // from 8 to 192, across the widths its vector forms handle.
    for (int rate : {8000, 96000, 129000, 192000})
        EXPECT_EQ(TrackWith(EPitchKernels::Plain, 1, rate, 4 * 44100), TrackWith(widest, 1, rate, 4 * 44100)) << rate;
    UsePitchKernels(widest);
}

TEST(TrackPitch, RefusedWorkingBufferReturnsMinusOneAndLeavesOutputAlone)
{
    VoiceSynthParams p;
    p.dSeconds = 2.0;
    const auto voice = SynthesizeVoice(p);
    const size_t oldLimit = CSampleBlock::AllocationLimit();
    // Enough for the sound and the output block, not for the working buffers.
    SampleStore store;
    store.sampleCount = int(voice.size());
    store.byteLength = 2 * store.sampleCount;
    store.sampleRate = 22050;
    store.hSamples = CSampleBlock::Alloc(voice.size() * 2);
    CSampleBlockHandle hOut = CSampleBlock::Alloc((voice.size() / 100 + 1) * 2);
    { CSampleLock l(hOut); l.Samples()[3] = 99; }
    CSampleBlock::SetAllocationLimit(voice.size() - 1);
    const sonavel::analysis::EOutcome r = CSignalMath().TrackPitch(store, hOut, 0, store.sampleCount);
    CSampleBlock::SetAllocationLimit(oldLimit);
    EXPECT_EQ(r, sonavel::analysis::EOutcome::NoMemory);
    CSampleLock l(hOut);
    EXPECT_EQ(l.Samples()[3], 99);
    EXPECT_EQ(CSampleBlockProbe::LockCount(hOut), 1);
}

TEST(TrackPitch, RangesOutsideTheStoreOrAShortOutputBlockAreRefused)
{
    SampleStore store;
    store.sampleCount = 1000;
    store.byteLength = 2000;
    store.sampleRate = 11025;
    store.hSamples = CSampleBlock::Alloc(2000);
    CSampleBlockHandle hOut = CSampleBlock::Alloc(22);
    CSignalMath m;
    EXPECT_EQ(m.TrackPitch(store, hOut, 0, 1001), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(m.TrackPitch(store, hOut, -1, 500), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(m.TrackPitch(store, hOut, 600, 500), sonavel::analysis::EOutcome::NoMemory);
    EXPECT_EQ(m.TrackPitch(store, CSampleBlock::Alloc(20), 0, 1000), sonavel::analysis::EOutcome::NoMemory); // needs 11 values
    EXPECT_EQ(m.TrackPitch(store, hOut, 0, 1000), sonavel::analysis::EOutcome::Done);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(hOut), 0);
}

// Share of the frames whose truth is voiced that come out within 5 % of it;
// frames near the ends (inside the tracker's margins and smoothing) are left
// out, as are frames the voice has no pitch for.
double ShareWithin5Percent(const VoiceSynthParams& p, const std::vector<int16_t>& track)
{
    int ok = 0, total = 0;
    for (size_t i = 5; i + 5 < track.size(); ++i) {
        const double truth = ContourF0At(p, (i * 100.0 + 50.0) / p.nSampleRate);
        if (truth <= 0)
            continue;
        ++total;
        if (std::fabs(track[i] - truth) <= 0.05 * truth)
            ++ok;
    }
    return total ? double(ok) / total : 0.0;
}

TEST(TrackPitch, FollowsSteadyAndGlidingVoicesAtTheCommonRates)
{
    for (int rate : {8000, 11025, 16000, 22050}) {
        struct Case {
            const char* name;
            std::vector<std::pair<double, double>> contour;
        };
        const Case cases[] = {
            {"steady 110", {{0.0, 110.0}}},
            {"steady 200", {{0.0, 200.0}}},
            {"glide 90-220", {{0.0, 90.0}, {2.0, 220.0}}},
            {"fall 230-100", {{0.0, 230.0}, {2.0, 100.0}}},
        };
        for (const Case& c : cases) {
            VoiceSynthParams p;
            p.nSampleRate = rate;
            p.dSeconds = 2.0;
            p.contour = c.contour;
            p.dJitter = 0.01; // a little irregularity, as in a real voice
            p.nSeed = unsigned(rate);
            const auto track = Track(SynthesizeVoice(p), rate);
            const double share = ShareWithin5Percent(p, track);
            std::printf("[ share    ] %5d Hz %-13s %5.1f %% of frames within 5 %%\n", rate, c.name,
                        100 * share);
            EXPECT_GE(share, 0.9) << rate << " Hz, " << c.name;
        }
    }
}

TEST(TrackPitch, VoiceWithPausesIsUnvoicedInThePauses)
{
    VoiceSynthParams p;
    p.nSampleRate = 16000;
    p.dSeconds = 3.0;
    p.contour = {{0.0, 140.0}, {0.99, 140.0}, {1.0, 0.0}, {1.99, 0.0}, {2.0, 160.0}};
    p.dJitter = 0.01;
    const auto track = Track(SynthesizeVoice(p), 16000);
    int voicedInPause = 0;
    for (size_t i = 0; i < track.size(); ++i) {
        const double t = i * 100.0 / 16000;
        if (t > 1.05 && t < 1.95 && track[i] != 0)
            ++voicedInPause;
    }
    EXPECT_EQ(voicedInPause, 0);
    EXPECT_GE(ShareWithin5Percent(p, track), 0.85);
}

TEST(TrackPitch, ExactlyPeriodicVoiceIsFoundAtItsPeriod)
{
    // 210 Hz at 22050 Hz: every period is exactly 105 samples, so the difference
    // function is 0 at 105, 210 and 315 alike; the track must say 210, not 0.
    VoiceSynthParams p;
    p.contour = {{0.0, 210.0}};
    p.dSeconds = 1.5;
    const auto voice = SynthesizeVoice(p);
    for (size_t n = 3000; n + 105 < voice.size(); n += 7)
        ASSERT_EQ(voice[n], voice[n + 105]) << "the test voice itself must repeat exactly";
    const auto track = Track(voice, 22050);
    int at210 = 0, inner = 0;
    for (size_t i = 10; i + 10 < track.size(); ++i, ++inner)
        at210 += track[i] == 210;
    EXPECT_EQ(at210, inner);
}

TEST(TrackPitch, SilenceAndQuietNoiseAreUnvoiced)
{
    std::vector<int16_t> silence(30000, 0);
    for (int v : Track(silence, 22050))
        ASSERT_EQ(v, 0);
    // Below 1/256 of full scale the 8-bit copy is flat.
    std::vector<int16_t> hiss(30000);
    unsigned seed = 3;
    for (auto& s : hiss) {
        seed = seed * 1103515245u + 12345u;
        s = int16_t(int((seed >> 16) % 511) - 255);
    }
    for (int v : Track(hiss, 22050))
        ASSERT_EQ(v, 0);
}

TEST(VoiceSynth, LengthPeakAndContour)
{
    VoiceSynthParams p;
    p.nSampleRate = 16000;
    p.dSeconds = 0.5;
    p.dPeak = 0.5;
    p.contour = {{0.1, 100.0}, {0.3, 200.0}};
    const auto v = SynthesizeVoice(p);
    ASSERT_EQ(v.size(), 8000u);
    int peak = 0;
    for (int s : v)
        peak = std::max(peak, std::abs(s));
    EXPECT_NEAR(peak, 16384, 2);
    EXPECT_DOUBLE_EQ(ContourF0At(p, 0.0), 100.0);
    EXPECT_DOUBLE_EQ(ContourF0At(p, 0.2), 150.0);
    EXPECT_DOUBLE_EQ(ContourF0At(p, 9.0), 200.0);
    p.nSampleRate = 0;
    EXPECT_TRUE(SynthesizeVoice(p).empty());
}

} // namespace
