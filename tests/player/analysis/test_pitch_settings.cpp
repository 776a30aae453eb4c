// The trackers behind TrackWith: the research tracker on voices above the
// AMDF's old range, the AMDF over a range of the caller's, the checks of the
// settings, and the same frames whatever the threads and kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/pitch/NccfLevels.h"
#include "player/analysis/pitch/NccfPath.h"
#include "player/analysis/pitch/NccfPrior.h"
#include "player/analysis/pitch/NccfTurns.h"
#include "player/analysis/pitch/PitchKernels.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "tools/voicesynth/CVoiceSynth.h"

using namespace sonavel::pitch;

namespace {

struct Voice {
    VoiceSynthParams params;
    std::vector<int16_t> samples;
};

Voice MakeVoice(int nRate, double dSeconds, std::vector<std::pair<double, double>> contour, unsigned nSeed = 1)
{
    Voice v;
    v.params.nSampleRate = nRate;
    v.params.dSeconds = dSeconds;
    v.params.contour = std::move(contour);
    v.params.dJitter = 0.01;
    v.params.nSeed = nSeed;
    v.samples = SynthesizeVoice(v.params);
    return v;
}

PitchFrames TrackVoice(const PitchSettings& settings, const Voice& v, int nThreads = 0)
{
    PitchFrames frames;
    const CMemorySamples source(v.samples.data(), int(v.samples.size()));
    EXPECT_EQ(TrackWith(settings, source, int(v.samples.size()), v.params.nSampleRate, nThreads, frames), sonavel::analysis::EOutcome::Done);
    return frames;
}

// The share of the frames 0.1 s and more inside the voice (and away from its
// pauses) that are voiced and within nPercent of the contour; any frame near a
// half or a third of it fails. dFrom, dTo: the part of the voice looked at.
double ShareWithin(const Voice& v, const PitchFrames& f, double dPercent, double dFrom = 0, double dTo = 1e9)
{
    int n = 0, ok = 0;
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        const double t = f.time_s[i];
        if (t < std::max(dFrom, 0.1) || t > std::min(dTo, v.params.dSeconds - 0.1) ||
            ContourF0At(v.params, t - 0.1) <= 0 || ContourF0At(v.params, t + 0.1) <= 0)
            continue;
        const double truth = ContourF0At(v.params, t);
        ++n;
        ok += std::fabs(f.pitch_hz[i] - truth) <= dPercent / 100 * truth;
        for (double dFraction : {0.5, 1.0 / 3})
            EXPECT_GT(std::fabs(f.pitch_hz[i] - dFraction * truth), 0.1 * truth) << "at " << t << " s";
    }
    return n ? double(ok) / n : 0;
}

TEST(ResearchTracker, HighVoicesWithinTwoPercentNeverAtAFraction)
{
    PitchSettings settings; // the research tracker over its own range
    for (int nRate : {16000, 44100}) {
        for (double dHz : {300.0, 450.0, 660.0, 750.0}) {
            const Voice steady = MakeVoice(nRate, 2.0, {{0.0, dHz}});
            EXPECT_GE(ShareWithin(steady, TrackVoice(settings, steady), 2), 0.97) << nRate << " Hz, " << dHz;
            if (dHz * 1.15 > 800) // the glide would leave the range
                continue;
            const Voice glide = MakeVoice(nRate, 2.0, {{0.0, dHz * 0.8}, {2.0, dHz * 1.15}}, 3);
            EXPECT_GE(ShareWithin(glide, TrackVoice(settings, glide), 2), 0.95) << nRate << " Hz, glide at " << dHz;
        }
    }
    const Voice low = MakeVoice(22050, 1.5, {{0.0, 85.0}, {1.5, 110.0}});
    EXPECT_GE(ShareWithin(low, TrackVoice(settings, low), 2), 0.95);
    // A pure tone has no harmonics to tell its period from twice it.
    Voice tone = MakeVoice(44100, 1.0, {{0.0, 660.0}});
    for (size_t i = 0; i < tone.samples.size(); ++i)
        tone.samples[i] = int16_t(std::lround(16000 * std::sin(2 * M_PI * 660.0 * double(i) / 44100)));
    EXPECT_GE(ShareWithin(tone, TrackVoice(settings, tone), 2), 0.97);
}

