#include "player/analysis/voice/GlottalPulses.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "player/analysis/voice/CHeldSamples.h"

namespace sonavel::voice {

namespace {

const double kBefore = 0.35, kAfter = 0.45;       // the cycle correlated, in periods around its pulse
const double kNear = 0.06;                        // the first search: this much around the expected lag
const double kShortest = 0.75, kLongest = 1.33;   // the widest search, in periods of the track
const double kLeastCorrelation = 0.5;             // below this the voice is no longer periodic
const double kHalfShare = 0.9;                    // half the lag correlating this well is the period
const double kHalfLook = 0.6;                     // and is sought where the lags near it reach this
const int kAnchorPeriods = 4;
const double kSettleReach = 0.1;                  // a cycle's peak is sought this many periods around its pulse
const size_t kSettlePeriods = 10;                 // and the pulses moved by the median offset of this many each side
const size_t kAmpPeriods = 3;                     // a cycle's amplitude: the median of this many periods each side

// The track's f0 between its frames, as a period in samples within the range.
class CPeriodCurve {
public:
    CPeriodCurve(const pitch::PitchFrames& track, int nRate, const PulseRange& range)
        : m_track(track), m_dRate(nRate), m_dShortest(nRate / range.dCeilingHz),
          m_dLongest(nRate / range.dFloorHz)
    {
        m_dStep = track.time_s.size() > 1 ? track.time_s[1] - track.time_s[0] : 0.01;
        m_dFirst = track.time_s.empty() ? 0 : track.time_s[0];
    }

    double Shortest() const { return m_dShortest; }
    double Longest() const { return m_dLongest; }

    // Frames i0 .. i1 (voiced, inclusive) hold the stretch sample dPos lies in.
    double At(double dPos, size_t i0, size_t i1) const
    {
        const double u = (dPos / m_dRate - m_dFirst) / m_dStep;
        double f;
        if (u <= double(i0)) {
            f = m_track.pitch_hz[i0];
        } else if (u >= double(i1)) {
            f = m_track.pitch_hz[i1];
        } else {
            const size_t k = size_t(u);
            const double w = u - double(k);
            f = (1 - w) * m_track.pitch_hz[k] + w * m_track.pitch_hz[k + 1];
        }
        return std::clamp(m_dRate / f, m_dShortest, m_dLongest);
    }

private:
    const pitch::PitchFrames& m_track;
    double m_dRate, m_dShortest, m_dLongest;
    double m_dStep = 0.01, m_dFirst = 0;
};

struct Stretch {
    size_t i0, i1;         // its voiced frames
    int64_t nFirst, nEnd;  // its samples
};

class CWalker {
public:
    CWalker(CHeldSamples& samples, const CPeriodCurve& curve, const Stretch& stretch)
        : m_x(samples), m_curve(curve), m_s(stretch)
    {
    }

    bool Run(GlottalPulses& pulses);

private:
    double Period(double dPos) const { return m_curve.At(dPos, m_s.i0, m_s.i1); }
    bool HoldAround(double dPos);
    bool Polarity(double& dSign);
    struct Lag {
        int64_t nLag = 0;
        double dCorrelation = 0, dBefore = 0, dAfter = 0; // at the lag and either side
    };
    // The best correlating whole lag in [dLo, dHi] between the cycle at
    // [a0, a1) and the waveform nDir x lag away; false when it lies on a slope
    // at an edge.
    bool BestLag(int64_t a0, int64_t a1, int nDir, double dLo, double dHi, Lag& lag) const;
    // The lag (samples, > 0) by which the cycle at dPos repeats in direction
    // nDir (+1 later, -1 earlier), near dGuess; 0 when none correlates well.
    double NextLag(double dPos, int nDir, double dGuess);
    double Correlation(int64_t a0, int64_t a1, int64_t nShift) const;
    double Amplitude(double dPos, double T) const;
    // Moves the pulses onto their peaks, as a slowly changing whole.
    bool Settle(std::vector<double>& positions);
    // One walk: its anchor the highest peak of the periods from dFrom, back no
    // earlier than dEarliest, on until a cycle does not repeat; dLast: where it
    // stopped (past the anchor's search at least).
    bool Walk(double dFrom, double dEarliest, std::vector<double>& positions, double& dLast);
    // The walk's pulses with their amplitudes, after those before.
    bool Keep(const std::vector<double>& positions, GlottalPulses& pulses);

