// The fixed-header PCM format: one channel of 16-bit samples behind a header of
// 6480 bytes, little-endian (format code 10) or big-endian (format code 20).
#include "player/audio/SoundReaders.h"

#include "player/audio/AudioResource.h"
#include "player/audio/CFileReader.h"
#include "player/audio/ReaderSupport.h"
#include "player/audio/SampleConversions.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace sonavel::audio;

int sonavel::audio::CheckFixedHeader(CFileReader& file, const CSoundProbe& probe, int bLittleEndian, SampleStore& store)
{
    // Zero-filled: a short file must not see fields it does not have.
    uint8_t header[kFixedHeaderBytes] = {};
    const std::size_t nRead = std::min<std::size_t>(probe.nHead, sizeof header);
    if (nRead)
        std::memcpy(header, probe.pHead, nRead);
    const int64_t n = int64_t(nRead);
    // The two fields the check rests on must come from the file: a file of 5 to 7
    // bytes would otherwise pass with a format code made up of the cleared buffer.
    if (n < 8)
        return 0;

    uint32_t nHeaderLength, nFormat, nRate, nDataLength;
    if (bLittleEndian) {
        nHeaderLength = LoadLE32(header + 0);
        nFormat = LoadLE32(header + 4);
        // The little-endian variant names the header length as read: the whole
        // count, or the count less the length field itself.
        if ((int64_t(nHeaderLength) != n && int64_t(nHeaderLength) != n - 4) || nFormat != kFixedFormatLE)
            return 0;
        nRate = LoadLE32(header + 16);
        nDataLength = LoadLE32(header + 24);
    } else {
        // Every byte pair swapped, then the halves of each field exchanged: the
        // same as reading the fields big-endian.
        for (unsigned i = 0; i + 1 < sizeof header; i += 2)
            std::swap(header[i], header[i + 1]);
        nHeaderLength = SwapHalves32(LoadLE32(header + 0));
        nFormat = SwapHalves32(LoadLE32(header + 4));
        if ((nHeaderLength != kFixedHeaderBytes && nHeaderLength != kFixedHeaderBytes - 4) || nFormat != kFixedFormatBE)
            return 0;
        nRate = SwapHalves32(LoadLE32(header + 16));
        nDataLength = SwapHalves32(LoadLE32(header + 24));
    }
    // A length beyond the end of the file means: as much as the file holds
    // (a negative one stays, and no block is made for it).
    const int64_t nAvailable = std::max<int64_t>(0, file.GetLength() - n);
    if (int32_t(nDataLength) >= 0 && int64_t(nDataLength) > nAvailable)
        nDataLength = uint32_t(nAvailable);
    store.sampleRate = int32_t(nRate);
    store.byteLength = int32_t(nDataLength);
    store.sampleCount = store.byteLength / 2;
    file.Seek(n);
    return 1;
}

namespace {

// Either byte order: the header's format code and the samples' order.
EReaderAnswer ReadFixedHeader(CFileReader& file, const CSoundProbe& probe, int nChannel, bool bLittleEndian,
                              SampleStore& store, CLoadResult& result)
{
    // A negative data length cannot be a sound: the header is not this format's.
    if (!CheckFixedHeader(file, probe, bLittleEndian ? 1 : 0, store) || store.byteLength < 0)
        return EReaderAnswer::NotMine;
    if (TakeChannel(nChannel, 1, store, result) < 0) // the format holds one channel
        return EReaderAnswer::Refused;
    if (!AllocSamples(store))
        return NoBlock(store, result);
    // Read from just past the header; a short read is no error, the rest of the
    // block stays silent. Every word that arrived in the other order than the
    // host's is turned round, the last one too when the file ends in its
    // middle (its missing byte reads as 0).
    CSampleLock lock(store.hSamples);
    const std::size_t nGot = file.Read(lock.Data(), std::size_t(store.byteLength));
    if (IsHostLittleEndian() != bLittleEndian)
        SwapBytes16InPlace(lock.Samples(), WordsTouched(nGot, store.byteLength));
    return EReaderAnswer::Loaded;
}

} // namespace

EReaderAnswer sonavel::audio::ReadFixedHeaderFileLE(CFileReader& file, const CSoundProbe& probe, int nChannel,
                                                    SampleStore& store, CLoadResult& result)
{
    return ReadFixedHeader(file, probe, nChannel, true, store, result);
}

EReaderAnswer sonavel::audio::ReadFixedHeaderFileBE(CFileReader& file, const CSoundProbe& probe, int nChannel,
                                                    SampleStore& store, CLoadResult& result)
{
    return ReadFixedHeader(file, probe, nChannel, false, store, result);
}
