#pragma once
// The research tracker's lanes: the costs of its path (CCosts), and the path
// through a run of frames in eight lanes per frame (the unvoiced state and the
// candidates), with two sets of lanes where one speaker hands over to the next
// (see NccfPath.h, whose ChoosePath learns what the lanes weigh against).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/analysis/pitch/NccfPath.h"

namespace sonavel::pitch {

// What the path's states and moves cost, and the yardsticks ChoosePath weighs
// each frame's level with.
struct CCosts {
    float fLagWeight = 0.3f;    // a candidate's cost grows with its lag: halves lose
    float fVoicedBias = 0.0f;   // added to the unvoiced state's cost
    float fQuiet = 0.5f;        // a voiced frame far below the loud frames costs up to this much more,
    float fQuietDb = 12.0f;     // from this far below, the less the clearer its period (fSoft)
    float fSoft = 0.3f;         // a candidate this far below full strength pays all of it
    float fHard = 1.0f;         // and a frame fHardDb below them costs this more, however clear
    float fHardDb = 25.0f;      // (a voice's faint tail is not heard as voiced)
    float fBroad = 0.3f;        // a voiced frame with little low-frequency weight
    float fHiss = 0.6f;         // and more with next to none: a hiss (an /s/, a /z/) whose narrow band
                                // correlates at many lags, none of them a period
    float fFreq = 2.0f;         // per unit of log pitch change between frames
    float fOctave = 0.3f;       // an octave jump
    float fVoicing = 0.5f;      // into or out of voicing, where the energy changes: a voice of a
                                // frame or two (a breath's, the background's) is not worth it
    float fSteady = 0.3f;       // the same where it does not
    float fPrior = 1.0f;        // per octave beyond the speaker's own range
    float fPriorOctaves = 0.7f; // the own range: this far either side of the median
    float fReachS = 1.0f;       // a frame's level is weighed against the loudest this near
    float fSlackDb = 12.0f;     // or against the file's loud frames less this, if more
    float fTwice = 1.5f;        // per unit the NCCF at twice the lag falls short of the candidate's
    float fTwiceMargin = 0.2f;  // beyond this
    float fBackground = 0.8f;        // a voiced frame no louder than the background speech (Background)
    float fBackgroundDb = 10.0f;     // from this near its level
    float fBackgroundRangeDb = 6.0f; // in full this much nearer
    float fBackgroundS = 1.0f;       // the background's level: the quietest this near
    float fFlatDb = 6.0f;            // none where the loudest this near lie less than this above it
    float fTurnBelowDb = 30.0f;      // nor in a turn whose loud frames lie this far below the file's
    float fCross = 0.6f;        // from one speaker's voiced frame straight into the next one's, whatever their pitches
    float fAside = 0.6f;        // a voiced frame amid background speech, far below the loud frames, costs up to
    float fAsideDb = 8.0f;      // this much more from this far below them,
    float fAsideRangeDb = 8.0f; // in full this much further,
    float fAsideOctaves = 0.5f; // the more the further its pitch lies from the speaker's centre, in full this far:
                                // the background's voices are soft and seldom in the speaker's range
};

// Where one speaker hands over to the next with no pause: frames [nFirst,
// nEnd) of a path, each of them the old speaker's or the new one's, the old
// one's first. nChange: the first frame of the new one's turn.
struct CHandOver {
    size_t nFirst = 0, nChange = 0, nEnd = 0;
};

// The path through frames, with what is learnt of their speakers from the
// same frame on: the level each frame's is weighed against, the cost of a
// voice as soft as the speech in the background, how surely speech goes on in
// the background (speech, see Background), the centre of the speaker's
// range, and in a hand-over the other speaker's (others). A hand-over keeps
// two sets of lanes, the old speaker's and the new one's, each weighed against
// its own speaker's centre; the path crosses from the old to the new once, at
// any frame, and the crossing costs the same whatever the two pitches: the
// next speaker's pitch owes nothing to the last one's, so neither speaker's
// last or first syllable is pulled an octave towards the other's, and a
// syllable is heard in the range of the speaker whose it is. The change is
// found to within a syllable: the old speaker's lanes may carry the syllable
// in progress past it but start none after it, and the new one's may start
// before it only a syllable that lasts past it (in noise the next speaker's
// first syllable, read an octave low, fits the last one's range). from: room
// for each frame's way back.
void ChoosePathOf(const CPathSettings& settings, CFrameRun frames, const float* reference, const float* background,
                  const float* speech, const float* centres, const float* others,
                  const std::vector<CHandOver>& handOvers, uint32_t* from, uint8_t* states);

} // namespace sonavel::pitch
