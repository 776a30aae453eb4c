// CAmdfTracker::TrackPitch: AMDF period search on an 8-bit, low-passed version of
// the sound, one frame per 100 samples, then voicing, run clean-up, gap bridging
// and smoothing (the stages live in PitchTracker.cpp).
//
// The frame search is nearly all of the cost. It runs on blocks of frames, each
// block rebuilding the low-passed bytes of its own stretch of the sound, so no
// copy of the whole sound is ever made; the blocks are shared out between
// threads. Every difference sum is a whole number, so neither the threads nor
// the vector width can change a value.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "player/analysis/pitch/CAmdfTracker.h"
#include "player/analysis/pitch/PitchFrames.h"
#include "player/analysis/pitch/PitchKernels.h"
#include "player/analysis/pitch/PitchTracker.h"
#include "player/analysis/core/CSampleSource.h"
#include "common/SplitWork.h"

using namespace sonavel::pitch;

// A test's stand-in for the tracker's own answer (ForceTrackResultForTests).
std::atomic<sonavel::analysis::EOutcome> g_nForcedTrackResult{sonavel::analysis::EOutcome::Done};

namespace {

// Frames per block: the block's bytes (about 200 kB, twice) stay in the cache.
const int kBlockFrames = 2048;
// Below this many frames a second thread costs more than it saves.
const int kFramesPerThread = 4096;
// Vector loads may run up to 31 bytes past the lags a frame needs.
const int kPad = 64;
// The widest reach of a frame's reads past its window start c, beyond half a lag.
const int kReach = std::max({(kCoarseTerms - 1) * kCoarseStride, (kFineTerms - 1) * kFineStride,
                             (kLevelTerms - 1) * kLevelStride}) + 2;

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

// What every frame of one sound shares.
struct CTrackShape {
    int nCount = 0, nRate = 0;
    int nAverage = 0;                  // W
    int nFirst = 0, nLast = -1;        // frames F .. L
    int nMinLag = 0, nMaxLag = 0;
    std::vector<int> grid;             // grid[0 .. m+1]
    uint64_t nAverageMagic = 0;        // sum * magic >> kAverageShift == sum / W
};

// A block's working bytes, carved from one block of memory per thread.
struct CScratch {
    size_t nStretch = 0;       // room for a stretch's bytes
    int nPhase = 0;            // length of each of the 30 rows of d30
    uint16_t* d = nullptr;     // fine-search sums, one per lag
    uint8_t* y = nullptr;      // the low-passed bytes
    uint8_t* r = nullptr;      // the same, in reverse order
    uint8_t* x = nullptr;      // the 8-bit samples they are averaged from
    uint8_t* d30 = nullptr;
    int16_t* s = nullptr;      // a copy of the stretch's samples, for a source that copies

