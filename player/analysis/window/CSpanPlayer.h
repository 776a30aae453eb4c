#pragma once
// How the measuring view plays: the player that opened it hands it one of
// these, so the view never reaches into the player's own classes.
//
// Implemented by the player's application object, which outlives the view; the view
// calls it on the UI thread only.
#include <cstdint>

class CSpanPlayer {
public:
    virtual ~CSpanPlayer() = default;
    // Plays samples [nFirst, nEnd) of the sound the view shows, in place of
    // whatever played before (one sound at a time). False when the playback
    // could not start (the player has told the user).
    virtual bool PlaySpan(int64_t nFirst, int64_t nEnd) = 0;
    // Stops the view's playback, if it is the one playing.
    virtual void StopSpan() = 0;
    // Stops whatever the player plays (the view's Stop command).
    virtual void StopPlayback() { StopSpan(); }
    // The sample being played now, or -1 when no playback of the view runs.
    virtual int64_t PlayingSample() const = 0;
};
