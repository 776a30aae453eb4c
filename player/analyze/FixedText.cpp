#include "player/analyze/FixedText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace sonavel {
namespace analyze {

namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr uint64_t kPowersOfTen[kMaxFixedDecimals + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000};

constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324"
                               "25262728293031323334353637383940414243444546474849"
                               "50515253545556575859606162636465666768697071727374"
                               "75767778798081828384858687888990919293949596979899";

// Below this the scaled value fits 64 bits with room to spare; larger numbers
// (and infinities and NaNs) take the library's conversion, which is exact too.
const double kFastLimit = 1e12;

// q / 10^N, a point and N decimals of q; divisions by constants, which
// compile to multiplications.
template <int N>
char* ScaledDigits(char* p, uint64_t q)
{
    constexpr uint64_t nUnit = kPowersOfTen[N];
    p = std::to_chars(p, p + kFixedTextRoom, q / nUnit).ptr;
    if constexpr (N > 0) {
        *p++ = '.';
        uint32_t nFraction = uint32_t(q % nUnit);
        int i = N;
        for (; i >= 2; i -= 2, nFraction /= 100)
            std::memcpy(p + i - 2, kDigitPairs + 2 * (nFraction % 100), 2);
        if (i == 1)
            p[0] = char('0' + nFraction);
        p += N;
    }
    return p;
}

} // namespace

char* FixedText(char* p, double d, int nDecimals)
{
    if (nDecimals < 0 || nDecimals > kMaxFixedDecimals || !(std::fabs(d) < kFastLimit))
        return std::to_chars(p, p + kFixedTextRoom, d, std::chars_format::fixed, nDecimals).ptr;
    // d is m * 2^-nShift exactly; d * 10^n as m * 10^n (under 2^73) over 2^nShift,
    // rounded half to even on the exact quotient. A denormal or tiny value
    // shifts everything out and rounds to nothing.
    uint64_t nBits;
    std::memcpy(&nBits, &d, sizeof nBits);
    const bool bNegative = nBits >> 63;
    const int nExponent = int(nBits >> 52 & 0x7FF);
    uint64_t m = nBits & ((uint64_t(1) << 52) - 1);
    if (nExponent != 0)
        m |= uint64_t(1) << 52;
    const int nShift = 1075 - (nExponent != 0 ? nExponent : 1); // > 0 below 2^52
    const Wide scaled = Wide(m) * kPowersOfTen[nDecimals];
    uint64_t q = 0;
    if (nShift < 100) {
        q = uint64_t(scaled >> nShift);
        const Wide rest = scaled - (Wide(q) << nShift), half = Wide(1) << (nShift - 1);
        q += rest > half || (rest == half && (q & 1));
    }
    if (bNegative)
        *p++ = '-'; // also -0.0 and what rounds to zero, as printf writes them
    switch (nDecimals) {
    case 0:
        return ScaledDigits<0>(p, q);
    case 1:
        return ScaledDigits<1>(p, q);
    case 2:
        return ScaledDigits<2>(p, q);
    case 3:
        return ScaledDigits<3>(p, q);
    case 4:
        return ScaledDigits<4>(p, q);
    case 5:
        return ScaledDigits<5>(p, q);
    }
    return ScaledDigits<6>(p, q);
}

} // namespace analyze
} // namespace sonavel