    static size_t SampleOffset(size_t nStretch, int nMaxLag)
    {
        const size_t n = sizeof(uint16_t) * (size_t(nMaxLag) + 64) + 3 * nStretch + 1024 + 30 * (nStretch / 30 + 32);
        return (n + 15) & ~size_t(15);
    }
    // nSamples: room for the copied samples, 0 when the source hands out views.
    static size_t Bytes(size_t nStretch, int nMaxLag, size_t nSamples)
    {
        return SampleOffset(nStretch, nMaxLag) + sizeof(int16_t) * nSamples;
    }
    // p: a block of Bytes(nStretch, nMaxLag, nSamples) bytes, aligned as malloc aligns.
    void Carve(uint8_t* p, size_t nStretchBytes, int nMaxLag, size_t nSamples)
    {
        nStretch = nStretchBytes;
        nPhase = static_cast<int>(nStretch / 30 + 32);
        d = reinterpret_cast<uint16_t*>(p);
        y = reinterpret_cast<uint8_t*>(d + nMaxLag + 64);
        r = y + nStretch;
        x = r + nStretch;
        d30 = x + nStretch + 1024;
        s = nSamples > 0 ? reinterpret_cast<int16_t*>(p + SampleOffset(nStretch, nMaxLag)) : nullptr;
    }
};

// The low-passed bytes y[t] for t in [lo, lo + len): the mean of the W bytes
// starting at t - W/2, for t from W/2 to N - 1 - W + W/2, and 0 elsewhere; then
// the reversed copy r and the rows of d30. False when the source cannot give
// the samples.
bool BuildStretch(const CPitchKernels& kernels, const CSampleSource& source, const CTrackShape& shape, int lo, int len,
                  CScratch& w)
{
    uint8_t* y = w.y;
    const int W = shape.nAverage, N = shape.nCount;
    const int a = std::max(lo, W / 2), b = std::min(lo + len - 1, N - 1 - W + W / 2);
    if (a <= b) {
        // From the 8-bit samples a - W/2 .. b - W/2 + W - 1, all inside the sound.
        const int16_t* s = source.Fetch(a - W / 2, b - a + W, w.s);
        if (!s)
            return false;
        std::memset(y, 0, static_cast<size_t>(a - lo));
        kernels.pfnLowPass(s, b - a, W, shape.nAverageMagic, w.x, y + (a - lo));
        std::memset(y + (b - lo + 1), 0, static_cast<size_t>(lo + len - 1 - b));
    } else {
        std::memset(y, 0, static_cast<size_t>(len));
    }
    // Reversed eight bytes at a time (the byte swap of a 64-bit word).
    uint8_t* __restrict r = w.r;
    int m = 0;
    for (; m + 8 <= len; m += 8) {
        uint64_t v;
        std::memcpy(&v, y + len - 8 - m, 8);
        v = __builtin_bswap64(v);
        std::memcpy(r + m, &v, 8);
    }
    for (; m < len; ++m)
        r[m] = y[len - 1 - m];
    kernels.pfnSpreadRows(y, len, w.d30, w.nPhase);
    return true;
}

// Where the coarse sums' bytes lie in d30, for each of the 30 phases of the
// window start c: lag i pairs the bytes at d30 + c / 30 + offsets[2i] with
// those at d30 + c / 30 + offsets[2i + 1], where offsets is row c % 30 of the
// table. A byte p of the stretch is entry p / 30 of row p % 30.
std::vector<int32_t> CoarseOffsets(const std::vector<int>& lagGrid, int nPhase)
{
    const int m = static_cast<int>(lagGrid.size()) - 2;
    std::vector<int32_t> table(size_t(kCoarseStride) * 2 * m);
    auto Offset = [nPhase](int p) { // p may be negative: rows and entries round down
        const int nRow = ((p % kCoarseStride) + kCoarseStride) % kCoarseStride;
        return nRow * nPhase + (p - nRow) / kCoarseStride;
    };
    for (int cr = 0; cr < kCoarseStride; ++cr) {
        int32_t* row = table.data() + size_t(cr) * 2 * m;
        for (int i = 0; i < m; ++i) {
            const int lag = lagGrid[i + 1];
            row[2 * i] = Offset(cr - lag / 2);
            row[2 * i + 1] = Offset(cr - lag / 2 + lag);
        }
    }
    return table;
}

// Level and raw pitch of frames iFrom .. iTo, with this caller's scratch.
// False, early, when the source cannot give a block's samples or another
// thread's search has already failed (bFailed).
bool SearchFrames(const CSampleSource& source, const CTrackShape& shape, int iFrom, int iTo, CScratch& w,
                  int16_t* level, int16_t* raw, std::atomic<bool>& bFailed)
{
    const CPitchKernels& kernels = PitchKernels();
    const uint8_t* y = w.y;
    uint16_t* d = w.d;
    const std::vector<int>& lagGrid = shape.grid;
    const int m = static_cast<int>(lagGrid.size()) - 2;
    const int nMinLag = shape.nMinLag, nMaxLag = shape.nMaxLag;
    std::vector<uint16_t> coarse(static_cast<size_t>(m));
    const std::vector<int32_t> offsets = CoarseOffsets(lagGrid, w.nPhase);
    for (int i0 = iFrom; i0 <= iTo; i0 += kBlockFrames) {
        const int i1 = std::min(iTo, i0 + kBlockFrames - 1);
        const int lo = kHop * i0 - 150 - nMaxLag - kPad;
        const int len = kHop * (i1 - i0) + 2 * nMaxLag + kReach + 2 * kPad;
        if (bFailed.load(std::memory_order_relaxed) || !BuildStretch(kernels, source, shape, lo, len, w)) {
            bFailed.store(true, std::memory_order_relaxed);
            return false;
        }
        CStretchBytes bytes;
        bytes.y = w.y;
        bytes.r = w.r;
        bytes.d30 = w.d30;
        bytes.nLength = len;
        bytes.nPhase = w.nPhase;
        for (int i = i0; i <= i1; ++i) {
            const int c = kHop * i - 150 - lo;

            const int nLevel = kernels.pfnLevel(bytes, c);
            level[i] = static_cast<int16_t>(10 * nLevel / (kLevelTerms - 1));

            // In both searches the first lag with the smallest sum wins.
            kernels.pfnCoarseSums(w.d30 + c / kCoarseStride, offsets.data() + size_t(c % kCoarseStride) * 2 * m, m,
                                  coarse.data());
            const int b = 1 + kernels.pfnFirstMinimum(coarse.data(), m);

            const int a = lagGrid[b - 1] + 1, z = lagGrid[b + 1] - 1;
            int nPeriod = lagGrid[b], dMin = std::numeric_limits<int>::max();
            if (a <= z) {
                kernels.pfnFineSums(bytes, c, a, z, d);
                const int nAt = kernels.pfnFirstMinimum(d, z - a + 1);
                nPeriod = a + nAt;
                dMin = d[nAt];
            }

            // Octave check: a half or a third of the period wins when its difference
            // is below one and a half times the best one. A stretch that repeats
            // exactly gives 0 at every multiple of its period, where "below 1.5 x 0"
            // can never hold, so there an equally perfect half or third wins too;
            // otherwise a steady synthetic voice lands on twice or three times its
            // period, often Lmax, and shows no pitch at all.
            auto Better = [dMin](int dd) { return 2 * dd < 3 * dMin || (dMin == 0 && dd == 0); };
            if (nPeriod >= 2 * nMinLag && Better(Amdf(y, c, nPeriod / 2, kFineStride, kFineTerms)))
                nPeriod /= 2;
            else if (nPeriod >= 3 * nMinLag && Better(Amdf(y, c, nPeriod / 3, kFineStride, kFineTerms)))
                nPeriod /= 3;

            if (nPeriod == nMinLag || nPeriod == nMaxLag || nPeriod <= 0)
                raw[i] = kNoPitch;
            else
                raw[i] = static_cast<int16_t>(static_cast<long long>(shape.nRate) * 10 / nPeriod);
        }
    }
    return true;
}

// One thread's share of the frame search and its scratch.
struct CSearchShare {
    int iFrom = 0, iTo = -1;
    size_t nStretch = 0;
    size_t nSamples = 0;
    CSampleBlockHandle hScratch;
};

// The search, with the tracker's parameters and thread count.
sonavel::analysis::EOutcome TrackFrames(const CSampleSource& source, int nCount, int nSampleRate, const PitchParams& params,
                                        int nThreadsAsked, int16_t* pOut)
{
    const size_t nFrames = FrameCount(nCount);
    const size_t nFrameBytes = sizeof(int16_t) * nFrames;
    // The levels, and the pitch from raw to final: each stage works in place.
    CSampleBlockHandle hLevel = CSampleBlock::Alloc(nFrameBytes), hPitch = CSampleBlock::Alloc(nFrameBytes);
    if (!hLevel || !hPitch)
        return sonavel::analysis::EOutcome::NoMemory;

    PitchGeometry g;
    CTrackShape shape;
    const bool bFrames = nCount > 0 && ComputeGeometry(nCount, nSampleRate, params, g)
        && g.nLastFrame >= g.nFirstFrame;
    std::vector<CSearchShare> shares;
    if (bFrames) {
        shape.nCount = nCount;
        shape.nRate = nSampleRate;
        shape.nAverage = g.nAverage;
        shape.nFirst = g.nFirstFrame;
        shape.nLast = g.nLastFrame;
        shape.nMinLag = g.nMinLag;
        shape.nMaxLag = g.nMaxLag;
        shape.grid = BuildLagGrid(g.nMinLag, g.nMaxLag);
        shape.nAverageMagic = ((uint64_t(1) << kAverageShift) + uint64_t(g.nAverage) - 1) / uint64_t(g.nAverage);

        const int nSearch = shape.nLast - shape.nFirst + 1;
        int nThreads = nThreadsAsked > 0 ? nThreadsAsked : static_cast<int>(std::thread::hardware_concurrency());
        nThreads = std::clamp(std::min(nThreads, nSearch / kFramesPerThread), 1, 64);
        const int nBlock = std::min(kBlockFrames, (nSearch + nThreads - 1) / nThreads);
        const size_t nStretch = static_cast<size_t>(kHop) * (nBlock - 1) + 2 * g.nMaxLag + kReach + 2 * kPad;
        // A block's samples: from a - W/2 to b - W/2 + W - 1 of its stretch.
        const size_t nSamples = source.NeedsBuffer() ? nStretch + static_cast<size_t>(g.nAverage) : 0;
        const size_t nScratch = CScratch::Bytes(nStretch, g.nMaxLag, nSamples);
        for (int t = 0; t < nThreads; ++t) {
            CSearchShare share;
            share.iFrom = shape.nFirst + static_cast<int>(static_cast<long long>(nSearch) * t / nThreads);
            share.iTo = shape.nFirst + static_cast<int>(static_cast<long long>(nSearch) * (t + 1) / nThreads) - 1;
            share.nStretch = nStretch;
            share.nSamples = nSamples;
            share.hScratch = CSampleBlock::Alloc(nScratch);
            if (!share.hScratch)
                return sonavel::analysis::EOutcome::NoMemory;
            shares.push_back(std::move(share));
        }
    }

    CSampleLock level(hLevel), pitch(hPitch);
    int16_t* pLevel = level.Samples();
    int16_t* pPitch = pitch.Samples();
    const int nLastIndex = nCount / kHop;
    for (int i = 0; i <= nLastIndex; ++i) {
        pLevel[i] = pPitch[i] = kNoPitch;
        pOut[i] = 0;
    }
    if (!bFrames)
        return sonavel::analysis::EOutcome::Done;

    std::atomic<bool> bFailed{false};
    // One share per part; a share whose thread cannot start is searched on
    // this one, and a share that throws (its vectors cannot be had) stops
    // the others at their next block and throws here once all are joined.
    sonavel::RunSplit(shares.size(), static_cast<int>(shares.size()), [&](size_t a, size_t b) {
        for (size_t t = a; t < b; ++t) {
            const CSearchShare& share = shares[t];
            CSampleLock scratch(share.hScratch);
            CScratch w;
            w.Carve(static_cast<uint8_t*>(scratch.Data()), share.nStretch, shape.nMaxLag, share.nSamples);
            try {
                SearchFrames(source, shape, share.iFrom, share.iTo, w, pLevel, pPitch, bFailed);
            } catch (...) {
                bFailed = true;
                throw;
            }
        }
    });
    if (bFailed.load())
        return sonavel::analysis::EOutcome::SourceFailed; // pOut is still all zeros

    const int F = shape.nFirst, L = shape.nLast;
    const int nFrameCount = nCount / kHop;
    SmoothThreePoint(pLevel, nFrameCount);
    SmoothThreePoint(pLevel, nFrameCount);
    for (int i = F; i <= L; ++i) // unvoiced frames lose their raw pitch
        pPitch[i] = pLevel[i] >= params.voicingThreshold ? pPitch[i] : kNoPitch;

    MarkRuns(pPitch, F, L, params);
    ResolveRunMarks(pPitch, F, L);
    BridgeGaps(pPitch, pPitch, F, L, params);
    for (int pass = 0; pass < 4; ++pass)
        SmoothThreePoint(pPitch, nFrameCount);

    for (int j = 0; j < nFrameCount; ++j)
        pOut[j] = static_cast<int16_t>(pPitch[j] / 10);
    return sonavel::analysis::EOutcome::Done;
}

} // namespace

