#include "player/analysis/formants/LinearPrediction.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace sonavel::formants {

bool WeightedPredictor(const double* x, int n, int nOrder, int nLag, double* a, double* scratch,
                       const double* weightBy, double dFloor)
{
    const int p = nOrder, nRows = n + p;
    a[0] = 1;
    for (int k = 1; k <= p; ++k)
        a[k] = 0;
    // xe holds x with p zeros either side: x[t - k] is xe[t - k + p].
    double* xe = scratch;
    double* w = xe + n + 2 * p;
    double* v = w + nRows;
    double dEnergy = 0;
    for (int j = 0; j < p; ++j)
        xe[j] = xe[n + p + j] = 0;
    for (int t = 0; t < n; ++t) {
        xe[t + p] = x[t];
        dEnergy += x[t] * x[t];
    }
    if (!(dEnergy > 0))
        return false;
    // The energy of the nLag samples before each t, as a running sum (never
    // below 0, whatever the rounding of its subtractions).
    const double* wx = weightBy ? weightBy : x;
    double dBase = 0;
    if (weightBy && dFloor > 0) {
        for (int t = 0; t < n; ++t)
            dBase += wx[t] * wx[t];
        dBase *= dFloor * nLag / n;
    }
    double dRun = 0;
    for (int t = 0; t < nRows; ++t) {
        w[t] = std::max(dRun, 0.0) + dBase;
        const double dIn = t < n ? wx[t] : 0, dOut = t - nLag >= 0 && t - nLag < n ? wx[t - nLag] : 0;
        dRun += dIn * dIn - dOut * dOut;
    }
    // The weighted covariances c[i][k] = sum over t of w[t] x[t-i] x[t-k],
    // two rows and four columns at once: each load serves several of the
    // eight independent sums (this loop is most of the formants' time).
    double c[kMaxOrder + 1][kMaxOrder + 1];
    double* v2 = v + nRows;
    for (int i = 0; i <= p; i += 2) {
        const double* xi = xe + p - i;
        const bool bPair = i < p;
#pragma omp simd
        for (int t = 0; t < nRows; ++t)
            v[t] = w[t] * xi[t];
        if (bPair) {
#pragma omp simd
            for (int t = 0; t < nRows; ++t)
                v2[t] = w[t] * xi[t - 1];
        }
        double dDiag = 0;
#pragma omp simd reduction(+ : dDiag)
        for (int t = 0; t < nRows; ++t)
            dDiag += v[t] * xi[t];
        c[i][i] = dDiag;
        if (!bPair)
            break;
        int k = i + 1;
        for (; k + 3 <= p; k += 4) {
            const double* x0 = xe + p - k;
            const double* x1 = x0 - 1;
            const double* x2 = x0 - 2;
            const double* x3 = x0 - 3;
            double s0 = 0, s1 = 0, s2 = 0, s3 = 0, r0 = 0, r1 = 0, r2 = 0, r3 = 0;
#pragma omp simd reduction(+ : s0, s1, s2, s3, r0, r1, r2, r3)
            for (int t = 0; t < nRows; ++t) {
                s0 += v[t] * x0[t];
                s1 += v[t] * x1[t];
                s2 += v[t] * x2[t];
                s3 += v[t] * x3[t];
                r0 += v2[t] * x0[t];
                r1 += v2[t] * x1[t];
                r2 += v2[t] * x2[t];
                r3 += v2[t] * x3[t];
            }
            const double s[4] = {s0, s1, s2, s3}, r[4] = {r0, r1, r2, r3};
            for (int q = 0; q < 4; ++q) {
                c[i][k + q] = c[k + q][i] = s[q];
                c[i + 1][k + q] = c[k + q][i + 1] = r[q];
            }
        }
        for (; k <= p; ++k) {
            const double* xk = xe + p - k;
            double s0 = 0, r0 = 0;
#pragma omp simd reduction(+ : s0, r0)
            for (int t = 0; t < nRows; ++t) {
                s0 += v[t] * xk[t];
                r0 += v2[t] * xk[t];
            }
            c[i][k] = c[k][i] = s0;
            c[i + 1][k] = c[k][i + 1] = r0;
        }
    }
    // c[1..p][1..p] a = -c[1..p][0] by Cholesky's factors, with a ridge of
    // 1e-9 of the mean diagonal so that a frame of one pure tone still solves.
    double dTrace = 0;
    for (int i = 1; i <= p; ++i)
        dTrace += c[i][i];
    const double dRidge = 1e-9 * dTrace / p;
    double l[kMaxOrder][kMaxOrder], y[kMaxOrder];
    for (int i = 0; i < p; ++i) {
        for (int j = 0; j <= i; ++j) {
            double dSum = c[i + 1][j + 1] + (i == j ? dRidge : 0);
            for (int k = 0; k < j; ++k)
                dSum -= l[i][k] * l[j][k];
            if (i == j) {
                if (!(dSum > 0))
                    return false;
                l[i][i] = std::sqrt(dSum);
            } else {
                l[i][j] = dSum / l[j][j];
            }
        }
    }
    for (int i = 0; i < p; ++i) {
        double dSum = -c[i + 1][0];
        for (int k = 0; k < i; ++k)
            dSum -= l[i][k] * y[k];
        y[i] = dSum / l[i][i];
    }
    for (int i = p - 1; i >= 0; --i) {
        double dSum = y[i];
        for (int k = i + 1; k < p; ++k)
            dSum -= l[k][i] * a[k + 1];
        a[i + 1] = dSum / l[i][i];
    }
    for (int k = 1; k <= p; ++k)
        if (!std::isfinite(a[k])) {
            std::fill(a + 1, a + p + 1, 0.0);
            return false;
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

int PredictorPoles(const double* a, int nOrder, double dRate, Pole* poles, Complex* roots, bool bFromRoots)
{
    if (nOrder < 1)
        return 0;
    // Aberth's simultaneous iteration: every root at once, from points on a
    // circle just inside the unit circle (where a speech predictor's roots lie),
    // turned off the real axis so that no two start as conjugates; or from the
    // roots given, each nudged off its conjugate for the same reason.
    Complex z[kMaxOrder];
    for (int k = 0; k < nOrder; ++k)
        z[k] = bFromRoots && roots && std::isfinite(roots[k].real()) && std::isfinite(roots[k].imag())
                   ? roots[k] * std::polar(1.0, 1e-3 * (k + 1))
                   : std::polar(0.9, (2 * M_PI * k + 0.7) / nOrder);
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
    if (roots)
        std::copy(z, z + nOrder, roots);
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
