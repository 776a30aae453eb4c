#pragma once
// MPEG audio (MP3, MP2) decoded with mpg123 directly, once libsndfile has
// recognised the stream. libsndfile takes an MP3's length from its first frame,
// an estimate that cuts a variable-rate file without a length header short and
// stops its decoding there; a scan of every frame header gives the exact count,
// so the sound goes straight into a store of the right size. Quiet: mpg123's
// warnings about damaged streams would otherwise reach stderr.
#include <cstdint>
#include <memory>

namespace sonavel {
namespace audio {

class CMpegDecoder {
public:
    CMpegDecoder(int fd, int64_t nLength);
    ~CMpegDecoder();
    CMpegDecoder(const CMpegDecoder&) = delete;
    CMpegDecoder& operator=(const CMpegDecoder&) = delete;

    // Opens the stream and counts its samples; false when mpg123 cannot.
    bool Open();
    int Rate() const { return m_nRate; }
    // Samples per channel, after the encoder's delay and padding are dropped.
    int64_t Frames() const { return m_nFrames; }

    // Decodes up to nFrames frames, keeping the first channel as 16 bits (the
    // float samples scaled, rounded and clipped); returns the frames decoded.
    int64_t DecodeFirstChannel(int16_t* pOut, int64_t nFrames);

private:
    struct CState;
    std::unique_ptr<CState> m_p;
    int m_nRate = 0;
    int64_t m_nFrames = 0;
};

} // namespace audio
} // namespace sonavel
