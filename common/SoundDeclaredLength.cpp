#include "common/SoundDeclaredLength.h"

#include <cstring>

namespace sonavel {
namespace format {
namespace {

bool Has(const uint8_t* pHead, std::size_t nHead, std::size_t nAt, const char* szId)
{
    return nHead >= nAt + 4 && std::memcmp(pHead + nAt, szId, 4) == 0;
}

uint64_t LE(const uint8_t* p, int nBytes)
{
    uint64_t n = 0;
    for (int i = nBytes - 1; i >= 0; --i)
        n = n << 8 | p[i];
    return n;
}

uint64_t BE(const uint8_t* p, int nBytes)
{
    uint64_t n = 0;
    for (int i = 0; i < nBytes; ++i)
        n = n << 8 | p[i];
    return n;
}

// 8 + a container's size field, unless the field says "not known".
int64_t ContainerLength(uint64_t nSize, uint64_t nAllOnes)
{
    if (nSize < 4 || nSize == nAllOnes || nSize > uint64_t(INT64_MAX) - 8)
        return -1;
    return int64_t(nSize + 8);
}

} // namespace

int64_t DeclaredSoundLength(const uint8_t* pHead, std::size_t nHead)
{
    if (!pHead || nHead < 12)
        return -1;
    if (Has(pHead, nHead, 0, "RIFF") && Has(pHead, nHead, 8, "WAVE"))
        return ContainerLength(LE(pHead + 4, 4), 0xFFFFFFFFu);
    if (Has(pHead, nHead, 0, "RF64") && Has(pHead, nHead, 8, "WAVE")) {
        if (!Has(pHead, nHead, 12, "ds64") || nHead < 28)
            return -1;
        return ContainerLength(LE(pHead + 20, 8), ~uint64_t(0));
    }
    if (Has(pHead, nHead, 0, "FORM") && (Has(pHead, nHead, 8, "AIFF") || Has(pHead, nHead, 8, "AIFC")))
        return ContainerLength(BE(pHead + 4, 4), 0xFFFFFFFFu);
    const bool bAuBig = Has(pHead, nHead, 0, ".snd");
    const bool bAuLittle = Has(pHead, nHead, 0, "dns.");
    if (bAuBig || bAuLittle) {
        const uint64_t nOffset = bAuBig ? BE(pHead + 4, 4) : LE(pHead + 4, 4);
        const uint64_t nSize = bAuBig ? BE(pHead + 8, 4) : LE(pHead + 8, 4);
        if (nOffset < 24 || nSize == 0 || nSize == 0xFFFFFFFFu)
            return -1;
        return int64_t(nOffset + nSize);
    }
    return -1;
}

} // namespace format
} // namespace sonavel
