#include "player/analysis/spectrum/Fft.h"

#include <cmath>

namespace sonavel::spectrum {

namespace {

// Kept as this literal rather than taken from the library, so every build
// computes the same twiddles.
const double kPi = 3.1415926535898;

} // namespace

void Fft(double* re, double* im, int log2n)
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

} // namespace sonavel::spectrum
