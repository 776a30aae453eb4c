#pragma once
// MPEG audio (MP3, MP2) decoded with mpg123 directly. libsndfile takes an
// MP3's length from its first frame, an estimate that cuts a variable-rate
// file without a length header short, and stops its decoding there; this
// decodes to the stream's end, whatever its headers claim. Quiet: mpg123's
// notes on damaged streams would otherwise reach stderr.
//
// A decoder owns its mpg123 handle and reads the descriptor it is given, which stays the
// caller's; one thread at a time.
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

    // Opens the stream and learns its format; false when mpg123 cannot.
    bool Open();
    int Rate() const { return m_nRate; }
    // The stream's channels as it opens (1 or 2).
    int Channels() const { return m_nChannels; }

    // Decodes up to nFrames frames, keeping channel nIndex as 16 bits (the
    // float samples scaled, rounded and clipped; the encoder's delay and padding
    // dropped where the stream says how much they are); returns the frames
    // decoded. A stream that changes to fewer channels than nIndex needs ends there.
    int64_t DecodeChannel(int nIndex, int16_t* pOut, int64_t nFrames);

private:
    struct CState;
    std::unique_ptr<CState> m_p;
    int m_nRate = 0;
    int m_nChannels = 0;
};

} // namespace audio
} // namespace sonavel
