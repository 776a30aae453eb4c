#include "player/analysis/formants/CSincResampler.h"

#include <cmath>

namespace sonavel::formants {

namespace {
const int kZeroCrossings = 8; // each side, in output samples: -60 dB stop band with the Hann taper
}

void CSincResampler::Init(int nInRate, double dOutRate)
{
    m_dOutRate = dOutRate;
    m_dStep = nInRate / dOutRate;
    m_bCopy = std::fabs(m_dStep - 1) < 1e-12;
    if (m_bCopy) {
        m_nHalf = 0;
        m_nTaps = 1;
        m_table.assign(1, 1.0f);
        return;
    }
    const double r = 1 / m_dStep;
    m_nHalf = static_cast<int>(std::ceil(kZeroCrossings * m_dStep));
    m_nTaps = 2 * m_nHalf + 1;
    m_table.assign(size_t(kPhases + 1) * size_t(m_nTaps), 0.0f);
    for (int ph = 0; ph <= kPhases; ++ph) {
        float* row = &m_table[size_t(ph) * size_t(m_nTaps)];
        for (int j = -m_nHalf; j <= m_nHalf; ++j) {
            const double t = double(ph) / kPhases - j; // output position minus input sample
            const double u = r * t;
            if (std::fabs(u) >= kZeroCrossings)
                continue;
            const double dSinc = u == 0 ? 1 : std::sin(M_PI * u) / (M_PI * u);
            const double dTaper = 0.5 + 0.5 * std::cos(M_PI * u / kZeroCrossings);
            row[j + m_nHalf] = static_cast<float>(r * dSinc * dTaper);
        }
    }
}

void CSincResampler::InputSpan(int64_t k0, int64_t k1, int64_t& nFirst, int64_t& nEnd) const
{
    nFirst = static_cast<int64_t>(std::floor(k0 * m_dStep)) - m_nHalf;
    nEnd = static_cast<int64_t>(std::floor((k1 - 1) * m_dStep)) + m_nHalf + 2;
}

void CSincResampler::Run(const float* pIn, int64_t nFirst, int64_t k0, int64_t k1, double* pOut) const
{
    if (m_bCopy) {
        for (int64_t k = k0; k < k1; ++k)
            pOut[k - k0] = pIn[k - nFirst];
        return;
    }
    for (int64_t k = k0; k < k1; ++k) {
        const double dPos = k * m_dStep;
        int64_t n = static_cast<int64_t>(std::floor(dPos));
        const int ph = static_cast<int>(std::lround((dPos - n) * kPhases));
        const float* row = &m_table[size_t(ph) * size_t(m_nTaps)];
        const float* x = pIn + (n - m_nHalf - nFirst);
        // row[j + half] weighs input n + j.
        float s = 0;
#pragma omp simd reduction(+ : s)
        for (int j = 0; j < m_nTaps; ++j)
            s += row[j] * x[j];
        pOut[k - k0] = s;
    }
}

} // namespace sonavel::formants