TEST(ResearchTracker, EachSpeakerAtHisOwnPitchAcrossAPause)
{
    // A man then a child, the child then the man, and turns of each: a range
    // learnt from one never pulls the other by an octave.
    const PitchSettings settings;
    const auto Turns = [](std::vector<double> hz) {
        std::vector<std::pair<double, double>> contour;
        for (size_t k = 0; k < hz.size(); ++k) {
            const double t = 2.0 * double(k);
            contour.insert(contour.end(), {{t, 0.0}, {t + 0.3, 0.0}, {t + 0.31, hz[k]}, {t + 2.0, hz[k] * 1.05}});
        }
        return contour;
    };
    const std::vector<std::vector<double>> files{{100, 350}, {350, 100}, {100, 350, 100, 350}};
    for (const std::vector<double>& hz : files) {
        const Voice v = MakeVoice(16000, 2.0 * double(hz.size()), Turns(hz), 5);
        const PitchFrames f = TrackVoice(settings, v);
        for (size_t k = 0; k < hz.size(); ++k)
            EXPECT_GE(ShareWithin(v, f, 2, 2.0 * double(k), 2.0 * double(k + 1)), 0.95) << hz[k] << " Hz, turn " << k;
    }
    // The man's frames 26 dB below the child's before him, over a faint hiss:
    // far below the file's loud frames, and still his range is his.
    Voice soft = MakeVoice(16000, 6.0, Turns({350, 100, 100}), 5);
    unsigned seed = 3;
    for (size_t i = 0; i < soft.samples.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const double dNoise = double(int(seed >> 16) - 32768) / 32768 * 60;
        soft.samples[i] = int16_t(std::lround(soft.samples[i] * (i < 32000 ? 1.0 : 0.4) + dNoise));
    }
    const PitchFrames f = TrackVoice(settings, soft);
    EXPECT_GE(ShareWithin(soft, f, 2, 2.0, 6.0), 0.9);
}

PitchSettings Range(double dFloor, double dCeiling)
{
    PitchSettings s;
    s.dFloorHz = dFloor;
    s.dCeilingHz = dCeiling;
    return s;
}

// How many frames of the voice (0.1 s and more inside it, away from its
// pauses) read below 0.8 of the contour: none may, in any range that holds it.
int FramesTooLow(const Voice& v, const PitchFrames& f)
{
    int n = 0;
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        const double t = f.time_s[i];
        if (t >= 0.1 && t <= v.params.dSeconds - 0.1 && ContourF0At(v.params, t - 0.1) > 0 &&
            ContourF0At(v.params, t + 0.1) > 0 && f.pitch_hz[i] > 0)
            n += f.pitch_hz[i] < 0.8 * ContourF0At(v.params, t);
    }
    return n;
}

TEST(ResearchTracker, ARangeThatHoldsTheVoiceReadsItAsTheTrackersOwnRangeDoes)
{
    // A steady vowel as a careful user measures it (50-400 Hz: once half its
    // frames read an octave low), a man's glide and a child, each in ranges
    // that hold it, one wider than the tracker's own.
    const Voice vowel = MakeVoice(16000, 1.2, {{0.0, 120.0}});
    const Voice man = MakeVoice(22050, 2.0, {{0.0, 85.0}, {2.0, 190.0}}, 3);
    const Voice child = MakeVoice(44100, 2.0, {{0.0, 330.0}, {1.0, 420.0}, {2.0, 300.0}}, 4);
    const struct {
        const Voice& v;
        double dFloor, dCeiling;
    } cases[] = {{vowel, 50, 400}, {vowel, 0, 400}, {vowel, 75, 0},   {vowel, 30, 1000},
                 {man, 50, 500},   {man, 60, 250},  {child, 50, 500}, {child, 250, 600}};
    for (const auto& c : cases) {
        const PitchFrames f = TrackVoice(Range(c.dFloor, c.dCeiling), c.v);
        const double dOwn = ShareWithin(c.v, TrackVoice(PitchSettings(), c.v), 2);
        EXPECT_GE(ShareWithin(c.v, f, 2), std::min(0.97, dOwn)) << c.dFloor << "-" << c.dCeiling;
        EXPECT_EQ(FramesTooLow(c.v, f), 0) << c.dFloor << "-" << c.dCeiling;
    }
}

TEST(ResearchTracker, AVoiceOutsideTheRangeIsUnvoicedNeverAnOctaveOfIt)
{
    // 120 Hz under a floor of 150 (its octave lies inside), 300 Hz over a
    // ceiling of 200 (its half and third lie inside).
    const Voice low = MakeVoice(16000, 1.5, {{0.0, 120.0}});
    for (double d : TrackVoice(Range(150, 400), low).pitch_hz)
        EXPECT_EQ(d, 0);
    const Voice high = MakeVoice(16000, 1.5, {{0.0, 300.0}});
    for (double d : TrackVoice(Range(50, 200), high).pitch_hz)
        EXPECT_EQ(d, 0);
    // A glide out of the range: followed inside it, unvoiced beyond.
    const Voice glide = MakeVoice(16000, 2.0, {{0.0, 150.0}, {2.0, 300.0}}, 2);
    const PitchFrames f = TrackVoice(Range(50, 220), glide);
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        const double t = f.time_s[i], dTruth = ContourF0At(glide.params, t);
        if (t > 0.1 && dTruth < 210) {
            EXPECT_NEAR(f.pitch_hz[i], dTruth, 0.02 * dTruth) << t;
        }
        if (dTruth > 225) {
            EXPECT_EQ(f.pitch_hz[i], 0) << t;
        }
    }
}

