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

// A WAV's chunk of that id among the first nHead bytes: its offset, or 0.
std::size_t FindRiffChunk(const uint8_t* pHead, std::size_t nHead, const char* szId)
{
    for (std::size_t nAt = 12; nAt + 8 <= nHead;) {
        if (std::memcmp(pHead + nAt, szId, 4) == 0)
            return nAt;
        const uint64_t nNext = nAt + 8 + LE(pHead + nAt + 4, 4) + (LE(pHead + nAt + 4, 4) & 1);
        if (nNext > nHead)
            break;
        nAt = std::size_t(nNext);
    }
    return 0;
}

// A known size over a positive frame size; -1 for the sizes of "not known yet"
// and for a count no file holds (an RF64's 8-byte size beyond a signed one).
int64_t Frames(uint64_t nBytes, uint64_t nAllOnes, uint64_t nFrameBytes)
{
    if (nBytes == 0 || nBytes == nAllOnes || nFrameBytes == 0 || nBytes / nFrameBytes > uint64_t(INT64_MAX))
        return -1;
    return int64_t(nBytes / nFrameBytes);
}

// Bytes per sample of an AU encoding: mu-law, 8, 16, 24, 32-bit linear,
// float, double, A-law; 0 for one without a fixed size.
uint64_t AuSampleBytes(uint64_t nEncoding)
{
    switch (nEncoding) {
    case 1: case 2: case 27: return 1;
    case 3: return 2;
    case 4: return 3;
    case 5: case 6: return 4;
    case 7: return 8;
    default: return 0;
    }
}

} // namespace

int64_t DeclaredSoundFrames(const uint8_t* pHead, std::size_t nHead)
{
    if (!pHead || DeclaredSoundLength(pHead, nHead) < 0)
        return -1;
    const bool bRf64 = Has(pHead, nHead, 0, "RF64");
    if (bRf64 || Has(pHead, nHead, 0, "RIFF")) {
        const std::size_t nFmt = FindRiffChunk(pHead, nHead, "fmt ");
        const std::size_t nData = FindRiffChunk(pHead, nHead, "data");
        if (nFmt == 0 || nData == 0 || nFmt + 22 > nHead)
            return -1;
        const uint64_t nFrameBytes = LE(pHead + nFmt + 8 + 12, 2); // the block align
        if (bRf64) // the data size is the ds64 chunk's
            return nHead < 36 ? -1 : Frames(LE(pHead + 28, 8), ~uint64_t(0), nFrameBytes);
        return Frames(LE(pHead + nData + 4, 4), 0xFFFFFFFFu, nFrameBytes);
    }
    if (Has(pHead, nHead, 0, "FORM")) {
        // The COMM chunk: channels (2 bytes), then the frame count (4).
        for (std::size_t nAt = 12; nAt + 14 <= nHead;) {
            if (std::memcmp(pHead + nAt, "COMM", 4) == 0)
                return Frames(BE(pHead + nAt + 10, 4), 0xFFFFFFFFu, 1);
            const uint64_t nNext = nAt + 8 + BE(pHead + nAt + 4, 4) + (BE(pHead + nAt + 4, 4) & 1);
            if (nNext > nHead)
                break;
            nAt = std::size_t(nNext);
        }
        return -1;
    }
    // AU: data size, encoding and channels at bytes 8, 12 and 20.
    if (nHead < 24)
        return -1;
    const bool bBig = Has(pHead, nHead, 0, ".snd");
    const uint64_t nSize = bBig ? BE(pHead + 8, 4) : LE(pHead + 8, 4);
    const uint64_t nEncoding = bBig ? BE(pHead + 12, 4) : LE(pHead + 12, 4);
    const uint64_t nChannels = bBig ? BE(pHead + 20, 4) : LE(pHead + 20, 4);
    return Frames(nSize, 0xFFFFFFFFu, AuSampleBytes(nEncoding) * nChannels);
}

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
