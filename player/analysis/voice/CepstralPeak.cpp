#include "player/analysis/voice/CepstralPeak.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/SplitWork.h"
#include "player/analysis/voice/CepstralLoops.h"
#include "player/analysis/voice/CCepstrumFft.h"
#include "player/analysis/voice/CHeldSamples.h"

namespace sonavel::voice {

namespace {

const int kZeroCrossings = 24; // the resampling sinc's, each side
const int kPhases = 1024;      // its table's steps between two input samples
const double kBlockS = 5;      // sound per block of frames a thread takes

// What every frame shares: the grid, the window, the resampler, the fits' abscissae.
struct Plan {
    CepstralSettings settings;
    int nInRate = 0;
    double dRate = 0;      // the rate analysed
    bool bResample = false;
    int nCount = 0;        // input samples
    int64_t nWorkCount = 0; // samples at the rate analysed
    int nFrames = 0;
    double dFirstS = 0;    // frame 0's centre
    int nWindow = 0, nFft = 0, nBins = 0; // nBins quefrencies (nFft / 2 + 1)
    std::vector<double> window;
    double dPreEmphasis = 0;
    // The resampler: kPhases + 1 rows of nTaps, row p for an output lying p / kPhases
    // of an input sample after input sample n, tap j weighing input n - nHalfTaps + j.
    int nHalfTaps = 0, nTaps = 0;
    std::vector<float> sinc;
    // Fits over bins 1 .. nBins-1, x = ln(quefrency); bin 0 at half a bin.
    std::vector<double> lnq;
    std::vector<double> pairStep; // 1 / (x[i + h] - x[i]) for the robust slope
    int nPeakLo = 0, nPeakHi = 0;
    int nTimeMargin = 0;
    std::vector<std::vector<Tap>> quefrencyTaps;
    std::vector<double> innerQuefrencyTaps; // a bin's taps away from the ends, centred
};

Plan MakePlan(const CepstralSettings& settings, int nCount, int nRate)
{
    Plan plan;
    plan.settings = settings;
    plan.nInRate = nRate;
    plan.nCount = nCount;
    const double dTop = 2 * settings.dHighestHz;
    plan.bResample = nRate > dTop * (1 + 1e-12);
    plan.dRate = plan.bResample ? dTop : nRate;
    const double dDuration = double(nCount) / nRate;
    plan.nWorkCount = plan.bResample ? std::llround(dDuration * plan.dRate) : nCount;
    const double dWindowS = 6 / settings.dFloorHz;
    plan.nWindow = int(std::lround(dWindowS * plan.dRate));
    if (dDuration < dWindowS || plan.nWindow < 4)
        return plan;
    plan.nFrames = int(std::floor((dDuration - dWindowS) / settings.dStepS + 1e-9)) + 1;
    plan.dFirstS = 0.5 * (dDuration - (plan.nFrames - 1) * settings.dStepS);
    plan.nFft = 4;
    while (plan.nFft < plan.nWindow)
        plan.nFft *= 2;
    plan.nBins = plan.nFft / 2 + 1;
    plan.window.resize(size_t(plan.nWindow));
    const double dEdge = std::exp(-12.0);
    for (int i = 0; i < plan.nWindow; ++i) {
        const double u = (i + 1 - 0.5 * (plan.nWindow + 1)) / (plan.nWindow + 1);
        plan.window[size_t(i)] = (std::exp(-48 * u * u) - dEdge) / (1 - dEdge);
    }
    plan.dPreEmphasis = std::exp(-2 * M_PI * settings.dPreEmphasisHz / plan.dRate);
    if (plan.bResample) {
        const double r = plan.dRate / nRate; // cut-off at the new half rate, in input terms
        plan.nHalfTaps = int(std::ceil(kZeroCrossings / r)) + 1;
        plan.nTaps = (2 * plan.nHalfTaps + 1 + kDotLanes - 1) / kDotLanes * kDotLanes; // zeros past the last
        plan.sinc.assign(size_t(kPhases + 1) * size_t(plan.nTaps), 0.0f);
        for (int p = 0; p <= kPhases; ++p) {
            float* row = &plan.sinc[size_t(p) * size_t(plan.nTaps)];
            for (int j = 0; j < plan.nTaps; ++j) {
                const double u = r * (double(p) / kPhases + plan.nHalfTaps - j); // output minus input, in outputs
                if (std::fabs(u) >= kZeroCrossings)
                    continue;
                const double dSinc = u == 0 ? 1 : std::sin(M_PI * u) / (M_PI * u);
                row[j] = float(r * dSinc * (0.5 + 0.5 * std::cos(M_PI * u / kZeroCrossings)));
            }
        }
    }
    const double dq = 1 / plan.dRate;
    plan.lnq.resize(size_t(plan.nBins));
    plan.lnq[0] = std::log(0.5 * dq);
    for (int i = 1; i < plan.nBins; ++i)
        plan.lnq[size_t(i)] = std::log(i * dq);
    const int nFit = plan.nBins - 1, h = nFit / 2;
    plan.pairStep.resize(size_t(h));
    for (int i = 0; i < h; ++i)
        plan.pairStep[size_t(i)] = 1 / (plan.lnq[size_t(1 + i + h)] - plan.lnq[size_t(1 + i)]);
    plan.nPeakLo = std::max(1, int(std::ceil(1 / (settings.dPeakHighHz * dq) - 1e-9)));
    plan.nPeakHi = std::min(plan.nBins - 2, int(std::floor(1 / (settings.dPeakLowHz * dq) + 1e-9)));
    const double dTimeWidth = settings.dTimeSmoothingS / settings.dStepS;
    plan.nTimeMargin = int(std::ceil(dTimeWidth / 2)) + 1;
    const double dQuefrencyWidth = settings.dQuefrencySmoothingS / dq;
    plan.quefrencyTaps.resize(size_t(plan.nBins));
    for (int i = 0; i < plan.nBins; ++i)
        plan.quefrencyTaps[size_t(i)] = SmoothingTaps(i, plan.nBins, dQuefrencyWidth, 0, plan.nBins - 1);
    // The middle bin's taps, written out symmetrically for the bins that have them all.
    const int nMid = plan.nBins / 2;
    int nHalf = 0;
    for (const Tap& t : plan.quefrencyTaps[size_t(nMid)])
        nHalf = std::max(nHalf, std::abs(t.nIndex - nMid));
    plan.innerQuefrencyTaps.assign(size_t(2 * nHalf + 1), 0.0);
    for (const Tap& t : plan.quefrencyTaps[size_t(nMid)])
        plan.innerQuefrencyTaps[size_t(t.nIndex - nMid + nHalf)] = t.dWeight;
    return plan;
}

// Fits y[1 .. nBins-1] over plan.lnq robustly: slope and intercept.
struct LineFit {
    std::vector<double> scratch;

