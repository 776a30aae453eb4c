// ReadWithSndfile: the formats the design's readers do not know, through libsndfile.
#include "player/audio/SndfileReader.h"

#include "player/audio/CFileReader.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>
#include <unistd.h>

namespace sonavel {
namespace audio {
namespace {

// The store counts its bytes in a 32-bit integer.
constexpr int64_t kMaxSamples = std::numeric_limits<int32_t>::max() / 2;
// Samples (all channels) per decoding buffer: small enough to stay in the cache.
constexpr int kBufferSamples = 1 << 14;
// A NIST SPHERE header is at least this long; its fields are text lines in it.
constexpr std::size_t kSphereHeader = 1024;

std::atomic<int64_t> g_nPartFrames{int64_t(1) << 21}; // about 47 s at 44.1 kHz

// libsndfile reports a failed open through a process-wide error number; opens
// take turns so each load reads its own.
std::mutex g_openMutex;

// libsndfile reads the file through these callbacks: pread at a position of
// its own, so several decoders share one descriptor without disturbing each
// other or the file reader's position.
struct CVirtualFile {
    int fd;
    sf_count_t nLength;
    sf_count_t nPos;
};

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
    int Open()
    {
        SF_VIRTUAL_IO io = {VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};
        std::lock_guard<std::mutex> guard(g_openMutex);
        m_pSnd = sf_open_virtual(&io, SFM_READ, &m_info, &m_file);
        return m_pSnd ? 0 : sf_error(nullptr);
    }
    SNDFILE* Get() const { return m_pSnd; }
    const SF_INFO& Info() const { return m_info; }

private:
    CVirtualFile m_file;
    SF_INFO m_info{};
    SNDFILE* m_pSnd = nullptr;
};

// Floating-point and lossy codecs hand out real numbers; everything else
// (PCM of any width, FLAC, ALAC, the ADPCMs, the G.7xx codecs) whole ones.
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

// Decodes up to nFrames frames from the decoder's position, keeping the first
// channel; returns the frames decoded (fewer when the stream ends early).
// Whole samples come left-justified in 32 bits, so their top 16 bits are the
// top half of the word.
int64_t DecodeFirstChannel(SNDFILE* pSnd, int nChannels, bool bReal, int16_t* pOut, int64_t nFrames)
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
                p[i] = RealToSample16(real[std::size_t(i) * nChannels]);
        } else {
            for (sf_count_t i = 0; i < nGot; ++i)
                p[i] = int16_t(whole[std::size_t(i) * nChannels] >> 16);
        }
        nDone += nGot;
        if (nGot < nAsk)
            break;
    }
    return nDone;
}

// A sound whose length is not known up front (a FLAC written to a pipe
// declares none; an MP3's count is an estimate from its first frame) is
// decoded into pieces first, since the store's size must be known before it is
// allocated. The pieces are large enough to be mapped by themselves, so each
// goes back to the system as soon as it is copied: the peak stays near one
// copy of the sound.
class CPieces {
public:
    static constexpr int64_t kPiece = int64_t(1) << 20;

    // Decodes to the end of the stream or past nLimit frames; returns the count.
    int64_t Decode(SNDFILE* pSnd, int nChannels, bool bReal, int64_t nLimit)
    {
        for (;;) {
            m_pieces.emplace_back(new int16_t[std::size_t(kPiece)]);
            const int64_t nGot = DecodeFirstChannel(pSnd, nChannels, bReal, m_pieces.back().get(), kPiece);
            m_nFrames += nGot;
            if (nGot < kPiece || m_nFrames > nLimit)
                return m_nFrames;
        }
    }

    void MoveTo(int16_t* pOut)
    {
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            const int64_t nNow = std::min(kPiece, m_nFrames - int64_t(i) * kPiece);
            std::copy(m_pieces[i].get(), m_pieces[i].get() + nNow, pOut + int64_t(i) * kPiece);
            m_pieces[i].reset();
        }
        m_pieces.clear();
    }

private:
    std::vector<std::unique_ptr<int16_t[]>> m_pieces;
    int64_t m_nFrames = 0;
};

// A long FLAC decoded in parts on several threads: each thread opens its own
// decoder on the descriptor, seeks to a part's first frame (sample-exact in
// FLAC) and decodes it into its place in the store. Returns the frames decoded
// without a gap from the start.
int64_t DecodeFlacInParts(CSndfile& first, int fd, sf_count_t nLength, int16_t* pOut, int64_t nFrames)
{
    const int nChannels = first.Info().channels;
    const int64_t nPartMin = std::max<int64_t>(1, g_nPartFrames.load());
    const unsigned nCores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t nThreads = std::min<int64_t>({int64_t(nCores), 8, (nFrames + nPartMin - 1) / nPartMin});
    if (nThreads <= 1)
        return DecodeFirstChannel(first.Get(), nChannels, false, pOut, nFrames);

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
            if (!pSnd) {
                own = std::make_unique<CSndfile>(fd, nLength);
                if (own->Open() != 0)
                    return;
                pSnd = own.get();
            }
            for (int64_t k; (k = nNext.fetch_add(1)) < nParts;) {
                if (sf_seek(pSnd->Get(), Start(k), SEEK_SET) != Start(k))
                    continue;
                got[std::size_t(k)] = DecodeFirstChannel(pSnd->Get(), nChannels, false, pOut + Start(k),
                                                         Start(k + 1) - Start(k));
            }
        } catch (const std::bad_alloc&) {
            // This thread's parts stay missing; the calling thread decodes them.
        }
    };
    std::vector<std::thread> threads;
    for (int64_t t = 1; t < nThreads; ++t) {
        try {
            threads.emplace_back(Work, nullptr);
        } catch (const std::system_error&) {
            break; // no more threads to be had: the others take the parts
        }
    }
    Work(&first);
    for (std::thread& t : threads)
        t.join();

    int64_t nDone = 0;
    for (int64_t k = 0; k < nParts && nDone == Start(k); ++k)
        nDone += got[std::size_t(k)];
    // A part a thread could not decode is decoded here, in order, from the
    // first gap on; a file cut short simply ends there.
    if (nDone < nFrames && sf_seek(first.Get(), nDone, SEEK_SET) == nDone)
        nDone += DecodeFirstChannel(first.Get(), nChannels, false, pOut + nDone, nFrames - nDone);
    return nDone;
}

