#pragma once
// The research tracker's speaker range: where in pitch each frame's speaker
// lives, learnt from the clear frames near it (see NccfTracker.h).
#include <vector>

#include "player/analysis/pitch/NccfPath.h"

namespace sonavel::pitch {

// The centre of the speaker's own range for every frame, in octaves (log2 of
// Hz); NaN where there is none to be had. The sound is cut into stretches at
// pauses of 250 ms or more; each stretch's own level is the median of its
// clear frames' pitch, and the centre of each quarter second of it the level
// (VoiceLevel) of the clear frames within 4 s of the stretches at the same
// level (half an octave or nearer); a quarter second whose clear frames within 3.3 s lie at
// another level takes theirs (a stretch that holds two speakers, in noise).
// Two speakers in one file each keep their own, whichever talks more, and
// however much softer one is. fLoud: the level of the loud frames (of the
// speaker's turn), in dB; loud: the level of the loudest frames near each
// frame. The stretches are worked out on up to nThreads threads, with the
// same centres however many.
std::vector<float> OwnRangeCentres(CFrameRun frames, double dStep, float fLoud, const float* loud, int nThreads);

} // namespace sonavel::pitch
