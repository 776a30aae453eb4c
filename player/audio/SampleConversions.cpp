#include "player/audio/SampleConversions.h"

#include <cmath>
#include <cstring>

namespace sonavel {
namespace audio {

int16_t MuLawToLinear(uint8_t byte)
{
    const unsigned u = static_cast<uint8_t>(~byte);
    const unsigned e = (u >> 4) & 0x07;
    const unsigned m = u & 0x0F;
    // (m << (e + 3)) plus the segment bias 132 * 2^e - 132.
    const int magnitude = int((m << (e + 3)) + (132u << e) - 132u);
    return static_cast<int16_t>((u & 0x80) ? -magnitude : magnitude);
}

uint16_t SwapBytes16(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }

uint32_t SwapBytes32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

uint32_t SwapHalves32(uint32_t v) { return (v >> 16) | (v << 16); }

double ExtendedToDouble(const uint8_t bytes[10])
{
    const int exponent = ((bytes[0] & 0x7F) << 8) | bytes[1];
    const uint32_t hi = LoadBE32(bytes + 2);
    const uint32_t lo = LoadBE32(bytes + 6);
    double value;
    if (exponent == 0 && hi == 0 && lo == 0)
        value = 0.0;
    else if (exponent == 0x7FFF)
        value = HUGE_VAL;
    else
        // 16414 = bias 16383 + 31 and 16446 = 16383 + 63: hi holds the top 32 bits of
        // the 64-bit mantissa whose binary point sits after its first bit.
        value = std::ldexp(double(hi), exponent - 16414) + std::ldexp(double(lo), exponent - 16446);
    return (bytes[0] & 0x80) ? -value : value;
}

void SwapBytes16InPlace(int16_t* pWords, int64_t nWords)
{
    // Byte-level loop the compiler turns into vector shuffles; no aliasing tricks.
    auto* p = reinterpret_cast<uint8_t*>(pWords);
    for (int64_t i = 0; i < nWords; ++i) {
        const uint8_t t = p[2 * i];
        p[2 * i] = p[2 * i + 1];
        p[2 * i + 1] = t;
    }
}

} // namespace audio
} // namespace sonavel