void CAmdfTracker::ForceTrackResultForTests(sonavel::analysis::EOutcome nResult) { g_nForcedTrackResult = nResult; }

sonavel::analysis::EOutcome CAmdfTracker::TrackPitch(const int16_t* pSamples, int nCount, int nSampleRate, int16_t* pOut)
{
    if (nCount < 0 || (nCount > 0 && !pSamples) || !pOut)
        return sonavel::analysis::EOutcome::NoMemory;
    return TrackPitch(CMemorySamples(pSamples, nCount), nCount, nSampleRate, pOut);
}

sonavel::analysis::EOutcome CAmdfTracker::TrackPitch(const CSampleSource& source, int nCount, int nSampleRate, int16_t* pOut)
{
    if (g_nForcedTrackResult != sonavel::analysis::EOutcome::Done)
        return g_nForcedTrackResult;
    if (nCount < 0 || !pOut)
        return sonavel::analysis::EOutcome::NoMemory;
    try {
        return TrackFrames(source, nCount, nSampleRate, m_pitchParams, m_nThreads, pOut);
    } catch (const std::bad_alloc&) {
        return sonavel::analysis::EOutcome::NoMemory; // the lag grid, a share's list or a search's vectors
    } catch (const std::length_error&) {
        return sonavel::analysis::EOutcome::NoMemory; // a size no allocator takes
    }
}

sonavel::analysis::EOutcome CAmdfTracker::TrackPitch(const SampleStore& store, const CSampleBlockHandle& hOut, int start,
                                                     int end)
{
    if (start < 0 || end < start || end > store.sampleCount || !hOut)
        return sonavel::analysis::EOutcome::NoMemory;
    if (end > start
        && (!store.hSamples || store.hSamples->Size() < sizeof(int16_t) * static_cast<size_t>(end)))
        return sonavel::analysis::EOutcome::NoMemory;
    const int nCount = end - start;
    if (hOut->Size() < sizeof(int16_t) * FrameCount(nCount))
        return sonavel::analysis::EOutcome::NoMemory;
    CSampleLock samples(store.hSamples);
    CSampleLock out(hOut);
    const int16_t* s = nCount > 0 ? samples.Samples() + start : nullptr;
    return TrackPitch(s, nCount, store.sampleRate, out.Samples());
}
