#pragma once
// Which sound format a file's first bytes announce: magic numbers, and for the
// fixed-header PCM format its header-length and format fields. Plain C++, no
// readers: the browser links it to check a download before handing it over.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstddef>
#include <cstdint>

namespace sonavel {
namespace format {

// The fixed-header PCM format: a header of 6480 bytes, the longest of any
// format recognised here, whose format field is 10 (little-endian samples) or
// 20 (big-endian).
inline constexpr std::size_t kFixedHeaderBytes = 6480;
inline constexpr uint32_t kFixedFormatLE = 10;
inline constexpr uint32_t kFixedFormatBE = 20;

enum class ESoundFormat {
    Unknown, Wave, Aiff, Aifc, Au, FixedLE, FixedBE,
    // Read through libsndfile.
    Flac, Ogg, Mp3, Rf64, W64, Caf, Sphere,
};

// pHead holds the file's first nHead bytes (the fixed-header format needs the
// first min(6480, length) of them), nFileLength the whole file's length. Says
// what the header claims, not whether a reader will take the file.
ESoundFormat RecogniseSoundHeader(const uint8_t* pHead, std::size_t nHead, int64_t nFileLength);

} // namespace format
} // namespace sonavel
