#include "player/audio/MpegDecode.h"

#include "player/audio/SndfileDecode.h"

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <vector>
#include <unistd.h>

namespace sonavel {
namespace audio {

namespace {

// mpg123 reads through these: pread at a position of its own, as libsndfile does.
struct CMpegFile {
    int fd;
    int64_t nLength;
    int64_t nPos;
};

ssize_t MpegRead(void* pUser, void* pBuf, size_t nBytes)
{
    auto* f = static_cast<CMpegFile*>(pUser);
    for (;;) {
        const ssize_t n = ::pread(f->fd, pBuf, nBytes, off_t(f->nPos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0)
            f->nPos += n;
        return n;
    }
}

off_t MpegSeek(void* pUser, off_t nOffset, int nWhence)
{
    auto* f = static_cast<CMpegFile*>(pUser);
    const int64_t nBase = nWhence == SEEK_CUR ? f->nPos : nWhence == SEEK_END ? f->nLength : 0;
    if (nBase + int64_t(nOffset) < 0)
        return -1;
    f->nPos = nBase + int64_t(nOffset);
    return off_t(f->nPos);
}

} // namespace

struct CMpegDecoder::CState {
    CState(int fd, int64_t nLength) : file{fd, nLength, 0} {}
    CMpegFile file;
    mpg123_handle* pHandle = nullptr;
    int nChannels = 0;
    std::vector<float> buffer;
};

CMpegDecoder::CMpegDecoder(int fd, int64_t nLength) : m_p(std::make_unique<CState>(fd, nLength)) {}

CMpegDecoder::~CMpegDecoder()
{
    if (m_p->pHandle) {
        mpg123_close(m_p->pHandle);
        mpg123_delete(m_p->pHandle);
    }
}

bool CMpegDecoder::Open()
{
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    if (!h)
        return false;
    m_p->pHandle = h;
    // Float samples as the stream holds them, no resampling, the encoder's
    // delay and padding dropped where the stream says how much they are.
    mpg123_param(h, MPG123_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS | MPG123_QUIET | MPG123_NO_FRANKENSTEIN, 0);
    mpg123_format_none(h);
    const long* pRates = nullptr;
    size_t nRates = 0;
    mpg123_rates(&pRates, &nRates);
    for (size_t i = 0; i < nRates; ++i)
        mpg123_format(h, pRates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    long nRate = 0;
    int nChannels = 0, nEncoding = 0;
    if (mpg123_replace_reader_handle(h, MpegRead, MpegSeek, nullptr) != MPG123_OK
        || mpg123_open_handle(h, &m_p->file) != MPG123_OK
        || mpg123_getformat(h, &nRate, &nChannels, &nEncoding) != MPG123_OK || nEncoding != MPG123_ENC_FLOAT_32
        || nChannels < 1 || nRate < 1)
        return false;
    m_nRate = int(nRate);
    m_nChannels = nChannels;
    m_p->nChannels = nChannels;
    m_p->buffer.resize(std::size_t(8192) * 2);
    return true;
}

int64_t CMpegDecoder::DecodeChannel(int nIndex, int16_t* pOut, int64_t nFrames)
{
    mpg123_handle* h = m_p->pHandle;
    int64_t nDone = 0;
    int nIdle = 0; // reads that brought nothing and no news: a stream going nowhere
    while (nDone < nFrames && nIndex < m_p->nChannels) {
        const int nChannels = m_p->nChannels;
        const std::size_t nAsk = std::min<std::size_t>(m_p->buffer.size() / nChannels, std::size_t(nFrames - nDone));
        size_t nBytes = 0;
        const int nResult = mpg123_read(h, m_p->buffer.data(), nAsk * nChannels * sizeof(float), &nBytes);
        const std::size_t nGot = nBytes / (sizeof(float) * nChannels);
        for (std::size_t i = 0; i < nGot; ++i)
            pOut[nDone + int64_t(i)] = RealToSample16(m_p->buffer[i * nChannels + std::size_t(nIndex)]);
        nDone += int64_t(nGot);
        if (nResult == MPG123_NEW_FORMAT) {
            // A stream may change its channel count: the kept channel goes on
            // while there is one (the loop ends when there is none).
            long nRate = 0;
            int nEncoding = 0;
            if (mpg123_getformat(h, &nRate, &m_p->nChannels, &nEncoding) != MPG123_OK || m_p->nChannels < 1)
                break;
        } else if (nResult != MPG123_OK || (nGot == 0 && ++nIdle > 64)) {
            break; // the end, or damage past which nothing more is decoded
        }
    }
    return nDone;
}

} // namespace audio
} // namespace sonavel
