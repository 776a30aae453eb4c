#include "player/analysis/core/CWaveFileSamples.h"

#include <cerrno>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

#include "player/audio/CFileException.h"
#include "player/audio/SampleConversions.h"
#include "player/audio/WaveChunkWalk.h"

namespace sonavel {
namespace analysis {

bool CWaveFileSamples::Open(const std::string& path)
{
    // Only a regular file can be read again at any offset.
    struct stat st = {};
    if (!m_file.Open(path) || ::fstat(m_file.GetDescriptor(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    audio::WaveFormatRecord fmt;
    int64_t nOffset = 0;
    uint32_t nLength = 0;
    try {
        if (!audio::LocateWaveData(m_file, fmt, nOffset, nLength))
            return false;
    } catch (const CFileException&) {
        return false;
    }
    // The wave reader keeps whole frames, and refuses a sound whose byte count
    // does not fit the store's 32 bits.
    const int64_t nFrames = nLength / 2;
    const int32_t nRate = int32_t(fmt.nSamplesPerSec);
    if (fmt.wFormatTag != audio::WAVE_FORMAT_PCM || fmt.nChannels != 1 || fmt.wBitsPerSample != 16 || nFrames <= 0
        || nFrames > std::numeric_limits<int32_t>::max() / 2 || nRate <= 0)
        return false;
    m_nDataOffset = nOffset;
    m_nCount = int(nFrames);
    m_nRate = nRate;
    return true;
}

const int16_t* CWaveFileSamples::Fetch(int nFirst, int nCount, int16_t* pBuffer) const
{
    if (!pBuffer || nFirst < 0 || nCount < 0 || nFirst > m_nCount - nCount)
        return nullptr;
    const std::size_t nBytes = sizeof(int16_t) * std::size_t(nCount);
    const off_t nStart = off_t(m_nDataOffset + int64_t(sizeof(int16_t)) * nFirst);
    auto* pBytes = reinterpret_cast<unsigned char*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        const ssize_t n = ::pread(m_file.GetDescriptor(), pBytes + nDone, nBytes - nDone, nStart + off_t(nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return nullptr;
        nDone += std::size_t(n);
    }
    // The file is little-endian; on a big-endian host each word is turned round.
    if (!audio::IsHostLittleEndian())
        audio::SwapBytes16InPlace(pBuffer, nCount);
    return pBuffer;
}

} // namespace analysis
} // namespace sonavel
