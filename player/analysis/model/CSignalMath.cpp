#include "player/analysis/model/CSignalMath.h"

#include "player/analysis/spectrum/Fft.h"
#include "player/analysis/spectrum/Spline.h"

using sonavel::analysis::EOutcome;

void CSignalMath::Fft(double* re, double* im, int log2n) { sonavel::spectrum::Fft(re, im, log2n); }

bool CSignalMath::SplineSetup(const double* x, const double* y, int n, double slope1, double slopeN,
                              double* d2)
{
    return sonavel::spectrum::SplineSetup(x, y, n, slope1, slopeN, d2);
}

int CSignalMath::SplineEvaluate(const double* x, const double* y, const double* d2, int n, double at,
                                double* out)
{
    return sonavel::spectrum::SplineEvaluate(x, y, d2, n, at, out);
}

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

void CSignalMath::ForceTrackResultForTests(sonavel::analysis::EOutcome nResult) { CAmdfTracker::ForceTrackResultForTests(nResult); }
