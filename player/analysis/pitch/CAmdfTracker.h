#pragma once
// The player's own pitch tracker: an AMDF period search, one frame per 100
// samples, then voicing, run clean-up, gap bridging and smoothing (the stages
// are in PitchTracker.h). The analysis window, TrackWith, the command line and
// the Python module all track through it. One object per thread.
#include <cstdint>

#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/pitch/PitchTracker.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

class CSampleSource;

class CAmdfTracker {
public:
    // Pitch track of samples start .. end-1 of the store: FrameCount(end-start)
    // values in whole Hz (0 = no pitch) written into hOut, which must hold that
    // many 16-bit values. Done, or NoMemory when a working buffer
    // cannot be had or the arguments do not fit the store or hOut (hOut is then
    // not written).
    sonavel::analysis::EOutcome TrackPitch(const SampleStore& store, const CSampleBlockHandle& hOut, int start,
                                           int end);

    // The same on plain arrays: pOut receives FrameCount(nCount) values (PitchFrames.h).
    sonavel::analysis::EOutcome TrackPitch(const int16_t* pSamples, int nCount, int nSampleRate, int16_t* pOut);

    // The same with the samples 0 .. nCount-1 fetched block by block from source.
    // SourceFailed, with pOut all zeros, when the source fails to give a block.
    sonavel::analysis::EOutcome TrackPitch(const CSampleSource& source, int nCount, int nSampleRate, int16_t* pOut);

    // For tests: every later TrackPitch answers nResult before it tracks
    // anything (Done, the default, tracks). Process-wide; set it only
    // while no track runs, and restore it.
    static void ForceTrackResultForTests(sonavel::analysis::EOutcome nResult);

    // Threads the frame search may use; 0 (the default) means one per core.
    // The track is the same whatever the count.
    void SetThreads(int nThreads) { m_nThreads = nThreads; }

    // The parameters for every later TrackPitch; the defaults search 70-260 Hz,
    // as the analysis window always does. A range the rate cannot carry (no lag
    // of at least one sample below the highest pitch, or the lowest pitch not
    // below the highest) gives an all-zero track.
    void SetPitchParams(const sonavel::pitch::PitchParams& params) { m_pitchParams = params; }

private:
    int m_nThreads = 0;
    sonavel::pitch::PitchParams m_pitchParams;
};
