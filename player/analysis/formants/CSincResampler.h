#pragma once
// Lowers a sound's rate by a windowed-sinc low-pass (cut at the new half
// rate) read from a table of phases. Output sample k lies at input position
// k * inRate / outRate on the whole sound's time line, so a stretch made
// alone equals the same stretch of the whole: blocks and threads never
// change a value.
#include <cstdint>
#include <vector>

namespace sonavel::formants {

class CSincResampler {
public:
    // nInRate >= dOutRate > 0; the same rates give a plain copy.
    void Init(int nInRate, double dOutRate);
    double OutRate() const { return m_dOutRate; }

    // The input samples [nFirst, nEnd) that outputs [k0, k1) read.
    void InputSpan(int64_t k0, int64_t k1, int64_t& nFirst, int64_t& nEnd) const;
    // Outputs k0 .. k1-1 into pOut from pIn, which holds the input samples
    // from nFirst on (as InputSpan gave them; zeros outside the sound).
    void Run(const float* pIn, int64_t nFirst, int64_t k0, int64_t k1, double* pOut) const;

private:
    static constexpr int kPhases = 512;
    double m_dOutRate = 0;
    double m_dStep = 1;  // input samples per output sample
    int m_nHalf = 0;     // taps each side of the centre
    int m_nTaps = 1;
    bool m_bCopy = true;
    std::vector<float> m_table; // kPhases + 1 rows of m_nTaps
};

} // namespace sonavel::formants
