#pragma once
// The player's document: lives for one open, walks the table of readers
// (SoundReaders.h), fills m_store and hands the sound or the failure to its host.
//
// Readers are tried in the order WAV, AIFF/AIFC, AU, fixed-header little-endian,
// fixed-header big-endian, then libsndfile for the rest; the first that loads wins, one that refuses (or
// cannot allocate for a file it recognised) ends the walk. Each reader seeks itself. A reader that fails may leave numbers and a
// block in m_store; the next one overwrites what it uses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

    // The readers, as the table calls them. A refusal puts its message in result.
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
    // The last entry: what libsndfile decodes (SndfileReader.h).
    sonavel::audio::EReaderAnswer ReadSndfile(CFileReader& file, const sonavel::audio::CSoundProbe& probe,
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
    // Short-lived conversion buffers, owned, so a read that throws frees them
    // too. They obey the sample blocks' allocation limit, so tests can provoke
    // their failure; null when refused.
    struct CFreeBytes {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    using CTempBytes = std::unique_ptr<uint8_t, CFreeBytes>;
    static CTempBytes AllocTemp(std::size_t nBytes);
    // Frees the store and puts the out-of-memory failure (beep and message) in
    // result; returns Refused.
    sonavel::audio::EReaderAnswer OutOfMemory(sonavel::audio::CLoadResult& result);
    // The store's block for a file the reader recognised cannot be had: the
    // out-of-memory failure without a box (the player shows none for it), and
    // the walk ends, so no later reader allocates for the same file again.
    sonavel::audio::EReaderAnswer NoBlock(sonavel::audio::CLoadResult& result);
    // Converts a claimed byte count of the store to int32, or fails (0) with the
    // out-of-memory failure when the sound is too large to hold.
    int SetStoreSize(int64_t nSamples, sonavel::audio::CLoadResult& result);
    void Fail(const sonavel::audio::CLoadResult& result);
    // For a file of nChannels (read from its header): which sample of each
    // frame the store keeps (ChannelIndex), with the count put in result; or
    // -1 with the refusal in result when the file lacks the channel asked for.
    int TakeChannel(int nChannels, sonavel::audio::CLoadResult& result);

    CDocumentHost* m_pHost;
    int m_nChannel = 1; // the channel this open is to keep
};
