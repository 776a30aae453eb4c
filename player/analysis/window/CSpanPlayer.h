#pragma once
// How the measuring view plays: the player that opened it hands it one of
// these, so the view never reaches into the player's own classes.
#include <cstdint>

class CSpanPlayer {
public:
    virtual ~CSpanPlayer() = default;
    // Plays samples [nFirst, nEnd) of the sound the view shows. False when the
    // playback could not start (the player has told the user).
    virtual bool PlaySpan(int64_t nFirst, int64_t nEnd) = 0;
    virtual void StopSpan() = 0;
    // The sample being played now, or -1 when no playback of the view runs.
    virtual int64_t PlayingSample() const = 0;
};
