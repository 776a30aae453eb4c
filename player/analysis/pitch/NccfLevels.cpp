#include "player/analysis/pitch/NccfLevels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sonavel::pitch {

namespace {

const float kFlatRampDb = 4; // the background's cost grows to its full over this much more
const float kSilenceDb = 40;    // a quietest stretch this far below the loudest is a silence, not speech
const float kSilenceRampDb = 5; // from this much nearer
const float kCluster = 0.25f;     // octaves either side of a clear frame that count as its cluster
const double kClusterShare = 0.3; // the share of a voice's clear frames its level's cluster holds

} // namespace

void LocalLoudest(CFrameRun frames, size_t nReach, float* loud, size_t nAverage, float fSign, uint32_t* pAt)
{
    const size_t n = frames.size();
    auto Level = [&](size_t i) {
        float fSum = 0;
        for (size_t k = i > nAverage ? i - nAverage : 0; k <= std::min(n - 1, i + nAverage); ++k)
            fSum += frames[k].fEnergyDb;
        // The frames past either end count as the end's own.
        if (i < nAverage)
            fSum += float(nAverage - i) * frames[0].fEnergyDb;
        if (i + nAverage > n - 1)
            fSum += float(i + nAverage - (n - 1)) * frames[n - 1].fEnergyDb;
        return fSign * fSum / float(2 * nAverage + 1);
    };
    // A running maximum: the frames whose levels fall, the front the largest.
    // It never holds more than one window's 2 nReach + 1 frames and the one
    // leaving, so a ring a frame longer serves the whole sound.
    struct CHeld {
        size_t nFrame;
        float fLevel;
    };
    const size_t nRing = 2 * nReach + 3;
    std::vector<CHeld> ring(nRing);
    size_t nFront = 0, nBack = 0, nNext = 0; // counts; the ring holds [nFront, nBack)
    for (size_t i = 0; i < n; ++i) {
        for (; nNext < n && nNext <= i + nReach; ++nNext) {
            const float fLevel = Level(nNext);
            while (nBack > nFront && ring[(nBack - 1) % nRing].fLevel <= fLevel)
                --nBack;
            ring[nBack++ % nRing] = {nNext, fLevel};
        }
        while (ring[nFront % nRing].nFrame + nReach < i)
            ++nFront;
        loud[i] = ring[nFront % nRing].fLevel;
        if (pAt)
            pAt[i] = uint32_t(ring[nFront % nRing].nFrame);
    }
}

float LowShareNear(CFrameRun frames, size_t i, size_t nAverage)
{
    float fSum = 0;
    size_t nCount = 0;
    for (size_t k = i > nAverage ? i - nAverage : 0; k <= std::min(frames.size() - 1, i + nAverage); ++k, ++nCount)
        fSum += frames[k].fLowShare;
    return fSum / float(nCount);
}

void Background(CFrameRun frames, double dStep, const CBackgroundCost& c, std::vector<uint32_t>& at,
                float* background, float* speech)
{
    const size_t n = frames.size();
    at.resize(n);
    const size_t nReach = size_t(std::max(1.0, c.fReachS / dStep));
    std::vector<float> loudest(n);
    LocalLoudest(frames, nReach, loudest.data(), 2);
    LocalLoudest(frames, nReach, background, 2, -1.0f, at.data());
    for (size_t i = 0; i < n; ++i) {
        const float fAbove = frames[i].fEnergyDb + background[i]; // the quietest, negated
        const float fSpeech = std::clamp((LowShareNear(frames, at[i], 2) - 0.5f) / 0.2f, 0.0f, 1.0f);
        const float fApart = std::clamp((loudest[i] + background[i] - c.fFlatDb) / kFlatRampDb, 0.0f, 1.0f);
        speech[i] = fSpeech * std::clamp((kSilenceDb - loudest[i] - background[i]) / kSilenceRampDb, 0.0f, 1.0f);
        background[i] = c.fCost * fSpeech * fApart * std::clamp((c.fDb - fAbove) / c.fRangeDb, 0.0f, 1.0f);
    }
}

float VoiceLevel(const std::vector<float>& v)
{
    const size_t n = v.size(), nNeed = std::max<size_t>(2, size_t(std::ceil(kClusterShare * double(n))));
    size_t lo = n, hi = n; // the cluster of v[i]: [lo, hi)
    for (size_t i = n; i-- > 0;) {
        while (lo > 0 && v[lo - 1] >= v[i] - kCluster)
            --lo;
        while (hi > i + 1 && v[hi - 1] > v[i] + kCluster)
            --hi;
        if (hi - lo >= nNeed)
            return v[(lo + hi) / 2];
    }
    return v[n / 2];
}

float Percentile(float* v, size_t n, double q)
{
    if (n == 0)
        return 0;
    const size_t k = std::min(n - 1, size_t(q * double(n)));
    std::nth_element(v, v + std::ptrdiff_t(k), v + n);
    return v[k];
}

} // namespace sonavel::pitch
