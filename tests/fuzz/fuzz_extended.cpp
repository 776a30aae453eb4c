// The 80-bit extended rate field of AIFF. On x86 the compiler's long double is
// that very format (little-endian in memory), which gives an independent oracle
// for every normal number: the conversion must round exactly as the hardware does.
#include "tests/fuzz/FuzzTarget.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "player/audio/SampleConversions.h"

FUZZ_TARGET(extended, "extended")
{
    if (size < 10)
        return 0;
    const double d = sonavel::audio::ExtendedToDouble(data);

    const unsigned nExponent = ((data[0] & 0x7Fu) << 8) | data[1];
    const bool bNegative = (data[0] & 0x80) != 0;
    bool bMantissaZero = true;
    for (int i = 2; i < 10; ++i)
        bMantissaZero = bMantissaZero && data[i] == 0;

    FUZZ_CHECK(!std::isnan(d));
    if (nExponent == 0 && bMantissaZero) {
        FUZZ_CHECK(d == 0.0);
        return 0;
    }
    if (nExponent == 0x7FFF) {
        FUZZ_CHECK(std::isinf(d) && std::signbit(d) == bNegative);
        return 0;
    }
    FUZZ_CHECK(std::signbit(d) == bNegative);

#if defined(__x86_64__) || defined(__i386__)
    // Normal numbers only (integer bit set, exponent 1..0x7FFE): denormals and
    // unnormals are computed by the formula, not as the FPU would take them.
    if (nExponent != 0 && (data[2] & 0x80)) {
        uint8_t le[sizeof(long double)] = {};
        for (int i = 0; i < 10; ++i)
            le[i] = data[9 - i];
        long double ld;
        std::memcpy(&ld, le, sizeof ld);
        const double expected = static_cast<double>(ld);
        // The low half of the mantissa is scaled on its own: below about 2^-1009 it
        // falls into the subnormal range and is rounded before the sum, which may
        // move the result by one unit in the last place. Nothing else may differ.
        if (std::isinf(expected) || expected == 0.0 || std::fabs(expected) >= std::ldexp(1.0, -1009)) {
            FUZZ_CHECK(d == expected);
        } else {
            const double ulp = std::fabs(std::nextafter(expected, 0.0) - expected);
            FUZZ_CHECK(std::fabs(d - expected) <= std::max(ulp, std::ldexp(1.0, -1073)));
        }
    }
#endif
    return 0;
}
