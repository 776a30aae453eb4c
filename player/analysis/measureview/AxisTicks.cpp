#include "player/analysis/measureview/AxisTicks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sonavel::axes {

namespace {

int DecimalsFor(double dResolution)
{
    if (!(dResolution > 0) || dResolution >= 1)
        return 0;
    return std::min(9, static_cast<int>(std::ceil(-std::log10(dResolution) - 1e-9)));
}

// The n-th step of 1, 2, 5, 10, 20, ... times 10^nFirstExponent.
double NiceStep(int n, int nFirstExponent)
{
    static const double kMantissa[] = {1, 2, 5};
    const int nExp = nFirstExponent + (n >= 0 ? n / 3 : -((-n + 2) / 3));
    const int nIndex = ((n % 3) + 3) % 3;
    return kMantissa[nIndex] * std::pow(10.0, nExp);
}

std::vector<Tick> TicksAt(double dLow, double dHigh, double dStep)
{
    std::vector<Tick> ticks;
    const double dFirst = std::ceil(dLow / dStep - 1e-9);
    const double dLast = std::floor(dHigh / dStep + 1e-9);
    for (double i = dFirst; i <= dLast; ++i) {
        const double v = i * dStep;
        ticks.push_back({v, FormatDecimal(v, dStep)});
    }
    return ticks;
}

// The smallest nice step whose ticks are at least fnMinSpacing(step) pixels apart.
template <class F>
double ChooseStep(double dLow, double dHigh, double dPixels, F fnMinSpacing)
{
    const double dRange = dHigh - dLow;
    if (!(dRange > 0) || !(dPixels > 0))
        return 0;
    // Start a little below the step one pixel apart would take.
    const int nFirstExponent = static_cast<int>(std::floor(std::log10(dRange / dPixels))) - 1;
    for (int n = 0; n < 60; ++n) {
        const double dStep = NiceStep(n, nFirstExponent);
        if (dStep * dPixels / dRange >= fnMinSpacing(dStep))
            return dStep;
    }
    return 0;
}

} // namespace

std::string FormatDecimal(double dValue, double dResolution)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, "%.*f", DecimalsFor(dResolution), dValue);
    std::string s(sz);
    // -0.000 reads as a value below zero.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::vector<Tick> TimeTicks(double dStart, double dEnd, double dPixels, double dDigitPx)
{
    const double dStep = ChooseStep(dStart, dEnd, dPixels, [&](double dStep) {
        const size_t nChars = std::max(FormatDecimal(dStart, dStep).size(), FormatDecimal(dEnd, dStep).size());
        // Short labels still keep ten digits apart, or a long axis turns into a ruler.
        return std::max(static_cast<double>(nChars) + 4, 10.0) * dDigitPx;
    });
    return dStep > 0 ? TicksAt(dStart, dEnd, dStep) : std::vector<Tick>();
}

std::vector<Tick> LinearTicks(double dLow, double dHigh, double dPixels, double dMinSpacingPx)
{
    const double dStep = ChooseStep(dLow, dHigh, dPixels, [&](double) { return dMinSpacingPx; });
    return dStep > 0 ? TicksAt(dLow, dHigh, dStep) : std::vector<Tick>();
}

double TickStep(const std::vector<Tick>& ticks)
{
    return ticks.size() >= 2 ? ticks[1].dValue - ticks[0].dValue : 0;
}

} // namespace sonavel::axes
