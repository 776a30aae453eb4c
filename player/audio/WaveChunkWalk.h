#pragma once
// The RIFF/WAVE chunk walk: finds the "fmt " record and the "data" chunk.
//
// The walk starts at byte 12 and stops once its position reaches byte 1000, so
// the "data" chunk header must begin below byte 1000. Each chunk is skipped by
// its length + 8; no pad byte is skipped after an odd length. Of a "fmt " chunk
// only the first min(length, 18) bytes are taken.
//
// Reads through the caller's file and keeps no state; any thread, each on its own file.
#include <cstdint>

#include "player/audio/CSampleBlock.h"

class CFileReader;

namespace sonavel {
namespace audio {

struct WaveFormatRecord {
    uint16_t wFormatTag = 0;      // 1 = PCM, 7 = mu-law
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

enum : uint16_t { WAVE_FORMAT_PCM = 1, WAVE_FORMAT_MULAW = 7, WAVE_FORMAT_EXTENSIBLE = 0xFFFE };

// Walks the chunks without loading the samples. On success (true) fmt holds the
// format, nDataOffset the file offset of the first data byte and nDataLength the
// data chunk's declared length, which the file is known to hold in full.
// Fails (false) for: no RIFF/WAVE header; a format tag other than 1 or 7; no "data"
// header below byte 1000; a data chunk longer than the rest of the file; a
// "data" chunk met before a usable "fmt " (none yet, one shorter than 16 bytes,
// or one with no channels) - such a record cannot describe the samples.
// A failed seek or read throws CFileException.
bool LocateWaveData(CFileReader& file, WaveFormatRecord& fmt, int64_t& nDataOffset, uint32_t& nDataLength);

// The walk plus loading: on success hSamples holds a new block with exactly the
// data chunk's bytes and nDataLength their count. Fails (false) as LocateWaveData
// does, when the block cannot be allocated, and for data beyond 2 GB.
bool FindWaveData(CFileReader& file, WaveFormatRecord& fmt, int32_t& nDataLength, CSampleBlockHandle& hSamples);

} // namespace audio
} // namespace sonavel
