#pragma once
// The research tracker's speaker turns: where one speaker hands over to
// another, so that what the path learns of a speaker (his range, how loud he
// is) comes from his own turn alone, and the same speech gets the same pitch
// wherever it stands in a file (see NccfTracker.h).
#include <cstddef>
#include <vector>

#include "player/analysis/pitch/NccfPath.h"

namespace sonavel::pitch {

struct CTurn {
    size_t nFirst = 0; // its first frame
    // Frames near its first that may belong to either speaker, where no pause
    // parts them: the voices' levels are clear only either side of them.
    size_t nSharedFirst = 0, nSharedEnd = 0;
};

// Every turn, in order, the first at frame 0. Frames that sound like a voice
// make stretches between pauses of 250 ms or more; a turn ends where the
// voice's level (the median pitch of its clear frames) moves by more than half
// an octave: between two stretches at different levels, in the longest pause
// between them, and inside a stretch with no pause at all, where the clear
// frames before a point and those after it lie that far apart. A part of a
// stretch must hold 20 clear frames and more to be a turn of its own. loud:
// the level of the loudest frames near each frame, in dB (LocalLoudest), the
// only yardstick for what is clear: never the whole file's.
std::vector<CTurn> SpeakerTurns(CFrameRun frames, double dStep, const std::vector<float>& loud);

} // namespace sonavel::pitch
