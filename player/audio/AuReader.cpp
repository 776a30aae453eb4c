// ReadAuFile: one-channel AU in either byte order, 8-bit mu-law,
// 8-bit linear or 16-bit linear.
#include "player/audio/SoundReaders.h"

#include "player/audio/AudioResource.h"
#include "player/audio/CFileReader.h"
#include "player/audio/ReaderSupport.h"
#include "player/audio/SampleConversions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace sonavel::audio;

namespace {

enum : uint32_t { AU_ENCODING_MULAW_8 = 1, AU_ENCODING_LINEAR_8 = 2, AU_ENCODING_LINEAR_16 = 3 };

EReaderAnswer RefuseAu(CLoadResult& result, const char* szText)
{
    result.nFailure = ELoadFailure::Refused;
    result.strMessage = szText;
    result.bBeep = true;
    return EReaderAnswer::Refused;
}

} // namespace

EReaderAnswer sonavel::audio::ReadAuFile(CFileReader& file, const CSoundProbe& probe, int nChannel, SampleStore& store,
                                         CLoadResult& result)
{
    // Zero-filled: a short file must not see fields it does not have.
    uint8_t header[24] = {};
    if (probe.nHead)
        std::memcpy(header, probe.pHead, std::min(sizeof header, probe.nHead));

    bool bBigEndian;
    if (std::memcmp(header, ".snd", 4) == 0 || std::memcmp(header, ".sd\0", 4) == 0)
        bBigEndian = true;
    else if (std::memcmp(header, "dns.", 4) == 0 || std::memcmp(header, "\0ds.", 4) == 0)
        bBigEndian = false;
    else
        return EReaderAnswer::NotMine;
    auto field = [&](int nIndex) {
        const uint8_t* p = header + 4 * nIndex;
        return bBigEndian ? LoadBE32(p) : LoadLE32(p);
    };
    const uint32_t nDataOffset = field(1);
    if (nDataOffset < kAuMinDataOffset)
        return EReaderAnswer::NotMine;
    const uint32_t nDataSize = field(2);
    const uint32_t nEncoding = field(3);
    const uint32_t nRate = field(4);
    const uint32_t nChannels = field(5);

    // A declared size beyond the end of the file (the all-ones "unknown size"
    // among them) means: as much as the file holds.
    const int64_t nAvailable = std::max<int64_t>(0, file.GetLength() - int64_t(nDataOffset));
    const uint32_t nSize = uint32_t(std::min<int64_t>(nDataSize, nAvailable));
    // A header with no channel holds no sound: the same refusal as more than one.
    if (nChannels != 1 || nSize == 0) {
        return RefuseAu(result, kszAuNoDataOrChannels);
    }
    if (TakeChannel(nChannel, 1, store, result) < 0)
        return EReaderAnswer::Refused;
    file.Seek(nDataOffset);

    switch (nEncoding) {
    case AU_ENCODING_MULAW_8:
    case AU_ENCODING_LINEAR_8: {
        if (!SetStoreSize(store, nSize, result))
            return EReaderAnswer::Refused;
        const std::size_t nChunk = std::min<std::size_t>(nSize, kConvertChunkBytes);
        const CTempBytes pChunk = AllocTemp(nChunk);
        if (!pChunk) {
            return OutOfMemory(store, result);
        }
        if (!AllocSamples(store))
            return NoBlock(store, result);
        uint8_t* pBuf = pChunk.get();
        CSampleLock lock(store.hSamples);
        int16_t* pOut = lock.Samples();
        std::size_t nLeft = nSize;
        while (nLeft > 0) {
            const std::size_t nNow = std::min(nLeft, nChunk);
            // Should the file shrink under us, the missing samples stay silent.
            const std::size_t nGot = file.Read(pBuf, nNow);
            if (nEncoding == AU_ENCODING_MULAW_8)
                for (std::size_t i = 0; i < nGot; ++i)
                    pOut[i] = MuLawToLinear(pBuf[i]);
            else
                for (std::size_t i = 0; i < nGot; ++i)
                    pOut[i] = int16_t(int8_t(pBuf[i]) * 256);
            if (nGot < nNow)
                break;
            pOut += nNow;
            nLeft -= nNow;
        }
        break;
    }
    case AU_ENCODING_LINEAR_16: {
        if (!SetStoreSize(store, nSize / 2, result))
            return EReaderAnswer::Refused;
        if (!AllocSamples(store))
            return NoBlock(store, result);
        CSampleLock lock(store.hSamples);
        // A short read leaves the rest of the zero-filled block silent.
        const std::size_t nGot = file.Read(lock.Data(), std::size_t(store.byteLength));
        if (bBigEndian == IsHostLittleEndian())
            SwapBytes16InPlace(lock.Samples(), WordsTouched(nGot, store.byteLength));
        break;
    }
    default:
        return RefuseAu(result, kszAuUnsupportedCoding);
    }
    store.sampleRate = int32_t(nRate);
    return EReaderAnswer::Loaded;
}
