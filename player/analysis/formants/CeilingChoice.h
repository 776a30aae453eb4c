#pragma once
// Which of several ceilings suits a voice: the one whose F1-F3 tracks over
// the probe stretches are complete and smooth where the sound is loud.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <vector>

#include "player/analysis/formants/CFormantAnalyser.h"

namespace sonavel::formants {

// The ceilings tried when none is given, those at most half of nRate (or
// half the rate alone, when it carries none of them).
std::vector<double> CandidateCeilings(int nRate);

// probes[c] holds the probe frames (F1-F4) at ceilings[c], all candidates
// alike; runEnds the index one past each run of consecutive frames. The index
// of the candidate with the lowest cost (ties: the lower ceiling): its F1-F3
// incomplete, wide or jumpy where the sound is loud, and its distance from
// the ceiling the voice's formant spacing asks for.
int ChooseCeiling(const std::vector<double>& ceilings, const std::vector<std::vector<FramePoles>>& probes,
                  const std::vector<int>& runEnds);

// True when the quiet frames of the probe lie within 35 dB of the loud ones:
// a noise floor that high takes a pole pair of its own, or it widens and
// displaces the upper formants.
bool NoisyFloor(const std::vector<FramePoles>& probe);

} // namespace sonavel::formants
