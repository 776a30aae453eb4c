#pragma once
// The research tracker's frame levels: the loudest (or quietest) level near
// each frame, a frame's low-frequency share near it, what background speech
// costs a voiced frame, a voice's level from its clear frames, and a
// percentile.
//
// Functions over the caller's frames and buffers: they keep no state, so any
// thread may call them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/analysis/pitch/NccfPath.h"

namespace sonavel::pitch {

// The loudest of the levels within nReach frames either side of each frame,
// each level first averaged with its nAverage neighbours either side (a lone
// click does not count), into loud (one per frame); with fSign -1 the
// quietest, negated. pAt: where each was found, unless null.
void LocalLoudest(CFrameRun frames, size_t nReach, float* loud, size_t nAverage = 1, float fSign = 1,
                  uint32_t* pAt = nullptr);

// The share of a frame's energy at low frequencies, averaged with its nAverage
// neighbours either side.
float LowShareNear(CFrameRun frames, size_t i, size_t nAverage);

// What a voiced frame costs for standing no louder than the speech in the
// background (babble): a frame less than fDb above the quietest stretch within
// fReachS pays up to fCost, in full fRangeDb nearer.
struct CBackgroundCost {
    float fCost;
    float fDb;
    float fRangeDb;
    float fReachS;
    // Where the loudest frames within fReachS lie less than fFlatDb above the
    // quietest, the quietest is the frame's own voice (a vowel on its own, a
    // steady sound), not a background, and costs nothing (-inf: never).
    float fFlatDb;
};

// Each frame's cost for the background (CBackgroundCost) into background. The
// quietest stretch tells background speech, whose energy lies low, from a hiss
// or silence, and only the former makes the frame pay. Into speech, how surely
// speech goes on in the background near each frame, whatever the frame's own
// level (0 .. 1): its quietest stretch is speech, and lies less than 40 dB
// below the loudest near it (further below, it is a silence). at: room.
void Background(CFrameRun frames, double dStep, const CBackgroundCost& c, std::vector<uint32_t>& at,
                float* background, float* speech);

// The level of a voice from the pitch of its clear frames (sorted, in
// octaves, at least one): the median of the highest cluster (frames within a
// quarter octave of one) that holds three in ten of them. In noise a voice's
// clear frames are read at half or a third of its pitch more often than above
// it, and a plain median of such frames would lie at a level no speaker has.
float VoiceLevel(const std::vector<float>& sorted);

// The value at q (0..1) of the n values from v in order; they are reordered.
float Percentile(float* v, size_t n, double q);

} // namespace sonavel::pitch
