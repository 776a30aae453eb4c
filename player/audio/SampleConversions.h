#pragma once
// Sample conversions shared by the readers (and free for the analysis to use).
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstddef>
#include <cstdint>

namespace sonavel {
namespace audio {

// G.711 mu-law byte to a signed 16-bit sample: 0x00 -> -32124, 0x80 -> +32124,
// 0x7F and 0xFF -> 0.
int16_t MuLawToLinear(uint8_t byte);

// Big-endian to native and back.
uint16_t SwapBytes16(uint16_t v);
uint32_t SwapBytes32(uint32_t v);

// Exchanges the two 16-bit halves, each keeping its byte order. After a pairwise
// byte swap this completes the reversal of all four bytes.
uint32_t SwapHalves32(uint32_t v);

// An 80-bit IEEE extended number, stored big-endian, as a double. An exponent of
// 0x7FFF gives +infinity (or -infinity with the sign bit) whatever the mantissa.
double ExtendedToDouble(const uint8_t bytes[10]);

// Unaligned little-/big-endian field reads from a byte buffer.
inline uint16_t LoadLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t LoadBE16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t LoadBE32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline bool IsHostLittleEndian()
{
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1;
}

// Swaps the bytes of nWords 16-bit words in place.
void SwapBytes16InPlace(int16_t* pWords, int64_t nWords);

// The 16-bit words a read of nGot bytes into a block of nBlockBytes touched: a
// last half-read word counts, but never one that would reach past the block (a
// block of an odd length ends in a byte that belongs to no word).
inline int64_t WordsTouched(std::size_t nGot, int64_t nBlockBytes)
{
    const int64_t nWords = (int64_t(nGot) + 1) / 2;
    return nWords < nBlockBytes / 2 ? nWords : nBlockBytes / 2;
}

} // namespace audio
} // namespace sonavel
