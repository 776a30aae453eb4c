#pragma once
// The power spectrum of a block of real values, for the cepstrum's two
// transforms a frame (600 000 frames in 20 minutes of sound): the even and odd
// values packed as complex pairs, radix-2 stages whose twiddles lie in one
// table stage after stage, so each stage's inner loop runs over neighbouring
// values and vectorises (with AVX2 where the processor has it: the
// butterflies are the same operations on each value, so either way gives the
// same numbers), then the split into the real signal's bins. One thread at a
// time per object.
#include <vector>

namespace sonavel::voice {

class CCepstrumFft {
public:
    // nSize: a power of two, at least 8.
    explicit CCepstrumFft(int nSize);

    int Size() const { return m_nSize; }

    // |X[k]|^2 for k = 0 .. Size()/2 of the Size() real values in x (no scaling).
    void Power(const double* x, double* pPower);

private:
    int m_nSize, m_nHalf;
    std::vector<int> m_bitReverse;              // over the half-size transform
    std::vector<double> m_twRe, m_twIm;         // stage with butterflies h apart: [h + j] = e^(-i pi j / h)
    std::vector<double> m_splitCos, m_splitSin; // e^(-2 pi i k / size), k <= half
    std::vector<double> m_re, m_im;
};

} // namespace sonavel::voice
