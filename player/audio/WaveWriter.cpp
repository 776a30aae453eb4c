#include "player/audio/WaveWriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

#include "common/OutputFile.h"
#include "player/audio/SampleConversions.h"

namespace sonavel {
namespace audio {

namespace {

void PutLE(char*& p, uint32_t v, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        *p++ = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutTag(char*& p, const char* szTag)
{
    std::copy(szTag, szTag + 4, p);
    p += 4;
}

// Samples a piece: a few hundred kilobytes of byte-swapped copy at most.
constexpr int64_t kPiece = 1 << 17;

} // namespace

std::pair<int64_t, int64_t> SamplesOfSpan(double dStartS, double dEndS, int nRate, int64_t nCount)
{
    const auto At = [&](double t) -> int64_t {
        if (!(t > 0))
            return 0; // before the sound, or NaN
        const double d = std::round(t * nRate);
        return d >= double(nCount) ? nCount : static_cast<int64_t>(d);
    };
    const int64_t nFirst = At(dStartS);
    return {nFirst, std::max(nFirst, At(dEndS))};
}

bool WriteWave(const int16_t* pSamples, int64_t nCount, int nRate, const WaveWriteFn& fnWrite)
{
    if (nCount < 0 || nCount > kMaxWaveSamples || nRate <= 0)
        return false;
    const uint32_t nData = static_cast<uint32_t>(nCount * 2);
    char header[44];
    char* p = header;
    PutTag(p, "RIFF");
    PutLE(p, 36 + nData, 4);
    PutTag(p, "WAVE");
    PutTag(p, "fmt ");
    PutLE(p, 16, 4);
    PutLE(p, 1, 2); // PCM
    PutLE(p, 1, 2); // one channel
    PutLE(p, static_cast<uint32_t>(nRate), 4);
    PutLE(p, static_cast<uint32_t>(nRate) * 2, 4); // bytes per second
    PutLE(p, 2, 2);                                // bytes per frame
    PutLE(p, 16, 2);
    PutTag(p, "data");
    PutLE(p, nData, 4);
    if (!fnWrite(header, sizeof header))
        return false;
    if (IsHostLittleEndian())
        return nCount == 0 || fnWrite(reinterpret_cast<const char*>(pSamples), std::size_t(nCount) * 2);
    std::vector<int16_t> piece;
    for (int64_t i = 0; i < nCount; i += kPiece) {
        const int64_t n = std::min(kPiece, nCount - i);
        piece.assign(pSamples + i, pSamples + i + n);
        SwapBytes16InPlace(piece.data(), n);
        if (!fnWrite(reinterpret_cast<const char*>(piece.data()), std::size_t(n) * 2))
            return false;
    }
    return true;
}

bool SaveWaveFile(const std::string& strPath, const int16_t* pSamples, int64_t nCount, int nRate, int& nErrno)
{
    nErrno = 0;
    if (nRate <= 0 || nCount < 0) {
        nErrno = EINVAL;
        return false;
    }
    if (nCount > kMaxWaveSamples) {
        nErrno = EFBIG;
        return false;
    }
    files::COutputFile file;
    const bool bOk = file.Open(strPath)
                  && WriteWave(pSamples, nCount, nRate, [&](const char* p, std::size_t n) { return file.Write(p, n); })
                  && file.Commit();
    if (!bOk)
        nErrno = file.Error() ? file.Error() : EIO;
    return bOk;
}

} // namespace audio
} // namespace sonavel
