#pragma once
// libsndfile's decoders on an open descriptor, and one channel of what they
// decode as 16-bit samples: the working parts of the last reader.
#include <sndfile.h>

#include "player/audio/CSampleBlock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <new>
#include <memory>
#include <vector>

namespace sonavel {
namespace audio {

// libsndfile reads the file through these callbacks: pread at a position of
// its own, so several decoders share one descriptor without disturbing each
// other or the file reader's position.
struct CVirtualFile {
    int fd;
    sf_count_t nLength;
    sf_count_t nPos;
};

// One decoder on the file; several may be open on the same descriptor.
class CSndfile {
public:
    CSndfile(int fd, sf_count_t nLength) : m_file{fd, nLength, 0} {}
    ~CSndfile()
    {
        if (m_pSnd)
            sf_close(m_pSnd);
    }
    CSndfile(const CSndfile&) = delete;
    CSndfile& operator=(const CSndfile&) = delete;

    // 0 when open, else libsndfile's error number.
    int Open();
    SNDFILE* Get() const { return m_pSnd; }
    const SF_INFO& Info() const { return m_info; }

private:
    CVirtualFile m_file;
    SF_INFO m_info{};
    SNDFILE* m_pSnd = nullptr;
};

// Full scale is 1.0: scaled by 32768, rounded to the nearest (even on a tie),
// and clipped, so a peak above full scale stays at the edge instead of
// wrapping round to the other sign.
inline int16_t RealToSample16(double x)
{
    const double v = x * 32768.0;
    if (v >= 32767.0)
        return 32767;
    if (v <= -32768.0)
        return -32768;
    if (std::isnan(v))
        return 0;
    return int16_t(std::lrint(v));
}

// Floating-point and lossy codecs hand out real numbers; everything else
// (PCM of any width, FLAC, ALAC, the ADPCMs, the G.7xx codecs) whole ones.
bool HasRealSamples(int nFormat);

// Decodes up to nFrames frames from the decoder's position, keeping channel
// nIndex (0 .. nChannels - 1); returns the frames decoded (fewer when the
// stream ends early).
int64_t DecodeChannel(SNDFILE* pSnd, int nChannels, int nIndex, bool bReal, int16_t* pOut, int64_t nFrames);

// A sound whose length is not known up front (a FLAC written to a pipe
// declares none; an MP3's count is at best an estimate) is decoded into pieces
// first, since the store's size must be known before it is allocated. The
// pieces are sample blocks large enough to be mapped by themselves, so each
// goes back to the system as soon as it is copied: the peak stays near one
// copy of the sound.
class CPieces {
public:
    static constexpr int64_t kPiece = int64_t(1) << 21;

    // Decodes with fnDecode (up to n frames into p, returning the count) to the
    // end of the stream or past nLimit frames; returns the count. Throws
    // std::bad_alloc when a piece cannot be had.
    int64_t Decode(const std::function<int64_t(int16_t* p, int64_t n)>& fnDecode, int64_t nLimit)
    {
        for (;;) {
            m_pieces.push_back(CSampleBlock::Alloc(std::size_t(kPiece) * 2));
            if (!m_pieces.back())
                throw std::bad_alloc();
            CSampleLock lock(m_pieces.back());
            const int64_t nGot = fnDecode(lock.Samples(), kPiece);
            m_nFrames += nGot;
            if (nGot < kPiece || m_nFrames > nLimit)
                return m_nFrames;
        }
    }

    void MoveTo(int16_t* pOut)
    {
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            const int64_t nNow = std::min(kPiece, m_nFrames - int64_t(i) * kPiece);
            {
                CSampleLock lock(m_pieces[i]);
                std::copy(lock.Samples(), lock.Samples() + nNow, pOut + int64_t(i) * kPiece);
            }
            m_pieces[i].reset();
        }
        m_pieces.clear();
    }

private:
    std::vector<CSampleBlockHandle> m_pieces;
    int64_t m_nFrames = 0;
};

// Channel nIndex of a long FLAC decoded in parts on several threads, each part
// at least nPartFrames long. Returns the frames decoded without a gap from the start.
int64_t DecodeFlacInParts(CSndfile& first, int fd, sf_count_t nLength, int nIndex, int16_t* pOut, int64_t nFrames,
                          int64_t nPartFrames);

} // namespace audio
} // namespace sonavel
