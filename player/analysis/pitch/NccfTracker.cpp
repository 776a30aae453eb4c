#include "player/analysis/pitch/NccfTracker.h"
#include "player/analysis/pitch/NccfBridge.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/LargePages.h"
#include "common/SplitWork.h"
#include "player/analysis/pitch/NccfKernels.h"
#include "player/analysis/pitch/NccfPath.h"

namespace sonavel::pitch {

namespace {

const double kFineRateHz = 10000;   // the fine copy's rate, at least (or ten times the ceiling)
const double kCoarsePerCeiling = 4.5; // the coarse copy's rate per Hz of ceiling
const double kWindowS = 0.0125;     // the correlation window
const double kBlockSamples = 220500; // sound per block of frames: 5 s at 44.1 kHz
const double kMaxFrames = 2e8;       // more frames than memory could hold
const float kPeakFloor = 0.25f;     // a coarse peak below this is no candidate
const float kRankBias = 0.5f;       // how much a longer lag lowers a peak's rank
const float kFirstPeakMargin = 0.35f; // the shortest lag this near the best peak is always a candidate
const int kPad = 48;                // room past the last lag a correlation reads

// Every length that follows from the rate, the range and the step.
struct CGeometry {
    int nRate = 0, nCount = 0;
    double dStep = 0;
    int nFrames = 0, nBlockFrames = 0;
    // The fine copy keeps 1 input sample in nFineStep, the coarse 1 fine sample in nCoarseStep.
    int nFineStep = 1, nCoarseStep = 1;
    double dFine = 0, dCoarse = 0; // their rates
    int nFineWin = 0, nCoarseWin = 0;
    int nCoarseLagLo = 0, nCoarseLagHi = 0;      // coarse lags whose peaks count
    int nCoarseLagMid = 0;
    int nHalf = 0;               // fine lags each side of a candidate
    double dMinLag = 0, dMaxLag = 0; // fine lags of the ceiling and the floor

