#include "player/analysis/pitch/CSignalMath.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

// The stored constants the transform and the window use. They are kept as
// these literals rather than taken from the library, so every build computes
// the same twiddles and windows.
const double kPi = 3.1415926535898;
const double kTwoPi = 6.2831853071796;
const double kSixth = 0.16666666666666666;
const double kHamming0 = 0.54;
const double kHamming1 = 0.46;
const double kDecibel = 10.0;
const double kNaturalEndAbove = 9.9e29;
const double kNaturalEndSlope = 1e30;

// Working arrays of one CSignalMath: transforms of up to 4096 points.
const int kFftCapacity = 4106;

// The frame routine's knot arrays are indexed from 1, so 549 spectrum bins fit.
const int kKnotCapacity = 550;

} // namespace

CSignalMath::~CSignalMath() = default;

void CSignalMath::Fft(double* re, double* im, int log2n)
{
    if (log2n <= 0 || log2n > 30)
        return;
    const int n = 1 << log2n;

    // Bit-reversal permutation of both arrays together.
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) {
            double t = re[i];
            re[i] = re[j];
            re[j] = t;
            t = im[i];
            im[i] = im[j];
            im[j] = t;
        }
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }

    // Butterflies. One sine and one cosine per stage; the twiddles within a
    // stage come from rotating by the stage's step factor.
    for (int stage = 1; stage <= log2n; ++stage) {
        const int span = 1 << stage;
        const int half = span / 2;
        const double theta = kPi / half;
        const double c = std::cos(theta);
        const double s = -std::sin(theta);
        double wr = 1.0, wi = 0.0;
        for (int jj = 0; jj < half; ++jj) {
            for (int i = jj; i < n; i += span) {
                const int ip = i + half;
                const double tr = wr * re[ip] - wi * im[ip];
                const double ti = wr * im[ip] + wi * re[ip];
                re[ip] = re[i] - tr;
                im[ip] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
            const double wrNext = wr * c - wi * s;
            wi = wi * c + wr * s;
            wr = wrNext;
        }
    }
}

bool CSignalMath::SplineSetup(const double* x, const double* y, int n, double slope1,
                              double slopeN, double* d2)
{
    if (n < 1)
        return true;
    if (n == 1) {
        // One knot has no interval to bend: the spline is that constant.
        d2[1] = 0.0;
        return true;
    }
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

int CSignalMath::SplineEvaluate(const double* x, const double* y, const double* d2, int n,
                                double at, double* out)
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

int CSignalMath::FrameSpectrum(double* frame, int length, double preemphasis, int points,
                               int topFrequency, int sampleRate)
{
    // The knot arrays bound the frame at 2 * 549 samples; a rate or top of 0
    // would make the grid step meaningless.
    if (length < 1 || length / 2 > kKnotCapacity - 1 || points < 0 || topFrequency <= 0
        || sampleRate <= 0)
        return 1;

    if (!m_pFftWork) {
        m_pFftWork.reset(new (std::nothrow) double[3 * kFftCapacity]);
        if (!m_pFftWork)
            return 1;
    }
    double* pReal = m_pFftWork.get();
    double* pImag = pReal + kFftCapacity;
    double* pWindow = pImag + kFftCapacity;

    int order = 1, size = 2;
    while (size < length) {
        size *= 2;
        ++order;
    }

    const double step = kTwoPi / length;
    for (int i = 0; i < length; ++i)
        pWindow[i] = kHamming0 - kHamming1 * std::cos(i * step);
    for (int i = 0; i < length; ++i) {
        pReal[i] = (frame[i + 1] - preemphasis * frame[i]) * pWindow[i];
        pImag[i] = 0.0;
    }
    // A length that is not a power of two is padded with zeros, not with
    // whatever the previous frame left behind.
    for (int i = length; i < size; ++i)
        pReal[i] = pImag[i] = 0.0;

    Fft(pReal, pImag, order);

    const int bins = length / 2;
    for (int i = 0; i < bins; ++i) {
        const double power = pReal[i] * pReal[i] + pImag[i] * pImag[i];
        frame[i] = power != 0.0 ? kDecibel * std::log10(power) : 0.0;
    }

    double x[kKnotCapacity], y[kKnotCapacity], d2[kKnotCapacity];
    for (int k = 1; k <= bins; ++k) {
        x[k] = k - 1;
        y[k] = frame[k - 1];
    }
    // Should the spline's scratch array be refused, the second derivatives stay
    // 0 and the grid is filled by straight lines between the bins.
    std::memset(d2, 0, sizeof d2);
    const bool bSpline = SplineSetup(x, y, bins, kNaturalEndSlope, kNaturalEndSlope, d2);

    const double gridStep = (topFrequency / (sampleRate * 0.5)) * (length * 0.5) / points;
    for (int i = 0; i < points; ++i) {
        double v = 0.0;
        if (SplineEvaluate(x, y, d2, bins, i * gridStep, &v) != 0)
            v = bins >= 1 ? y[1] : 0.0;
        frame[i] = v;
    }
    return bSpline ? 0 : kSplineRefused;
}
