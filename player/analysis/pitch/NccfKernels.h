#pragma once
// The research tracker's inner loops: the two-box low-pass that decimates a
// stretch of the sound, and the cross-correlation of one frame over a span of
// lags. Each comes in a plain form and, for processors that have it, an AVX2
// form. Both do the same float operations in the same order on every value
// (the vectors run across lags and samples, never inside one sum), so the two
// sets give the same bits.
//
// Functions over the caller's buffers: they own nothing, keep no state, and any
// thread may call them.
#include <cstdint>

namespace sonavel::pitch {

struct CNccfKernels {
    // out[n] = the triangle-weighted sum (weights 1, 2, .., D, .., 2, 1) of
    // x[n D - (D - 1) .. n D + (D - 1)], times fScale, for n < nOut. x is
    // read from index -(D - 1) to (nOut - 1) D + D - 1; box (room for
    // 2 (nOut + 1) D floats) is scratch.
    void (*pfnDecimate)(const float* x, int nOut, int D, float fScale, float* box, float* out);
    // The same from 16-bit samples (converted exactly); box has room for
    // 3 (nOut + 1) D floats.
    void (*pfnDecimate16)(const int16_t* x, int nOut, int D, float fScale, float* box, float* out);
    // r[k] = sum over j < n of x[j] x[j + k0 + k] for k < nLags; r has room
    // for nLags rounded up to 8, and x is read up to index n + k0 + nLags + 7.
    void (*pfnCorrelate)(const float* x, int n, int k0, int nLags, float* r);
    // phi[k] = r[k] / sqrt(e0 e), e = p1[k] - p0[k] (a running sum of
    // squares, the energy of lag k's samples) or 0 if below; phi[k] = 0 where
    // e0 e is 1e-6 or less. k < nLags.
    void (*pfnNormalise)(const float* r, float e0, const double* p0, const double* p1, int nLags, float* phi);
    // Bit k of mask (k from 1 to n - 2; 32 bits a word, room for n) is set
    // where phi[k] is a peak of at least fFloor: phi[k] >= fFloor,
    // phi[k] > phi[k - 1] and phi[k] >= phi[k + 1].
    void (*pfnPeaks)(const float* phi, int n, float fFloor, uint32_t* mask);
};

// The set in use: AVX2 where the AMDF's kernels are AVX2 (where the processor
// has it, unless UsePitchKernels asked for a narrower set).
const CNccfKernels& NccfKernels();

} // namespace sonavel::pitch