// The frames of a recording tracked alone (alone) inside the track f of a
// longer file where it starts at frame nFirst; nApart: how many differ in
// voicing or by more than 2 %.
PitchFrames FramesInside(const PitchFrames& f, size_t nFirst, const PitchFrames& alone, int& nApart)
{
    PitchFrames inside;
    nApart = 0;
    for (size_t i = 0; i < alone.time_s.size() && nFirst + i < f.time_s.size(); ++i) {
        inside.time_s.push_back(alone.time_s[i]);
        inside.pitch_hz.push_back(f.pitch_hz[nFirst + i]);
        nApart += (alone.pitch_hz[i] > 0) != (inside.pitch_hz[i] > 0) ||
                  std::fabs(alone.pitch_hz[i] - inside.pitch_hz[i]) > 0.02 * alone.pitch_hz[i];
    }
    return inside;
}

// first's samples times dGain, dPause seconds of silence, then second's: the
// file and second's first frame (10 ms each).
std::pair<Voice, size_t> Joined(const Voice& first, double dGain, double dPause, const Voice& second)
{
    Voice joined = second;
    joined.samples.clear();
    for (int16_t x : first.samples)
        joined.samples.push_back(int16_t(std::clamp(int(std::lround(dGain * x)), -32768, 32767)));
    joined.samples.resize(joined.samples.size() + size_t(dPause * second.params.nSampleRate));
    const size_t nFirst = joined.samples.size() * 100 / size_t(second.params.nSampleRate);
    joined.samples.insert(joined.samples.end(), second.samples.begin(), second.samples.end());
    return {joined, nFirst};
}

// v with five other voices behind it, each at dGain of its level; nSeed
// picks the voices. With dEvery, each of them speaks a syllable of 0.3 s
// every dEvery seconds, out of step with the others; without, all the time.
Voice OverBabble(const Voice& v, double dGain, unsigned nSeed, double dEvery = 0)
{
    Voice mixed = v;
    const double hz[][2] = {{140, 180}, {210, 170}, {120, 150}, {250, 200}, {170, 230}};
    for (unsigned k = 0; k < 5; ++k) {
        std::vector<std::pair<double, double>> contour{
            {0.0, hz[k][0]}, {v.params.dSeconds / 2, hz[k][1]}, {v.params.dSeconds, hz[k][0]}};
        if (dEvery > 0) {
            contour.clear();
            for (double t = 0.1 * k; t < v.params.dSeconds; t += dEvery)
                contour.insert(contour.end(), {{t, 0.0}, {t + 0.001, hz[k][0]}, {t + 0.3, hz[k][1]}, {t + 0.301, 0.0}});
        }
        const Voice b = MakeVoice(v.params.nSampleRate, v.params.dSeconds, contour, nSeed + k);
        for (size_t i = 0; i < mixed.samples.size() && i < b.samples.size(); ++i)
            mixed.samples[i] = int16_t(
                std::clamp(int(mixed.samples[i]) + int(std::lround(dGain * b.samples[i])), -32768, 32767));
    }
    return mixed;
}

TEST(ResearchTracker, TheSameSpeechGetsTheSamePitchInsideALongerFile)
{
    // A child's phrases alone, and after a man twice as loud, with a pause
    // between them and with none: what is learnt of the man (his range, how
    // loud he is) never reaches the child.
    const int nRate = 16000;
    const Voice man = MakeVoice(nRate, 4.0, {{0.0, 110.0}, {1.5, 130.0}, {1.51, 0.0}, {1.7, 0.0}, {1.71, 100.0},
                                              {4.0, 125.0}}, 5);
    const Voice child = MakeVoice(nRate, 4.0, {{0.0, 320.0}, {1.2, 400.0}, {1.21, 0.0}, {1.5, 0.0}, {1.51, 300.0},
                                                {4.0, 380.0}}, 6);
    const PitchFrames alone = TrackVoice(PitchSettings(), child);
    EXPECT_GE(ShareWithin(child, alone, 2), 0.97);
    int nApart = 0;
    for (double dPause : {0.0, 0.5}) {
        const auto [joined, nFirst] = Joined(man, 2, dPause, child);
        const PitchFrames inside = FramesInside(TrackVoice(PitchSettings(), joined), nFirst, alone, nApart);
        EXPECT_GE(ShareWithin(child, inside, 2), 0.97) << dPause << " s pause";
        EXPECT_LE(nApart, 4) << dPause << " s pause"; // of 401 frames: the first few may hear the man
    }
}

TEST(ResearchTracker, ASoftSpeakerStraightAfterALoudOneKeepsHisOwnPitch)
{
    // A woman at 30 % of a man's level straight after him, and the man after
    // her: no pause and no gap between their clear frames, yet the second
    // one's range is his own.
    const int nRate = 16000;
    const Voice man = MakeVoice(nRate, 3.0, {{0.0, 110.0}, {1.5, 130.0}, {1.51, 0.0}, {1.8, 0.0}, {1.81, 100.0},
                                              {3.0, 90.0}}, 5);
    const Voice woman = MakeVoice(nRate, 3.0, {{0.0, 200.0}, {1.0, 240.0}, {1.01, 0.0}, {1.3, 0.0}, {1.31, 220.0},
                                                {3.0, 180.0}}, 7);
    for (const auto& [first, second] : {std::pair(&man, &woman), std::pair(&woman, &man)}) {
        Voice soft = *second;
        for (int16_t& x : soft.samples)
            x = int16_t(std::lround(0.3 * x));
        const PitchFrames alone = TrackVoice(PitchSettings(), soft);
        const auto [joined, nFirst] = Joined(*first, 1, 0, soft);
        int nApart = 0;
        const PitchFrames inside = FramesInside(TrackVoice(PitchSettings(), joined), nFirst, alone, nApart);
        EXPECT_GE(ShareWithin(soft, inside, 2), 0.95) << soft.params.contour[0].second << " Hz second";
        EXPECT_LE(nApart, 3) << soft.params.contour[0].second << " Hz second";
    }
}

