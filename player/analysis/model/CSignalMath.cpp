#include "player/analysis/model/CSignalMath.h"


using sonavel::analysis::EOutcome;

sonavel::analysis::EOutcome CSignalMath::FrameSpectrum(double* frame, int length, double preemphasis, int points, int topFrequency,
                                                       int sampleRate)
{
    return m_spectrum.Compute(frame, length, preemphasis, points, topFrequency, sampleRate);
}

sonavel::analysis::EOutcome CSignalMath::TrackPitch(const SampleStore& store, const CSampleBlockHandle& hOut, int start, int end)
{
    return m_tracker.TrackPitch(store, hOut, start, end);
}

sonavel::analysis::EOutcome CSignalMath::TrackPitch(const int16_t* pSamples, int nCount, int nSampleRate, int16_t* pOut)
{
    return m_tracker.TrackPitch(pSamples, nCount, nSampleRate, pOut);
}

sonavel::analysis::EOutcome CSignalMath::TrackPitch(const CSampleSource& source, int nCount, int nSampleRate, int16_t* pOut)
{
    return m_tracker.TrackPitch(source, nCount, nSampleRate, pOut);
}
