#pragma once
// Where an axis puts its ticks and what their labels say: steps of 1, 2 or 5
// times a power of ten, the smallest whose labels do not crowd each other at
// the axis' length in pixels. Plain C++: the font's size comes in as numbers.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>
#include <vector>

namespace sonavel::axes {

struct Tick {
    double dValue;
    std::string strLabel;
};

// Seconds from dStart to dEnd over dPixels, labels as decimals with as many
// places as the step needs. A label is taken as dDigitPx per character; two
// labels keep at least four digits' width between them, and ticks are at
// least ten digits apart.
std::vector<Tick> TimeTicks(double dStart, double dEnd, double dPixels, double dDigitPx);

// Any linear scale whose labels need dMinSpacingPx between ticks (a vertical
// axis: a line of text and a little air).
std::vector<Tick> LinearTicks(double dLow, double dHigh, double dPixels, double dMinSpacingPx);

// The step TimeTicks or LinearTicks chose (0 when none): the spacing of ticks.
double TickStep(const std::vector<Tick>& ticks);

// t with the decimals needed for a resolution of dResolution seconds.
std::string FormatDecimal(double dValue, double dResolution);

} // namespace sonavel::axes
