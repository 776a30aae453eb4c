#pragma once
// The one radix-2 complex FFT of both spectrograms: the analysis window's frame
// spectrum calls Fft, the measuring view's columns (CRealFft) call the same
// butterflies with their own tables of twiddles.
//
// Works in place on the caller's arrays and keeps no state; any thread.

#include <vector>

namespace sonavel::spectrum {

// Where each of n points (a power of 2) goes in bit-reversed order: the
// shuffle before the butterflies of a transform of n points.
std::vector<int> BitReversal(int n);

// Forward transform, no scaling, of the 2^log2n points in re/im, in place.
// A log2n outside 1 .. 30 leaves the arrays alone. Its twiddles come from
// rotating by each stage's step factor, as they always have, so its values
// never change.
void Fft(double* re, double* im, int log2n);

// The butterflies of every stage over the 2^log2n points in re/im, which are
// in bit-reversed order already. fnStage(stage) gives the stage's twiddle
// cursor (stage 1 .. log2n, butterflies half = 2^(stage-1) apart): its Start()
// comes before each group of butterflies, and At(j, wr, wi) gives
// e^(-i pi j / half), asked for j = 0, 1, ... in turn within the group.
template <class StageFn>
inline void Butterflies(double* re, double* im, int log2n, StageFn fnStage)
{
    const int n = 1 << log2n;
    for (int stage = 1; stage <= log2n; ++stage) {
        const int span = 1 << stage;
        const int half = span / 2;
        auto cursor = fnStage(stage);
        for (int i = 0; i < n; i += span) {
            cursor.Start();
            for (int j = 0; j < half; ++j) {
                double wr, wi;
                cursor.At(j, wr, wi);
                const int a = i + j, b = a + half;
                const double tr = wr * re[b] - wi * im[b];
                const double ti = wr * im[b] + wi * re[b];
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

} // namespace sonavel::spectrum
