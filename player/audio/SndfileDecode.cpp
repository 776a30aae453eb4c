#include "player/audio/SndfileDecode.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "common/SplitWork.h"

namespace sonavel {
namespace audio {
namespace {

// Samples (all channels) per decoding buffer: small enough to stay in the cache.
constexpr int kBufferSamples = 1 << 14;

// libsndfile reports a failed open through a process-wide error number; opens
// take turns so each load reads its own.
std::mutex g_openMutex;

sf_count_t VirtualLength(void* pUser) { return static_cast<CVirtualFile*>(pUser)->nLength; }

sf_count_t VirtualSeek(sf_count_t nOffset, int nWhence, void* pUser)
{
    auto* f = static_cast<CVirtualFile*>(pUser);
    sf_count_t nBase = nWhence == SEEK_CUR ? f->nPos : nWhence == SEEK_END ? f->nLength : 0;
    if ((nOffset > 0 && nBase > std::numeric_limits<sf_count_t>::max() - nOffset) || nBase + nOffset < 0)
        return -1;
    f->nPos = nBase + nOffset;
    return f->nPos;
}

sf_count_t VirtualRead(void* pBuf, sf_count_t nBytes, void* pUser)
{
    auto* f = static_cast<CVirtualFile*>(pUser);
    sf_count_t nDone = 0;
    while (nDone < nBytes) {
        const ssize_t n = ::pread(f->fd, static_cast<char*>(pBuf) + nDone, std::size_t(nBytes - nDone),
                                  off_t(f->nPos + nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nDone += n;
    }
    f->nPos += nDone;
    return nDone;
}

sf_count_t VirtualWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t VirtualTell(void* pUser) { return static_cast<CVirtualFile*>(pUser)->nPos; }


} // namespace

int CSndfile::Open()
{
    SF_VIRTUAL_IO io = {VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};
    std::lock_guard<std::mutex> guard(g_openMutex);
    m_pSnd = sf_open_virtual(&io, SFM_READ, &m_info, &m_file);
    return m_pSnd ? 0 : sf_error(nullptr);
}

bool HasRealSamples(int nFormat)
{
    switch (nFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
        return true;
    default:
        return false;
    }
}

// Whole samples come left-justified in 32 bits, so their top 16 bits are the
// top half of the word.
int64_t DecodeChannel(SNDFILE* pSnd, int nChannels, int nIndex, bool bReal, int16_t* pOut, int64_t nFrames)
{
    const sf_count_t nChunk = std::max(1, kBufferSamples / nChannels);
    std::vector<int> whole(bReal ? 0 : std::size_t(nChunk) * nChannels);
    std::vector<double> real(bReal ? std::size_t(nChunk) * nChannels : 0);
    int64_t nDone = 0;
    while (nDone < nFrames) {
        const sf_count_t nAsk = sf_count_t(std::min<int64_t>(nChunk, nFrames - nDone));
        const sf_count_t nGot = bReal ? sf_readf_double(pSnd, real.data(), nAsk) : sf_readf_int(pSnd, whole.data(), nAsk);
        if (nGot <= 0)
            break;
        int16_t* p = pOut + nDone;
        if (bReal) {
            for (sf_count_t i = 0; i < nGot; ++i)
                p[i] = RealToSample16(real[std::size_t(i) * nChannels + nIndex]);
        } else {
            for (sf_count_t i = 0; i < nGot; ++i)
                p[i] = int16_t(whole[std::size_t(i) * nChannels + nIndex] >> 16);
        }
        nDone += nGot;
        if (nGot < nAsk)
            break;
    }
    return nDone;
}

// A long FLAC decoded in parts on several threads: each thread opens its own
// decoder on the descriptor, seeks to a part's first frame (sample-exact in
// FLAC) and decodes it into its place in the store. Returns the frames decoded
// without a gap from the start.
int64_t DecodeFlacInParts(CSndfile& first, int fd, sf_count_t nLength, int nIndex, int16_t* pOut, int64_t nFrames,
                          int64_t nPartFrames)
{
    const int nChannels = first.Info().channels;
    const int64_t nPartMin = std::max<int64_t>(1, nPartFrames);
    const unsigned nCores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t nThreads = std::min<int64_t>({int64_t(nCores), 8, (nFrames + nPartMin - 1) / nPartMin});
    if (nThreads <= 1)
        return DecodeChannel(first.Get(), nChannels, nIndex, false, pOut, nFrames);

    // More parts than threads, taken in turn, so a thread slowed by a busy core
    // does not hold up the rest.
    const int64_t nParts = std::min<int64_t>(nThreads * 4, (nFrames + nPartMin - 1) / nPartMin);
    const int64_t nPer = (nFrames + nParts - 1) / nParts;
    auto Start = [&](int64_t k) { return std::min(nFrames, k * nPer); };
    std::vector<int64_t> got(std::size_t(nParts), 0);
    std::atomic<int64_t> nNext{0};
    auto Work = [&](CSndfile* pSnd) {
        std::unique_ptr<CSndfile> own;
        try {
            if (nNext.load() >= nParts)
                return; // run late, on the calling thread: nothing is left
            if (!pSnd) {
                own = std::make_unique<CSndfile>(fd, nLength);
                if (own->Open() != 0)
                    return;
                pSnd = own.get();
            }
            for (int64_t k; (k = nNext.fetch_add(1)) < nParts;) {
                if (sf_seek(pSnd->Get(), Start(k), SEEK_SET) != Start(k))
                    continue;
                got[std::size_t(k)] = DecodeChannel(pSnd->Get(), nChannels, nIndex, false, pOut + Start(k),
                                                    Start(k + 1) - Start(k));
            }
        } catch (const std::bad_alloc&) {
            // This thread's parts stay missing; the calling thread decodes them.
        }
    };
    // The calling thread decodes with the first decoder, each other with its own.
    RunSplit(std::size_t(nThreads), int(nThreads), [&](std::size_t t0, std::size_t t1) {
        for (std::size_t t = t0; t < t1; ++t)
            Work(t == 0 ? &first : nullptr);
    });

    int64_t nDone = 0;
    for (int64_t k = 0; k < nParts && nDone == Start(k); ++k)
        nDone += got[std::size_t(k)];
    // A part a thread could not decode is decoded here, in order, from the
    // first gap on; a file cut short simply ends there.
    if (nDone < nFrames && sf_seek(first.Get(), nDone, SEEK_SET) == nDone)
        nDone += DecodeChannel(first.Get(), nChannels, nIndex, false, pOut + nDone, nFrames - nDone);
    return nDone;
}

} // namespace audio
} // namespace sonavel
