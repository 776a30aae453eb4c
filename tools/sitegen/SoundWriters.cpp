#include "tools/sitegen/SoundWriters.h"

#include "tools/voicesynth/WavFile.h"
#include "common/SoundFormat.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace sitegen {

namespace {

void PutLE16(Bytes& b, uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void PutLE32(Bytes& b, uint32_t v) { PutLE16(b, v & 0xFFFF); PutLE16(b, v >> 16); }
void PutBE16(Bytes& b, uint32_t v) { b.push_back(uint8_t(v >> 8)); b.push_back(uint8_t(v)); }
void PutBE32(Bytes& b, uint32_t v) { PutBE16(b, v >> 16); PutBE16(b, v & 0xFFFF); }
void PutId(Bytes& b, const char* sz) { b.insert(b.end(), sz, sz + 4); }

void PatchBE32(Bytes& b, size_t nAt, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[nAt + i] = uint8_t(v >> (8 * (3 - i)));
}

Bytes AiffCommon(bool bAifc, const std::vector<int16_t>& samples, int nRate)
{
    Bytes b;
    PutId(b, "FORM");
    PutBE32(b, 0);
    PutId(b, bAifc ? "AIFC" : "AIFF");
    if (bAifc) {
        PutId(b, "FVER");
        PutBE32(b, 4);
        PutBE32(b, 0xA2805140);   // AIFC version 1
    }
    PutId(b, "COMM");
    // "not compressed" as a Pascal string padded to even length: 1 + 14 + 1.
    static const char kName[] = "not compressed";
    const uint32_t nNameBytes = 1 + uint32_t(std::strlen(kName));
    const uint32_t nNamePadded = nNameBytes + (nNameBytes % 2);
    PutBE32(b, bAifc ? 18 + 4 + nNamePadded : 18);
    PutBE16(b, 1);
    PutBE32(b, uint32_t(samples.size()));
    PutBE16(b, 16);
    uint8_t extended[10];
    RateToExtended(nRate, extended);
    b.insert(b.end(), extended, extended + 10);
    if (bAifc) {
        PutId(b, "NONE");
        b.push_back(uint8_t(std::strlen(kName)));
        b.insert(b.end(), kName, kName + std::strlen(kName));
        if (nNamePadded != nNameBytes)
            b.push_back(0);
    }
    PutId(b, "SSND");
    PutBE32(b, uint32_t(8 + 2 * samples.size()));
    PutBE32(b, 0);   // offset
    PutBE32(b, 0);   // block size
    for (int16_t s : samples)
        PutBE16(b, uint16_t(s));
    PatchBE32(b, 4, uint32_t(b.size() - 8));
    return b;
}

Bytes AuHeader(uint32_t nDataBytes, int nEncoding, int nRate)
{
    Bytes b;
    PutId(b, ".snd");
    PutBE32(b, 32);   // header plus a small annotation field
    PutBE32(b, nDataBytes);
    PutBE32(b, nEncoding);
    PutBE32(b, nRate);
    PutBE32(b, 1);
    const char kNote[8] = {'K', 'o', 'r', 'v', 'a', 't', 'h', 0};
    b.insert(b.end(), kNote, kNote + 8);
    return b;
}

} // namespace

uint8_t LinearToMuLaw(int16_t nSample)
{
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int nValue = nSample;
    const int nSign = nValue < 0 ? 0x80 : 0;
    if (nValue < 0)
        nValue = -nValue;
    if (nValue > kClip)
        nValue = kClip;
    nValue += kBias;
    int nExponent = 7;
    for (int nMask = 0x4000; (nValue & nMask) == 0 && nExponent > 0; nMask >>= 1)
        --nExponent;
    const int nMantissa = (nValue >> (nExponent + 3)) & 0x0F;
    return uint8_t(~(nSign | (nExponent << 4) | nMantissa));
}

void RateToExtended(double dRate, uint8_t out[10])
{
    std::memset(out, 0, 10);
    if (dRate <= 0)
        return;
    int nExponent = 0;
    const double dMantissa = std::frexp(dRate, &nExponent);   // dRate = m * 2^e, 0.5 <= m < 1
    const int nBiased = nExponent - 1 + 16383;
    out[0] = uint8_t((nBiased >> 8) & 0x7F);
    out[1] = uint8_t(nBiased);
    const uint64_t nBits = uint64_t(std::ldexp(dMantissa, 64));
    for (int i = 0; i < 8; ++i)
        out[2 + i] = uint8_t(nBits >> (8 * (7 - i)));
}

// The site's WAV files carry the 18-byte "fmt " record.
Bytes WriteWave16(const std::vector<int16_t>& samples, int nRate, int nChannels)
{
    return WavBytes16(samples, nRate, nChannels, true);
}

Bytes WriteWave8(const std::vector<int16_t>& samples, int nRate)
{
    Bytes data;
    for (int16_t s : samples)
        data.push_back(uint8_t((s >> 8) + 128));
    WavFormat f;
    f.nRate = nRate;
    f.nBits = 8;
    f.bWithSize = true;
    return WavBytes(f, data);
}

Bytes WriteWaveMuLaw(const std::vector<int16_t>& samples, int nRate)
{
    Bytes data;
    for (int16_t s : samples)
        data.push_back(LinearToMuLaw(s));
    WavFormat f;
    f.nTag = 7;
    f.nRate = nRate;
    f.nBits = 8;
    f.bWithSize = true;
    return WavBytes(f, data);
}

Bytes WriteAiff(const std::vector<int16_t>& samples, int nRate) { return AiffCommon(false, samples, nRate); }
Bytes WriteAifcNone(const std::vector<int16_t>& samples, int nRate) { return AiffCommon(true, samples, nRate); }

Bytes WriteAu16(const std::vector<int16_t>& samples, int nRate)
{
    Bytes b = AuHeader(uint32_t(2 * samples.size()), 3, nRate);
    for (int16_t s : samples)
        PutBE16(b, uint16_t(s));
    return b;
}

Bytes WriteAuMuLaw(const std::vector<int16_t>& samples, int nRate)
{
    Bytes b = AuHeader(uint32_t(samples.size()), 1, nRate);
    for (int16_t s : samples)
        b.push_back(LinearToMuLaw(s));
    return b;
}

Bytes WriteFixedHeader(const std::vector<int16_t>& samples, int nRate, bool bLittleEndian)
{
    using namespace sonavel::format;
    Bytes b;
    auto put32 = [&](uint32_t v) { bLittleEndian ? PutLE32(b, v) : PutBE32(b, v); };
    put32(uint32_t(kFixedHeaderBytes));
    put32(bLittleEndian ? kFixedFormatLE : kFixedFormatBE);
    put32(0);
    put32(0);
    put32(uint32_t(nRate));
    put32(0);
    put32(uint32_t(2 * samples.size()));
    b.resize(kFixedHeaderBytes, 0);
    for (int16_t s : samples)
        bLittleEndian ? PutLE16(b, uint16_t(s)) : PutBE16(b, uint16_t(s));
    return b;
}

} // namespace sitegen
