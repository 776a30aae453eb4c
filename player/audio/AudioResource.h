#pragma once
// The readers' sizes, limits and messages, and the out-of-memory string every
// part of the player shows.
//
// Constants only: nothing to own, any thread may read them.
#include <cstdint>

#include "common/SoundFormat.h"

namespace sonavel {

// The analysis computations return the identifier as their error code.
inline constexpr int IDS_NOT_ENOUGH_MEMORY = 61446;
inline constexpr const char* STR_NOT_ENOUGH_MEMORY = "Not enough memory to perform the requested task.";

namespace audio {

// The AU reader's two messages; both texts begin and end with a space.
constexpr const char* kszAuNoDataOrChannels = " No data read or more than one channel in this file ";
constexpr const char* kszAuUnsupportedCoding = " Unsupported *.au coding ";

// The WAV reader's refusal of a sample size it cannot read; the bit count follows
// it in brackets, then the closing space.
constexpr const char* kszWaveUnsupportedBits = " Unsupported *.wav sample size ";
constexpr unsigned kWaveMaxBitsPerSample = 32;

// WAV: the chunk list starts after "RIFF", its length and "WAVE"; the walk gives up
// once its position reaches byte 1000.
constexpr int64_t kRiffChunksStart = 12;
constexpr int64_t kWaveWalkLimit = 1000;
constexpr unsigned kWaveFormatRecordBytes = 18;
constexpr unsigned kWaveFormatMinBytes = 16; // up to and including wBitsPerSample

// AIFF/AIFC: passes of the bounded chunk scan, fixed read sizes.
constexpr int kAiffScanBudget = 15;
constexpr unsigned kAiffFormHeaderBytes = 12;
constexpr unsigned kAiffCommBytes = 26;
constexpr unsigned kAifcCommBytes = 46;
constexpr unsigned kAiffSsndHeaderBytes = 16;
constexpr unsigned kAiffFverBytes = 12;

// AU: the six 32-bit header fields.
constexpr uint32_t kAuMinDataOffset = 24;

// Fixed-header PCM: the header's length and format codes are common's, which
// recognises the format without the readers.
using format::kFixedFormatBE;
using format::kFixedFormatLE;
using format::kFixedHeaderBytes;

// Samples are converted through a buffer of this size, small enough to stay in
// the cache, large enough that system calls do not count.
constexpr unsigned kConvertChunkBytes = 256 * 1024;

} // namespace audio
} // namespace sonavel
