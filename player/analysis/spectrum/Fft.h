#pragma once
// The in-place radix-2 complex FFT behind the analysis window's frame spectrum.

namespace sonavel::spectrum {

// Forward transform, no scaling, of the 2^log2n points in re/im, in place.
// A log2n outside 1 .. 30 leaves the arrays alone.
void Fft(double* re, double* im, int log2n);

} // namespace sonavel::spectrum
