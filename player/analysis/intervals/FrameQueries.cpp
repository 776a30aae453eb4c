#include "player/analysis/intervals/FrameQueries.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sonavel::intervals {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

SpanStats VoicedStats(const std::vector<double>& times, const std::vector<double>& values, double dStart,
                      double dEnd)
{
    const auto first = std::lower_bound(times.begin(), times.end(), dStart);
    double dSum = 0, dMin = kNaN, dMax = kNaN;
    size_t nVoiced = 0;
    for (size_t i = size_t(first - times.begin()); i < times.size() && times[i] <= dEnd; ++i) {
        const double v = values[i];
        if (!(v > 0))
            continue;
        dSum += v;
        dMin = nVoiced ? std::min(dMin, v) : v;
        dMax = nVoiced ? std::max(dMax, v) : v;
        ++nVoiced;
    }
    return {nVoiced ? dSum / double(nVoiced) : kNaN, dMin, dMax};
}

double ValueAt(const std::vector<double>& times, const std::vector<double>& values, double dTime, double dStep,
               bool bZeroMissing)
{
    if (times.empty() || dTime < times.front() - dStep / 2 || dTime > times.back() + dStep / 2)
        return kNaN;
    const auto Has = [&](size_t i) { return !bZeroMissing || values[i] > 0; };
    const size_t nAfter = size_t(std::lower_bound(times.begin(), times.end(), dTime) - times.begin());
    if (nAfter < times.size() && times[nAfter] == dTime)
        return Has(nAfter) ? values[nAfter] : kNaN;
    if (nAfter == 0)
        return Has(0) ? values[0] : kNaN;
    if (nAfter == times.size())
        return Has(nAfter - 1) ? values[nAfter - 1] : kNaN;
    const size_t nBefore = nAfter - 1;
    if (Has(nBefore) && Has(nAfter)) {
        const double f = (dTime - times[nBefore]) / (times[nAfter] - times[nBefore]);
        return values[nBefore] + f * (values[nAfter] - values[nBefore]);
    }
    if (Has(nBefore))
        return values[nBefore];
    return Has(nAfter) ? values[nAfter] : kNaN;
}

double EnergyMeanDb(const std::vector<double>& times, const std::vector<double>& db, double dStart, double dEnd,
                    double dStep, double dEndOfSound)
{
    if (!(dEnd > dStart))
        return ValueAt(times, db, dStart, dStep, false);
    const auto first = std::lower_bound(times.begin(), times.end(), dStart - dStep);
    double dEnergy = 0, dWeight = 0;
    for (size_t i = size_t(first - times.begin()); i < times.size() && times[i] - dStep / 2 < dEnd; ++i) {
        const double dLow = std::max({times[i] - dStep / 2, 0.0, dStart});
        const double dHigh = std::min({times[i] + dStep / 2, dEndOfSound, dEnd});
        if (dHigh <= dLow)
            continue;
        dEnergy += (dHigh - dLow) * std::pow(10.0, db[i] / 10);
        dWeight += dHigh - dLow;
    }
    if (dWeight <= 0)
        return kNaN;
    // Frames of no sound at all hold -300 dB; their mean stays there.
    return dEnergy > 0 ? 10 * std::log10(dEnergy / dWeight) : -300.0;
}

} // namespace sonavel::intervals
