#pragma once
// Linear prediction of one windowed frame, weighted by the energy just before
// each sample, and the roots of the predictor polynomial as resonances
// (frequency and bandwidth).
//
// A plain predictor (Burg's, or the autocorrelation method) of a voice above
// about 200 Hz puts F1 on the harmonic nearest to it: the error of the fit is
// dominated by the few harmonics around the peak. Weighting each sample's
// error by the energy of the samples before it stresses the stretch after each
// glottal closure, where the tract rings freely and the source adds little, so
// F1 follows the tract instead of the harmonics.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <complex>

namespace sonavel::formants {

inline constexpr int kMaxOrder = 16; // 2 x the most formants a frame can hold, with room

struct Pole {
    double dHz = 0;
    double dBandwidthHz = 0;
};

// Doubles of scratch WeightedPredictor needs for a frame of n samples.
inline int WeightedScratch(int n, int nOrder)
{
    return 4 * (n + 2 * nOrder);
}

// The predictor of x[0..n-1] (n > nOrder, 1 <= nOrder <= kMaxOrder): a[0] = 1,
// a[1..nOrder] minimising the sum over t of w[t] e[t]^2, e[t] = x[t] + sum
// a[k] x[t-k] (x zero outside the frame, t from 0 to n + nOrder - 1), w[t] the
// sum of x^2 over the nLag samples before t; scratch holds WeightedScratch(n,
// nOrder) doubles. With weightBy (n samples), w[t] sums weightBy^2 instead,
// plus dFloor x nLag x its mean square. False for a frame without energy or
// whose equations do not solve (a is then 1, 0, ...).
bool WeightedPredictor(const double* x, int n, int nOrder, int nLag, double* a, double* scratch,
                       const double* weightBy = nullptr, double dFloor = 0);

// The roots with positive frequency of z^p + a[1] z^(p-1) + ... + a[p], as
// poles at dRate, sorted by frequency. poles holds room for nOrder; returns
// how many were written. A root outside the unit circle is reflected in it
// (the same resonance, stable).
// With roots (nOrder of them), the search starts from those given when
// bFromRoots (a neighbouring frame's, most of them close), else from a
// circle, and leaves the roots found there; the poles are the same either
// way, to far below a float's precision.
int PredictorPoles(const double* a, int nOrder, double dRate, Pole* poles, std::complex<double>* roots = nullptr,
                   bool bFromRoots = false);

} // namespace sonavel::formants
