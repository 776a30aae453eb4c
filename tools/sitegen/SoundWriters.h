#pragma once
// Writers for every sound format the player opens, from 16-bit mono (or
// two-channel) samples. Each returns the whole file as bytes.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstdint>
#include <string>
#include <vector>

namespace sitegen {

using Bytes = std::vector<uint8_t>;

// RIFF/WAVE. Two-channel input is interleaved left, right.
Bytes WriteWave16(const std::vector<int16_t>& samples, int nRate, int nChannels = 1);
Bytes WriteWave8(const std::vector<int16_t>& samples, int nRate);      // unsigned 8-bit PCM
Bytes WriteWaveMuLaw(const std::vector<int16_t>& samples, int nRate);  // format tag 7

// AIFF (FORM/COMM/SSND) and AIFC with compression "NONE" (FORM/FVER/COMM/SSND),
// 16-bit big-endian.
Bytes WriteAiff(const std::vector<int16_t>& samples, int nRate);
Bytes WriteAifcNone(const std::vector<int16_t>& samples, int nRate);

// AU (".snd", big-endian): encoding 3 (16-bit linear) or 1 (mu-law).
Bytes WriteAu16(const std::vector<int16_t>& samples, int nRate);
Bytes WriteAuMuLaw(const std::vector<int16_t>& samples, int nRate);

// 16-bit PCM behind a fixed 6480-byte header, little-endian (format code 10)
// or big-endian (format code 20).
Bytes WriteFixedHeader(const std::vector<int16_t>& samples, int nRate, bool bLittleEndian);

// Compressed through libsndfile: lossless FLAC (16-bit) or lossy MP3 (its
// default variable bit rate). Empty when the encoder fails.
enum class EEncoded { Flac, Mp3 };
Bytes WriteEncoded(const std::vector<int16_t>& samples, int nRate, EEncoded encoding);

// G.711 mu-law encoding of one linear sample.
uint8_t LinearToMuLaw(int16_t nSample);

// 80-bit IEEE extended, big-endian, of a whole positive rate.
void RateToExtended(double dRate, uint8_t out[10]);

} // namespace sitegen
