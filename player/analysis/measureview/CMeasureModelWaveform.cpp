// The measuring view's waveform axis: the sound's peak, the loudest sample
// shown, and whether the axis is fitted to it.
#include "player/analysis/measureview/CMeasureModel.h"

#include <algorithm>
#include <cstdlib>

namespace {

int Loudest(const sonavel::waveform::MinMax& m)
{
    return m.Empty() ? -1 : std::max(-static_cast<int>(m.nMin), static_cast<int>(m.nMax));
}

int Loudest(const int16_t* p, int64_t n)
{
    int nLoudest = n > 0 ? 0 : -1;
    for (int64_t i = 0; i < n; ++i)
        nLoudest = std::max(nLoudest, std::abs(static_cast<int>(p[i])));
    return nLoudest;
}

// A held stretch at most this long is scanned for its loudest sample where
// no pyramid is had yet (a few milliseconds).
constexpr int64_t kMostScanned = int64_t(1) << 22;

} // namespace

int CMeasureModel::SoundPeak() const
{
    const sonavel::waveform::HeldSamples held = Held();
    if (m_bPeakKnown)
        return m_nPeak;
    m_bPeakKnown = true;
    if (m_pWaveform && m_pWaveform->Count() > 0)
        m_nPeak = Loudest(m_pWaveform->Range(0, m_nSamples, held));
    else
        m_nPeak = held.pSamples && held.nCount <= kMostScanned ? Loudest(held.pSamples, held.nCount) : -1;
    return m_nPeak;
}

int CMeasureModel::LoudestShown() const
{
    const sonavel::waveform::HeldSamples held = Held();
    const int64_t nFirst = sonavel::waveform::SampleAtOrAfter(m_dStart, m_nRate);
    const int64_t nEnd = std::min(m_nSamples, sonavel::waveform::SampleAtOrAfter(m_dEnd, m_nRate));
    if (nEnd <= nFirst)
        return -1;
    if (held.Holds(nFirst, nEnd) && nEnd - nFirst <= kMostScanned)
        return Loudest(held.pSamples + (nFirst - held.nFirst), nEnd - nFirst);
    return m_pWaveform && m_pWaveform->Count() > 0 ? Loudest(m_pWaveform->Range(nFirst, nEnd, held)) : -1;
}

bool CMeasureModel::WaveformFitted() const
{
    switch (m_eWaveformScale) {
    case EWaveformScale::Fixed:
        return false;
    case EWaveformScale::Fitted:
        return true;
    case EWaveformScale::Automatic:
        break;
    }
    const int nPeak = SoundPeak();
    return nPeak >= 0 && nPeak < 32768.0 * std::pow(10.0, kFitBelowDbfs / 20);
}

double CMeasureModel::WaveformTop() const
{
    if (!WaveformFitted())
        return 1.0;
    const int nLoudest = LoudestShown();
    return nLoudest < 0 ? 1.0 : std::max(nLoudest, 1) / 32768.0;
}
