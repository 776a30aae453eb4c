#pragma once
// The cubic spline that carries the frame spectrum's bins onto the analysis
// window's frequency grid. Arrays are indexed from 1, index 0 unused.
//
// Works on the caller's arrays and keeps no state; any thread (the scratch block is
// allocated per call).

namespace sonavel::spectrum {

// An end slope above this gives a natural end (no imposed first derivative).
inline constexpr double kNaturalEndAbove = 9.9e29;

// Second derivatives d2[1..n] of the cubic spline through x[1..n], y[1..n]
// (x strictly increasing). An end slope above kNaturalEndAbove gives a natural
// end, otherwise that first derivative is imposed there. False, with d2
// unwritten, when its scratch array cannot be had: the caller shows the math
// error.
bool SplineSetup(const double* x, const double* y, int n, double slope1, double slopeN, double* d2);

// The spline at abscissa at (outside the knots the end interval's cubic is
// extrapolated). Returns 0 and writes *out, or 1 when the bracketing knots
// coincide (then *out is untouched).
int SplineEvaluate(const double* x, const double* y, const double* d2, int n, double at, double* out);

} // namespace sonavel::spectrum