TEST(ResearchTracker, AVoiceOverBackgroundSpeechKeepsItsPitchAloneAndJoined)
{
    // A child over the babble of five other voices: his voice read at its
    // pitch, the babble in his pause not, and the same after a man over
    // babble of his own.
    const int nRate = 16000;
    const Voice child = MakeVoice(nRate, 4.0, {{0.0, 300.0}, {1.4, 380.0}, {1.41, 0.0}, {2.2, 0.0}, {2.21, 320.0},
                                                {4.0, 360.0}}, 6);
    const Voice man = MakeVoice(nRate, 4.0, {{0.0, 110.0}, {1.5, 130.0}, {1.51, 0.0}, {1.7, 0.0}, {1.71, 100.0},
                                              {4.0, 125.0}}, 5);
    for (double dGain : {0.06, 0.15}) {
        const Voice mixed = OverBabble(child, dGain, 20);
        const PitchFrames alone = TrackVoice(PitchSettings(), mixed);
        EXPECT_GE(ShareWithin(child, alone, 2), 0.95) << dGain;
        int nPause = 0, nUnvoiced = 0;
        for (size_t i = 0; i < alone.time_s.size(); ++i)
            if (alone.time_s[i] > 1.5 && alone.time_s[i] < 2.1) {
                ++nPause;
                nUnvoiced += alone.pitch_hz[i] == 0;
            }
        EXPECT_GE(nUnvoiced, 0.9 * nPause) << dGain;
        const auto [joined, nFirst] = Joined(OverBabble(man, dGain, 30), 1, 0, mixed);
        int nApart = 0;
        FramesInside(TrackVoice(PitchSettings(), joined), nFirst, alone, nApart);
        EXPECT_LE(nApart, 3) << dGain;
    }
}

TEST(ResearchTracker, BackgroundSpeechBeforeAndAfterAVoiceIsNotVoicedAsHis)
{
    // A child's phrase with a second of babble before and after it, the
    // babble's voices each speaking a syllable every half second, from 20 to
    // 10 dB below him: what the babble says there is no voice of his, however
    // periodic its frames. Over sixteen such files, at most one frame in
    // twenty of the babble alone is voiced.
    const Voice child = MakeVoice(16000, 3.6, {{0.0, 0.0}, {0.99, 0.0}, {1.0, 300.0}, {2.4, 380.0}, {2.41, 0.0}}, 6);
    int nAside = 0, nVoiced = 0; // frames of the babble alone
    for (double dGain : {0.1, 0.15, 0.2, 0.3})
        for (unsigned nSeed : {20u, 40u, 60u, 80u}) {
            const PitchFrames f = TrackVoice(PitchSettings(), OverBabble(child, dGain, nSeed, 0.5));
            EXPECT_GE(ShareWithin(child, f, 2), 0.97) << dGain << " " << nSeed;
            for (size_t i = 0; i < f.time_s.size(); ++i)
                if ((f.time_s[i] > 0.1 && f.time_s[i] < 0.9) || (f.time_s[i] > 2.5 && f.time_s[i] < 3.5)) {
                    ++nAside;
                    nVoiced += f.pitch_hz[i] > 0;
                }
        }
    EXPECT_LE(nVoiced, 0.05 * nAside);
}