    void Fit(const Plan& plan, const double* y, double& dSlope, double& dIntercept)
    {
        const int nFit = plan.nBins - 1, h = nFit / 2;
        scratch.resize(size_t(nFit));
        double* v = scratch.data();
        const double* step = plan.pairStep.data();
        for (int i = 0; i < h; ++i)
            v[i] = (y[1 + i + h] - y[1 + i]) * step[i];
        dSlope = Median(v, size_t(h));
        const double* x = plan.lnq.data() + 1;
        for (int i = 0; i < nFit; ++i)
            v[i] = y[1 + i] - dSlope * x[i];
        dIntercept = Median(v, size_t(nFit));
    }
};

class CFrameWorker {
public:
    CFrameWorker(const Plan& plan, const CSampleSource& source)
        : m_plan(plan), m_samples(source, plan.nCount, int(plan.nInRate * kBlockS)), m_fft(plan.nFft)
    {
        m_frame.resize(size_t(m_plan.nFft));
        m_power.resize(size_t(m_plan.nBins));
        m_mirror.resize(size_t(m_plan.nFft));
        m_db.resize(size_t(m_plan.nBins));
        m_smooth.resize(size_t(m_plan.nBins));
        m_ring.assign(size_t(2 * m_plan.nTimeMargin + 1), std::vector<double>(size_t(m_plan.nBins)));
    }

    // The sum of the prominences of frames [j0, j1); false when the source fails.
    bool Run(int j0, int j1, double& dSum);

private:
    bool Prepare(int64_t k0, int64_t k1);
    int64_t FirstSample(int j) const
    {
        return std::llround((m_plan.dFirstS + j * m_plan.settings.dStepS) * m_plan.dRate - 0.5 * m_plan.nWindow);
    }
    void Column(int j, std::vector<double>& column);
    double Prominence(int j);

