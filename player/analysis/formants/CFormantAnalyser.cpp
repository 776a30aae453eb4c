#include "player/analysis/formants/CFormantAnalyser.h"

#include <algorithm>
#include <cmath>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/formants/FormantTrack.h"

namespace sonavel::formants {

namespace {
// Of the Gaussian-like window the middle 70 % is analysed (the rest weighs
// under a quarter of the middle, and the weighted predictor's sums weigh it by
// its fourth power).
const double kAnalysedPart = 0.7;
const double kEmphasisHz = 50;      // pre-emphasis from here up
const double kEdgeHz = 50;          // a pole this near 0 or the ceiling is no formant
// The energy of this much sound before a sample weighs its prediction error:
// about the time the tract's ringing after a glottal closure stays strong.
const double kLagS = 0.0015;
// A first resonance below this is read again with the energy of 0.75 of its
// period (at most 3 ms) weighing each error: 1.5 ms covers too little of a
// low F1's ringing, and the pole lands 5-10 % high (a man's /i/ or /u/ at
// 250 Hz read 300 or more).
const double kLowFirstHz = 400;
const double kLowLagPeriods = 0.75;
const double kMaxLagS = 0.003;

// A voice above 230 Hz has few harmonics under its first resonance, and
// the predictor, weighted by the energy of the 1.5 ms before each sample
// (more than a third of its period), still leans F1 toward the harmonic
// nearest it: a child's F1 read 10-15 % high. Where the predictor's residual
// repeats with a period of 1/600-1/230 s (correlation above 0.5), the frame is
// read again with each error weighted by the residual's energy over the half
// period before it: the excitation at each glottal closure, so the stretch
// after it, where the tract rings on its own. Its first resonance replaces
// the first reading's where the two lie within 20 % (and it stays below the
// second); the higher formants keep the first reading, steadier over the
// longer weighting.
const double kHighVoiceHz = 230, kHighestVoiceHz = 600;
const double kPeriodicCorrelation = 0.5;
const double kCoarseMargin = 0.1; // the coarse search's correlation may lie this much lower
const double kClosedPhasePeriods = 0.5;
const double kClosedPhaseFloor = 0.01; // of the mean weight, so that no error weighs nothing
const double kFirstAgainLn = 0.2;      // |ln| between the two readings of F1

// The lowest pole that may be a formant, or -1.
int LowestFormantPole(const Pole* poles, int nPoles, double dCeilingHz)
{
    for (int k = 0; k < nPoles; ++k)
        if (poles[k].dHz >= kEdgeHz && poles[k].dHz <= dCeilingHz - kEdgeHz && poles[k].dBandwidthHz <= kMaxBandwidthHz)
            return k;
    return -1;
}

// The period in samples at dRate of a voice above kHighVoiceHz in x[0..n-1],
// read from the residual of the predictor a (order p), or 0. e gets the
// residual.
int HighVoicePeriod(const double* x, int n, const double* a, int p, double dRate, std::vector<double>& e)
{
    const int m = n - p; // the residual from t = p on, where the whole predictor applies
    const int nMin = std::max(2, static_cast<int>(dRate / kHighestVoiceHz));
    const int nMax = std::min(static_cast<int>(dRate / kHighVoiceHz), m / 2);
    e.resize(size_t(2 * n + 1));
    double* r = e.data();
    std::copy(x, x + n, r);
    for (int k = 1; k <= p; ++k) {
        const double c = a[k];
#pragma omp simd
        for (int t = k; t < n; ++t)
            r[t] += c * x[t - k];
    }
    if (nMax < nMin)
        return 0;
    const double* q = r + p;
    double* sq = r + n; // sq[k]: the sum of q[0 .. k-1]^2
    sq[0] = 0;
    for (int t = 0; t < m; ++t)
        sq[t + 1] = sq[t] + q[t] * q[t];
    // The correlation at every lag over every nStride-th product.
    const auto Correlation = [&](int nLag, int nStride) {
        double s = 0;
#pragma omp simd reduction(+ : s)
        for (int t = 0; t < m - nLag; t += nStride)
            s += q[t] * q[t + nLag];
        const double e0 = sq[m - nLag], e1 = sq[m] - sq[nLag];
        return s > 0 && e0 > 0 && e1 > 0 ? nStride * s / std::sqrt(e0 * e1) : 0.0;
    };
    // Every other product first, then the best lag and its neighbours in full.
    double dBest = 0;
    int nBest = 0;
    for (int nLag = nMin; nLag <= nMax; ++nLag) {
        const double c = Correlation(nLag, 2);
        if (c > dBest) {
            dBest = c;
            nBest = nLag;
        }
    }
    if (dBest <= kPeriodicCorrelation - kCoarseMargin)
        return 0;
    const int nCoarse = nBest;
    dBest = 0;
    for (int nLag = std::max(nMin, nCoarse - 1); nLag <= std::min(nMax, nCoarse + 1); ++nLag) {
        const double c = Correlation(nLag, 1);
        if (c > dBest) {
            dBest = c;
            nBest = nLag;
        }
    }
    return dBest > kPeriodicCorrelation ? nBest : 0;
}

} // namespace

void CFormantAnalyser::Init(int nRate, double dCeilingHz, double dStepS, int nOrder, int nKeep, double dWindowS,
                            double dMaxBandwidthHz, bool bFirstAgain)
{
    m_bFirstAgain = bFirstAgain;
    m_dMaxBandwidthHz = dMaxBandwidthHz;
    m_nRate = nRate;
    m_dCeilingHz = dCeilingHz;
    m_dStepS = dStepS;
    m_nOrder = nOrder;
    m_nKeep = std::min(nKeep, FramePoles::kMax);
    const double dOut = 2 * dCeilingHz;
    m_resampler.Init(nRate, dOut);
    m_nWindow = std::max(m_nOrder + 2, static_cast<int>(std::lround(kAnalysedPart * dWindowS * dOut)));
    m_nLag = std::max(1, static_cast<int>(std::lround(kLagS * dOut)));
    m_dEmphasis = std::exp(-2 * M_PI * kEmphasisHz / dOut);
    // exp(-12 u^2) over the whole window (u in [-0.5, 0.5]), lowered to meet
    // zero at its ends; the frame holds the middle (|u| <= 0.35).
    m_window.resize(size_t(m_nWindow));
    const double dEdge = std::exp(-12.0);
    for (int j = 0; j < m_nWindow; ++j) {
        const double u = kAnalysedPart * ((j + 0.5) / m_nWindow - 0.5);
        m_window[size_t(j)] = (std::exp(-12 * u * u) - dEdge) / (1 - dEdge);
    }
}

int64_t CFormantAnalyser::Centre(int i) const
{
    return std::llround(i * m_dStepS * m_resampler.OutRate());
}

bool CFormantAnalyser::Analyse(const CSampleSource& source, int nCount, int i0, int i1, AnalyserScratch& scratch,
                               FramePoles* out) const
{
    // Frames further apart than a window are read one by one: no sound between
    // them is resampled for nothing.
    if (m_dStepS * m_resampler.OutRate() > m_nWindow) {
        for (int i = i0; i < i1; ++i)
            if (!AnalyseStretch(source, nCount, i, i + 1, scratch, out + (i - i0)))
                return false;
        return true;
    }
    return AnalyseStretch(source, nCount, i0, i1, scratch, out);
}

bool CFormantAnalyser::Prepare(const CSampleSource& source, int nCount, int64_t kFirst, int64_t kLast,
                               AnalyserScratch& scratch, int64_t& k0) const
{
    const int nHalf = m_nWindow / 2;
    k0 = kFirst - nHalf - 1; // one more before: the pre-emphasis reads it
    const int64_t k1 = kLast - nHalf + m_nWindow;
    int64_t nFirst = 0, nEnd = 0;
    m_resampler.InputSpan(k0, k1, nFirst, nEnd);
    const int64_t nFrom = std::max<int64_t>(nFirst, 0), nTo = std::min<int64_t>(nEnd, nCount);
    scratch.input.assign(size_t(nEnd - nFirst), 0.0f);
    if (nTo > nFrom) {
        const int n = static_cast<int>(nTo - nFrom);
        if (source.NeedsBuffer() && scratch.raw.size() < size_t(n))
            scratch.raw.resize(size_t(n));
        const int16_t* p = source.Fetch(static_cast<int>(nFrom), n, scratch.raw.data());
        if (!p)
            return false;
        float* dst = scratch.input.data() + (nFrom - nFirst);
        for (int j = 0; j < n; ++j)
            dst[j] = p[j] / 32768.0f;
    }
    scratch.resampled.resize(size_t(k1 - k0));
    m_resampler.Run(scratch.input.data(), nFirst, k0, k1, scratch.resampled.data());
    // Pre-emphasis from the back, so each sample still reads its plain neighbour.
    double* y = scratch.resampled.data();
    for (int64_t k = k1 - k0 - 1; k > 0; --k)
        y[k] -= m_dEmphasis * y[k - 1];
    scratch.frame.resize(size_t(m_nWindow));
    scratch.predictor.resize(size_t(WeightedScratch(m_nWindow, m_nOrder)));
    return true;
}

bool CFormantAnalyser::AnalyseStretch(const CSampleSource& source, int nCount, int i0, int i1,
                                      AnalyserScratch& scratch, FramePoles* out) const
{
    int64_t k0 = 0;
    if (!Prepare(source, nCount, Centre(i0), Centre(i1 - 1), scratch, k0))
        return false;
    const double* y = scratch.resampled.data();
    const int nHalf = m_nWindow / 2;
    scratch.bRoots = false;
    for (int i = i0; i < i1; ++i)
        AnalyseFrame(y + (Centre(i) - nHalf - k0), scratch, out[i - i0]);
    return true;
}

bool CFormantAnalyser::Predictor(const CSampleSource& source, int nCount, double dTimeS, AnalyserScratch& scratch,
                                 double* a, double& dErrorPower) const
{
    const int64_t kCentre = std::llround(dTimeS * m_resampler.OutRate());
    int64_t k0 = 0;
    if (!Prepare(source, nCount, kCentre, kCentre, scratch, k0))
        return false;
    const double* y = scratch.resampled.data() + (kCentre - m_nWindow / 2 - k0);
    double* x = scratch.frame.data();
    double dWindowEnergy = 0;
    for (int j = 0; j < m_nWindow; ++j) {
        x[j] = y[j] * m_window[size_t(j)];
        dWindowEnergy += m_window[size_t(j)] * m_window[size_t(j)];
    }
    dErrorPower = 0;
    if (!WeightedPredictor(x, m_nWindow, m_nOrder, m_nLag, a, scratch.predictor.data()))
        return true;
    // The residual over the frame and the predictor's tail, per unit of the
    // window's energy: the sound's own residual power, the window taken off.
    double dSum = 0;
    for (int t = 0; t < m_nWindow + m_nOrder; ++t) {
        double e = 0;
        for (int k = std::max(0, t - m_nWindow + 1); k <= std::min(t, m_nOrder); ++k)
            e += a[k] * x[t - k];
        dSum += e * e;
    }
    dErrorPower = dSum / dWindowEnergy;
    return true;
}

void CFormantAnalyser::AnalyseFrame(const double* y, AnalyserScratch& scratch, FramePoles& out) const
{
    double* x = scratch.frame.data();
    double dSum = 0;
    for (int j = 0; j < m_nWindow; ++j) {
        x[j] = y[j] * m_window[size_t(j)];
        dSum += x[j] * x[j];
    }
    out = FramePoles();
    out.fLevelDb = static_cast<float>(10 * std::log10(dSum / m_nWindow + 1e-30));
    double a[kMaxOrder + 1];
    if (!WeightedPredictor(x, m_nWindow, m_nOrder, m_nLag, a, scratch.predictor.data()))
        return;
    const int nPeriod =
        m_bFirstAgain ? HighVoicePeriod(x, m_nWindow, a, m_nOrder, m_resampler.OutRate(), scratch.residual) : 0;
    Pole poles[kMaxOrder];
    int nPoles = PredictorPoles(a, m_nOrder, m_resampler.OutRate(), poles, scratch.roots, scratch.bRoots);
    scratch.bRoots = true;
    int nLow = m_bFirstAgain ? LowestFormantPole(poles, nPoles, m_dCeilingHz) : -1;
    if (nLow >= 0 && poles[nLow].dHz < kLowFirstHz) {
        const int nLag = static_cast<int>(
            std::lround(std::min(kMaxLagS, kLowLagPeriods / poles[nLow].dHz) * m_resampler.OutRate()));
        if (nLag > m_nLag) {
            if (!WeightedPredictor(x, m_nWindow, m_nOrder, nLag, a, scratch.predictor.data()))
                return;
            nPoles = PredictorPoles(a, m_nOrder, m_resampler.OutRate(), poles);
            nLow = LowestFormantPole(poles, nPoles, m_dCeilingHz);
        }
    }
    if (nPeriod > 0 && nLow >= 0) {
        const int nLag = std::max(1, static_cast<int>(std::lround(kClosedPhasePeriods * nPeriod)));
        double b[kMaxOrder + 1];
        Pole again[kMaxOrder];
        if (WeightedPredictor(x, m_nWindow, m_nOrder, nLag, b, scratch.predictor.data(), scratch.residual.data(),
                              kClosedPhaseFloor)) {
            const int nAgain = PredictorPoles(b, m_nOrder, m_resampler.OutRate(), again);
            const int k = LowestFormantPole(again, nAgain, m_dCeilingHz);
            if (k >= 0 && std::fabs(std::log(again[k].dHz / poles[nLow].dHz)) < kFirstAgainLn
                && (nLow + 1 >= nPoles || again[k].dHz < poles[nLow + 1].dHz))
                poles[nLow] = again[k];
        }
    }
    for (int k = 0; k < nPoles && out.nFound < m_nKeep; ++k) {
        const Pole& p = poles[k];
        if (p.dHz < kEdgeHz || p.dHz > m_dCeilingHz - kEdgeHz || p.dBandwidthHz > m_dMaxBandwidthHz)
            continue;
        out.hz[out.nFound] = static_cast<float>(p.dHz);
        out.bandwidth[out.nFound] = static_cast<float>(p.dBandwidthHz);
        ++out.nFound;
    }
}

} // namespace sonavel::formants
