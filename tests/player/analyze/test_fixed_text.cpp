// The commands' fixed-decimal numbers against printf's "%.Nf", digit for digit:
// values near every rounding boundary, exact halves (rounded to even), signed
// zeros, denormals, the largest doubles, infinities and NaNs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "player/analyze/FixedText.h"

namespace {

using sonavel::analyze::FixedText;

// The values and their neighbours one unit in the last place either side.
std::vector<double> Cases()
{
    std::vector<double> v = {0.0, -0.0, 1e-320, -1e-320, 5e-324, 1e-7, -1e-7, 0.0005, 0.0015, 2.5, 0.125, 0.0078125,
                             -0.0078125, 1.0625, 999999.9999995, 1e11, 9.99999999999e11, 1e12, 1e15, 1e22,
                             std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 rng(2026);
    for (int i = 0; i < 40000; ++i) {
        const int n = int(rng() % 7);
        const double dUnit = std::pow(10.0, -n);
        const double dSign = (rng() & 1) ? -1.0 : 1.0;
        // Halves between two decimals at every scale, exact where binary can hold them.
        v.push_back(dSign * (double(rng() % 100000000) + 0.5) * dUnit * std::pow(10.0, double(rng() % 6)));
        v.push_back(dSign * std::ldexp(double(rng() % 4096 * 2 + 1), -int(rng() % 30))); // dyadic: some exact halves
        v.push_back(dSign * std::ldexp(double(rng() >> 11), -int(rng() % 80)));         // any magnitude below 2^53
        v.push_back(dSign * double(rng() % 360000) * 0.01);                              // times on a 10 ms grid
    }
    const size_t nBase = v.size();
    for (size_t i = 0; i < nBase; ++i) {
        v.push_back(std::nextafter(v[i], -std::numeric_limits<double>::infinity()));
        v.push_back(std::nextafter(v[i], std::numeric_limits<double>::infinity()));
    }
    return v;
}

TEST(FixedText, WritesTheDigitsPrintfWrites)
{
    const std::vector<double> values = Cases();
    char want[400], got[sonavel::analyze::kFixedTextRoom + 1];
    for (int nDecimals = 0; nDecimals <= sonavel::analyze::kMaxFixedDecimals; ++nDecimals) {
        int nWrong = 0;
        for (double d : values) {
            std::snprintf(want, sizeof want, "%.*f", nDecimals, d);
            *FixedText(got, d, nDecimals) = '\0';
            if (std::strcmp(want, got) != 0 && nWrong++ < 5)
                ADD_FAILURE() << "%." << nDecimals << "f of " << std::hexfloat << d << ": printf " << want
                              << ", ours " << got;
        }
        EXPECT_EQ(nWrong, 0) << "values written otherwise with " << nDecimals << " decimals";
    }
}

} // namespace