    const Plan& m_plan;
    CHeldSamples m_samples;
    CCepstrumFft m_fft;
    int64_t m_nWorkFirst = 0;          // the pre-emphasised samples held start here
    std::vector<double> m_work;        // at the rate analysed, pre-emphasised
    std::vector<double> m_frame, m_power, m_mirror, m_db, m_smooth;
    LineFit m_rawFit, m_smoothFit; // the trends before and after smoothing
    std::vector<std::vector<double>> m_ring; // frame j's trend-free cepstrum at j % size
    std::vector<Tap> m_taps, m_innerTaps;    // the frame's time taps; those of frames away from the ends
};

bool CFrameWorker::Prepare(int64_t k0, int64_t k1)
{
    // One sample more before the first, for the pre-emphasis.
    const int64_t nFrom = k0 - 1;
    std::vector<double> z(size_t(k1 - nFrom), 0.0);
    if (!m_plan.bResample) {
        if (!m_samples.Hold(nFrom, k1))
            return false;
        for (int64_t k = nFrom; k < k1; ++k)
            z[size_t(k - nFrom)] = m_samples.At(k);
    } else {
        // Output k lies at input position (k + 1/2) in / out - 1/2 (sample centres).
        const double dStep = m_plan.nInRate / m_plan.dRate;
        auto position = [&](int64_t k) { return (double(k) + 0.5) * dStep - 0.5; };
        const int64_t nIn0 = int64_t(std::floor(position(nFrom))) - m_plan.nHalfTaps - 1;
        const int64_t nIn1 = int64_t(std::floor(position(k1))) + m_plan.nHalfTaps + 2;
        if (!m_samples.Hold(nIn0, nIn1))
            return false;
        // Room for the rows' padding past the last tap.
        std::vector<float> in(size_t(nIn1 - nIn0) + kDotLanes, 0.0f);
        for (int64_t n = nIn0; n < nIn1; ++n)
            in[size_t(n - nIn0)] = float(m_samples.At(n));
        const int nTaps = m_plan.nTaps;
        const BinLoops& loops = Loops();
        for (int64_t k = nFrom; k < k1; ++k) {
            if (k < 0 || k >= m_plan.nWorkCount)
                continue;
            const double p = position(k);
            const int64_t n = int64_t(std::floor(p));
            const int nPhase = int(std::lround((p - double(n)) * kPhases));
            const float* row = &m_plan.sinc[size_t(nPhase) * size_t(nTaps)];
            const float* x = &in[size_t(n - m_plan.nHalfTaps - nIn0)];
            z[size_t(k - nFrom)] = loops.pfnDot(row, x, nTaps);
        }
    }
    m_nWorkFirst = k0;
    m_work.resize(size_t(k1 - k0));
    const double a = m_plan.dPreEmphasis;
    for (int64_t k = k0; k < k1; ++k)
        m_work[size_t(k - k0)] = z[size_t(k - nFrom)] - (k > 0 ? a * z[size_t(k - 1 - nFrom)] : 0.0);
    return true;
}

void CFrameWorker::Column(int j, std::vector<double>& column)
{
    const Plan& p = m_plan;
    const double* x = m_work.data() + (FirstSample(j) - m_nWorkFirst);
    double dMean = 0;
    for (int i = 0; i < p.nWindow; ++i)
        dMean += x[i];
    dMean /= p.nWindow;
    for (int i = 0; i < p.nWindow; ++i)
        m_frame[size_t(i)] = (x[i] - dMean) * p.window[size_t(i)];
    std::fill(m_frame.begin() + p.nWindow, m_frame.end(), 0.0);
    m_fft.Power(m_frame.data(), m_power.data());
    // ln |X dx|^2, mirrored into a whole period for the second transform.
    const double dx2 = 1 / (p.dRate * p.dRate);
    const int nBins = p.nBins;
    double* mirror = m_mirror.data();
    const double* power = m_power.data();
    const BinLoops& loops = Loops();
    loops.pfnLn(power, dx2, 1.0, mirror, nBins);
    for (int i = nBins; i < p.nFft; ++i)
        mirror[i] = mirror[p.nFft - i];
    m_fft.Power(mirror, m_power.data());
    double* db = m_db.data();
    loops.pfnLn(power, 1.0, kDbPerNeper, db, nBins);
    double dSlope, dIntercept;
    m_rawFit.Fit(p, db, dSlope, dIntercept);
    // What lies above the trend, as power; below it, 0 dB.
    loops.pfnAbove(db, p.lnq.data(), dIntercept, dSlope, column.data(), nBins);
}

double CFrameWorker::Prominence(int j)
{
    const Plan& p = m_plan;
    const int nSize = int(m_ring.size());
    // Frames away from the ends share one set of taps.
    const bool bInner = j >= p.nTimeMargin && j + p.nTimeMargin < p.nFrames;
    if (!bInner || m_innerTaps.empty()) {
        m_taps = SmoothingTaps(j, p.nFrames, p.settings.dTimeSmoothingS / p.settings.dStepS, -0.5, p.nFrames - 0.5);
        if (bInner) {
            m_innerTaps = m_taps;
            for (Tap& t : m_innerTaps)
                t.nIndex -= j;
        }
    } else {
        m_taps = m_innerTaps;
        for (Tap& t : m_taps)
            t.nIndex += j;
    }
    const BinLoops& loops = Loops();
    std::fill(m_smooth.begin(), m_smooth.end(), 0.0);
    double* s = m_smooth.data();
    for (const Tap& t : m_taps)
        loops.pfnAdd(s, m_ring[size_t(t.nIndex % nSize)].data(), t.dWeight, p.nBins);
    double* db = m_db.data();
    const int nKernel = int(p.innerQuefrencyTaps.size());
    const int nHalf = nKernel / 2;
    if (p.nBins > 2 * nHalf)
        loops.pfnKernel(s, p.innerQuefrencyTaps.data(), nKernel, db + nHalf, p.nBins - 2 * nHalf);
    for (int i = 0; i < p.nBins; ++i) {
        if (i >= nHalf && i + nHalf < p.nBins)
            continue;
        double d = 0;
        for (const Tap& t : p.quefrencyTaps[size_t(i)])
            d += t.dWeight * s[t.nIndex];
        db[i] = d;
    }
    loops.pfnLn(db, 1.0, kDbPerNeper, db, p.nBins);
    double dSlope, dIntercept;
    m_smoothFit.Fit(p, db, dSlope, dIntercept);
    auto above = [&](int i) { return db[i] - (dSlope * p.lnq[size_t(i)] + dIntercept); };
    double dBest = -HUGE_VAL;
    for (int i = p.nPeakLo; i <= p.nPeakHi; ++i) {
        const double y0 = above(i - 1), y1 = above(i), y2 = above(i + 1);
        if (!(y1 >= y0 && y1 >= y2))
            continue;
        const double dCurve = y0 - 2 * y1 + y2;
        dBest = std::max(dBest, dCurve < 0 ? y1 - 0.125 * (y0 - y2) * (y0 - y2) / dCurve : y1);
    }
    if (dBest == -HUGE_VAL)
        dBest = std::max(above(p.nPeakLo), above(p.nPeakHi));
    return dBest;
}

bool CFrameWorker::Run(int j0, int j1, double& dSum)
{
    const Plan& p = m_plan;
    dSum = 0;
    const int nSize = int(m_ring.size());
    const int nBlock = std::max(1, int(std::lround(kBlockS / p.settings.dStepS)));
    int nNext = std::max(0, j0 - p.nTimeMargin); // the next column to make
    for (int b0 = j0; b0 < j1; b0 += nBlock) {
        const int b1 = std::min(j1, b0 + nBlock);
        const int c0 = nNext, c1 = std::min(p.nFrames, b1 + p.nTimeMargin);
        if (c1 > c0) {
            if (!Prepare(FirstSample(c0), FirstSample(c1 - 1) + p.nWindow))
                return false;
        }
        for (int j = b0; j < b1; ++j) {
            const int nNeed = std::min(p.nFrames, j + p.nTimeMargin + 1);
            for (; nNext < nNeed; ++nNext)
                Column(nNext, m_ring[size_t(nNext % nSize)]);
            dSum += Prominence(j);
        }
    }
    return true;
}

} // namespace

bool MeasureCpps(const CSampleSource& source, int nCount, int nRate, const CepstralSettings& settings, int nThreads,
                 std::optional<double>& dCpps)
{
    dCpps.reset();
    const Plan plan = MakePlan(settings, nCount, nRate);
    if (plan.nFrames <= 0)
        return true;
    // Fixed chunks of frames, their sums added in order: any thread count, one sum.
    const int nChunks = plan.nFrames / 2000 + 1;
    const int nParts = std::max(1, std::min(nThreads, nChunks));
    std::vector<double> chunkSums(size_t(nChunks), 0.0);
    std::vector<char> chunkOk(size_t(nChunks), 1);
    sonavel::RunSplit(size_t(nChunks), nParts, [&](size_t c0, size_t c1) {
        CFrameWorker worker(plan, source);
        for (size_t c = c0; c < c1; ++c) {
            const int j0 = int(int64_t(plan.nFrames) * int64_t(c) / nChunks);
            const int j1 = int(int64_t(plan.nFrames) * int64_t(c + 1) / nChunks);
            if (!worker.Run(j0, j1, chunkSums[c])) {
                chunkOk[c] = 0;
                return;
            }
        }
    });
    double dSum = 0;
    for (size_t c = 0; c < chunkSums.size(); ++c) {
        if (!chunkOk[c])
            return false;
        dSum += chunkSums[c];
    }
    dCpps = dSum / plan.nFrames;
    return true;
}

} // namespace sonavel::voice
