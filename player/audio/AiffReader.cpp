// ReadAiffFile: AIFF and uncompressed ("NONE") AIFC, one channel of
// 8 or 16 bits, big-endian.
//
// The chunks are found by a bounded scan rather than a walk: each pass looks at
// the current position for FORM, COMM, SSND, FVER and then a skippable chunk, in
// that order, and a budget of 15 limits the passes (a taken FORM, COMM, SSND or
// FVER costs one more). COMM is taken as a fixed 26 (AIFF) or 46 (AIFC) bytes
// whatever its declared length, and must come before SSND.
#include "player/audio/SoundReaders.h"

#include "player/audio/AudioResource.h"
#include "player/audio/CFileReader.h"
#include "player/audio/ReaderSupport.h"
#include "player/audio/SampleConversions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

using namespace sonavel::audio;

namespace {

bool IsId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

bool IsSkippedChunk(const uint8_t* p)
{
    static const char* const s_skipped[] = {"MARK", "INST", "MIDI", "AESD", "APPL",
                                            "COMT", "NAME", "AUTH", "(c) ", "ANNO"};
    for (const char* id : s_skipped)
        if (IsId(p, id))
            return true;
    return false;
}

// Truncation toward zero, saturated: an absurd finite rate must not turn into
// undefined behaviour, only into a rate the player cannot play. An infinite or
// NaN field is no rate at all and reads as a broken header's 0 (the player then
// says it cannot play it; nothing gets a time axis out of it).
int32_t RateToInt(double dRate)
{
    if (!std::isfinite(dRate))
        return 0;
    if (dRate >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (dRate <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return int32_t(dRate);
}

} // namespace

EReaderAnswer sonavel::audio::ReadAiffFile(CFileReader& file, const CSoundProbe&, int nChannel, SampleStore& store,
                                           CLoadResult& result)
{
    int64_t nPos = 0; // 64 bits: skipping huge chunks only ever moves it forward
    int nBudget = kAiffScanBudget;
    bool bSawForm = false, bSawComm = false, bIsAiff = false, bIsAifcNone = false;
    bool bSawSsnd = false, bSawFver = false;
    uint8_t form[kAiffFormHeaderBytes] = {};
    uint8_t commAiff[kAiffCommBytes] = {};
    uint8_t commAifc[kAifcCommBytes] = {};
    uint8_t header[8];

    // Reads the 8-byte chunk header at the position. Past the end of the file it
    // reads as zeros, so an old identifier can never match twice.
    auto look = [&]() {
        std::memset(header, 0, sizeof header);
        file.Seek(nPos);
        file.Read(header, sizeof header);
    };
    auto readAt = [&](uint8_t* pDst, std::size_t nBytes) {
        std::memset(pDst, 0, nBytes);
        file.Seek(nPos);
        file.Read(pDst, nBytes);
    };

    file.Seek(0);
    do {
        look();
        if (IsId(header, "FORM")) {
            nPos = 0;
            readAt(form, sizeof form);
            nPos = kAiffFormHeaderBytes;
            bSawForm = true;
            --nBudget;
        }
        look();
        if (IsId(header, "COMM") && bSawForm) {
            if (IsId(form + 8, "AIFF")) {
                readAt(commAiff, sizeof commAiff);
                nPos += kAiffCommBytes;
                // One channel only: a count of 0x8000 and up is negative, not mono.
                if (int16_t(LoadBE16(commAiff + 8)) != 1)
                    return EReaderAnswer::NotMine;
                bIsAiff = true;
            } else if (IsId(form + 8, "AIFC")) {
                readAt(commAifc, sizeof commAifc);
                if (!IsId(commAifc + 26, "NONE"))
                    return EReaderAnswer::NotMine;
                if (int16_t(LoadBE16(commAifc + 8)) != 1)
                    return EReaderAnswer::NotMine;
                nPos += kAifcCommBytes;
                bIsAifcNone = true;
            } else {
                return EReaderAnswer::NotMine;
            }
            bSawComm = true;
            --nBudget;
        }
        look();
        if (IsId(header, "SSND")) {
            uint8_t ssnd[kAiffSsndHeaderBytes];
            readAt(ssnd, sizeof ssnd);
            nPos += kAiffSsndHeaderBytes; // the first sample byte; the offset field is not used
            bSawSsnd = true;
            --nBudget;
        }
        look();
        if (IsId(header, "FVER")) {
            uint8_t fver[kAiffFverBytes];
            readAt(fver, sizeof fver);
            nPos += kAiffFverBytes;
            bSawFver = true;
            --nBudget;
        }
        look();
        if (IsSkippedChunk(header))
            nPos += int64_t(LoadBE32(header + 4)) + 8; // no pad byte after odd lengths
        --nBudget;
    } while (nBudget > 0);

    if (!bSawComm)
        return EReaderAnswer::NotMine;
    const uint8_t* pComm = bIsAiff ? commAiff : commAifc;
    const uint32_t nFrames = LoadBE32(pComm + 10);
    const uint16_t nBits = LoadBE16(pComm + 14);
    store.sampleRate = RateToInt(ExtendedToDouble(pComm + 16));
    if (!bSawForm || !(bIsAiff || (bIsAifcNone && bSawFver)) || !bSawSsnd || nBits == 0)
        return EReaderAnswer::NotMine;
    if (nBits != 8 && nBits != 16)
        return EReaderAnswer::NotMine;

    // Sample data the file cannot hold would end in a short read: refuse it before
    // allocating anything for it.
    const int64_t nDataBytes = int64_t(nFrames) * (nBits / 8);
    if (nPos + nDataBytes > file.GetLength())
        return EReaderAnswer::NotMine;
    // One channel: a file of more is no AIFF of this reader's (see COMM above).
    if (TakeChannel(nChannel, 1, store, result) < 0)
        return EReaderAnswer::Refused;
    if (!SetStoreSize(store, nFrames, result))
        return EReaderAnswer::Refused;

    if (nBits == 8) {
        const CTempBytes pBuf = AllocTemp(nFrames);
        if (!pBuf) {
            return OutOfMemory(store, result);
        }
        file.Seek(nPos);
        if (file.Read(pBuf.get(), nFrames) < nFrames)
            return EReaderAnswer::NotMine;
        if (!AllocSamples(store))
            return NoBlock(store, result);
        CSampleLock lock(store.hSamples);
        int16_t* pOut = lock.Samples();
        for (uint32_t i = 0; i < nFrames; ++i)
            pOut[i] = int16_t(int8_t(pBuf.get()[i]) * 256);
        return EReaderAnswer::Loaded;
    }

    if (!AllocSamples(store))
        return NoBlock(store, result);
    CSampleLock lock(store.hSamples);
    file.Seek(nPos);
    if (file.Read(lock.Data(), std::size_t(store.byteLength)) < std::size_t(store.byteLength))
        return EReaderAnswer::NotMine;
    // Big-endian in the file, native in the store.
    if (IsHostLittleEndian())
        SwapBytes16InPlace(lock.Samples(), store.sampleCount);
    return EReaderAnswer::Loaded;
}
