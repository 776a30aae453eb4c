#pragma once
// The stages of the AMDF pitch tracker that CAmdfTracker::TrackPitch runs, apart
// so that each can be checked on its own. Pitch values travel in tenths of a
// hertz in signed 16-bit per-frame arrays; -1 means no pitch, -2 a frame removed
// because its voiced run was too short.
//
// The stages work on arrays the caller owns and keep no state: any thread may
// run them, each over its own arrays.
#include <cstdint>
#include <vector>

namespace sonavel::pitch {

struct PitchParams {
    int32_t minPitchHz = 70;
    int32_t maxPitchHz = 260;
    int32_t voicingThreshold = 11;     // smallest smoothed level that counts as voiced
    int32_t jumpTolerancePercent = 27; // allowed change between neighbouring frames
    int32_t minRunFrames = 5;          // shortest voiced run that survives
    int32_t maxGapFrames = 6;          // longest removed stretch that can be bridged
};

inline constexpr int16_t kNoPitch = -1;
inline constexpr int16_t kRemoved = -2;
// Set on the last frame of a kept run while runs are being found; real pitches
// stay below 2600 tenths, so bit 14 is free.
inline constexpr int16_t kRunEndMark = 0x4000;
inline constexpr int kHop = 100;    // samples per frame, whatever the rate

// Every length, lag and margin that follows from the rate and the sound's length.
struct PitchGeometry {
    int nMinLag = 0;     // Lmin: highest pitch
    int nMaxLag = 0;     // Lmax: lowest pitch
    int nAverage = 0;    // W: moving-average length, 1 ms
    int nMargin = 0;     // H
    int nFirstFrame = 0; // F
    int nLastFrame = -1; // L; no frame is analysed when it is below F
};

// Returns false when the rate is outside what the tracker can work with, or the
// range is one it cannot search at that rate (no pitch above 0, the lowest not
// below the highest, or the highest pitch's lag under one sample): the track is
// then all zeros.
bool ComputeGeometry(int nSampleCount, int nSampleRate, const PitchParams& params,
                     PitchGeometry& geometry);

// The geometric lag grid, about 5 % apart, with its sentinels: G[0] = Lmin - 1,
// G[1] = Lmin, ..., G[m] = Lmax, G[m+1] = Lmax + 1.
std::vector<int> BuildLagGrid(int nMinLag, int nMaxLag);

// One pass of the three-point smoother over v[0 .. nCount-1]; negative entries
// hold no value and are neither changed nor used.
void SmoothThreePoint(int16_t* v, int nCount);

// Finds the voiced runs of track[first .. last] (track[last + 1] must exist):
// mends single outliers, marks runs shorter than minRunFrames as removed, sets
// the end-of-run mark on the others.
void MarkRuns(int16_t* track, int nFirst, int nLast, const PitchParams& params);

// Clears the end-of-run marks; a run that ended at a jump into another run loses
// its last frame.
void ResolveRunMarks(int16_t* track, int nFirst, int nLast);

// Copies track[first .. last] into finalPitch (which may be track itself) and
// bridges short removed stretches linearly when both sides agree well enough;
// the rest of them become no pitch.
void BridgeGaps(const int16_t* track, int16_t* finalPitch, int nFirst, int nLast,
                const PitchParams& params);

} // namespace sonavel::pitch
