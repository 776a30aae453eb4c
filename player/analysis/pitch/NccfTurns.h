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

// Every turn, in order, the first at frame 0. Clear frames (strongly periodic,
// most of their energy at low frequencies, within 6 dB of the loudest frames
// near them) each give a pitch; a voice's level over 40 of them is the highest
// cluster of their pitch that holds three in ten, as noise reads a voice at a
// half or a third more often than above it. Where the levels of the 40 clear
// frames before a point and of the 40 after it lie more than half an octave
// apart, a turn ends: of a run of such points, where fewest clear frames
// between the two voices' levels lie nearer the other voice (a frame an
// octave below a voice, as noise reads many, lies a little off it). Where a
// pause (250 ms of frames with nothing periodic in them) lies between the
// clear frames either side, the next turn starts in the pause's middle; where
// none does, the frames clear against one side only (more strongly periodic,
// within 6 dB of the loudest frames in the half second before or after them:
// a soft voice beside a loud one) vote too on where, never on whether, and
// the frames between the two voices' and 150 ms either side may be either
// speaker's. loud: the level of the loudest frames near each frame, in dB
// (LocalLoudest), the only yardstick for what is clear: never the whole
// file's. Up to nThreads threads work on it, with the same turns however many.
std::vector<CTurn> SpeakerTurns(CFrameRun frames, double dStep, const std::vector<float>& loud, int nThreads);

} // namespace sonavel::pitch
