#pragma once
// Which sound format a file's first bytes announce: magic numbers, and for the
// fixed-header PCM format its header-length and format fields. Plain C++, no
// readers: the browser links it to check a download before handing it over.
#include <cstddef>
#include <cstdint>

namespace sonavel {
namespace format {

enum class ESoundFormat { Unknown, Wave, Aiff, Aifc, Au, FixedLE, FixedBE };

// pHead holds the file's first nHead bytes (the fixed-header format needs the
// first min(6480, length) of them), nFileLength the whole file's length. Says
// what the header claims, not whether a reader will take the file.
ESoundFormat RecogniseSoundHeader(const uint8_t* pHead, std::size_t nHead, int64_t nFileLength);

} // namespace format
} // namespace sonavel