// Shorten- or otherwise compressed NIST SPHERE would reach libsndfile as raw
// PCM, and play as noise: its header's sample_coding names the compression.
bool IsCompressedSphere(int fd, std::string& strCoding)
{
    char head[kSphereHeader + 1] = {};
    const ssize_t n = ::pread(fd, head, kSphereHeader, 0);
    if (n < 16 || std::memcmp(head, "NIST_1A\n", 8) != 0)
        return false;
    const char* p = std::strstr(head, "\nsample_coding ");
    if (!p)
        return false;
    p += std::strlen("\nsample_coding ");
    const char* pEnd = std::strchr(p, '\n');
    std::string line(p, pEnd ? std::size_t(pEnd - p) : std::strlen(p));
    // "-s26 pcm,embedded-shorten-v2.00": the type field, then the value.
    const std::size_t nValue = line.find(' ');
    strCoding = nValue == std::string::npos ? line : line.substr(nValue + 1);
    return strCoding.find("shorten") != std::string::npos || strCoding.find("embedded") != std::string::npos
        || strCoding.find("wavpack") != std::string::npos;
}

std::string OpenFailure(int nError)
{
    std::string text = sf_error_number(nError);
    const std::string prefix = "Error : ";
    if (text.compare(0, prefix.size(), prefix) == 0)
        text.erase(0, prefix.size());
    return "cannot decode this sound: " + text;
}

} // namespace

void SetSndfilePartFrames(int64_t nFrames) { g_nPartFrames = nFrames; }

ESndfileOutcome ReadWithSndfile(CFileReader& file, SampleStore& store, std::string& strMessage)
{
    store.Clear();
    const int fd = file.GetDescriptor();
    const sf_count_t nLength = file.GetLength();

    std::string strCoding;
    if (IsCompressedSphere(fd, strCoding)) {
        strMessage = "NIST SPHERE with compressed samples (" + strCoding
                   + ") is not read: store the samples uncompressed";
        return ESndfileOutcome::Refused;
    }

    CSndfile snd(fd, nLength);
    if (const int nError = snd.Open()) {
        if (nError == SF_ERR_UNRECOGNISED_FORMAT)
            return ESndfileOutcome::NotMine;
        strMessage = OpenFailure(nError);
        return ESndfileOutcome::Refused;
    }
    const SF_INFO& info = snd.Info();
    const bool bReal = HasRealSamples(info.format);
    if (info.channels < 1 || info.samplerate < 1) {
        strMessage = "no channel or no sample rate in this sound";
        return ESndfileOutcome::Refused;
    }
    // An honest count must fit the store; a count libsndfile could not learn from
    // the header (0 or the largest number), or only estimated, is found by decoding.
    const int nSub = info.format & SF_FORMAT_SUBMASK;
    const bool bEstimated = nSub == SF_FORMAT_MPEG_LAYER_I || nSub == SF_FORMAT_MPEG_LAYER_II
                         || nSub == SF_FORMAT_MPEG_LAYER_III;
    const bool bKnownLength = info.frames > 0 && info.frames != SF_COUNT_MAX && !bEstimated;
    if (bKnownLength && info.frames > kMaxSamples) {
        strMessage = "too long for the player: " + std::to_string(info.frames)
                   + " samples in the first channel, at most " + std::to_string(kMaxSamples) + " can be held";
        return ESndfileOutcome::Refused;
    }

    try {
        CPieces pieces;
        int64_t nFrames = bKnownLength ? info.frames : 0;
        if (!bKnownLength) {
            nFrames = pieces.Decode(snd.Get(), info.channels, bReal, kMaxSamples);
            if (nFrames > kMaxSamples) {
                strMessage = "too long for the player: more than " + std::to_string(kMaxSamples)
                           + " samples in the first channel";
                return ESndfileOutcome::Refused;
            }
        }
        CSampleBlockHandle hBlock = CSampleBlock::Alloc(std::size_t(nFrames) * 2);
        if (!hBlock)
            return ESndfileOutcome::OutOfMemory;
        int64_t nDone;
        {
            CSampleLock lock(hBlock);
            int16_t* pOut = lock.Samples();
            if (!bKnownLength) {
                pieces.MoveTo(pOut);
                nDone = nFrames;
            } else if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC) {
                nDone = DecodeFlacInParts(snd, fd, nLength, pOut, nFrames);
            } else {
                nDone = DecodeFirstChannel(snd.Get(), info.channels, bReal, pOut, nFrames);
            }
        }
        if (nDone == 0 && nFrames > 0) {
            strMessage = "no samples could be decoded from this sound";
            return ESndfileOutcome::Refused;
        }
        // A stream that ends before its declared length (a file cut short, an
        // estimated count) keeps what was decoded.
        store.sampleCount = int32_t(nDone);
        store.byteLength = int32_t(2 * nDone);
        store.sampleRate = info.samplerate;
        store.hSamples = std::move(hBlock);
    } catch (const std::bad_alloc&) {
        store.Clear();
        return ESndfileOutcome::OutOfMemory;
    }
    return ESndfileOutcome::Loaded;
}

} // namespace audio
} // namespace sonavel
