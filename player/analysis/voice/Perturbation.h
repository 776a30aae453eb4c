#pragma once
// Jitter and shimmer by their usual definitions, from periods and amplitudes
// alone, so any caller with a pulse train (ours, or one read from elsewhere)
// gets the same numbers.
//
// periods[i] is the time from pulse i to pulse i + 1 in seconds; amplitudes[i]
// the amplitude of the cycle that period holds. A period outside the limits
// (the gap across a voice break, a cycle too short to be one) is no period: it
// takes part in nothing and parts the runs on either side of it. Two
// neighbouring periods whose lengths differ by more than the period factor, or
// (for shimmer) whose amplitudes differ by more than the amplitude factor, are
// not compared; a measure over 3, 5 or 11 periods takes only runs whose every
// neighbouring pair may be compared.
//
//   jitter local      mean |T[i] - T[i-1]| / mean T            (percent)
//   jitter local abs  mean |T[i] - T[i-1]|                      (microseconds)
//   jitter rap        mean |T[i] - mean(T[i-1..i+1])| / mean T  (percent)
//   jitter ppq5       mean |T[i] - mean(T[i-2..i+2])| / mean T  (percent)
//   jitter ddp        mean |T[i+1] - 2 T[i] + T[i-1]| / mean T  (percent, 3 x rap)
//   shimmer local, apq3, apq5, apq11, dda: the same over the amplitudes A
//                     (apq11 over 11 periods)
//   shimmer local dB  mean |20 log10(A[i] / A[i-1])|
// mean T and mean A are over every period that takes part in the measure.
// A measure with nothing to compare is not available (no value).
//
// The measures are values the caller owns; the functions keep no state, so any
// thread may call them.
#include <optional>
#include <vector>

namespace sonavel::voice {

struct PerturbationLimits {
    double dShortestPeriodS = 0.0001;
    double dLongestPeriodS = 0.02;
    double dMaxPeriodFactor = 1.3;
    double dMaxAmplitudeFactor = 1.6;
};

struct JitterValues {
    std::optional<double> dLocalPct, dLocalAbsUs, dRapPct, dPpq5Pct, dDdpPct;
};

struct ShimmerValues {
    std::optional<double> dLocalPct, dLocalDb, dApq3Pct, dApq5Pct, dApq11Pct, dDdaPct;
};

// The periods that are periods under the limits.
int CountPeriods(const std::vector<double>& periods, const PerturbationLimits& limits);

JitterValues MeasureJitter(const std::vector<double>& periods, const PerturbationLimits& limits);

// amplitudes holds one value per period (> 0; a period without one is no period).
ShimmerValues MeasureShimmer(const std::vector<double>& periods, const std::vector<double>& amplitudes,
                             const PerturbationLimits& limits);

} // namespace sonavel::voice
