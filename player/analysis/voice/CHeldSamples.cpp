#include "player/analysis/voice/CHeldSamples.h"

#include <algorithm>
#include <cmath>

#include "player/analysis/core/CSampleSource.h"

namespace sonavel::voice {

CHeldSamples::CHeldSamples(const CSampleSource& source, int nCount, int nChunk)
    : m_source(source), m_nCount(nCount), m_nChunk(std::max(nChunk, 1))
{
}

bool CHeldSamples::Hold(int64_t nFirst, int64_t nEnd)
{
    if (nFirst >= m_nFirst && nEnd <= m_nEnd && m_nEnd > m_nFirst)
        return true;
    // Read on beyond the end asked for: walks go forwards, a chunk at a time.
    nEnd = std::max(nEnd, nFirst + m_nChunk);
    m_samples.assign(size_t(nEnd - nFirst), 0.0);
    m_nFirst = nFirst;
    m_nEnd = nEnd;
    const int64_t nFrom = std::max<int64_t>(nFirst, 0), nTo = std::min<int64_t>(nEnd, m_nCount);
    if (nTo <= nFrom)
        return true;
    const int n = int(nTo - nFrom);
    if (m_source.NeedsBuffer() && m_raw.size() < size_t(n))
        m_raw.resize(size_t(n));
    const int16_t* p = m_source.Fetch(int(nFrom), n, m_raw.data());
    if (!p) {
        m_nEnd = m_nFirst; // nothing held
        return false;
    }
    double* pOut = m_samples.data() + (nFrom - nFirst);
    for (int j = 0; j < n; ++j)
        pOut[j] = p[j] / 32768.0;
    return true;
}

void PeakBetweenSamples(double yMinus, double y0, double yPlus, double& dOffset, double& dHeight)
{
    dOffset = 0;
    dHeight = y0;
    const double c = (yMinus + yPlus) / (2 * y0);
    if (y0 > 0 && c > -1 && c < 1) {
        const double w = std::acos(c);
        const double d = std::atan((yPlus - yMinus) / (2 * y0 * std::sin(w))) / w;
        if (std::fabs(d) <= 0.5) {
            dOffset = d;
            dHeight = y0 / std::cos(w * d);
            return;
        }
    }
    const double dCurve = yMinus - 2 * y0 + yPlus;
    if (dCurve < 0) {
        dOffset = std::clamp(0.5 * (yMinus - yPlus) / dCurve, -0.5, 0.5);
        dHeight = y0 - 0.25 * (yMinus - yPlus) * dOffset;
    }
}

} // namespace sonavel::voice
