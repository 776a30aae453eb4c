#pragma once
// The research tracker's last touch to its path: a voice that fades for a few
// frames between two voiced ones at the same pitch (a voiced consonant, a dip
// in noise) is heard as the one voice it is (see NccfTracker.h).
//
// A function over the caller's frames and states: it keeps no state, so any
// thread may call it.
#include <cstdint>
#include <vector>

#include "player/analysis/pitch/NccfPath.h"

namespace sonavel::pitch {

// Each run of at most four unvoiced states between two voiced frames whose
// pitches lie within 15 % of each other becomes voiced where every frame of
// it holds a candidate within 10 % of the line between those two pitches and
// at least 0.3 strong: the nearest such. A run any of whose frames holds none
// (a voiceless consonant, a breath) stays unvoiced. states: as ChoosePath
// leaves them.
void BridgeDropouts(CFrameRun frames, std::vector<uint8_t>& states);

} // namespace sonavel::pitch
