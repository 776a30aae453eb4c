// Conversions: fixed points of mu-law, byte order, the extended-float format.
#include <gtest/gtest.h>

#include <cmath>

#include "player/audio/SampleConversions.h"

using namespace sonavel::audio;

TEST(SampleConversions, MuLawEndsAndZeros)
{
    EXPECT_EQ(MuLawToLinear(0x00), -32124);
    EXPECT_EQ(MuLawToLinear(0x80), 32124);
    EXPECT_EQ(MuLawToLinear(0x7F), 0);
    EXPECT_EQ(MuLawToLinear(0xFF), 0);
    // Symmetric around the sign bit and monotonic within each half.
    for (int b = 0; b < 128; ++b) {
        EXPECT_EQ(MuLawToLinear(uint8_t(b)), -MuLawToLinear(uint8_t(b | 0x80)));
        if (b > 0) {
            EXPECT_GT(MuLawToLinear(uint8_t(b)), MuLawToLinear(uint8_t(b - 1)));
        }
    }
}

TEST(SampleConversions, ByteOrder)
{
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes32(0x12345678u), 0x78563412u);
    EXPECT_EQ(SwapHalves32(0x12345678u), 0x56781234u);
    // A pairwise byte swap followed by exchanging the halves reverses all four bytes.
    const uint32_t x = 0xA1B2C3D4u;
    const uint32_t pairs = (uint32_t(SwapBytes16(uint16_t(x >> 16))) << 16) | SwapBytes16(uint16_t(x));
    EXPECT_EQ(SwapHalves32(pairs), SwapBytes32(x));

    int16_t words[3] = {0x0102, 0x0304, -2};
    SwapBytes16InPlace(words, 3);
    EXPECT_EQ(words[0], 0x0201);
    EXPECT_EQ(words[1], 0x0403);
    EXPECT_EQ(words[2], int16_t(0xFEFF));
}

TEST(SampleConversions, ExtendedToDouble)
{
    const uint8_t r44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    const uint8_t r8000[10] = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t rOdd[10] = {0x40, 0x0D, 0xAD, 0xDD, 0x17, 0x45, 0xD1, 0x74, 0x58, 0x00};
    const uint8_t zero[10] = {};
    const uint8_t negHalf[10] = {0xBF, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t inf[10] = {0x7F, 0xFF, 0x12, 0x34, 0, 0, 0, 0, 0, 1};
    const uint8_t tiny[10] = {0x00, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t lowBits[10] = {0x40, 0x3E, 0x80, 0, 0, 0, 0, 0, 0, 1}; // 2^63 + 1 rounds to 2^63
    EXPECT_EQ(ExtendedToDouble(r44100), 44100.0);
    EXPECT_EQ(ExtendedToDouble(r8000), 8000.0);
    EXPECT_NEAR(ExtendedToDouble(rOdd), 22254.545454, 1e-5);
    EXPECT_EQ(ExtendedToDouble(zero), 0.0);
    EXPECT_EQ(ExtendedToDouble(negHalf), -0.5);
    EXPECT_TRUE(std::isinf(ExtendedToDouble(inf)) && ExtendedToDouble(inf) > 0);
    EXPECT_EQ(ExtendedToDouble(tiny), std::ldexp(1.0, -16382));
    EXPECT_EQ(ExtendedToDouble(lowBits), std::ldexp(1.0, 63));
}
