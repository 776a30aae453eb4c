// ReadWaveFile: RIFF/WAVE, PCM or mu-law, one channel of each frame (the
// first unless another is asked for).
#include "player/audio/SoundReaders.h"

#include "player/audio/AudioResource.h"
#include "player/audio/CFileReader.h"
#include "player/audio/ReaderSupport.h"
#include "player/audio/SampleConversions.h"
#include "player/audio/WaveChunkWalk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace sonavel::audio;

namespace {

// Where the kept sample lies in a frame and how to turn it into 16 bits.
enum class EWaveLayout { Byte8, Word16, WideTop16 };

void ConvertFrames(EWaveLayout layout, uint16_t wFormatTag, const uint8_t* pIn, std::size_t nFrameBytes,
                   std::size_t nSkipBytes, int16_t* pOut, std::size_t nFrames)
{
    switch (layout) {
    case EWaveLayout::Byte8:
        if (wFormatTag == WAVE_FORMAT_MULAW) {
            for (std::size_t i = 0; i < nFrames; ++i)
                pOut[i] = MuLawToLinear(pIn[i * nFrameBytes + nSkipBytes]);
        } else {
            // Unsigned 8-bit PCM recentred on zero.
            for (std::size_t i = 0; i < nFrames; ++i)
                pOut[i] = int16_t((int(pIn[i * nFrameBytes + nSkipBytes]) - 128) * 256);
        }
        break;
    case EWaveLayout::Word16:
    case EWaveLayout::WideTop16:
        // Little-endian in the file; for wide samples the top two bytes of the
        // kept channel's container (nSkipBytes in) are the most significant 16 bits.
        if (!IsHostLittleEndian()) {
            for (std::size_t i = 0; i < nFrames; ++i)
                pOut[i] = int16_t(LoadLE16(pIn + i * nFrameBytes + nSkipBytes));
        } else if (nFrameBytes == 4 && (nSkipBytes == 0 || nSkipBytes == 2)) {
            // Stereo 16-bit, the common case: one half of each 32-bit frame.
            // Written as whole-frame loads so the compiler packs them in vectors.
            const unsigned nShift = unsigned(8 * nSkipBytes);
            for (std::size_t i = 0; i < nFrames; ++i) {
                uint32_t frame;
                std::memcpy(&frame, pIn + 4 * i, 4);
                pOut[i] = int16_t((frame >> nShift) & 0xFFFF);
            }
        } else {
            for (std::size_t i = 0; i < nFrames; ++i)
                std::memcpy(&pOut[i], pIn + i * nFrameBytes + nSkipBytes, 2);
        }
        break;
    }
}

EReaderAnswer RefuseSampleSize(CLoadResult& result, unsigned nBits)
{
    result.nFailure = ELoadFailure::Refused;
    result.strMessage = std::string(kszWaveUnsupportedBits) + "(" + std::to_string(nBits) + " bits) ";
    result.bBeep = true;
    return EReaderAnswer::Refused;
}

} // namespace

EReaderAnswer sonavel::audio::ReadWaveFile(CFileReader& file, const CSoundProbe&, int nChannel, SampleStore& store,
                                           CLoadResult& result)
{
    WaveFormatRecord fmt;
    int64_t nDataOffset = 0;
    uint32_t nDataLength = 0;
    if (!LocateWaveData(file, fmt, nDataOffset, nDataLength))
        return EReaderAnswer::NotMine;

    // No sample fits in 0 bits, and no integer sample is wider than 32: such a
    // header describes nothing this reader can turn into sound.
    if (fmt.wBitsPerSample == 0 || fmt.wBitsPerSample > kWaveMaxBitsPerSample)
        return RefuseSampleSize(result, fmt.wBitsPerSample);

    // 8 bits: one byte per channel, and so are 1 to 7 bits when the block holds
    // one byte per channel (the bits sit at the top of the byte). Otherwise, up
    // to 16 bits: one 16-bit word per channel.
    // Wider integer samples (24, 32 bits) sit in containers of whole bytes; of the
    // kept channel's container we keep its most significant 16 bits, which turns
    // them into 16-bit sound rather than noise.
    EWaveLayout layout;
    std::size_t nSampleBytes;
    if (fmt.wBitsPerSample == 8 || (fmt.wBitsPerSample < 8 && fmt.nBlockAlign == fmt.nChannels)) {
        layout = EWaveLayout::Byte8;
        nSampleBytes = 1;
    } else if (fmt.wBitsPerSample <= 16) {
        layout = EWaveLayout::Word16;
        nSampleBytes = 2;
    } else {
        layout = EWaveLayout::WideTop16;
        nSampleBytes = (fmt.wBitsPerSample + 7u) / 8u;
    }
    const int nIndex = TakeChannel(nChannel, fmt.nChannels, store, result);
    if (nIndex < 0)
        return EReaderAnswer::Refused;
    const std::size_t nFrameBytes = nSampleBytes * fmt.nChannels;
    const std::size_t nSkipBytes =
        std::size_t(nIndex) * nSampleBytes + (layout == EWaveLayout::WideTop16 ? nSampleBytes - 2 : 0);
    const int64_t nFrames = int64_t(nDataLength / nFrameBytes);
    if (!SetStoreSize(store, nFrames, result))
        return EReaderAnswer::Refused;

    // Frames go through a cache-sized buffer straight into the final block: one
    // pass over the data and no second copy of the whole sound. Mono 16-bit needs
    // no conversion at all and is read straight into the block.
    const bool bDirect = layout != EWaveLayout::Byte8 && nFrameBytes == 2;
    std::size_t nChunkFrames = std::max<std::size_t>(1, kConvertChunkBytes / nFrameBytes);
    nChunkFrames = std::min<std::size_t>(nChunkFrames, std::size_t(nFrames));
    CTempBytes pChunk;
    if (!bDirect) {
        pChunk = AllocTemp(nChunkFrames * nFrameBytes);
        if (!pChunk) {
            return OutOfMemory(store, result);
        }
    }
    if (!AllocSamples(store))
        return NoBlock(store, result);

    CSampleLock lock(store.hSamples);
    int16_t* pOut = lock.Samples();
    file.Seek(nDataOffset);
    if (bDirect) {
        const std::size_t nBytes = std::size_t(store.byteLength);
        if (file.ReadSpread(pOut, nBytes, nDataOffset) != nBytes)
            return EReaderAnswer::NotMine;
        // The file is little-endian; on a big-endian host each word is turned round.
        if (!IsHostLittleEndian())
            SwapBytes16InPlace(pOut, store.sampleCount);
    } else {
        std::size_t nLeft = std::size_t(nFrames);
        while (nLeft > 0) {
            const std::size_t nNow = std::min(nLeft, nChunkFrames);
            const std::size_t nBytes = nNow * nFrameBytes;
            if (file.Read(pChunk.get(), nBytes) != nBytes)
                return EReaderAnswer::NotMine; // the data chunk is shorter than it claims
            ConvertFrames(layout, fmt.wFormatTag, pChunk.get(), nFrameBytes, nSkipBytes, pOut, nNow);
            pOut += nNow;
            nLeft -= nNow;
        }
    }
    store.sampleRate = int32_t(fmt.nSamplesPerSec);
    return EReaderAnswer::Loaded;
}
