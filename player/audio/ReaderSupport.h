#pragma once
// The steps every reader shares, over the store it fills: the sample block, the
// short-lived conversion buffers, the channel asked for and the two ways a
// reader fails for want of memory. The document's design-named members
// (AllocSamples, FreeSamples, CheckFixedHeader) call the same steps on its store.
//
// Free functions over a store the caller owns; any thread, each on its own store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "player/audio/CLoadResult.h"
#include "player/audio/SampleStore.h"
#include "player/audio/SoundReaders.h"

class CFileReader;

namespace sonavel {
namespace audio {

// A new zero-filled block of store.byteLength bytes (any old one freed first).
// 1 on success; 0 with hSamples null on failure.
int AllocSamples(SampleStore& store);

// Conversion buffers, owned, so a read that throws frees them too. They obey
// the sample blocks' allocation limit, so tests can provoke their failure; null
// when refused.
struct CFreeBytes {
    void operator()(uint8_t* p) const { std::free(p); }
};
using CTempBytes = std::unique_ptr<uint8_t, CFreeBytes>;
CTempBytes AllocTemp(std::size_t nBytes);

// A conversion buffer cannot be had: frees the store and puts the
// out-of-memory failure (beep and message) in result; returns Refused.
EReaderAnswer OutOfMemory(SampleStore& store, CLoadResult& result);
// The store's block for a file the reader recognised cannot be had: the
// out-of-memory failure without a box (the player shows none for it), and the
// walk ends, so no later reader allocates for the same file again.
EReaderAnswer NoBlock(SampleStore& store, CLoadResult& result);
// Sets the store's counts for nSamples, or fails (0) with the out-of-memory
// failure when the store's 32-bit byte count cannot hold them.
int SetStoreSize(SampleStore& store, int64_t nSamples, CLoadResult& result);
// For a file of nChannels (read from its header): which sample of each frame
// the store keeps for channel nChannel (ChannelIndex), with the count put in
// result; or -1 with the refusal in result (and the store freed) when the
// file lacks that channel.
int TakeChannel(int nChannel, int nChannels, SampleStore& store, CLoadResult& result);

// 1 when the probed header is the fixed-header format in the byte order asked
// for; then the store's numbers are set and the file is positioned just past
// the header bytes read.
int CheckFixedHeader(CFileReader& file, const CSoundProbe& probe, int bLittleEndian, SampleStore& store);

} // namespace audio
} // namespace sonavel
