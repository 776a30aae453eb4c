#pragma once
// The player's document: lives for one open, loads the file into m_store
// through the reader table (SoundReaders.h, LoadSoundFile) and hands the sound
// or the failure to its host.
//
// The readers are free functions over a store (SoundReaders.h) and need no
// document.
//
// One thread at a time (the UI thread in the player); the host it is given must outlive
// it, and owns the block once it is handed over.
#include <string>

#include "player/audio/CLoadResult.h"
#include "player/audio/SampleStore.h"
#include "player/audio/SoundReaders.h"

class CDocumentHost;

class CSonavelProDoc {
public:
    explicit CSonavelProDoc(CDocumentHost* pHost);

    // Always 0: the document never stays open. On success the sound has been
    // handed to the host (OnDocumentLoaded), otherwise the failure
    // (OnDocumentFailed): a path that cannot be opened has the path as its box
    // text; a file no reader accepts and a failed seek or read have none.
    // nChannel: the channel the store is to hold, 1 for the first.
    int OnOpenDocument(const std::string& path, int nChannel = 1);
    // The same walk over the given readers (tests pass a part of the table).
    int OnOpenDocument(const std::string& path, const sonavel::audio::CSoundReaderTable& readers, int nChannel = 1);

    SampleStore m_store;

private:
    CDocumentHost* m_pHost;
};