TEST(ResearchTracker, FramesAtTheStepTimesAndPausesUnvoiced)
{
    const Voice v = MakeVoice(16000, 2.0, {{0.0, 200.0}, {0.79, 200.0}, {0.8, 0.0}, {1.19, 0.0}, {1.2, 180.0}});
    PitchSettings settings;
    settings.dStepS = 0.005;
    const PitchFrames f = TrackVoice(settings, v);
    ASSERT_EQ(f.time_s.size(), size_t(2.0 / 0.005) + 1);
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        EXPECT_EQ(f.time_s[i], i * 0.005);
        EXPECT_EQ(f.pitch_hz[i] > 0, f.confidence[i] > 0) << i;
        EXPECT_LE(f.confidence[i], 1.0);
        if (f.time_s[i] > 0.85 && f.time_s[i] < 1.15) {
            EXPECT_EQ(f.pitch_hz[i], 0) << f.time_s[i];
        }
    }
    // Silence, and a sound too short for any period, are unvoiced throughout.
    const Voice quiet{v.params, std::vector<int16_t>(8000, 0)};
    for (double d : TrackVoice(PitchSettings(), quiet).pitch_hz)
        EXPECT_EQ(d, 0);
    // Nor does a 20 ms burst of loud noise in silence: no two periods of anything.
    Voice burst{v.params, std::vector<int16_t>(16000, 0)};
    unsigned seed = 11;
    for (size_t i = 8000; i < 8320; ++i) {
        seed = seed * 1103515245u + 12345u;
        burst.samples[i] = int16_t((int(seed >> 16) - 32768) / 2);
    }
    for (double d : TrackVoice(PitchSettings(), burst).pitch_hz)
        EXPECT_EQ(d, 0);
    // Nor does a hiss running on from one vowel into the next, a narrow band
    // of noise near 5 kHz that correlates at many lags without a period.
    Voice hiss = v;
    double y1 = 0, y2 = 0;
    const double r = 0.997, c = 2 * r * std::cos(2 * M_PI * 5000 / 16000);
    for (size_t i = 12000; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const double y = double(int(seed >> 16) - 32768) / 8 + c * y1 - r * r * y2;
        y2 = y1;
        y1 = y;
        hiss.samples[i] = int16_t(std::clamp(hiss.samples[i] + std::lround(y / 4), -32768L, 32767L));
    }
    const PitchFrames h = TrackVoice(PitchSettings(), hiss);
    for (size_t i = 0; i < h.time_s.size(); ++i)
        if (h.time_s[i] > 0.85 && h.time_s[i] < 1.15) {
            EXPECT_EQ(h.pitch_hz[i], 0) << h.time_s[i];
        }
    const Voice empty{v.params, {}};
    EXPECT_EQ(TrackVoice(PitchSettings(), empty).pitch_hz, std::vector<double>{0.0});
}

// Samples [dFrom, dTo) s of v times dGain, plus white noise of amplitude
// nNoise there (a hiss, or a voice's dip under noise); nSeed picks the noise.
void Reshape(Voice& v, double dFrom, double dTo, double dGain, int nNoise, unsigned nSeed)
{
    const int nRate = v.params.nSampleRate;
    for (size_t i = size_t(dFrom * nRate); i < size_t(dTo * nRate) && i < v.samples.size(); ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        const int nHiss = int((nSeed >> 16) % 65536) - 32768;
        v.samples[i] = int16_t(std::clamp(int(std::lround(dGain * v.samples[i])) + nHiss * nNoise / 32768, -32768, 32767));
    }
}

// Voiced frames within 5 % of f0 Hz, and all frames, between dFrom and dTo s.
std::pair<int, int> VoicedNear(const PitchFrames& f, double dFrom, double dTo, double f0)
{
    int nNear = 0, nAll = 0;
    for (size_t i = 0; i < f.time_s.size(); ++i)
        if (f.time_s[i] >= dFrom && f.time_s[i] <= dTo) {
            ++nAll;
            nNear += f.pitch_hz[i] > 0 && std::fabs(f.pitch_hz[i] - f0) < 0.05 * f0;
        }
    return {nNear, nAll};
}

TEST(ResearchTracker, AVoiceThatDipsStaysVoicedAVoicelessGapAndAShortVowelAreHeard)
{
    // A steady 150 Hz vowel in noise whose voice sinks 26 dB for 30 ms, as a
    // voiced consonant's does: one voice throughout, at its pitch.
    for (unsigned nSeed : {3u, 4u, 5u}) {
        Voice dip = MakeVoice(16000, 1.2, {{0.0, 150.0}}, nSeed);
        Reshape(dip, 0.5, 0.53, 0.05, 0, nSeed);
        Reshape(dip, 0, 1.2, 1, 900, nSeed);
        const auto [nNear, nAll] = VoicedNear(TrackVoice(PitchSettings(), dip), 0.5, 0.53, 150);
        EXPECT_EQ(nNear, nAll) << nSeed;
    }
    // The same vowel cut by 30 ms of a voiceless consonant (a hiss, or a
    // closure and its breath): unvoiced there, however alike the pitch either side.
    for (double dClosure : {0.0, 0.015}) {
        Voice gap = MakeVoice(16000, 1.2, {{0.0, 150.0}}, 6);
        Reshape(gap, 0.5, 0.5 + dClosure, 0, 100, 6);
        Reshape(gap, 0.5 + dClosure, 0.53, 0, 6000, 7);
        const PitchFrames f = TrackVoice(PitchSettings(), gap);
        EXPECT_GE(VoicedNear(f, 0.45, 0.49, 150).first, 4);
        for (size_t i = 0; i < f.time_s.size(); ++i)
            if (f.time_s[i] >= 0.51 && f.time_s[i] <= 0.52) {
                EXPECT_EQ(f.pitch_hz[i], 0) << dClosure << " at " << f.time_s[i];
            }
    }
    // A soft 40 ms vowel at 110 Hz between two hisses is heard, at its pitch.
    Voice shortVowel = MakeVoice(16000, 1.0, {{0.0, 110.0}}, 8);
    Reshape(shortVowel, 0.1, 0.5, 0, 5000, 9);
    Reshape(shortVowel, 0.5, 0.54, 0.4, 0, 9);
    Reshape(shortVowel, 0.54, 1.0, 0, 5000, 10);
    EXPECT_GE(VoicedNear(TrackVoice(PitchSettings(), shortVowel), 0.5, 0.54, 110).first, 1);
    // A vowel on its own, cut from a recording (no pause, no background):
    // voiced throughout.
    const Voice alone = MakeVoice(16000, 0.3, {{0.0, 110.0}}, 11);
    const auto [nNear, nAll] = VoicedNear(TrackVoice(PitchSettings(), alone), 0.03, 0.27, 110);
    EXPECT_EQ(nNear, nAll);
}

