#pragma once
// The last reader: whatever libsndfile decodes (FLAC, Ogg Vorbis, Opus, MP3,
// RF64, W64, CAF, uncompressed NIST SPHERE, float and ADPCM WAV, ...), turned
// into the store's one channel of 16-bit samples the way the WAV reader turns
// its files: the channel asked for; integer samples keep their top 16 bits;
// floating-point and lossy-decoded samples are scaled by 32768, rounded and
// clipped.
//
// The file is recognised by its contents alone (the browser's hand-off file has
// no extension) and read from its open descriptor with pread, so the reader
// shares nothing with another thread's load.
#include <cstdint>
#include <functional>
#include <string>

#include "player/audio/SampleStore.h"

class CFileReader;

namespace sonavel {
namespace audio {

enum class ESndfileOutcome {
    NotMine,     // libsndfile does not recognise the contents
    Loaded,      // the store holds the sound
    Refused,     // a sound this reader will not load; strMessage says why
    OutOfMemory, // the store's block could not be had
    NoChannel,   // the file lacks the channel asked for; fnTakeChannel has said so
};

// Fills store (all four fields) on Loaded; leaves it empty otherwise.
// fnTakeChannel is given the file's channel count once it is known and answers
// which channel to keep (0-based), or -1 to refuse the file.
ESndfileOutcome ReadWithSndfile(CFileReader& file, SampleStore& store, std::string& strMessage,
                                const std::function<int(int nChannels)>& fnTakeChannel);

// Frames decoded per part when a long FLAC is decoded on several threads; a
// shorter one is decoded on the calling thread alone. Tests lower it, and put
// back the count it answers (the one before).
int64_t SetSndfilePartFrames(int64_t nFrames);

} // namespace audio
} // namespace sonavel
