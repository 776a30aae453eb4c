#include "player/audio/WaveChunkWalk.h"

#include "player/audio/AudioResource.h"
#include "player/audio/CFileReader.h"
#include "player/audio/SampleConversions.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace sonavel {
namespace audio {

namespace {

uint32_t ReadLE32(CFileReader& file)
{
    uint8_t b[4] = {0, 0, 0, 0};
    file.Read(b, 4);
    return LoadLE32(b);
}

void ParseFormat(const uint8_t* raw, WaveFormatRecord& fmt)
{
    fmt.wFormatTag = LoadLE16(raw + 0);
    fmt.nChannels = LoadLE16(raw + 2);
    fmt.nSamplesPerSec = LoadLE32(raw + 4);
    fmt.nAvgBytesPerSec = LoadLE32(raw + 8);
    fmt.nBlockAlign = LoadLE16(raw + 12);
    fmt.wBitsPerSample = LoadLE16(raw + 14);
    fmt.cbSize = LoadLE16(raw + 16);
}

// An extensible "fmt " record (tag 0xFFFE) names its real encoding in a
// sub-format GUID at byte 24: the PCM or mu-law tag in its first two bytes, then
// a fixed tail. 24-bit and multi-channel files are nearly always written this
// way, so the tag is replaced by the sub-format's when the GUID is a plain one.
uint16_t ExtensibleSubFormat(CFileReader& file, int64_t nChunkPos, uint32_t nLength)
{
    static const uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (nLength < 40)
        return WAVE_FORMAT_EXTENSIBLE;
    uint8_t guid[16] = {};
    file.Seek(nChunkPos + 8 + 24);
    if (file.Read(guid, sizeof guid) != sizeof guid || std::memcmp(guid + 2, kGuidTail, sizeof kGuidTail) != 0)
        return WAVE_FORMAT_EXTENSIBLE;
    return LoadLE16(guid);
}

} // namespace

bool LocateWaveData(CFileReader& file, WaveFormatRecord& fmt, int64_t& nDataOffset, uint32_t& nDataLength)
{
    uint8_t header[12] = {};
    file.Seek(0);
    if (file.Read(header, sizeof header) != sizeof header)
        return false;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;

    // The record keeps what earlier "fmt " chunks put there; a later, shorter one
    // overwrites only its own bytes.
    uint8_t raw[kWaveFormatRecordBytes] = {};
    bool bFormatUsable = false;

    // 64-bit position: adding a 32-bit length can never wrap, a huge one simply
    // ends the walk.
    int64_t nPos = kRiffChunksStart;
    while (nPos < kWaveWalkLimit) {
        uint8_t id[4] = {};
        file.Seek(nPos);
        file.Read(id, 4);
        if (std::memcmp(id, "fmt ", 4) == 0) {
            const uint32_t nLength = ReadLE32(file);
            const std::size_t nWant = std::min<uint32_t>(nLength, kWaveFormatRecordBytes);
            const std::size_t nGot = file.Read(raw, nWant);
            ParseFormat(raw, fmt);
            if (fmt.wFormatTag == WAVE_FORMAT_EXTENSIBLE && nGot >= kWaveFormatMinBytes)
                fmt.wFormatTag = ExtensibleSubFormat(file, nPos, nLength);
            nPos += int64_t(nLength) + 8;
            if (fmt.wFormatTag != WAVE_FORMAT_PCM && fmt.wFormatTag != WAVE_FORMAT_MULAW)
                return false;
            bFormatUsable = nGot >= kWaveFormatMinBytes && fmt.nChannels != 0;
        } else if (std::memcmp(id, "data", 4) == 0) {
            const uint32_t nLength = ReadLE32(file);
            if (!bFormatUsable)
                return false;
            const int64_t nOffset = nPos + 8;
            // A data chunk the file cannot hold in full is refused before anything
            // is allocated for it.
            if (nOffset + int64_t(nLength) > file.GetLength())
                return false;
            nDataOffset = nOffset;
            nDataLength = nLength;
            return true;
        } else {
            const uint32_t nLength = ReadLE32(file);
            nPos += int64_t(nLength) + 8;
        }
    }
    return false;
}

bool FindWaveData(CFileReader& file, WaveFormatRecord& fmt, int32_t& nDataLength, CSampleBlockHandle& hSamples)
{
    int64_t nOffset = 0;
    uint32_t nLength = 0;
    if (!LocateWaveData(file, fmt, nOffset, nLength))
        return false;
    if (nLength > uint32_t(std::numeric_limits<int32_t>::max()))
        return false;
    nDataLength = int32_t(nLength);
    hSamples = CSampleBlock::Alloc(nLength);
    if (!hSamples)
        return false;
    CSampleLock lock(hSamples);
    file.Seek(nOffset);
    if (file.Read(lock.Data(), nLength) < nLength)
        return false;
    return true;
}

} // namespace audio
} // namespace sonavel
