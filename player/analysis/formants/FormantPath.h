#pragma once
// Which of a frame's resonances are F1, F2 and F3: the path through every
// frame's candidates (the predictor's poles, lowest first) that is cheapest
// in all, each frame paying for how far its choices lie from where a tract
// of the voice's length puts them, for how wide they are and for a narrow
// resonance passed over below them, each step between frames that are not
// silent for how far the choices moved. A formant a frame's
// poles lack is left out (0) rather than taken from a neighbour.
//
// The path replaces a running median: a median of 9 frames flattened the
// turns of a transition and, at the edges of a voiced stretch, handed a
// vowel the poles of the silence or frication next to it. The choice per
// frame keeps each frame's own values, so a fast glide passes as it is,
// while continuity still picks the low F1 of an /i/ over the harmonic or
// source pole beside it.
#include <vector>

#include "player/analysis/formants/CFormantAnalyser.h"

namespace sonavel::formants {

// frames hold their candidates on entry (rising, nFound of them); on return
// each holds its formants: F1 .. F(min(nFormants, 3)) as the path chose
// them (0 where left out), then the candidates above the highest chosen,
// numbered on, up to nFormants in all. dCeilingHz is the ceiling the
// candidates were found under. Runs on the caller's thread; may throw
// std::bad_alloc.
void FollowFormants(std::vector<FramePoles>& frames, int nFormants, double dCeilingHz);

} // namespace sonavel::formants
