#include "player/analysis/voice/Perturbation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace sonavel::voice {

namespace {

bool IsPeriod(double dPeriod, const PerturbationLimits& limits)
{
    return dPeriod >= limits.dShortestPeriodS && dPeriod <= limits.dLongestPeriodS;
}

bool Within(double a, double b, double dFactor)
{
    return std::max(a, b) <= dFactor * std::min(a, b);
}

// The windows of n consecutive periods that may be compared throughout: for
// each, fnWindow(first). ok[i] says period i is one; linked[i] that periods
// i - 1 and i may be compared.
template <typename Fn>
void ForEachWindow(const std::vector<char>& ok, const std::vector<char>& linked, size_t n, Fn fnWindow)
{
    size_t nRun = 0; // comparable periods ending at i
    for (size_t i = 0; i < ok.size(); ++i) {
        nRun = !ok[i] ? 0 : (nRun > 0 && linked[i]) ? nRun + 1 : 1;
        if (nRun >= n)
            fnWindow(i + 1 - n);
    }
}

// The mean over windows of n values of |v[centre] - mean of the window|
// (n odd), or of |v[i] - v[i-1]| (n == 2), and the mean of the values that lie
// in any window; nothing without a window.
struct WindowMeans {
    double dDeviation = 0, dValue = 0;
    bool bAny = false;
};

WindowMeans MeanDeviation(const std::vector<double>& v, const std::vector<char>& ok, const std::vector<char>& linked,
                          size_t n)
{
    double dDeviation = 0, dValues = 0;
    size_t nWindows = 0, nValues = 0, nCovered = 0; // values before nCovered are counted
    ForEachWindow(ok, linked, n, [&](size_t s) {
        double d;
        if (n == 2) {
            d = std::fabs(v[s + 1] - v[s]);
        } else {
            double dSum = 0;
            for (size_t j = s; j < s + n; ++j)
                dSum += v[j];
            d = std::fabs(v[s + n / 2] - dSum / double(n));
        }
        dDeviation += d;
        ++nWindows;
        for (size_t j = std::max(s, nCovered); j < s + n; ++j) {
            dValues += v[j];
            ++nValues;
        }
        nCovered = s + n;
    });
    WindowMeans m;
    if (nWindows > 0) {
        m.dDeviation = dDeviation / double(nWindows);
        m.dValue = dValues / double(nValues);
        m.bAny = m.dValue > 0;
    }
    return m;
}

std::optional<double> Percent(const WindowMeans& m, double dScale = 1)
{
    if (!m.bAny)
        return std::nullopt;
    return 100 * dScale * m.dDeviation / m.dValue;
}

} // namespace

int CountPeriods(const std::vector<double>& periods, const PerturbationLimits& limits)
{
    return static_cast<int>(std::count_if(periods.begin(), periods.end(),
                                          [&](double p) { return IsPeriod(p, limits); }));
}

JitterValues MeasureJitter(const std::vector<double>& periods, const PerturbationLimits& limits)
{
    const size_t n = periods.size();
    std::vector<char> ok(n), linked(n);
    for (size_t i = 0; i < n; ++i) {
        ok[i] = IsPeriod(periods[i], limits);
        linked[i] = i > 0 && ok[i] && ok[i - 1] && Within(periods[i], periods[i - 1], limits.dMaxPeriodFactor);
    }
    JitterValues j;
    const WindowMeans local = MeanDeviation(periods, ok, linked, 2);
    j.dLocalPct = Percent(local);
    if (local.bAny)
        j.dLocalAbsUs = 1e6 * local.dDeviation;
    const WindowMeans rap = MeanDeviation(periods, ok, linked, 3);
    j.dRapPct = Percent(rap);
    j.dDdpPct = Percent(rap, 3);
    j.dPpq5Pct = Percent(MeanDeviation(periods, ok, linked, 5));
    return j;
}

ShimmerValues MeasureShimmer(const std::vector<double>& periods, const std::vector<double>& amplitudes,
                             const PerturbationLimits& limits)
{
    const size_t n = std::min(periods.size(), amplitudes.size());
    std::vector<char> ok(n), linked(n);
    for (size_t i = 0; i < n; ++i) {
        ok[i] = IsPeriod(periods[i], limits) && amplitudes[i] > 0 && std::isfinite(amplitudes[i]);
        linked[i] = i > 0 && ok[i] && ok[i - 1] && Within(periods[i], periods[i - 1], limits.dMaxPeriodFactor) &&
                    Within(amplitudes[i], amplitudes[i - 1], limits.dMaxAmplitudeFactor);
    }
    const std::vector<double> a(amplitudes.begin(), amplitudes.begin() + std::ptrdiff_t(n));
    ShimmerValues s;
    s.dLocalPct = Percent(MeanDeviation(a, ok, linked, 2));
    if (s.dLocalPct) {
        double dSum = 0;
        size_t nPairs = 0;
        ForEachWindow(ok, linked, 2, [&](size_t i) {
            dSum += std::fabs(20 * std::log10(a[i + 1] / a[i]));
            ++nPairs;
        });
        s.dLocalDb = dSum / double(nPairs);
    }
    const WindowMeans apq3 = MeanDeviation(a, ok, linked, 3);
    s.dApq3Pct = Percent(apq3);
    s.dDdaPct = Percent(apq3, 3);
    s.dApq5Pct = Percent(MeanDeviation(a, ok, linked, 5));
    s.dApq11Pct = Percent(MeanDeviation(a, ok, linked, 11));
    return s;
}

} // namespace sonavel::voice