TEST(ResearchTracker, StaysInsideTheSoundAtAnyRateLengthAndStep)
{
    // Loud noise, so every lag peaks somewhere; the sanitizer build checks the reads.
    std::vector<int16_t> noise(40000);
    unsigned seed = 7;
    for (int16_t& v : noise) {
        seed = seed * 1103515245u + 12345u;
        v = int16_t(seed >> 16);
    }
    for (int nRate : {1000, 3201, 8000, 44100, 192000}) {
        for (int n : {0, 1, 7, 150, 2001, 40000}) {
            for (double dStep : {0.001, 0.01, 1.0}) {
                PitchSettings s;
                s.dStepS = dStep;
                PitchFrames f;
                const CMemorySamples source(noise.data(), n);
                ASSERT_EQ(TrackWith(s, source, n, nRate, 2, f), sonavel::analysis::EOutcome::Done) << nRate << " " << n << " " << dStep;
                ASSERT_EQ(f.time_s.size(), size_t(std::floor(n / (nRate * dStep) + 1e-9)) + 1);
            }
        }
    }
}

TEST(AmdfRange, FollowsA350HertzVoiceWithItsRangeRaised)
{
    const Voice v = MakeVoice(22050, 2.0, {{0.0, 350.0}});
    PitchSettings settings;
    settings.tracker = ETracker::Amdf;
    EXPECT_LT(ShareWithin(v, TrackVoice(settings, v), 3), 0.1); // 70-260 Hz cannot hold it
    settings.dFloorHz = 150;
    settings.dCeilingHz = 500;
    PitchFrames f;
    const CMemorySamples source(v.samples.data(), int(v.samples.size()));
    ASSERT_EQ(TrackWith(settings, source, int(v.samples.size()), 22050, 1, f), sonavel::analysis::EOutcome::Done);
    int n = 0, ok = 0;
    for (size_t i = 0; i < f.time_s.size(); ++i) {
        if (f.time_s[i] < 0.1 || f.time_s[i] > 1.9)
            continue;
        ++n;
        ok += std::fabs(f.pitch_hz[i] - 350) <= 7;
    }
    EXPECT_GE(ok, n * 9 / 10);
}

TEST(PitchSettingsCheck, RefusesWhatTheTrackersCannotTake)
{
    struct Case {
        ETracker tracker;
        double dFloor, dCeiling, dStep;
        const char* szRefused; // nullptr: taken
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {ETracker::Nccf, 0, 0, 0, nullptr},
        {ETracker::Amdf, 0, 0, 0, nullptr},
        {ETracker::Amdf, 150, 500, 0, nullptr},
        {ETracker::Amdf, 0, 1637, 0, nullptr},
        {ETracker::Nccf, 60, 2000, 0.002, nullptr},
        {ETracker::Nccf, 300, 200, 0, "floor"},
        {ETracker::Nccf, 900, 0, 0, "floor"},   // above the default ceiling
        {ETracker::Amdf, 0, 60, 0, "ceiling"},  // below the default floor
        {ETracker::Nccf, -5, 0, 0, "floor"},
        {ETracker::Nccf, 0, nan, 0, "ceiling"},
        {ETracker::Amdf, 0, 1638, 0, "ceiling"},
        {ETracker::Amdf, 75.5, 0, 0, "floor"},
        {ETracker::Nccf, 10, 0, 0, "floor"},
        {ETracker::Amdf, 0, 0, 0.01, "step"},
        {ETracker::Nccf, 0, 0, 0.0001, "step"},
        {ETracker::Nccf, 0, 0, 2, "step"},
    };
    for (const Case& c : cases) {
        PitchSettings s;
        s.tracker = c.tracker;
        s.dFloorHz = c.dFloor;
        s.dCeilingHz = c.dCeiling;
        s.dStepS = c.dStep;
        const sonavel::analysis::SettingRefusal refusal = RefusedSetting(s);
        const char* szRefused = refusal.szSetting;
        EXPECT_EQ(std::string(szRefused ? szRefused : "-"), std::string(c.szRefused ? c.szRefused : "-"))
            << TrackerName(c.tracker) << " " << c.dFloor << " " << c.dCeiling << " " << c.dStep;
        EXPECT_EQ(szRefused != nullptr, !refusal.strWhy.empty());
        PitchFrames f;
        const CMemorySamples none(nullptr, 0);
        EXPECT_EQ(TrackWith(s, none, 0, 16000, 1, f) == sonavel::analysis::EOutcome::Refused, szRefused != nullptr);
    }
    ETracker t;
    EXPECT_FALSE(TrackerFromName("yin", t));
    EXPECT_EQ(TrackerNames(), "amdf, nccf");
    // A ceiling the sound's rate cannot carry fails the track, not the settings.
    PitchSettings high;
    high.dCeilingHz = 3000;
    PitchFrames f;
    const std::vector<int16_t> samples(8000);
    EXPECT_EQ(TrackWith(high, CMemorySamples(samples.data(), 8000), 8000, 8000, 1, f), sonavel::analysis::EOutcome::RangeUnfit);
    EXPECT_EQ(RateMismatch(high, 8000), "the sample rate, 8000 Hz, is too low for 50-3000 Hz (the ceiling may be a "
                                        "quarter of the rate at most)");
    // A header's absurd rate is refused at once rather than decimated for hours.
    EXPECT_EQ(TrackWith(PitchSettings(), CMemorySamples(samples.data(), 100), 100, 2147483647, 1, f), sonavel::analysis::EOutcome::RangeUnfit);
    EXPECT_EQ(RateMismatch(PitchSettings(), 2147483647),
              "the sample rate, 2147483647 Hz, is above the research tracker's 5000000 Hz");
}

