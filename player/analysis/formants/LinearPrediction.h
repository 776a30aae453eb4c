#pragma once
// Linear prediction of one windowed frame by Burg's method, and the roots of
// the predictor polynomial as resonances (frequency and bandwidth).
namespace sonavel::formants {

inline constexpr int kMaxOrder = 16; // 2 x the most formants a frame can hold, with room

struct Pole {
    double dHz = 0;
    double dBandwidthHz = 0;
};

// The predictor of x[0..n-1] (n > nOrder, nOrder <= kMaxOrder): a[0] = 1,
// a[1..nOrder] such that x[t] + sum a[k] x[t-k] is the prediction error.
// scratch holds 2 n doubles. False for a frame without energy (a is then 1, 0, ...).
bool BurgPredictor(const double* x, int n, int nOrder, double* a, double* scratch);

// The roots with positive frequency of z^p + a[1] z^(p-1) + ... + a[p], as
// poles at dRate, sorted by frequency. poles holds room for nOrder; returns
// how many were written. A root outside the unit circle is reflected in it
// (the same resonance, stable).
int PredictorPoles(const double* a, int nOrder, double dRate, Pole* poles);

} // namespace sonavel::formants
