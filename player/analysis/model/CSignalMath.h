#pragma once
// The analysis window's numerical object, by the design's names: the FFT, the
// cubic spline and the frame spectrum (player/analysis/spectrum) and the AMDF
// pitch tracker (player/analysis/pitch), each handed on to the room that holds
// it. Each object has its own FFT working arrays: one object per thread, any
// number of objects at once.
#include <cstdint>

#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/pitch/CAmdfTracker.h"
#include "player/analysis/pitch/PitchTracker.h"
#include "player/analysis/spectrum/CFrameSpectrum.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

class CSampleSource;

class CSignalMath {
public:
    // Forward transform, no scaling, of the 2^log2n points in re/im, in place.
    void Fft(double* re, double* im, int log2n);

    // Second derivatives d2[1..n] of the cubic spline through x[1..n], y[1..n]
    // (index 0 unused, x strictly increasing). An end slope above 9.9e29 gives a
    // natural end, otherwise that first derivative is imposed there. False,
    // with d2 unwritten, when its scratch array cannot be had: the caller shows
    // the math error.
    bool SplineSetup(const double* x, const double* y, int n, double slope1, double slopeN,
                     double* d2);

    // The spline at abscissa at (outside the knots the end interval's cubic is
    // extrapolated). Returns 0 and writes *out, or 1 when the bracketing knots
    // coincide (then *out is untouched).
    int SplineEvaluate(const double* x, const double* y, const double* d2, int n, double at,
                       double* out);

    // Decibel spectrum of one frame on the window's grid (CFrameSpectrum::Compute):
    // Done; Refused for arguments outside what it can take; NoMemory when its
    // scratch could not be had, and the caller shows the math error.
    sonavel::analysis::EOutcome FrameSpectrum(double* frame, int length, double preemphasis, int points,
                                              int topFrequency, int sampleRate);

    // The AMDF pitch track (CAmdfTracker::TrackPitch): of samples start ..
    // end-1 of the store into hOut, of plain arrays, or fetched block by block
    // from a source.
    sonavel::analysis::EOutcome TrackPitch(const SampleStore& store, const CSampleBlockHandle& hOut, int start,
                                           int end);
    sonavel::analysis::EOutcome TrackPitch(const int16_t* pSamples, int nCount, int nSampleRate, int16_t* pOut);
    sonavel::analysis::EOutcome TrackPitch(const CSampleSource& source, int nCount, int nSampleRate, int16_t* pOut);

    // For tests: every later TrackPitch, here or through CAmdfTracker, answers
    // nResult before it tracks anything (Done, the default, tracks).
    // Process-wide; set it only while no track runs, and restore it.
    static void ForceTrackResultForTests(sonavel::analysis::EOutcome nResult);

    // Threads the pitch tracker's frame search may use; 0 (the default) means
    // one per core. The track is the same whatever the count.
    void SetThreads(int nThreads) { m_tracker.SetThreads(nThreads); }

    // The tracker's parameters for every later TrackPitch; the defaults search
    // 70-260 Hz, as the analysis window always does.
    void SetPitchParams(const sonavel::pitch::PitchParams& params) { m_tracker.SetPitchParams(params); }

private:
    CFrameSpectrum m_spectrum;
    CAmdfTracker m_tracker;
};
