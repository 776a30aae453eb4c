#pragma once
// The research tracker's inner loops: the two-box low-pass that decimates a
// stretch of the sound, and the normalised cross-correlation of one frame over
// a span of lags. Each comes in a plain form and, for processors that have it,
// an AVX2 form. Both forms do the same float operations in the same order on
// every value (the vectors run across lags and samples, never inside one
// sum), so the two sets give the same bits.
#include <cstdint>

namespace sonavel::pitch {

struct CNccfKernels {
    // out[n] = the triangle-weighted sum (weights 1, 2, .., D, .., 2, 1) of
    // x[n D - (D - 1) .. n D + (D - 1)], times fScale, for n < nOut. x is
    // read from index -(D - 1) to (nOut - 1) D + D - 1; box (room for nOut D +
    // D floats) is scratch.
    void (*pfnDecimate)(const float* x, int nOut, int D, float fScale, float* box, float* out);
    // r[k] = sum over j < n of x[j] x[j + k0 + k], and e[k] = sum over j < n
    // of x[j + k0 + k]^2, for k < nLags. r and e have room for nLags rounded
    // up to 8; x is read up to index n + k0 + nLags + 7.
    void (*pfnCorrelate)(const float* x, int n, int k0, int nLags, float* r, float* e);
};

// The set in use: AVX2 where the processor has it.
const CNccfKernels& NccfKernels();
// The plain set, for checks that compare the two.
const CNccfKernels& PlainNccfKernels();

} // namespace sonavel::pitch
