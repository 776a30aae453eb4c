#include "player/analysis/pitch/PitchTracker.h"

#include "player/analysis/pitch/PitchKernels.h"

#include <algorithm>
#include <cstdlib>

namespace sonavel::pitch {

namespace {

// Weight of a bridged gap by the distance between its two voiced sides.
const int kGapWeight[8] = {0, 0, 14, 17, 20, 22, 24, 26};
const int kGapDivisor = 2000;

// Below 1 kHz there is no 1 ms moving average and the lag grid cannot grow; far
// above any audio rate the fine search would take minutes per second of sound.
const int kMinRate = 1000;
const int kMaxRate = 1000000;

} // namespace

bool ComputeGeometry(int nSampleCount, int nSampleRate, const PitchParams& params,
                     PitchGeometry& g)
{
    g = PitchGeometry();
    if (nSampleRate < kMinRate || nSampleRate > kMaxRate || nSampleCount < 0 || params.minPitchHz <= 0
        || params.maxPitchHz <= params.minPitchHz)
        return false;
    g.nMinLag = nSampleRate / params.maxPitchHz;
    g.nMaxLag = nSampleRate / params.minPitchHz;
    g.nAverage = nSampleRate / 1000;
    if (g.nMinLag < 1) { // a lag grid must grow from one sample at least
        g = PitchGeometry();
        return false;
    }
    g.nMargin = (g.nMaxLag + g.nAverage) / 2 + 155;
    g.nFirstFrame = g.nMargin / kHop + 1;
    g.nLastFrame = nSampleCount >= g.nMargin ? (nSampleCount - g.nMargin) / kHop : -1;
    return true;
}

std::vector<int> BuildLagGrid(int nMinLag, int nMaxLag)
{
    std::vector<int> grid{nMinLag - 1, nMinLag};
    if (nMinLag < nMaxLag) {
        long long q = static_cast<long long>(nMinLag) * 256;
        for (;;) {
            q = q * 105 / 100;
            const long long v = q / 256;
            if (v == grid.back())
                continue;
            grid.push_back(v < nMaxLag ? static_cast<int>(v) : nMaxLag);
            if (grid.back() == nMaxLag)
                break;
        }
    }
    grid.push_back(nMaxLag + 1);
    return grid;
}

namespace {

const int kSmoothChunk = 4096;

} // namespace

void SmoothThreePoint(int16_t* v, int nCount)
{
    // Each sweep reads only entries it has not written yet, so every new value
    // comes from old ones alone: with the old values of a chunk kept aside the
    // sweep can go in either direction, and many entries at a time.
    int16_t old[kSmoothChunk + 2];
    const CPitchKernels& kernels = PitchKernels();

    // Backward sweep: each entry with the two before it.
    old[0] = old[1] = kNoPitch;
    for (int i0 = 0; i0 < nCount; i0 += kSmoothChunk) {
        const int n = std::min(kSmoothChunk, nCount - i0);
        std::copy(v + i0, v + i0 + n, old + 2);
        kernels.pfnSmoothRow(old + 2, old + 1, old, v + i0, n);
        old[0] = old[n];
        old[1] = old[n + 1];
    }
    // Forward sweep over its results: each entry with the two after it.
    int16_t nAfter1 = kNoPitch, nAfter2 = kNoPitch;
    for (int nEnd = nCount; nEnd > 0; nEnd -= kSmoothChunk) {
        const int k0 = std::max(0, nEnd - kSmoothChunk);
        const int n = nEnd - k0;
        std::copy(v + k0, v + nEnd, old);
        old[n] = nAfter1;
        old[n + 1] = nAfter2;
        kernels.pfnSmoothRow(old, old + 1, old + 2, v + k0, n);
        nAfter1 = old[0];
        nAfter2 = old[1];
    }
}

void MarkRuns(int16_t* track, int nFirst, int nLast, const PitchParams& params)
{
    int i = nFirst;
    while (i <= nLast) {
        if (track[i] == kNoPitch) {
            ++i;
            continue;
        }
        int k = i;
        while (k < nLast) {
            const int a = track[k];
            const int b = track[k + 1];
            if (b == kNoPitch)
                break;
            const int tol = a * params.jumpTolerancePercent / 100;
            if (std::abs(a - b) <= tol) {
                ++k;
            } else if (k < nLast - 1 && track[k + 2] != kNoPitch
                       && std::abs(a - track[k + 2]) <= tol) {
                // Frame k+1 alone left the run: it takes its neighbours' mean.
                track[k + 1] = static_cast<int16_t>((a + track[k + 2]) >> 1);
                ++k;
            } else if (k != i && track[k - 1] != kNoPitch && std::abs(b - track[k - 1]) <= tol) {
                // Frame k was the odd one and the run goes on with k+1.
                track[k] = static_cast<int16_t>((track[k - 1] + b) >> 1);
                ++k;
            } else {
                break;
            }
        }
        if (k - i + 1 < params.minRunFrames) {
            for (int j = i; j <= k; ++j)
                track[j] = kRemoved;
        } else {
            track[k] = static_cast<int16_t>(track[k] | kRunEndMark);
        }
        i = k + 1;
    }
}

void ResolveRunMarks(int16_t* track, int nFirst, int nLast)
{
    for (int j = nFirst; j <= nLast; ++j) {
        if (track[j] < 0 || !(track[j] & kRunEndMark))
            continue;
        if (track[j + 1] >= 0)
            track[j] = kNoPitch;
        else
            track[j] = static_cast<int16_t>(track[j] & ~kRunEndMark);
    }
}

void BridgeGaps(const int16_t* track, int16_t* finalPitch, int nFirst, int nLast,
                const PitchParams& params)
{
    for (int i = nFirst; i <= nLast; ++i)
        finalPitch[i] = track[i];
    const int nMaxDistance = params.maxGapFrames + 1;
    int i = nFirst;
    while (i < nLast) {
        const int a = finalPitch[i];
        if (a == kRemoved) {
            finalPitch[i] = kNoPitch;
            ++i;
            continue;
        }
        if (a == kNoPitch || finalPitch[i + 1] != kRemoved) {
            ++i;
            continue;
        }
        int k = i + 2;
        while (k <= nLast && finalPitch[k] == kRemoved)
            ++k;
        const int d = k - i;
        bool bBridged = false;
        if (k <= nLast && d <= nMaxDistance && d < 8 && finalPitch[k] != kNoPitch) {
            const int b = finalPitch[k];
            if (std::abs(a - b) <= kGapWeight[d] * (a + b) * params.jumpTolerancePercent / kGapDivisor) {
                for (int j = i + 1; j < k; ++j)
                    finalPitch[j] = static_cast<int16_t>(a + ((b - a) * (j - i)) / d);
                bBridged = true;
            }
        }
        if (!bBridged) {
            for (int j = i + 1; j < k; ++j)
                finalPitch[j] = kNoPitch;
        }
        i = k;
    }
}

} // namespace sonavel::pitch
