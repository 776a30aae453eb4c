#pragma once
// What the document hands a loaded sound or a failed open to: the player's application object, or
// the command-line tool.
//
// Implemented by the document's user; called on the thread that opened the document, and
// handed the store's block to own.
#include "player/audio/CLoadResult.h"
#include "player/audio/SampleStore.h"

class CDocumentHost {
public:
    virtual ~CDocumentHost() = default;
    // Called by OnOpenDocument after a reader succeeded and the file is closed: the
    // host copies the four fields into its own store (it owns the block from now
    // on), sets its loaded flag and starts playback. result names the reader that
    // took the file ("wave", "aiff", "au", "fixed-le", "fixed-be" or "sndfile"),
    // the file's channel count and the channel the store holds.
    virtual void OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult& result) = 0;
    // Called instead when the open failed: the result says why and what the
    // player shows for it (HasBox, bBeep). A host that shows nothing may ignore it.
    virtual void OnDocumentFailed(const sonavel::audio::CLoadResult& result) { (void)result; }
};