TEST(ResearchTracker, SameFramesForAnyThreadCountAndKernelSet)
{
    // 30 s: several blocks of frames, shared out between up to three threads.
    Voice v = MakeVoice(44100, 30.0, {{0.0, 90.0}, {10.0, 400.0}, {20.0, 150.0}, {30.0, 250.0}}, 9);
    unsigned seed = 5;
    for (size_t i = 20 * 44100; i < 23 * 44100; ++i) { // loud noise in the middle
        seed = seed * 1103515245u + 12345u;
        v.samples[i] = int16_t(seed >> 16);
    }
    const EPitchKernels widest = WidestPitchKernels();
    const PitchFrames expected = TrackVoice(PitchSettings(), v, 1);
    for (EPitchKernels kind : {EPitchKernels::Plain, widest}) {
        UsePitchKernels(kind);
        for (int nThreads : {1, 2, 3}) {
            const PitchFrames f = TrackVoice(PitchSettings(), v, nThreads);
            EXPECT_EQ(f.pitch_hz, expected.pitch_hz) << int(kind) << ", " << nThreads << " threads";
            EXPECT_EQ(f.confidence, expected.confidence) << int(kind) << ", " << nThreads << " threads";
        }
    }
    UsePitchKernels(widest);
}

// A clear frame at 60 dB whose one candidate lies at fHz.
CFrameCandidates ClearFrame(float fHz)
{
    CFrameCandidates f;
    f.nCount = 1;
    f.fLag[0] = 10000.0f / fHz;
    f.fStrength[0] = 0.9f;
    f.fLogHz[0] = std::log(fHz);
    f.fEnergyDb = 60.0f;
    f.fLowShare = 0.8f;
    return f;
}

TEST(ResearchTracker, ASpeakersRangeLiesAtHisPitchThoughNoiseReadsMostFramesAnOctaveLow)
{
    // Three seconds of a 200 Hz voice in noise: 11 clear frames in 20 read at
    // 100 Hz and nothing else. The median of them is 100 Hz; his range is not.
    std::vector<CFrameCandidates> frames;
    for (size_t i = 0; i < 300; ++i)
        frames.push_back(ClearFrame(i * 7 % 20 < 11 ? 100.0f : 200.0f));
    const std::vector<float> loud(frames.size(), 60.0f);
    for (float fCentre : OwnRangeCentres(CFrameRun{frames.data(), frames.size()}, 0.01, 60.0f, loud.data(), 1))
        EXPECT_NEAR(fCentre, std::log2(200.0f), 0.25f);
}

TEST(ResearchTracker, ATurnStartsWithTheNextSpeakerThoughTheLastOnesEndReadsAnOctaveLow)
{
    // Three seconds of a 440 Hz voice whose last 20 clear frames read at
    // 220 Hz (noise), then three of a 300 Hz voice: 220 Hz lies nearer 300
    // than 440, yet those frames are the first speaker's.
    std::vector<CFrameCandidates> frames;
    for (size_t i = 0; i < 300; ++i)
        frames.push_back(ClearFrame(i < 280 ? 440.0f : 220.0f));
    frames.insert(frames.end(), 300, ClearFrame(300.0f));
    const std::vector<float> loud(frames.size(), 60.0f);
    const std::vector<CTurn> turns = SpeakerTurns(CFrameRun{frames.data(), frames.size()}, 0.01, loud, 1);
    ASSERT_EQ(turns.size(), 2u);
    EXPECT_NEAR(double(turns[1].nFirst), 300.0, 1.0);
}

