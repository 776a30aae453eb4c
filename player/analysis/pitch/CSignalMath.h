#pragma once
// The player's numerical core: an in-place radix-2 FFT, a cubic spline, the
// spectrum of one short frame on the analysis window's frequency grid, and the
// AMDF pitch tracker. Each object has its own FFT working arrays: one object
// per thread, any number of objects at once.
#include <cstdint>
#include <memory>

#include "player/analysis/pitch/PitchTracker.h"
#include "player/analysis/core/TrackResult.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

class CSampleSource;

class CSignalMath {
public:
    CSignalMath() = default;
    ~CSignalMath();

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

    // Decibel spectrum of frame[0..length] (length + 1 samples: pre-emphasis
    // pairs each sample with its predecessor), resampled onto points values for
    // 0 .. topFrequency Hz and written over frame (room for max(length + 1,
    // points) doubles). Returns 0; returns 1 and leaves frame alone when the
    // arguments are outside what the working arrays and the grid can take;
    // returns kSplineRefused when the spline's scratch could not be had: the
    // grid is then filled by straight lines between the bins, and the caller
    // shows the math error.
    static constexpr int kSplineRefused = 2;
    int FrameSpectrum(double* frame, int length, double preemphasis, int points,
                      int topFrequency, int sampleRate);

    // Pitch track of samples start .. end-1 of the store: end-start / 100 + 1
    // values in whole Hz (0 = no pitch) written into hOut, which must hold that
    // many 16-bit values. TRACK_DONE, or TRACK_NO_MEMORY when a working buffer
    // cannot be had or the arguments do not fit the store or hOut (hOut is then
    // not written).
    sonavel::pitch::ETrackResult TrackPitch(const SampleStore& store, const CSampleBlockHandle& hOut, int start,
                                            int end);

    // The same on plain arrays: pOut receives nCount / 100 + 1 values.
    sonavel::pitch::ETrackResult TrackPitch(const int16_t* pSamples, int nCount, int nSampleRate, int16_t* pOut);

    // The same with the samples 0 .. nCount-1 fetched block by block from source.
    // TRACK_SOURCE_FAILED, with pOut all zeros, when the source fails to give a block.
    sonavel::pitch::ETrackResult TrackPitch(const CSampleSource& source, int nCount, int nSampleRate, int16_t* pOut);

    // For tests: every later TrackPitch answers nResult before it tracks
    // anything (TRACK_DONE, the default, tracks). Process-wide; set it only
    // while no track runs, and restore it.
    static void ForceTrackResultForTests(sonavel::pitch::ETrackResult nResult);

    // Threads the pitch tracker's frame search may use; 0 (the default) means
    // one per core. The track is the same whatever the count.
    void SetThreads(int nThreads) { m_nThreads = nThreads; }

    // The tracker's parameters for every later TrackPitch; the defaults search
    // 70-260 Hz, as the analysis window always does. A range the rate cannot
    // carry (no lag of at least one sample below the highest pitch, or the
    // lowest pitch not below the highest) gives an all-zero track.
    void SetPitchParams(const sonavel::pitch::PitchParams& params) { m_pitchParams = params; }

private:
    int m_nThreads = 0;
    sonavel::pitch::PitchParams m_pitchParams;
    // The transform's real, imaginary and window arrays, made on first use.
    std::unique_ptr<double[]> m_pFftWork;
};
