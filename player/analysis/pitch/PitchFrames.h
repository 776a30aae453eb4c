#pragma once
// Where the pitch track's frames lie: one per 100 samples, the first at sample
// 0, so a sound of n samples has n / 100 + 1 of them. The command line's
// formats and the Python module take the count and the times from here, so a
// time printed by one is the time the other hands out.
//
// Arithmetic only: it owns nothing and any thread may call it.
#include <algorithm>
#include <cstddef>

#include "player/analysis/pitch/PitchTracker.h"

namespace sonavel::pitch {

inline std::size_t FrameCount(int nSampleCount)
{
    return static_cast<std::size_t>(std::max(nSampleCount, 0)) / kHop + 1;
}

// Seconds from the start of the sound to frame i; nSampleRate > 0.
inline double FrameTime(std::size_t i, int nSampleRate)
{
    return static_cast<double>(i) * kHop / nSampleRate;
}

} // namespace sonavel::pitch