TEST(ResearchTracker, ASoftSpeakersLastSyllableBeforeALouderOneIsStillHis)
{
    // Three seconds of a 200 Hz voice at 60 dB, 30 ms of silence, his last
    // syllable (200 ms at 56 dB), 30 ms of silence, then a 110 Hz voice at
    // 70 dB: none of the syllable's frames lies within 6 dB of the loudest
    // a quarter second around it, yet the next turn starts after it.
    std::vector<CFrameCandidates> frames(300, ClearFrame(200.0f));
    CFrameCandidates silence, syllable = ClearFrame(200.0f), next = ClearFrame(110.0f);
    silence.fEnergyDb = 30;
    syllable.fStrength[0] = 0.95f;
    syllable.fEnergyDb = 56;
    next.fEnergyDb = 70;
    frames.insert(frames.end(), 3, silence);
    frames.insert(frames.end(), 20, syllable);
    frames.insert(frames.end(), 3, silence);
    const size_t nNext = frames.size();
    frames.insert(frames.end(), 300, next);
    const CFrameRun run{frames.data(), frames.size()};
    std::vector<float> loud(frames.size());
    LocalLoudest(run, 25, loud.data());
    const std::vector<CTurn> turns = SpeakerTurns(run, 0.01, loud, 1);
    ASSERT_EQ(turns.size(), 2u);
    EXPECT_GE(turns[1].nFirst, nNext - 3);
    EXPECT_LE(turns[1].nFirst, nNext);
}

// A voiced frame at fHz (strength fStrength) that correlates at half its
// pitch too (fHalf); the NCCF at twice each lag as strong.
CFrameCandidates VoicedFrame(float fHz, float fStrength, float fHalf)
{
    CFrameCandidates f = ClearFrame(fHz);
    f.nCount = 2;
    f.fStrength[0] = fStrength;
    f.fLag[1] = 2 * f.fLag[0];
    f.fStrength[1] = fHalf;
    f.fLogHz[1] = std::log(fHz / 2);
    f.fTwice[0] = f.fTwice[1] = 1;
    return f;
}

TEST(ResearchTracker, TheNextSpeakersFirstSyllableIsHisThoughItFitsTheLastOnesRange)
{
    // Three seconds of a 145 Hz voice, 30 ms of silence, a 150 ms syllable of
    // a 280 Hz voice that correlates nearly as well at 140 Hz (in its middle
    // better: noise), 30 ms of silence and three seconds more of him at
    // 270 Hz. Alone or after the first speaker, the syllable is read at 280 Hz.
    std::vector<CFrameCandidates> second;
    for (size_t i = 0; i < 15; ++i)
        second.push_back(VoicedFrame(280.0f, i >= 7 && i < 13 ? 0.7f : 0.93f, 0.92f));
    CFrameCandidates silence;
    silence.fEnergyDb = 30;
    second.insert(second.end(), 3, silence);
    second.insert(second.end(), 300, VoicedFrame(270.0f, 0.96f, 0.93f));
    std::vector<CFrameCandidates> joined(300, VoicedFrame(145.0f, 0.95f, 0.93f));
    joined.insert(joined.end(), 3, silence);
    joined.insert(joined.end(), second.begin(), second.end());
    CPathSettings settings;
    settings.dRate = 10000; // ClearFrame's lags
    settings.dMaxLag = 200; // a floor of 50 Hz
    for (const std::vector<CFrameCandidates>* frames : {&second, &joined}) {
        std::vector<uint8_t> states;
        ChoosePath(settings, CFrameRun{frames->data(), frames->size()}, states);
        const size_t nSyllable = frames->size() - second.size();
        for (size_t i = nSyllable; i < nSyllable + 15; ++i) {
            ASSERT_GT(states[i], 0) << i;
            EXPECT_NEAR(std::exp((*frames)[i].fLogHz[states[i] - 1]), 280.0, 1.0) << i << " of " << frames->size();
        }
    }
}

TEST(ResearchTracker, SpeakerRangesAreTheSameForAnyThreadCount)
{
    // Two thousand short stretches of two speakers taking turns, 300 ms
    // apart: enough stretches to be shared out among threads.
    std::vector<CFrameCandidates> frames;
    unsigned seed = 7;
    for (int nStretch = 0; nStretch < 2000; ++nStretch) {
        seed = seed * 1103515245u + 12345u;
        const float fHz = (nStretch / 5 % 2 ? 330.0f : 110.0f) * (1.0f + float(seed >> 16 & 255) / 1024.0f);
        frames.insert(frames.end(), 15, ClearFrame(fHz));
        frames.resize(frames.size() + 30);
    }
    const CFrameRun run{frames.data(), frames.size()};
    const std::vector<float> loud(frames.size(), 60.0f);
    const std::vector<float> one = OwnRangeCentres(run, 0.01, 60.0f, loud.data(), 1);
    EXPECT_NEAR(one[0], std::log2(110.0f), 0.5f);
    EXPECT_NEAR(one[5 * 45], std::log2(330.0f), 0.5f);
    for (int nThreads : {2, 3}) {
        const std::vector<float> many = OwnRangeCentres(run, 0.01, 60.0f, loud.data(), nThreads);
        ASSERT_EQ(many.size(), one.size());
        EXPECT_EQ(std::memcmp(many.data(), one.data(), one.size() * sizeof(float)), 0) << nThreads << " threads";
    }
}

} // namespace
