#include "player/analysis/PitchTracker.h"

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
    if (nSampleRate < kMinRate || nSampleRate > kMaxRate || nSampleCount < 0)
        return false;
    g.nMinLag = nSampleRate / params.maxPitchHz;
    g.nMaxLag = nSampleRate / params.minPitchHz;
    g.nAverage = nSampleRate / 1000;
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

void SmoothThreePoint(int16_t* v, int nCount)
{
    // Backward sweep: each entry with the two before it, which this sweep has
    // not reached yet.
    for (int i = nCount - 1; i >= 0; --i) {
        if (v[i] < 0)
            continue;
        int s = 3 * v[i], w = 3;
        if (i >= 1 && v[i - 1] >= 0) {
            s += 2 * v[i - 1];
            w = 5;
            if (i >= 2 && v[i - 2] >= 0) {
                s += v[i - 2];
                w = 6;
            }
        }
        v[i] = static_cast<int16_t>((s + w / 2) / w);
    }
    // Forward sweep over the backward sweep's results.
    for (int k = 0; k < nCount; ++k) {
        if (v[k] < 0)
            continue;
        int s = 3 * v[k], w = 3;
        if (k + 1 < nCount && v[k + 1] >= 0) {
            s += 2 * v[k + 1];
            w = 5;
            if (k + 2 < nCount && v[k + 2] >= 0) {
                s += v[k + 2];
                w = 6;
            }
        }
        v[k] = static_cast<int16_t>((s + w / 2) / w);
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
