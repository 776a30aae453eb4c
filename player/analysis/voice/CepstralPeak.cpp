#include "player/analysis/voice/CepstralPeak.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/SplitWork.h"
#include "player/analysis/voice/Avx2.h"
#include "player/analysis/voice/CCepstrumFft.h"
#include "player/analysis/voice/CHeldSamples.h"

namespace sonavel::voice {

namespace {

const int kZeroCrossings = 24; // the resampling sinc's, each side
const int kPhases = 1024;      // its table's steps between two input samples
const int kDotLanes = 8;       // its rows padded to a multiple of this, summed in as many lanes
const double kBlockS = 5;      // sound per block of frames a thread takes
const double kLeastPower = 1e-300;
const double kDbPerNeper = 10 / M_LN10;

// ln x for 1e-300 <= x < 1e300 to 1e-15 relative, and e^x for -690 <= x <=
// 690, in forms the compiler vectorises: integer work only on whole 64-bit
// lanes, the exponent read and written through the bits of 2^52 + e.
inline double FastLn(double x)
{
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    const uint64_t uExp = (u >> 52) | 0x4330000000000000ULL; // 2^52 + biased exponent
    const uint64_t uMant = (u & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL;
    double dExp, m;
    std::memcpy(&dExp, &uExp, sizeof dExp);
    std::memcpy(&m, &uMant, sizeof m);
    const double dHigh = m > M_SQRT2 ? 1.0 : 0.0;
    m *= 1 - 0.5 * dHigh;
    const double e = dExp - (4503599627370496.0 + 1023) + dHigh;
    const double s = (m - 1) / (m + 1), s2 = s * s;
    const double p =
        1 + s2 * (1.0 / 3 + s2 * (1.0 / 5 + s2 * (1.0 / 7 + s2 * (1.0 / 9 + s2 * (1.0 / 11 + s2 * (1.0 / 13))))));
    return e * M_LN2 + 2 * s * p;
}

inline double FastExp(double x)
{
    const double dShift = 6755399441055744.0; // 1.5 x 2^52: adding it rounds to a whole number
    const double dBiased = x * M_LOG2E + (dShift + 1023);
    const double n = dBiased - (dShift + 1023);
    const double r = (x - n * 0.693147180369123816490) - n * 1.90821492927058770002e-10;
    const double p = 1 + r * (1 + r * (1.0 / 2 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 + r * (1.0 / 720 +
                     r * (1.0 / 5040 + r * (1.0 / 40320 + r * (1.0 / 362880 + r * (1.0 / 3628800 +
                     r * (1.0 / 39916800)))))))))));
    uint64_t u;
    std::memcpy(&u, &dBiased, sizeof u);
    u <<= 52; // the low bits held n + 1023
    double dScale;
    std::memcpy(&dScale, &u, sizeof dScale);
    return p * dScale;
}

// The per-bin loops of a frame, built plainly and for AVX2 (Avx2.h).
// out[i] = m ln(max(in[i] s, kLeastPower))
SONAVEL_VOICE_INLINE void LnBody(const double* in, double s, double m, double* out, int n)
{
#pragma omp simd
    for (int i = 0; i < n; ++i)
        out[i] = m * FastLn(std::max(in[i] * s, kLeastPower));
}
// out[i] = the power of what db[i] holds above the line a + b lnq[i], 1 where it lies below.
SONAVEL_VOICE_INLINE void AboveBody(const double* db, const double* lnq, double a, double b, double* out, int n)
{
#pragma omp simd
    for (int i = 0; i < n; ++i) {
        const double r = db[i] - (b * lnq[i] + a);
        out[i] = r > 0 ? FastExp(std::min(r, 3000.0) / kDbPerNeper) : 1.0;
    }
}
// s[i] += w c[i]
SONAVEL_VOICE_INLINE void AddBody(double* s, const double* c, double w, int n)
{
#pragma omp simd
    for (int i = 0; i < n; ++i)
        s[i] += w * c[i];
}
// out[i] = sum over m of k[m] s[i + m], i < n (the taps in a fixed order).
SONAVEL_VOICE_INLINE void KernelBody(const double* s, const double* k, int nTaps, double* out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = 0;
    for (int m = 0; m < nTaps; ++m) {
        const double w = k[m];
        const double* x = s + m;
#pragma omp simd
        for (int i = 0; i < n; ++i)
            out[i] += w * x[i];
    }
}

// The sum of a[j] b[j] over n (a multiple of kDotLanes): kDotLanes running
// sums, added in a fixed order, so both builds round alike.
SONAVEL_VOICE_INLINE float DotBody(const float* a, const float* b, int n)
{
    float acc[kDotLanes] = {};
    for (int j = 0; j < n; j += kDotLanes)
        for (int l = 0; l < kDotLanes; ++l)
            acc[l] += a[j + l] * b[j + l];
    return ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
}

