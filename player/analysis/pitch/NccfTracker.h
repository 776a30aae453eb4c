#pragma once
// The research tracker: normalised cross-correlation (NCCF) of a decimated
// copy of the sound for pitch candidates, refined at a higher rate, and a
// dynamic-programming path through the candidates and an unvoiced state.
//
// 1. Two decimated copies, each sample a triangle-weighted sum of the sound
//    around it: a fine one near 10 kHz and a coarse one near 4.5 times the
//    ceiling, rebuilt block by block from the sample source.
// 2. Per frame (one per step, centred on its time, a 12.5 ms window): the NCCF
//    of the coarse copy over every lag of the range; its five highest peaks
//    (shorter lags ranked a little higher, and the shortest lag that peaks
//    near the best always among them), placed by a parabola, are the
//    candidates.
// 3. Each candidate's NCCF again on the fine copy, on the lags around it; the
//    peak, placed by a parabola, gives its pitch; its strength is the better
//    of the coarse and the fine peak.
// 4. A Viterbi path through the frames: a candidate costs less the stronger
//    and the shorter its lag is, and more where its NCCF does not hold up at
//    twice its lag (a ringing formant, not a voice) and where the frame has
//    little weight at low frequencies (a hiss); the unvoiced state costs
//    as much as the frame's best strength. A voiced frame well below the loud
//    frames around it pays more, the less clear its period, and one 25 to 35 dB
//    below them is unvoiced however clear; so does one hardly louder than the
//    speech in the background (babble). Moves between candidates cost their
//    distance in octaves (an octave jump a fixed amount), moves into and out
//    of voicing cost less where the energy changes, but never so little that
//    a voice of a frame or two between unvoiced ones (a breath's, the
//    background's) is worth it. The path also pays for
//    straying more than 0.7 octave from the speaker's own level, learnt per
//    quarter second from the clearest frames within 4 s of the stretches
//    (between pauses) at the same level (NccfPrior), so that two speakers in
//    one file each keep their own, a soft one too.
// 5. What the path learns of a speaker (his level, how loud he is) comes from
//    his own turn (NccfTurns): where the voice's level moves by more than half
//    an octave, with or without a pause, the next turn starts afresh, so the
//    same speech gets the same pitch wherever it stands in a file. A pause
//    starts a path of its own. Turns that meet with no pause share one path
//    that hands over from the one speaker to the other somewhere near the
//    change: until then each frame is weighed against the old speaker's
//    range, from then on against the new one's, and the hand-over costs the
//    same whatever the two pitches.
// 6. A few unvoiced frames between two voiced ones at the same pitch are
//    voiced where each holds a candidate on the line between them
//    (NccfBridge): a voice that dips for a voiced consonant or under noise.
//
// The frames are worked out in blocks of about 5 s of sound (a number of
// frames fixed by the rate and the step), shared between the threads; a
// block's values depend only on the sound, so neither the thread count nor
// the kernel set changes them.
#include "player/analysis/pitch/PitchSettings.h"

namespace sonavel::pitch {

inline constexpr double kNccfDefaultFloorHz = 50;
inline constexpr double kNccfDefaultCeilingHz = 800;
inline constexpr double kNccfDefaultStepS = 0.01;

// range: the floor, ceiling and step searched, as checked by RefusedSetting.
// Returns as TrackWith does.
analysis::EOutcome TrackNccf(const PitchRange& range, const CSampleSource& source, int nCount, int nRate, int nThreads,
                       PitchFrames& frames);

} // namespace sonavel::pitch
