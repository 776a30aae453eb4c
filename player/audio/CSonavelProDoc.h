#pragma once
// The player's document: lives for one open, loads the file into m_store
// through the reader table (SoundReaders.h, LoadSoundFile) and hands the sound
// or the failure to its host.
//
// The readers are free functions over a store and need no document; the
// design's reader members below run them on this document's store, with the
// channel of the last open.
#include <string>

#include "player/audio/CLoadResult.h"
#include "player/audio/SampleStore.h"
#include "player/audio/SoundReaders.h"

class CDocumentHost;
class CFileReader;

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

    // The design's readers on m_store. A refusal puts its message in result.
    sonavel::audio::EReaderAnswer ReadWave(CFileReader& file, const sonavel::audio::CSoundProbe& probe,
                                           sonavel::audio::CLoadResult& result);
    sonavel::audio::EReaderAnswer ReadAiff(CFileReader& file, const sonavel::audio::CSoundProbe& probe,
                                           sonavel::audio::CLoadResult& result);
    sonavel::audio::EReaderAnswer ReadAu(CFileReader& file, const sonavel::audio::CSoundProbe& probe,
                                         sonavel::audio::CLoadResult& result);
    sonavel::audio::EReaderAnswer ReadFixedHeaderLE(CFileReader& file, const sonavel::audio::CSoundProbe& probe,
                                                    sonavel::audio::CLoadResult& result);
    sonavel::audio::EReaderAnswer ReadFixedHeaderBE(CFileReader& file, const sonavel::audio::CSoundProbe& probe,
                                                    sonavel::audio::CLoadResult& result);
    // 1 when the probed header is the fixed-header format in the byte order
    // asked for; then the store's numbers are set and the file is positioned
    // just past the header bytes read.
    int CheckFixedHeader(CFileReader& file, const sonavel::audio::CSoundProbe& probe, int bLittleEndian);

    // A new zero-filled block of m_store.byteLength bytes (any old one freed
    // first). 1 on success; 0 with hSamples null on failure.
    int AllocSamples();
    void FreeSamples();

    SampleStore m_store;

private:
    CDocumentHost* m_pHost;
    int m_nChannel = 1; // the channel the last open was to keep
};
