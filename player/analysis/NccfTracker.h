#pragma once
// The research tracker: normalised cross-correlation (NCCF) of a decimated
// copy of the sound for pitch candidates, refined at a higher rate, and a
// dynamic-programming path through the candidates and an unvoiced state.
//
// 1. Two decimated copies, each sample a triangle-weighted sum of the sound
//    around it: a fine one near 10 kHz and a coarse one near 4.5 times the
//    ceiling, rebuilt block by block from the sample source.
// 2. Per frame (one per step, centred on its time): the NCCF of the coarse
//    copy over every lag of the range; its highest peaks, placed by a
//    parabola, are the candidates.
// 3. Each candidate's NCCF again on the fine copy, on the lags around it; the
//    peak, placed by a parabola, gives its pitch and strength.
// 4. A Viterbi path through the frames: each candidate costs less the stronger
//    and the shorter its lag is, the unvoiced state the more the frame lacks
//    periodicity, energy and low-frequency weight; moves between candidates
//    cost their distance in octaves (an octave jump extra), moves into and out
//    of voicing cost less where the energy changes. Unless the caller gives a
//    range, the path also pays for straying from the speaker's own range, the
//    median pitch of the file's clearest frames.
//
// The frames are worked out in blocks of a fixed number of frames, shared
// between the threads; a block's values depend only on the sound, so neither
// the thread count nor the kernel set changes them.
#include "player/analysis/PitchSettings.h"

namespace sonavel::pitch {

inline constexpr double kNccfDefaultFloorHz = 50;
inline constexpr double kNccfDefaultCeilingHz = 800;
inline constexpr double kNccfDefaultStepS = 0.01;

// range: floor, ceiling and step as checked by RefusedSetting; bOwnRange:
// the caller gave no range, so the speaker's own is found. Returns as
// TrackWith does.
int TrackNccf(const PitchRange& range, bool bOwnRange, const CSampleSource& source, int nCount, int nRate,
              int nThreads, PitchFrames& frames);

} // namespace sonavel::pitch
