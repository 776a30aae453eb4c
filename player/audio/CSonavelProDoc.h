#pragma once
// The player's document: lives for one open, finds the reader that accepts the
// file, fills m_store and hands the sound to its host.
//
// Readers are tried in the order WAV, AIFF/AIFC, AU, fixed-header little-endian,
// fixed-header big-endian; the first that returns nonzero wins. Each reader seeks
// from the start itself. A reader that fails may leave numbers and a block in
// m_store; the next one overwrites what it uses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "player/audio/SampleStore.h"

class CDocumentHost;
class CFileReader;

class CSonavelProDoc {
public:
    explicit CSonavelProDoc(CDocumentHost* pHost);

    // Always 0: the document never stays open. On success the sound has been
    // handed to the host. A path that cannot be opened shows a message box whose
    // text is the path; a file no reader accepts shows nothing beyond what the
    // readers showed; a failed seek or read ends the open silently.
    int OnOpenDocument(const std::string& path);

    int ReadWave(CFileReader& file);
    int ReadAiff(CFileReader& file);
    int ReadAu(CFileReader& file);
    int CheckFixedHeader(CFileReader& file, int bLittleEndian);
    int ReadFixedHeaderLE(CFileReader& file);
    int ReadFixedHeaderBE(CFileReader& file);

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
    // Frees the store, beeps and shows the out-of-memory message.
    void ShowOutOfMemory();
    // Converts a claimed byte count of the store to int32, or fails (0) with the
    // out-of-memory message when the sound is too large to hold.
    int SetStoreSize(int64_t nSamples);

    CDocumentHost* m_pHost;
    // A reader showed its own message: the file was its, refused, and no later
    // reader may take it.
    bool m_bReaderSpoke = false;
};
