// CSignalMath::TrackPitch: AMDF period search on an 8-bit, low-passed copy of the
// sound, one frame per 100 samples, then voicing, run clean-up, gap bridging and
// smoothing (the stages live in PitchTracker.cpp).
#include <cstdlib>
#include <cstring>
#include <limits>

#include "player/analysis/CSignalMath.h"
#include "player/analysis/PitchTracker.h"

using namespace sonavel::pitch;

namespace {

// Sparse sampling of the difference function keeps a frame cheap: the coarse
// search looks at 11 terms 30 samples apart, the fine search and the octave
// check at 25 terms 12 apart.
const int kCoarseStride = 30, kCoarseTerms = 11;
const int kFineStride = 12, kFineTerms = 25;
const int kLevelStride = 10, kLevelTerms = 32;

// Average magnitude difference at lag: the two samples of each pair straddle the
// window start c symmetrically.
inline int Amdf(const uint8_t* y, int c, int lag, int stride, int terms)
{
    const uint8_t* p = y + (c - lag / 2);
    const uint8_t* q = p + lag;
    int sum = 0;
    for (int k = 0; k < terms; ++k, p += stride, q += stride)
        sum += std::abs(int(*p) - int(*q));
    return sum;
}

// Per-call working record; CSampleBlock so that allocation failure is a result.
struct CPitchWork {
    CSampleBlockHandle hSignal8, hLowpass, hLevel, hRaw, hTrack, hFinal, hVoiced;
    bool Alloc(size_t nSamples, size_t nFrames)
    {
        const size_t nFrameBytes = sizeof(int16_t) * nFrames;
        hSignal8 = CSampleBlock::Alloc(nSamples ? nSamples : 1);
        hLowpass = CSampleBlock::Alloc(nSamples ? nSamples : 1);
        hLevel = CSampleBlock::Alloc(nFrameBytes);
        hRaw = CSampleBlock::Alloc(nFrameBytes);
        hTrack = CSampleBlock::Alloc(nFrameBytes);
        hFinal = CSampleBlock::Alloc(nFrameBytes);
        hVoiced = CSampleBlock::Alloc(nFrames);
        return hSignal8 && hLowpass && hLevel && hRaw && hTrack && hFinal && hVoiced;
    }
};

// Steps after the 8-bit conversion; x holds the converted samples, out gets the
// M+1 values in whole Hz.
void RunTracker(const uint8_t* x, uint8_t* y, int nCount, int nRate, int16_t* level,
                int16_t* raw, int16_t* track, int16_t* finalPitch, uint8_t* voiced, int16_t* out)
{
    const PitchParams params;
    const int nFrames = nCount / kHop;
    for (int i = 0; i <= nFrames; ++i)
        level[i] = raw[i] = track[i] = finalPitch[i] = kNoPitch;
    std::memset(voiced, 0, static_cast<size_t>(nFrames) + 1);
    for (int i = 0; i <= nFrames; ++i)
        out[i] = 0;

    PitchGeometry g;
    if (nCount == 0 || !ComputeGeometry(nCount, nRate, params, g))
        return;
    const int F = g.nFirstFrame, L = g.nLastFrame;
    if (L < F)
        return;
    const int W = g.nAverage;

    // Moving average over W bytes, centred.
    int sum = 0;
    for (int k = 0; k < W && k < nCount; ++k)
        sum += x[k];
    for (int j = 0; j + W <= nCount - 1; ++j) {
        y[j + W / 2] = static_cast<uint8_t>(sum / W);
        sum += x[j + W] - x[j];
    }

    const std::vector<int> G = BuildLagGrid(g.nMinLag, g.nMaxLag);
    const int m = static_cast<int>(G.size()) - 2;
    const int nMinLag = g.nMinLag, nMaxLag = g.nMaxLag;

    for (int i = F; i <= L; ++i) {
        const int c = kHop * i - 150;

        int nLevel = 0;
        for (int k = 0; k < kLevelTerms; ++k)
            nLevel += std::abs(int(y[c + kLevelStride * k]) - 128);
        level[i] = static_cast<int16_t>(10 * nLevel / (kLevelTerms - 1));

        int b = 1, dBest = std::numeric_limits<int>::max();
        for (int idx = 1; idx <= m; ++idx) {
            const int d = Amdf(y, c, G[idx], kCoarseStride, kCoarseTerms);
            if (d < dBest) {
                dBest = d;
                b = idx;
            }
        }

        int P = G[b], dMin = std::numeric_limits<int>::max();
        for (int lag = G[b - 1] + 1; lag <= G[b + 1] - 1; ++lag) {
            const int d = Amdf(y, c, lag, kFineStride, kFineTerms);
            if (d < dMin) {
                dMin = d;
                P = lag;
            }
        }

        // Octave check: a half or a third of the period wins when its difference
        // is below one and a half times the best one. A stretch that repeats
        // exactly gives 0 at every multiple of its period, where "below 1.5 x 0"
        // can never hold, so there an equally perfect half or third wins too;
        // otherwise a steady synthetic voice lands on twice or three times its
        // period, often Lmax, and shows no pitch at all.
        auto Better = [dMin](int d) { return 2 * d < 3 * dMin || (dMin == 0 && d == 0); };
        if (P >= 2 * nMinLag && Better(Amdf(y, c, P / 2, kFineStride, kFineTerms)))
            P /= 2;
        else if (P >= 3 * nMinLag && Better(Amdf(y, c, P / 3, kFineStride, kFineTerms)))
            P /= 3;

        if (P == nMinLag || P == nMaxLag || P <= 0)
            raw[i] = kNoPitch;
        else
            raw[i] = static_cast<int16_t>(static_cast<long long>(nRate) * 10 / P);
    }

    SmoothThreePoint(level, nFrames);
    SmoothThreePoint(level, nFrames);
    for (int i = F; i <= L; ++i)
        voiced[i] = level[i] >= params.voicingThreshold;
    for (int i = F; i <= L; ++i)
        track[i] = voiced[i] ? raw[i] : kNoPitch;

    MarkRuns(track, F, L, params);
    ResolveRunMarks(track, F, L);
    BridgeGaps(track, finalPitch, F, L, params);
    for (int pass = 0; pass < 4; ++pass)
        SmoothThreePoint(finalPitch, nFrames);

    for (int j = 0; j < nFrames; ++j)
        out[j] = static_cast<int16_t>(finalPitch[j] / 10);
}

} // namespace

