#pragma once
// The cepstral peak's loops over a frame's bins, built plainly and for AVX2
// (the set chosen once by what the processor can do; both give the same
// numbers), a branch-free median for its trend fits and the weights of its
// moving means.
//
// Functions over the caller's buffers: they own nothing and keep no state, so
// any thread may call them.
#include <cmath>
#include <cstddef>
#include <vector>

namespace sonavel::voice {

inline constexpr int kDotLanes = 8; // the resampler's rows padded to a multiple of this, summed in as many lanes
inline constexpr double kLeastPower = 1e-300;
inline constexpr double kDbPerNeper = 10 / M_LN10;

struct BinLoops {
    void (*pfnLn)(const double*, double, double, double*, int);
    void (*pfnAbove)(const double*, const double*, double, double, double*, int);
    void (*pfnAdd)(double*, const double*, double, int);
    void (*pfnKernel)(const double*, const double*, int, double*, int);
    float (*pfnDot)(const float*, const float*, int);
};

// The set for this processor.
const BinLoops& Loops();

// The median of v[0 .. n) (the mean of the middle two for even n); v is reordered.
double Median(double* v, size_t n);

// Weights of a moving mean dWidth long over values joined by straight lines,
// for the value at i of n: the integral of each value's hat over the window
// [i - w/2, i + w/2] clipped to [dLow, dHigh], over the clipped length.
// Indices outside 0 .. n-1 stand for the nearest value.
struct Tap {
    int nIndex;
    double dWeight;
};
std::vector<Tap> SmoothingTaps(int i, int n, double dWidth, double dLow, double dHigh);

} // namespace sonavel::voice
