#include "player/analysis/spectrum/Spline.h"

#include <cstddef>

#include "player/audio/CSampleBlock.h"

namespace sonavel::spectrum {

namespace {

const double kSixth = 0.16666666666666666;

} // namespace

bool SplineSetup(const double* x, const double* y, int n, double slope1, double slopeN, double* d2)
{
    if (n < 1)
        return true;
    if (n == 1) {
        // One knot has no interval to bend: the spline is that constant.
        d2[1] = 0.0;
        return true;
    }
    // The scratch comes from the sample blocks, whose allocation limit lets a
    // test provoke the math error.
    CSampleBlockHandle hScratch = CSampleBlock::Alloc(sizeof(double) * (static_cast<size_t>(n) + 1));
    if (!hScratch)
        return false;
    CSampleLock lock(hScratch);
    double* u = static_cast<double*>(lock.Data());

    if (slope1 > kNaturalEndAbove) {
        d2[1] = u[1] = 0.0;
    } else {
        d2[1] = -0.5;
        u[1] = (3.0 / (x[2] - x[1])) * ((y[2] - y[1]) / (x[2] - x[1]) - slope1);
    }
    for (int i = 2; i <= n - 1; ++i) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * d2[i - 1] + 2.0;
        d2[i] = (sig - 1.0) / p;
        u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    double qn, un;
    if (slopeN > kNaturalEndAbove) {
        qn = un = 0.0;
    } else {
        qn = 0.5;
        un = (3.0 / (x[n] - x[n - 1])) * (slopeN - (y[n] - y[n - 1]) / (x[n] - x[n - 1]));
    }
    d2[n] = (un - qn * u[n - 1]) / (qn * d2[n - 1] + 1.0);
    for (int k = n - 1; k >= 1; --k)
        d2[k] = d2[k] * d2[k + 1] + u[k];
    return true;
}

int SplineEvaluate(const double* x, const double* y, const double* d2, int n, double at, double* out)
{
    if (n < 1)
        return 1;
    // Bisection written so that it compiles to conditional moves: the window
    // evaluates a few hundred points per column and mispredicted branches were
    // most of their cost.
    int lo = 1, hi = n;
    while (hi - lo > 1) {
        const int k = (hi + lo) / 2;
        const bool bAbove = x[k] > at;
        hi = bAbove ? k : hi;
        lo = bAbove ? lo : k;
    }
    const double h = x[hi] - x[lo];
    if (h == 0.0)
        return 1;
    const double a = (x[hi] - at) / h;
    const double b = (at - x[lo]) / h;
    *out = b * y[hi] + a * y[lo]
        + ((a * a * a - a) * d2[lo] + (b * b * b - b) * d2[hi]) * (h * h) * kSixth;
    return 0;
}

} // namespace sonavel::spectrum
