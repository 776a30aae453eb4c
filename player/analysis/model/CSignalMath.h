#pragma once
// The analysis window's numerical object: the frame spectrum
// (player/analysis/spectrum) and the AMDF pitch tracker (player/analysis/pitch),
// each handed on to the room that holds it. Each object has its own FFT working
// arrays: one object per thread, any number of objects at once; the caller owns
// the frames and outputs it passes.
#include <cstdint>

#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/pitch/CAmdfTracker.h"
#include "player/analysis/spectrum/CFrameSpectrum.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

class CSampleSource;

class CSignalMath {
public:
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

    // Threads the pitch tracker's frame search may use; 0 (the default) means
    // one per core. The track is the same whatever the count.
    void SetThreads(int nThreads) { m_tracker.SetThreads(nThreads); }

private:
    CFrameSpectrum m_spectrum;
    CAmdfTracker m_tracker;
};
