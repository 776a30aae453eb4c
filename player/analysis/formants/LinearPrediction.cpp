#include "player/analysis/formants/LinearPrediction.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace sonavel::formants {

bool BurgPredictor(const double* x, int n, int nOrder, double* a, double* scratch)
{
    double* f = scratch;
    double* b = scratch + n;
    double dEnergy = 0;
    for (int i = 0; i < n; ++i) {
        f[i] = b[i] = x[i];
        dEnergy += x[i] * x[i];
    }
    a[0] = 1;
    for (int k = 1; k <= nOrder; ++k)
        a[k] = 0;
    if (!(dEnergy > 0))
        return false;
    // The forward and backward errors are updated in place: f holds the forward
    // error of samples k+1.., b the backward error of samples ..n-k-2.
    double d = 2 * dEnergy - x[0] * x[0] - x[n - 1] * x[n - 1];
    for (int k = 0; k < nOrder; ++k) {
        const int m = n - k - 1;
        double dNum = 0;
#pragma omp simd reduction(+ : dNum)
        for (int i = 0; i < m; ++i)
            dNum += f[i + k + 1] * b[i];
        if (!(d > 0))
            break;
        const double mu = -2 * dNum / d;
        for (int i = 0; i <= (k + 1) / 2; ++i) {
            const double t1 = a[i] + mu * a[k + 1 - i];
            const double t2 = a[k + 1 - i] + mu * a[i];
            a[i] = t1;
            a[k + 1 - i] = t2;
        }
#pragma omp simd
        for (int i = 0; i < m; ++i) {
            const double t1 = f[i + k + 1] + mu * b[i];
            const double t2 = b[i] + mu * f[i + k + 1];
            f[i + k + 1] = t1;
            b[i] = t2;
        }
        d = (1 - mu * mu) * d - f[k + 1] * f[k + 1] - b[m - 1] * b[m - 1];
    }
    return true;
}

namespace {

using Complex = std::complex<double>;

// p(z) and p'(z) by Horner, coefficients c[0] = 1 .. c[p].
void Evaluate(const double* c, int p, Complex z, Complex& v, Complex& dv)
{
    v = c[0];
    dv = 0;
    for (int k = 1; k <= p; ++k) {
        dv = dv * z + v;
        v = v * z + c[k];
    }
}

} // namespace

int PredictorPoles(const double* a, int nOrder, double dRate, Pole* poles)
{
    if (nOrder < 1)
        return 0;
    // Aberth's simultaneous iteration: every root at once, from points on a
    // circle just inside the unit circle (where a speech predictor's roots lie),
    // turned off the real axis so that no two start as conjugates.
    Complex z[kMaxOrder];
    for (int k = 0; k < nOrder; ++k)
        z[k] = std::polar(0.9, (2 * M_PI * k + 0.7) / nOrder);
    // A root whose step fell below 1e-11 holds still from then on (it still
    // repels the others): most settle long before the last.
    bool bSettled[kMaxOrder] = {};
    int nMoving = nOrder;
    for (int nIter = 0; nIter < 80 && nMoving > 0; ++nIter) {
        for (int k = 0; k < nOrder; ++k) {
            if (bSettled[k])
                continue;
            Complex v, dv;
            Evaluate(a, nOrder, z[k], v, dv);
            Complex step = 0;
            if (v != Complex(0)) {
                const Complex w = v / dv;
                Complex s = 0;
                for (int j = 0; j < nOrder; ++j)
                    if (j != k && z[j] != z[k])
                        s += 1.0 / (z[k] - z[j]);
                step = w / (1.0 - w * s);
            }
            if (!std::isfinite(step.real()) || !std::isfinite(step.imag()))
                continue;
            z[k] -= step;
            if (std::norm(step) < 1e-22) {
                bSettled[k] = true;
                --nMoving;
            }
        }
    }
    int nPoles = 0;
    for (int k = 0; k < nOrder; ++k) {
        Complex r = z[k];
        double dRadius = std::abs(r);
        if (!(dRadius > 0) || r.imag() <= 0)
            continue;
        if (dRadius > 1)
            dRadius = 1 / dRadius;
        poles[nPoles].dHz = std::arg(r) * dRate / (2 * M_PI);
        poles[nPoles].dBandwidthHz = -std::log(dRadius) * dRate / M_PI;
        ++nPoles;
    }
    std::sort(poles, poles + nPoles, [](const Pole& p, const Pole& q) { return p.dHz < q.dHz; });
    return nPoles;
}

} // namespace sonavel::formants