    long long Fine(int i) const { return std::llround(i * dStep * dFine); }
    long long Coarse(int i) const { return std::llround(i * dStep * dCoarse); }
};

// RangeUnfit when the rate cannot carry the range (or is past the
// highest the kernels take); NoMemory for more frames than memory holds.
analysis::EOutcome MakeGeometry(const PitchRange& range, int nCount, int nRate, CGeometry& g)
{
    if (nRate <= 0 || nRate > kNccfMaxRateHz || range.dCeilingHz * 4 > nRate || range.dStepS <= 0)
        return analysis::EOutcome::RangeUnfit;
    g.nRate = nRate;
    g.nCount = nCount;
    g.dStep = range.dStepS;
    const double dFrames = std::floor(nCount / (nRate * range.dStepS) + 1e-9) + 1;
    if (dFrames > kMaxFrames)
        return analysis::EOutcome::NoMemory;
    g.nFrames = static_cast<int>(dFrames);
    g.nBlockFrames = std::max(1, static_cast<int>(std::lround(kBlockSamples / nRate / range.dStepS)));
    g.nFineStep = std::max(1, static_cast<int>(nRate / std::max(kFineRateHz, 10 * range.dCeilingHz)));
    g.dFine = double(nRate) / g.nFineStep;
    g.nCoarseStep = std::clamp(static_cast<int>(std::lround(g.dFine / (kCoarsePerCeiling * range.dCeilingHz))), 1, 16);
    g.dCoarse = g.dFine / g.nCoarseStep;
    g.nCoarseWin = std::max(8, static_cast<int>(std::lround(kWindowS * g.dCoarse)));
    g.nFineWin = g.nCoarseWin * g.nCoarseStep;
    g.nCoarseLagLo = std::max(2, static_cast<int>(std::floor(g.dCoarse / range.dCeilingHz)));
    g.nCoarseLagHi = static_cast<int>(std::ceil(g.dCoarse / range.dFloorHz));
    g.nCoarseLagMid = (g.nCoarseLagLo + g.nCoarseLagHi) / 2;
    g.nHalf = g.nCoarseStep / 2 + 1;
    g.dMinLag = g.dFine / range.dCeilingHz;
    g.dMaxLag = g.dFine / range.dFloorHz;
    return g.nCoarseLagHi > g.nCoarseLagLo ? analysis::EOutcome::Done : analysis::EOutcome::RangeUnfit;
}

// Room for the decimators' running sums, never cleared: only the part a
// kernel writes is ever touched. (Cleared, the most the plain kernels could
// use was faulted in at 2.6 MB a thread, a third of a short file's time.)
class CBoxRoom {
public:
    float* Hold(size_t nNeed)
    {
        if (nNeed > m_nHeld) {
            m_pRoom.reset(new float[nNeed]);
            m_nHeld = nNeed;
        }
        return m_pRoom.get();
    }

private:
    std::unique_ptr<float[]> m_pRoom;
    size_t m_nHeld = 0;
};

// One thread's buffers for a block.
struct CScratch {
    std::vector<int16_t> samples;
    CBoxRoom box;
    std::vector<float> fine, coarse, r;
    std::vector<double> fineEnergy, coarseEnergy; // running sums of squares
};

// p[t] = the sum of x[u]^2 for u < t, t <= n: the first four one by one, then
// four chains, each adding the next four squares to the sum four back.
void RunningSquares(const std::vector<float>& x, std::vector<double>& p)
{
    const size_t n = x.size();
    p.resize(n + 1);
    p[0] = 0;
    for (size_t t = 0; t < n && t < 4; ++t)
        p[t + 1] = p[t] + double(x[t]) * double(x[t]);
    for (size_t t = 4; t < n; ++t) {
        const double a = double(x[t - 3]), b = double(x[t - 2]), c = double(x[t - 1]), d = double(x[t]);
        p[t + 1] = p[t - 3] + ((a * a + b * b) + (c * c + d * d));
    }
}

// The sum of squares of the n samples from index a, from the running sums.
float Energy(const std::vector<double>& p, long long a, int n)
{
    return float(std::max(0.0, p[size_t(a + n)] - p[size_t(a)]));
}

// The vertex of the parabola through (-1, a), (0, b), (1, c): offset and height.
void Vertex(float a, float b, float c, float& dOffset, float& dPeak)
{
    const float den = a - 2 * b + c;
    dOffset = den < 0 ? std::clamp(0.5f * (a - c) / den, -0.5f, 0.5f) : 0.0f;
    dPeak = std::min(1.0f, b - 0.25f * (a - c) * dOffset);
}

// The highest coarse NCCF within a lag of twice dLag (phi[0] is the NCCF at
// lag nFirst): a periodic sound repeats there too, a ringing formant much
// less. 1 when twice the lag is past the range.
float TwiceTheLag(const std::vector<float>& phi, int nFirst, double dLag)
{
    const long n = std::lround(2 * dLag) - nFirst;
    if (n + 1 >= long(phi.size()))
        return 1.0f;
    return std::max({phi[size_t(n - 1)], phi[size_t(n)], phi[size_t(n + 1)]});
}

// The indices of the highest peaks that mask marks in phi, at most
// kMaxCandidates, best first. They are ranked with a small bias for shorter
// lags: the multiples of a high voice's period peak nearly as high as itself.
int HighestPeaks(const std::vector<float>& phi, const std::vector<uint32_t>& mask, int* peaks)
{
    int nPeaks = 0;
    float rank[kMaxCandidates];
    const float fScale = kRankBias / float(phi.size());
    for (size_t nWord = 0; nWord < mask.size(); ++nWord) {
        for (uint32_t bits = mask[nWord]; bits != 0; bits &= bits - 1) {
            const int k = int(32 * nWord) + __builtin_ctz(bits);
            const float fRank = phi[size_t(k)] * (1.0f - fScale * float(k));
            if (nPeaks == kMaxCandidates && fRank <= rank[nPeaks - 1])
                continue;
            int q = nPeaks < kMaxCandidates ? nPeaks++ : nPeaks - 1;
            for (; q > 0 && fRank > rank[q - 1]; --q) {
                peaks[q] = peaks[q - 1];
                rank[q] = rank[q - 1];
            }
            peaks[q] = k;
            rank[q] = fRank;
        }
    }
    // The shortest lag that peaks nearly as high as the best always has a
    // place: a high voice's coarse peak falls between two lags and loses
    // height, and without it the path has only its multiples to choose from.
    float fTop = 0;
    int nFirst = -1;
    for (int p = 0; p < nPeaks; ++p)
        fTop = std::max(fTop, phi[size_t(peaks[p])]);
    for (size_t nWord = 0; nWord < mask.size() && nFirst < 0; ++nWord)
        for (uint32_t bits = mask[nWord]; bits != 0 && nFirst < 0; bits &= bits - 1) {
            const int k = int(32 * nWord) + __builtin_ctz(bits);
            if (phi[size_t(k)] >= fTop - kFirstPeakMargin)
                nFirst = k;
        }
    if (nFirst >= 0 && std::find(peaks, peaks + nPeaks, nFirst) == peaks + nPeaks)
        peaks[nPeaks - 1] = nFirst;
    return nPeaks;
}

// The candidates and measures of frames i0 .. i1-1. False when the source
// cannot give the samples.
bool WorkBlock(const CGeometry& g, const CSampleSource& source, int i0, int i1, CScratch& w, CFrameCandidates* out)
{
    const CNccfKernels& kernels = NccfKernels();
    const int nLagsC = g.nCoarseLagHi - g.nCoarseLagLo + 3; // a neighbour each side for the peaks
    const int nMaxFineLag = (g.nCoarseLagHi + 1) * g.nCoarseStep + g.nHalf + 2;
    // The coarse and fine samples the block's frames read.
    const long long cLo = g.Coarse(i0) - (g.nCoarseWin + g.nCoarseLagMid) / 2 - 2;
    const long long cHi =
        g.Coarse(i1 - 1) - (g.nCoarseWin + g.nCoarseLagMid) / 2 + g.nCoarseWin + g.nCoarseLagHi + kPad;
    long long fLo =
        std::min(g.Fine(i0) - (g.nFineWin + nMaxFineLag) / 2 - 2, cLo * g.nCoarseStep - (g.nCoarseStep - 1));
    long long fHi = std::max(g.Fine(i1 - 1) + g.nFineWin + nMaxFineLag + kPad, cHi * g.nCoarseStep + g.nCoarseStep);
    const long long inLo = fLo * g.nFineStep - (g.nFineStep - 1), inHi = fHi * g.nFineStep + g.nFineStep;
    const size_t nIn = size_t(inHi - inLo), nFine = size_t(fHi - fLo), nCoarse = size_t(cHi - cLo);

    // The sound's samples: a view of the source where the stretch lies inside
    // the sound and the source has one, else a copy with zeros outside it.
    const long long a = std::max<long long>(inLo, 0), b = std::max(a, std::min<long long>(inHi, g.nCount));
    const int16_t* pIn = nullptr;
    if (a == inLo && b == inHi && !source.NeedsBuffer()) {
        pIn = source.Fetch(int(a), int(b - a), nullptr);
    } else {
        w.samples.resize(nIn);
        std::fill(w.samples.begin(), w.samples.begin() + (a - inLo), int16_t(0));
        std::fill(w.samples.begin() + (b - inLo), w.samples.end(), int16_t(0));
        int16_t* p = w.samples.data() + (a - inLo);
        const int16_t* s = a < b ? source.Fetch(int(a), int(b - a), p) : p;
        if (s && s != p)
            std::copy(s, s + (b - a), p);
        pIn = s ? w.samples.data() : nullptr;
    }
    if (!pIn)
        return false;
    w.fine.resize(nFine);
    w.coarse.resize(nCoarse);
    float* pBox =
        w.box.Hold(3 * std::max((nFine + 1) * size_t(g.nFineStep), (nCoarse + 1) * size_t(g.nCoarseStep)) + 64);
    kernels.pfnDecimate16(pIn + (fLo * g.nFineStep - inLo), int(nFine), g.nFineStep,
                          1.0f / float(g.nFineStep * g.nFineStep), pBox, w.fine.data());
    kernels.pfnDecimate(w.fine.data() + (cLo * g.nCoarseStep - fLo), int(nCoarse), g.nCoarseStep,
                        1.0f / float(g.nCoarseStep * g.nCoarseStep), pBox, w.coarse.data());
    RunningSquares(w.fine, w.fineEnergy);
    RunningSquares(w.coarse, w.coarseEnergy);
    w.r.resize(size_t(nLagsC) + 32);
    std::vector<float> phi(static_cast<size_t>(nLagsC));
    std::vector<uint32_t> mask(static_cast<size_t>(nLagsC + 31) / 32);
    const int nFineLags = 2 * g.nHalf + 3;
    float rf[32], phiF[32];
    for (int i = i0; i < i1; ++i) {
        CFrameCandidates& f = *new (out + i) CFrameCandidates(); // the first touch of the frame's memory
        // Coarse NCCF over lags nCoarseLagLo - 1 .. nCoarseLagHi + 1.
        const long long nCoarseAt = g.Coarse(i) - (g.nCoarseWin + g.nCoarseLagMid) / 2 - cLo;
        kernels.pfnCorrelate(w.coarse.data() + nCoarseAt, g.nCoarseWin, g.nCoarseLagLo - 1, nLagsC, w.r.data());
        const float e0c = Energy(w.coarseEnergy, nCoarseAt, g.nCoarseWin);
        const double* pc = w.coarseEnergy.data() + nCoarseAt + g.nCoarseLagLo - 1;
        kernels.pfnNormalise(w.r.data(), e0c, pc, pc + g.nCoarseWin, nLagsC, phi.data());
        const float e0f = Energy(w.fineEnergy, g.Fine(i) - g.nFineWin / 2 - fLo, g.nFineWin);
        f.fEnergyDb = 10.0f * std::log10(e0f / float(g.nFineWin) + 1.0f);
        const float fCentredCoarseEnergy = Energy(w.coarseEnergy, g.Coarse(i) - g.nCoarseWin / 2 - cLo, g.nCoarseWin);
        f.fLowShare = e0f > 0 ? std::min(1.0f, fCentredCoarseEnergy * float(g.nCoarseStep) / e0f) : 0.0f;

        kernels.pfnPeaks(phi.data(), nLagsC, kPeakFloor, mask.data());
        int peaks[kMaxCandidates];
        const int nPeaks = HighestPeaks(phi, mask, peaks);
        // Each refined on the fine copy.
        for (int p = 0; p < nPeaks; ++p) {
            const int k = peaks[p];
            float dOff, dPeak;
            Vertex(phi[size_t(k - 1)], phi[size_t(k)], phi[size_t(k + 1)], dOff, dPeak);
            const float fCoarsePeak = dPeak;
            const long nFineLagGuess = std::lround((g.nCoarseLagLo - 1 + k + dOff) * g.nCoarseStep);
            const long kFirst = std::max(2L, nFineLagGuess - g.nHalf - 1);
            const long long mf = g.Fine(i) - (g.nFineWin + nFineLagGuess) / 2 - fLo;
            kernels.pfnCorrelate(w.fine.data() + mf, g.nFineWin, int(kFirst), nFineLags, rf);
            const float e0 = Energy(w.fineEnergy, mf, g.nFineWin);
            const double* pf = w.fineEnergy.data() + mf + kFirst;
            kernels.pfnNormalise(rf, e0, pf, pf + g.nFineWin, nFineLags, phiF);
            int nBest = 1;
            for (int q = 2; q + 1 < nFineLags; ++q)
                if (phiF[q] > phiF[nBest])
                    nBest = q;
            Vertex(phiF[nBest - 1], phiF[nBest], phiF[nBest + 1], dOff, dPeak);
            const double dLag = kFirst + nBest + dOff;
            if (dLag < g.dMinLag || dLag > g.dMaxLag || dPeak <= 0)
                continue;
            bool bSame = false;
            for (int c = 0; c < f.nCount; ++c)
                bSame = bSame || std::fabs(f.fLag[c] - dLag) < 0.01 * dLag;
            if (bSame)
                continue;
            f.fLag[f.nCount] = float(dLag);
            // The coarse copy holds less noise above the voice; the fine one
            // the sharper peak: the better of the two counts.
            f.fStrength[f.nCount] = std::max(dPeak, fCoarsePeak);
            f.fLogHz[f.nCount] = float(std::log(g.dFine / dLag));
            f.fTwice[f.nCount] = TwiceTheLag(phi, g.nCoarseLagLo - 1, dLag / g.nCoarseStep);
            ++f.nCount;
        }
    }
    return true;
}

} // namespace

analysis::EOutcome TrackNccf(const PitchRange& range, const CSampleSource& source, int nCount, int nRate, int nThreads,
                       PitchFrames& frames)
{
    CGeometry g;
    if (const analysis::EOutcome nResult = MakeGeometry(range, nCount, nRate, g); nResult != analysis::EOutcome::Done)
        return nResult;
    // The frames' candidates, tens of MB for an hour, in large pages where
    // the system has them: faulting them in 4 kB at a time took a sixth of
    // the hour's time. Not cleared here: each frame is built where it is
    // worked out.
    static_assert(std::is_trivially_destructible_v<CFrameCandidates>, "freed without a destructor");
    const size_t nLargePage = size_t(2) << 20, nNeed = size_t(g.nFrames) * sizeof(CFrameCandidates);
    const bool bLarge = nNeed >= nLargePage; // a short sound's few frames need no page of 2 MB
    const size_t nAlign = bLarge ? nLargePage : alignof(CFrameCandidates);
    const size_t nBytes = (nNeed + nAlign - 1) / nAlign * nAlign;
    const std::unique_ptr<CFrameCandidates, decltype(&std::free)> cands(
        static_cast<CFrameCandidates*>(std::aligned_alloc(nAlign, nBytes)), &std::free);
    if (!cands)
        return analysis::EOutcome::NoMemory;
    if (bLarge)
        sonavel::analysis::AdviseLargePages(cands.get(), nBytes);
    const int nBlocks = (g.nFrames + g.nBlockFrames - 1) / g.nBlockFrames;
    int nWorkers = nThreads > 0 ? nThreads : static_cast<int>(std::thread::hardware_concurrency());
    nWorkers = std::clamp(std::min(nWorkers, nBlocks), 1, 64);
    std::atomic<int> nNext{0};
    std::atomic<bool> bFailed{false}, bNoMemory{false};
    auto Work = [&] {
        if (nNext.load() >= nBlocks)
            return; // run late, on the calling thread: nothing is left
        try {
            CScratch w;
            for (int b = nNext++; b < nBlocks && !bFailed; b = nNext++) {
                const int i0 = b * g.nBlockFrames, i1 = std::min(g.nFrames, i0 + g.nBlockFrames);
                if (!WorkBlock(g, source, i0, i1, w, cands.get()))
                    bFailed = true;
            }
        } catch (...) { // scratch or frames without memory: the others stop too
            bNoMemory = bFailed = true;
        }
    };
    // Each worker takes blocks in turn until none is left.
    sonavel::RunSplit(size_t(nWorkers), nWorkers, [&](size_t t0, size_t t1) {
        for (size_t t = t0; t < t1; ++t)
            Work();
    });
    if (bNoMemory)
        return analysis::EOutcome::NoMemory;
    if (bFailed)
        return analysis::EOutcome::SourceFailed;

    CPathSettings path;
    path.dRate = g.dFine;
    path.dMaxLag = g.dMaxLag;
    path.dStep = g.dStep;
    path.nThreads = nWorkers;
    const size_t n = size_t(g.nFrames);
    std::vector<uint8_t> states;
    try {
        // The frames' times and room for their values are made on a thread of
        // their own while the path is chosen: an hour's are 8 MB, and faulting
        // them in took a fifth of the time after the blocks.
        sonavel::RunTogether(
            nWorkers,
            [&] {
                ChoosePath(path, CFrameRun{cands.get(), n}, states);
                BridgeDropouts(CFrameRun{cands.get(), n}, states);
            },
            [&] {
                sonavel::analysis::ResizeInLargePages(frames.time_s, n);
                for (size_t i = 0; i < n; ++i)
                    frames.time_s[i] = double(i) * g.dStep;
                sonavel::analysis::ResizeInLargePages(frames.pitch_hz, n);
                sonavel::analysis::ResizeInLargePages(frames.confidence, n);
            });
    } catch (const std::exception&) {
        return analysis::EOutcome::NoMemory;
    }
    for (size_t i = 0; i < n; ++i) {
        const CFrameCandidates& f = cands.get()[i];
        const int s = states[i];
        frames.pitch_hz[i] = s > 0 ? float(g.dFine) / f.fLag[s - 1] : 0.0f;
        frames.confidence[i] = s > 0 ? std::clamp(f.fStrength[s - 1], 0.0f, 1.0f) : 0.0f;
    }
    return analysis::EOutcome::Done;
}

} // namespace sonavel::pitch
