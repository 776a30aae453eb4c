#include "player/analysis/model/CAnalysisModel.h"

#include <algorithm>
#include <cmath>

#include "player/analysis/pitch/PitchFrames.h"

namespace {

const int kTextStrip = 60;     // fixed text below the panels
const int kScaleMargin = 40;   // scale labels left of the panels
const int kPitchHeight = 100;
const int kPanelGap = 5;
const int kColumnSamples = 74; // a 64-point frame and its pre-emphasis, with room to spare
const double kPreemphasis = 0.98;

// Samples the store really holds, whatever its count claims.
int UsableSamples(const SampleStore& store)
{
    if (!store.hSamples || store.sampleCount <= 0)
        return 0;
    const size_t nHeld = store.hSamples->Size() / sizeof(int16_t);
    return static_cast<int>(std::min<size_t>(nHeld, static_cast<size_t>(store.sampleCount)));
}

} // namespace

void CAnalysisModel::Layout(int nWidth, int nHeight)
{
    Release();
    m_nColumns = std::min(nWidth, kMaxColumns);
    m_nRows = nHeight - kTextStrip;
    m_rcPitch = Rect{kScaleMargin, 0, nWidth, kPitchHeight};
    m_rcSpectrogram = Rect{kScaleMargin, kPitchHeight + kPanelGap, nWidth, nHeight - kTextStrip};
    m_nPitchMin = 50;
    m_nPitchMax = 250;
    m_nFrameLength = 64;
    m_nTopFrequency = 5000;
    m_nDynamicRange = 35;
    m_nColumnLength = std::max(m_nRows, 64) + 50;
}

void CAnalysisModel::ReleasePitch()
{
    if (m_hPitch)
        m_hPitch->Unlock();
    m_hPitch.reset();
    m_pPitch = nullptr;
    m_nPitchCount = 0;
    m_bPitchReady = false;
}

void CAnalysisModel::ReleaseColumns()
{
    if (m_hColumns)
        m_hColumns->Unlock();
    m_hColumns.reset();
    m_pColumns = nullptr;
    m_bSpectrogramReady = false;
}

void CAnalysisModel::Release()
{
    ReleasePitch();
    ReleaseColumns();
}

sonavel::analysis::EOutcome CAnalysisModel::SetPitchTrack(const std::vector<int16_t>& values)
{
    ReleasePitch();
    m_hPitch = CSampleBlock::Alloc(sizeof(int16_t) * std::max<size_t>(values.size(), 1));
    if (!m_hPitch)
        return sonavel::analysis::EOutcome::NoMemory;
    m_pPitch = static_cast<int16_t*>(m_hPitch->Lock());
    std::copy(values.begin(), values.end(), m_pPitch);
    m_nPitchCount = static_cast<int>(values.size());
    m_bPitchReady = true;
    return sonavel::analysis::EOutcome::Done;
}

sonavel::analysis::EOutcome CAnalysisModel::ComputePitch(const SampleStore& store)
{
    ReleasePitch();
    const int nCount = static_cast<int>(sonavel::pitch::FrameCount(store.sampleCount));
    m_hPitch = CSampleBlock::Alloc(sizeof(int16_t) * static_cast<size_t>(nCount));
    if (!m_hPitch)
        return sonavel::analysis::EOutcome::NoMemory;
    m_pPitch = static_cast<int16_t*>(m_hPitch->Lock());
    m_nPitchCount = nCount;
    // A store whose block is shorter than its count is tracked as far as it goes.
    const int nSamples = UsableSamples(store);
    SampleStore usable = store;
    usable.sampleCount = nSamples;
    // A failed track leaves the block as it was allocated, all zeros: the
    // panel is drawn without dots, and the caller may tell why.
    m_bPitchReady = true;
    return m_math.TrackPitch(usable, m_hPitch, 0, nSamples);
}

int CAnalysisModel::HeldGridPoints(int nPoints, int nSampleRate) const
{
    if (nSampleRate <= 0 || nPoints <= 0)
        return std::max(nPoints, 0);
    // The same grid step the frame routine uses, in bins per point.
    const double step = (m_nTopFrequency / (nSampleRate * 0.5)) * (m_nFrameLength * 0.5) / nPoints;
    const double lastBin = m_nFrameLength / 2 - 1;
    int n = 0;
    while (n < nPoints && n * step <= lastBin)
        ++n;
    return n;
}

sonavel::analysis::EOutcome CAnalysisModel::ComputeSpectrogram(const SampleStore& store)
{
    ReleaseColumns();
    m_bMathError = false;
    m_hColumns = CSampleBlock::Alloc(sizeof(double) * static_cast<size_t>(std::max(m_nColumns, 1))
                                     * static_cast<size_t>(m_nColumnLength));
    if (!m_hColumns)
        return sonavel::analysis::EOutcome::NoMemory;
    m_pColumns = static_cast<double*>(m_hColumns->Lock());
    if (m_nColumns <= 0 || m_nRows <= 0) {
        m_bSpectrogramReady = true;
        return sonavel::analysis::EOutcome::Done;
    }

    const int nSamples = UsableSamples(store);
    CSampleLock samples(store.hSamples);
    const int16_t* s = samples.Samples();
    const double step = static_cast<double>(nSamples) / m_nColumns;
    const int nPoints = std::min(m_nRows, m_nColumnLength);
    // Below a 10 kHz rate the top of the scale lies past the frame's last bin;
    // the spline's extrapolation there is no measurement, and its swings could
    // outshout the whole sound and leave the picture blank (every 8 kHz
    // recording did). Those rows take no part in the scaling and stay white.
    const int nHeld = HeldGridPoints(nPoints, store.sampleRate);
    double dMax = -1000.0;
    for (int c = 0; c < m_nColumns; ++c) {
        double* v = m_pColumns + static_cast<size_t>(c) * m_nColumnLength;
        const int d = static_cast<int>(c * step);
        const int nTake = std::max(0, std::min(kColumnSamples, nSamples - d));
        for (int k = 0; k < nTake; ++k)
            v[k] = s[d + k];
        const sonavel::analysis::EOutcome nSpectrum =
            m_math.FrameSpectrum(v, m_nFrameLength, kPreemphasis, nPoints, m_nTopFrequency, store.sampleRate);
        if (nSpectrum == sonavel::analysis::EOutcome::NoMemory)
            m_bMathError = true;
        else if (nSpectrum != sonavel::analysis::EOutcome::Done) {
            // No frequency grid without a sample rate: the column reads as silence.
            std::fill(v, v + nPoints, 0.0);
        }
        for (int j = 0; j < nHeld; ++j) {
            if (!std::isfinite(v[j]))
                v[j] = 0.0;
            dMax = std::max(dMax, v[j]);
        }
    }
    // The loudest point of the picture is the dynamic range, anything that far
    // or further below it is 0.
    for (int c = 0; c < m_nColumns; ++c) {
        double* v = m_pColumns + static_cast<size_t>(c) * m_nColumnLength;
        for (int j = 0; j < nHeld; ++j)
            v[j] = std::max(0.0, v[j] - dMax + m_nDynamicRange);
        std::fill(v + nHeld, v + nPoints, 0.0);
    }
    m_bSpectrogramReady = true;
    return sonavel::analysis::EOutcome::Done;
}