int CSignalMath::TrackPitch(const int16_t* pSamples, int nCount, int nSampleRate, int16_t* pOut)
{
    if (nCount < 0 || (nCount > 0 && !pSamples) || !pOut)
        return -1;
    const size_t nFrames = static_cast<size_t>(nCount) / kHop + 1;
    CPitchWork work;
    if (!work.Alloc(static_cast<size_t>(nCount), nFrames))
        return -1;
    CSampleLock x(work.hSignal8), y(work.hLowpass), level(work.hLevel), raw(work.hRaw),
        track(work.hTrack), finalPitch(work.hFinal), voiced(work.hVoiced);
    uint8_t* px = static_cast<uint8_t*>(x.Data());
    for (int n = 0; n < nCount; ++n)
        px[n] = static_cast<uint8_t>(pSamples[n] / 256 + 128);
    RunTracker(px, static_cast<uint8_t*>(y.Data()), nCount, nSampleRate, level.Samples(),
               raw.Samples(), track.Samples(), finalPitch.Samples(),
               static_cast<uint8_t*>(voiced.Data()), pOut);
    return 0;
}

int CSignalMath::TrackPitch(const SampleStore& store, const CSampleBlockHandle& hOut, int start,
                            int end)
{
    if (start < 0 || end < start || end > store.sampleCount || !hOut)
        return -1;
    if (end > start
        && (!store.hSamples || store.hSamples->Size() < sizeof(int16_t) * static_cast<size_t>(end)))
        return -1;
    const int nCount = end - start;
    if (hOut->Size() < sizeof(int16_t) * (static_cast<size_t>(nCount) / kHop + 1))
        return -1;
    CSampleLock samples(store.hSamples);
    CSampleLock out(hOut);
    const int16_t* s = nCount > 0 ? samples.Samples() + start : nullptr;
    return TrackPitch(s, nCount, store.sampleRate, out.Samples());
}