    CHeldSamples& m_x;
    const CPeriodCurve& m_curve;
    const Stretch& m_s;
    double m_dSign = 1;
    bool m_bFailed = false;
};

bool CWalker::HoldAround(double dPos)
{
    const double dLong = m_curve.Longest();
    if (!m_x.Hold(int64_t(std::floor(dPos - 2 * dLong)) - 2, int64_t(std::ceil(dPos + 3 * dLong)) + 2)) {
        m_bFailed = true;
        return false;
    }
    return true;
}

bool CWalker::Polarity(double& dSign)
{
    // The peaks one way and the other, a period at a time over the stretch's first second.
    double dUp = 0, dDown = 0;
    const int64_t nStop = std::min<int64_t>(m_s.nEnd, m_s.nFirst + int64_t(m_curve.Longest() * 100));
    for (int64_t n = m_s.nFirst; n < nStop;) {
        const int64_t nLength = std::max<int64_t>(1, int64_t(Period(double(n))));
        if (!HoldAround(double(n)))
            return false;
        double dMax = 0, dMin = 0;
        for (int64_t j = n; j < std::min(n + nLength, m_s.nEnd); ++j) {
            dMax = std::max(dMax, m_x.At(j));
            dMin = std::min(dMin, m_x.At(j));
        }
        dUp += dMax;
        dDown -= dMin;
        n += nLength;
    }
    dSign = dDown > dUp ? -1 : 1;
    return true;
}

double CWalker::Correlation(int64_t a0, int64_t a1, int64_t nShift) const
{
    const double* a = m_x.From(a0);
    const double* b = m_x.From(a0 + nShift);
    const int64_t n = a1 - a0;
    double ab = 0, aa = 0, bb = 0;
#pragma omp simd reduction(+ : ab, aa, bb)
    for (int64_t j = 0; j < n; ++j) {
        ab += a[j] * b[j];
        aa += a[j] * a[j];
        bb += b[j] * b[j];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

bool CWalker::BestLag(int64_t a0, int64_t a1, int nDir, double dLo, double dHi, Lag& lag) const
{
    const int64_t t0 = std::max<int64_t>(1, int64_t(std::floor(dLo))), t1 = int64_t(std::ceil(dHi));
    lag.dCorrelation = -2;
    lag.nLag = t0;
    double cPrev = Correlation(a0, a1, nDir * (t0 - 1));
    for (int64_t t = t0; t <= t1; ++t) {
        const double c = Correlation(a0, a1, nDir * t);
        if (c > lag.dCorrelation) {
            lag.dCorrelation = c;
            lag.nLag = t;
            lag.dBefore = cPrev;
        }
        cPrev = c;
    }
    lag.dAfter = Correlation(a0, a1, nDir * (lag.nLag + 1));
    // A best lag at an edge of the search may lie on a slope.
    return !((lag.nLag == t0 && lag.dBefore > lag.dCorrelation) || (lag.nLag == t1 && lag.dAfter > lag.dCorrelation));
}

double CWalker::NextLag(double dPos, int nDir, double dGuess)
{
    const double T = Period(dPos);
    const int64_t a0 = int64_t(std::ceil(dPos - kBefore * T)), a1 = int64_t(std::floor(dPos + kAfter * T)) + 1;
    const double dWideLo = std::max(m_curve.Shortest(), kShortest * T);
    const double dWideHi = std::min(m_curve.Longest(), kLongest * T);
    Lag lag;
    bool bPeak = BestLag(a0, a1, nDir, std::max(dWideLo, (1 - kNear) * std::min(dGuess, T) - 2),
                         std::min(dWideHi, (1 + kNear) * std::max(dGuess, T) + 2), lag);
    if (!bPeak)
        bPeak = BestLag(a0, a1, nDir, dWideLo, dWideHi, lag);
    if (!bPeak || lag.dCorrelation < kLeastCorrelation)
        return 0;
    // Two periods correlate as well as one: where half the lag does nearly as
    // well, the period is the half (the track may lie an octave low).
    // (A look at the three lags nearest the half first: at a voice's true
    // period the half correlates far less, and the search is not made.)
    const double dHalf = 0.5 * double(lag.nLag);
    Lag half;
    if (dHalf * (1 - kNear) >= m_curve.Shortest() &&
        std::max({Correlation(a0, a1, nDir * (lag.nLag / 2)), Correlation(a0, a1, nDir * (lag.nLag / 2 + 1)),
                  Correlation(a0, a1, nDir * (lag.nLag / 2 - 1))}) >= kHalfLook * lag.dCorrelation &&
        BestLag(a0, a1, nDir, dHalf * (1 - kNear) - 1, dHalf * (1 + kNear) + 1, half) &&
        half.dCorrelation >= kHalfShare * lag.dCorrelation)
        lag = half;
    double dOffset, dHeight;
    PeakBetweenSamples(lag.dBefore, lag.dCorrelation, lag.dAfter, dOffset, dHeight);
    return double(lag.nLag) + dOffset;
}

double CWalker::Amplitude(double dPos, double T) const
{
    // Hann-weighted over one period centred on the pulse.
    const int64_t a0 = int64_t(std::ceil(dPos - 0.5 * T)), a1 = int64_t(std::floor(dPos + 0.5 * T)) + 1;
    double dSum = 0, dWeights = 0;
    // cos(2 pi (j - dPos) / T) by rotation from the first sample on.
    const double dTurn = 2 * M_PI / T, dCos = std::cos(dTurn), dSin = std::sin(dTurn);
    double c = std::cos(dTurn * (double(a0) - dPos)), s = std::sin(dTurn * (double(a0) - dPos));
    for (int64_t j = a0; j < a1; ++j) {
        const double w = 0.5 + 0.5 * c;
        const double v = w * m_x.At(j);
        dSum += v * v;
        dWeights += w * w;
        const double cNext = c * dCos - s * dSin;
        s = s * dCos + c * dSin;
        c = cNext;
    }
    return dWeights > 0 ? std::sqrt(dSum / dWeights) : 0;
}

bool CWalker::Settle(std::vector<double>& positions)
{
    // Where each cycle's peak lies from its pulse (0 when no peak stands near).
    const size_t n = positions.size();
    std::vector<double> offsets(n, 0.0);
    std::vector<char> found(n, 0);
    for (size_t k = 0; k < n; ++k) {
        const double p = positions[k];
        if (!HoldAround(p))
            return false;
        const double dReach = kSettleReach * Period(p);
        const int64_t a0 = int64_t(std::ceil(p - dReach)), a1 = int64_t(std::floor(p + dReach));
        int64_t nBest = a0;
        for (int64_t j = a0; j <= a1; ++j)
            if (m_dSign * m_x.At(j) > m_dSign * m_x.At(nBest))
                nBest = j;
        if (nBest == a0 || nBest == a1)
            continue;
        double dOffset, dHeight;
        PeakBetweenSamples(m_dSign * m_x.At(nBest - 1), m_dSign * m_x.At(nBest), m_dSign * m_x.At(nBest + 1), dOffset,
                           dHeight);
        offsets[k] = double(nBest) + dOffset - p;
        found[k] = 1;
    }
    // Moved by the median of the offsets around them: a slow drift goes, the
    // periods' changes from cycle to cycle stay.
    std::vector<double> shift(n, 0.0), around;
    for (size_t k = 0; k < n; ++k) {
        around.clear();
        for (size_t j = k >= kSettlePeriods ? k - kSettlePeriods : 0; j < n && j <= k + kSettlePeriods; ++j)
            if (found[j])
                around.push_back(offsets[j]);
        if (around.empty())
            continue;
        std::nth_element(around.begin(), around.begin() + std::ptrdiff_t(around.size() / 2), around.end());
        shift[k] = around[around.size() / 2];
    }
    for (size_t k = 0; k < n; ++k)
        positions[k] += shift[k];
    return true;
}

bool CWalker::Run(GlottalPulses& pulses)
{
    if (!Polarity(m_dSign))
        return false;
    // Walks from anchors on: where one stops inside the stretch (a cycle that
    // does not repeat), the next anchor is sought a period further on.
    double dFrom = double(m_s.nFirst), dEarliest = double(m_s.nFirst);
    std::vector<double> positions;
    while (dFrom + 2 * m_curve.Shortest() < double(m_s.nEnd)) {
        double dLast;
        if (!Walk(dFrom, dEarliest, positions, dLast) || !Settle(positions) || !Keep(positions, pulses))
            return false;
        dEarliest = dLast + 0.5 * Period(dLast);
        dFrom = dLast + Period(dLast);
    }
    return true;
}

bool CWalker::Walk(double dFrom, double dEarliest, std::vector<double>& positions, double& dLast)
{
    positions.clear();
    // The anchor: the highest peak of the first periods.
    const int64_t nFrom = int64_t(std::ceil(dFrom));
    const int64_t nSearchEnd = std::min<int64_t>(m_s.nEnd, nFrom + int64_t(kAnchorPeriods * Period(dFrom)));
    if (!HoldAround(dFrom) || !m_x.Hold(nFrom - 1, nSearchEnd + 1))
        return false;
    int64_t nPeak = nFrom;
    for (int64_t n = nFrom; n < nSearchEnd; ++n)
        if (m_dSign * m_x.At(n) > m_dSign * m_x.At(nPeak))
            nPeak = n;
    double dOffset, dHeight;
    PeakBetweenSamples(m_dSign * m_x.At(nPeak - 1), m_dSign * m_x.At(nPeak), m_dSign * m_x.At(nPeak + 1), dOffset,
                       dHeight);
    const double dAnchor = double(nPeak) + dOffset;
    dLast = std::max(dAnchor, double(nSearchEnd));

    std::vector<double> before; // walked backwards from the anchor, latest first
    double dPos = dAnchor, dGuess = Period(dAnchor);
    while (HoldAround(dPos)) {
        const double dLag = NextLag(dPos, -1, dGuess);
        if (dLag <= 0 || dPos - dLag < dEarliest)
            break;
        dPos -= dLag;
        dGuess = dLag;
        before.push_back(dPos);
    }
    if (m_bFailed)
        return false;
    positions.assign(before.rbegin(), before.rend());
    positions.push_back(dAnchor);
    dPos = dAnchor;
    dGuess = Period(dAnchor);
    while (HoldAround(dPos)) {
        const double dLag = NextLag(dPos, 1, dGuess);
        if (dLag <= 0 || dPos + dLag >= double(m_s.nEnd))
            break;
        dPos += dLag;
        dGuess = dLag;
        positions.push_back(dPos);
    }
    dLast = std::max(dLast, dPos);
    return !m_bFailed;
}

bool CWalker::Keep(const std::vector<double>& positions, GlottalPulses& pulses)
{
    // Each cycle's amplitude over a length set by the periods around it (their
    // median), so neither its own jitter nor the track's wobble moves it.
    const size_t n = positions.size();
    std::vector<double> around;
    for (size_t k = 0; k < n; ++k) {
        const double p = positions[k];
        if (!HoldAround(p))
            return false;
        around.clear();
        for (size_t j = k >= kAmpPeriods ? k - kAmpPeriods : 0; j + 1 < n && j < k + kAmpPeriods; ++j)
            around.push_back(positions[j + 1] - positions[j]);
        double T = Period(p);
        if (!around.empty()) {
            std::nth_element(around.begin(), around.begin() + std::ptrdiff_t(around.size() / 2), around.end());
            T = around[around.size() / 2];
        }
        pulses.time_s.push_back(p);
        pulses.amplitude.push_back(Amplitude(p, T));
    }
    return true;
}

} // namespace

bool FindPulses(CHeldSamples& samples, int nRate, const pitch::PitchFrames& track, const PulseRange& range,
                GlottalPulses& pulses)
{
    const CPeriodCurve curve(track, nRate, range);
    const size_t nFrames = track.pitch_hz.size();
    const double dStep = track.time_s.size() > 1 ? track.time_s[1] - track.time_s[0] : 0.01;
    const size_t nFirstPulse = pulses.time_s.size();
    for (size_t i = 0; i < nFrames;) {
        if (!(track.pitch_hz[i] > 0)) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j + 1 < nFrames && track.pitch_hz[j + 1] > 0)
            ++j;
        Stretch s{i, j, 0, 0};
        s.nFirst = std::max<int64_t>(0, std::llround((track.time_s[i] - dStep / 2) * nRate));
        s.nEnd = std::min<int64_t>(samples.Count(), std::llround((track.time_s[j] + dStep / 2) * nRate));
        i = j + 1;
        if (s.nEnd - s.nFirst < 2 * curve.Shortest())
            continue;
        CWalker walker(samples, curve, s);
        if (!walker.Run(pulses))
            return false;
    }
    for (size_t k = nFirstPulse; k < pulses.time_s.size(); ++k)
        pulses.time_s[k] /= nRate;
    return true;
}

void PeriodsOf(const GlottalPulses& pulses, std::vector<double>& periods, std::vector<double>& amplitudes)
{
    const size_t n = pulses.time_s.size();
    periods.assign(n > 0 ? n - 1 : 0, 0.0);
    amplitudes.assign(periods.size(), 0.0);
    for (size_t i = 0; i + 1 < n; ++i) {
        periods[i] = pulses.time_s[i + 1] - pulses.time_s[i];
        amplitudes[i] = pulses.amplitude[i];
    }
}

} // namespace sonavel::voice
