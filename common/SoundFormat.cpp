#include "common/SoundFormat.h"

#include <algorithm>
#include <cstring>

namespace sonavel {
namespace format {
namespace {

bool Has(const uint8_t* pHead, std::size_t nHead, std::size_t nAt, const char* szId)
{
    return nHead >= nAt + 4 && std::memcmp(pHead + nAt, szId, 4) == 0;
}

uint32_t LE32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }

// The "riff" and "wave" GUIDs that open a W64 file, at bytes 0 and 24.
constexpr uint8_t kW64Riff[16] = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr uint8_t kW64Wave[16] = {'w', 'a', 'v', 'e', 0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

// An MPEG audio layer III frame header: the 11-bit sync, a known version, a
// bit rate other than "free" or "bad" and a known sample rate.
bool IsMp3Frame(const uint8_t* p, std::size_t nLeft)
{
    if (nLeft < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int nVersion = (p[1] >> 3) & 3, nLayer = (p[1] >> 1) & 3, nBitRate = p[2] >> 4, nRate = (p[2] >> 2) & 3;
    return nVersion != 1 && nLayer == 1 && nBitRate != 0 && nBitRate != 15 && nRate != 3;
}

// An ID3v2 tag ("ID3", version 2 to 4, a size in four 7-bit bytes), then a
// frame where the tag ends, when that lies within the bytes at hand.
bool IsMp3WithTag(const uint8_t* p, std::size_t nHead)
{
    if (nHead < 10 || std::memcmp(p, "ID3", 3) != 0 || p[3] < 2 || p[3] > 4 || ((p[6] | p[7] | p[8] | p[9]) & 0x80))
        return false;
    std::size_t nEnd = 10 + ((std::size_t(p[6]) << 21) | (std::size_t(p[7]) << 14) | (std::size_t(p[8]) << 7) | p[9]);
    if (p[5] & 0x10)
        nEnd += 10; // a footer follows the tag
    return nEnd >= nHead || IsMp3Frame(p + nEnd, nHead - nEnd);
}

} // namespace

ESoundFormat RecogniseSoundHeader(const uint8_t* pHead, std::size_t nHead, int64_t nFileLength)
{
    if (!pHead)
        nHead = 0;
    if (nFileLength >= 0)
        nHead = std::min<std::size_t>(nHead, uint64_t(nFileLength));
    if (Has(pHead, nHead, 0, "RIFF") && Has(pHead, nHead, 8, "WAVE"))
        return ESoundFormat::Wave;
    if (Has(pHead, nHead, 0, "FORM") && Has(pHead, nHead, 8, "AIFF"))
        return ESoundFormat::Aiff;
    if (Has(pHead, nHead, 0, "FORM") && Has(pHead, nHead, 8, "AIFC"))
        return ESoundFormat::Aifc;
    if (nHead >= 4 && (std::memcmp(pHead, ".snd", 4) == 0 || std::memcmp(pHead, ".sd\0", 4) == 0 ||
                       std::memcmp(pHead, "dns.", 4) == 0 || std::memcmp(pHead, "\0ds.", 4) == 0))
        return ESoundFormat::Au;
    if (Has(pHead, nHead, 0, "fLaC"))
        return ESoundFormat::Flac;
    if (Has(pHead, nHead, 0, "OggS"))
        return ESoundFormat::Ogg;
    if ((Has(pHead, nHead, 0, "RF64") || Has(pHead, nHead, 0, "BW64")) && Has(pHead, nHead, 8, "WAVE"))
        return ESoundFormat::Rf64;
    if (nHead >= 40 && std::memcmp(pHead, kW64Riff, 16) == 0 && std::memcmp(pHead + 24, kW64Wave, 16) == 0)
        return ESoundFormat::W64;
    if (Has(pHead, nHead, 0, "caff") && nHead >= 6 && pHead[4] == 0 && pHead[5] == 1)
        return ESoundFormat::Caf;
    if (nHead >= 8 && std::memcmp(pHead, "NIST_1A\n", 8) == 0)
        return ESoundFormat::Sphere;
    if (nHead < 8)
        return ESoundFormat::Unknown;
    // The little-endian variant names the header length as read (the whole
    // count, or the count less the length field); the big-endian one names 6480.
    const int64_t nRead = int64_t(std::min(nHead, kFixedHeaderBytes));
    const int64_t nLengthLE = LE32(pHead);
    if (LE32(pHead + 4) == kFixedFormatLE && (nLengthLE == nRead || nLengthLE == nRead - 4))
        return ESoundFormat::FixedLE;
    const uint32_t nLengthBE = BE32(pHead);
    if (BE32(pHead + 4) == kFixedFormatBE && (nLengthBE == kFixedHeaderBytes || nLengthBE == kFixedHeaderBytes - 4))
        return ESoundFormat::FixedBE;
    // Last, as the loosest: a bare frame sync is only 11 bits.
    if (IsMp3WithTag(pHead, nHead) || IsMp3Frame(pHead, nHead))
        return ESoundFormat::Mp3;
    return ESoundFormat::Unknown;
}

} // namespace format
} // namespace sonavel
