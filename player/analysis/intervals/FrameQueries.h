#pragma once
// Questions asked of frames on one time grid (frame i at times[i], a step
// apart): a value at a time, the voiced frames inside a span, an energy mean.
// A missing value is NaN in what these answer.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <vector>

namespace sonavel::intervals {

// Mean, lowest and highest of the values above 0 of the frames whose time
// lies in [dStart, dEnd]; NaN for each when there is none.
struct SpanStats {
    double dMean, dMin, dMax;
};
SpanStats VoicedStats(const std::vector<double>& times, const std::vector<double>& values, double dStart,
                      double dEnd);

// The value at dTime, linear between the two frames around it; where one of
// them holds no value (0 or below when bZeroMissing), the other's; NaN when
// neither does, or dTime lies outside the frames by more than half a step.
double ValueAt(const std::vector<double>& times, const std::vector<double>& values, double dTime, double dStep,
               bool bZeroMissing);

// The energy mean of dB values over [dStart, dEnd]: each frame stands for the
// step around its time (within [0, dEndOfSound]) and weighs by how much of it
// the span covers; a span of no length takes the value at its time. NaN when
// the span covers no frame.
double EnergyMeanDb(const std::vector<double>& times, const std::vector<double>& db, double dStart, double dEnd,
                    double dStep, double dEndOfSound);

} // namespace sonavel::intervals