void LnPlain(const double* in, double s, double m, double* out, int n) { LnBody(in, s, m, out, n); }
SONAVEL_VOICE_AVX2 void LnAvx2(const double* in, double s, double m, double* out, int n) { LnBody(in, s, m, out, n); }
void AbovePlain(const double* db, const double* lnq, double a, double b, double* out, int n)
{
    AboveBody(db, lnq, a, b, out, n);
}
SONAVEL_VOICE_AVX2 void AboveAvx2(const double* db, const double* lnq, double a, double b, double* out, int n)
{
    AboveBody(db, lnq, a, b, out, n);
}
void AddPlain(double* s, const double* c, double w, int n) { AddBody(s, c, w, n); }
SONAVEL_VOICE_AVX2 void AddAvx2(double* s, const double* c, double w, int n) { AddBody(s, c, w, n); }
void KernelPlain(const double* s, const double* k, int nTaps, double* out, int n) { KernelBody(s, k, nTaps, out, n); }
SONAVEL_VOICE_AVX2 void KernelAvx2(const double* s, const double* k, int nTaps, double* out, int n)
{
    KernelBody(s, k, nTaps, out, n);
}

float DotPlain(const float* a, const float* b, int n) { return DotBody(a, b, n); }
SONAVEL_VOICE_AVX2 float DotAvx2(const float* a, const float* b, int n) { return DotBody(a, b, n); }

struct BinLoops {
    void (*pfnLn)(const double*, double, double, double*, int);
    void (*pfnAbove)(const double*, const double*, double, double, double*, int);
    void (*pfnAdd)(double*, const double*, double, int);
    void (*pfnKernel)(const double*, const double*, int, double*, int);
    float (*pfnDot)(const float*, const float*, int);
};

const BinLoops& Loops()
{
    static const BinLoops plain{LnPlain, AbovePlain, AddPlain, KernelPlain, DotPlain};
    static const BinLoops avx2{LnAvx2, AboveAvx2, AddAvx2, KernelAvx2, DotAvx2};
    return HasAvx2() ? avx2 : plain;
}

// The k-th smallest of v[0 .. n); v is reordered, every value before the k-th
// no larger than it. A quickselect whose partitions move values without
// branches: the fits' values fall in no order a branch could guess, and on
// them this takes about a third of std::nth_element's time.
double Select(double* v, size_t n, size_t k)
{
    size_t lo = 0, hi = n;
    while (hi - lo > 24) {
        const double a = v[lo], b = v[lo + (hi - lo) / 2], c = v[hi - 1];
        const double dPivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
        size_t i = lo; // below the pivot to the front
        for (size_t j = lo; j < hi; ++j) {
            const double x = v[j];
            const bool bBelow = x < dPivot;
            v[j] = v[i];
            v[i] = x;
            i += bBelow;
        }
        if (k < i) {
            hi = i;
            continue;
        }
        size_t e = i; // then the pivot's equals
        for (size_t j = i; j < hi; ++j) {
            const double x = v[j];
            const bool bEqual = !(dPivot < x);
            v[j] = v[e];
            v[e] = x;
            e += bEqual;
        }
        if (k < e)
            return dPivot;
        lo = e;
    }
    for (size_t i = lo + 1; i < hi; ++i) {
        const double x = v[i];
        size_t j = i;
        for (; j > lo && v[j - 1] > x; --j)
            v[j] = v[j - 1];
        v[j] = x;
    }
    return v[k];
}

// The median of v[0 .. n) (the mean of the middle two for even n); v is reordered.
double Median(double* v, size_t n)
{
    const double dHigh = Select(v, n, n / 2);
    if (n % 2)
        return dHigh;
    return 0.5 * (dHigh + *std::max_element(v, v + n / 2));
}

// Weights of a moving mean dWidth long over values joined by straight lines,
// for the value at i of n: the integral of each value's hat over the window
// [i - w/2, i + w/2] clipped to [dLow, dHigh], over the clipped length.
// Indices outside 0 .. n-1 stand for the nearest value.
struct Tap {
    int nIndex;
    double dWeight;
};

double HatIntegral(double a, double b, double k)
{
    auto F = [](double u) {
        u = std::clamp(u, -1.0, 1.0);
        return u < 0 ? u + 0.5 * u * u : u - 0.5 * u * u;
    };
    return F(b - k) - F(a - k);
}

std::vector<Tap> SmoothingTaps(int i, int n, double dWidth, double dLow, double dHigh)
{
    std::vector<Tap> taps;
    const double a = std::max(i - dWidth / 2, dLow), b = std::min(i + dWidth / 2, dHigh);
    if (!(b > a)) {
        taps.push_back({std::clamp(i, 0, n - 1), 1.0});
        return taps;
    }
    double dSum = 0;
    for (int k = int(std::floor(a)) - 1; k <= int(std::ceil(b)) + 1; ++k) {
        const double w = HatIntegral(a, b, k);
        if (w <= 0)
            continue;
        const int j = std::clamp(k, 0, n - 1);
        if (!taps.empty() && taps.back().nIndex == j)
            taps.back().dWeight += w;
        else
            taps.push_back({j, w});
        dSum += w;
    }
    for (Tap& t : taps)
        t.dWeight /= dSum;
    return taps;
}

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
