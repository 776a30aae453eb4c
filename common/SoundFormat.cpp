#include "common/SoundFormat.h"

#include <algorithm>
#include <cstring>

namespace sonavel {
namespace format {
namespace {

constexpr std::size_t kFixedHeaderBytes = 6480;
constexpr uint32_t kFixedFormatLE = 10;
constexpr uint32_t kFixedFormatBE = 20;

bool Has(const uint8_t* pHead, std::size_t nHead, std::size_t nAt, const char* szId)
{
    return nHead >= nAt + 4 && std::memcmp(pHead + nAt, szId, 4) == 0;
}

uint32_t LE32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }

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
    return ESoundFormat::Unknown;
}

} // namespace format
} // namespace sonavel
