// ReadWithSndfile: the formats the design's readers do not know, through libsndfile.
#include "player/audio/SndfileReader.h"

#include "common/SoundFormat.h"
#include "player/audio/CFileReader.h"
#include "player/audio/MpegDecode.h"
#include "player/audio/ReaderSupport.h"
#include "player/audio/SndfileDecode.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <unistd.h>

using namespace sonavel::audio;

namespace sonavel {
namespace audio {
namespace {

// The store counts its bytes in a 32-bit integer.
constexpr int64_t kMaxSamples = std::numeric_limits<int32_t>::max() / 2;
// A NIST SPHERE header is at least this long; its fields are text lines in it.
constexpr std::size_t kSphereHeader = 1024;

std::atomic<int64_t> g_nPartFrames{int64_t(1) << 21}; // about 47 s at 44.1 kHz

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

// An MP3 by its first bytes goes to mpg123 without libsndfile's look at it,
// which would let mpg123 print its notes on a damaged stream to stderr.
bool LooksLikeMp3(int fd, int64_t nLength)
{
    uint8_t head[kProbeBytes];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    return n > 0 && format::RecogniseSoundHeader(head, std::size_t(n), nLength) == format::ESoundFormat::Mp3;
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

int64_t SetSndfilePartFrames(int64_t nFrames) { return g_nPartFrames.exchange(nFrames); }

ESndfileOutcome ReadWithSndfile(CFileReader& file, SampleStore& store, std::string& strMessage,
                                const std::function<int(int nChannels)>& fnTakeChannel)
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

    // MPEG audio goes to mpg123 itself (MpegDecode.h), the rest to libsndfile.
    CSndfile snd(fd, nLength);
    std::unique_ptr<CMpegDecoder> pMpeg;
    if (LooksLikeMp3(fd, nLength)) {
        pMpeg = std::make_unique<CMpegDecoder>(fd, nLength);
        if (!pMpeg->Open()) {
            strMessage = "cannot decode this MP3 stream: it is damaged or cut short";
            return ESndfileOutcome::Refused;
        }
    }
    int64_t nDeclared = 0;
    int nRate = 0;
    int nChannels = 1;
    bool bReal = true;
    if (pMpeg) {
        nRate = pMpeg->Rate();
        nChannels = pMpeg->Channels();
    } else {
        if (const int nError = snd.Open()) {
            if (nError == SF_ERR_UNRECOGNISED_FORMAT)
                return ESndfileOutcome::NotMine;
            strMessage = OpenFailure(nError);
            return ESndfileOutcome::Refused;
        }
        const SF_INFO& info = snd.Info();
        if (info.channels < 1 || info.samplerate < 1) {
            strMessage = "no channel or no sample rate in this sound";
            return ESndfileOutcome::Refused;
        }
        nDeclared = info.frames;
        nRate = info.samplerate;
        nChannels = info.channels;
        bReal = HasRealSamples(info.format);
        const int nSub = info.format & SF_FORMAT_SUBMASK;
        if (nSub == SF_FORMAT_MPEG_LAYER_I || nSub == SF_FORMAT_MPEG_LAYER_II || nSub == SF_FORMAT_MPEG_LAYER_III) {
            pMpeg = std::make_unique<CMpegDecoder>(fd, nLength);
            if (!pMpeg->Open()) {
                strMessage = "cannot decode this MPEG audio stream";
                return ESndfileOutcome::Refused;
            }
            nRate = pMpeg->Rate();
        }
    }
    const int nIndex = fnTakeChannel(nChannels);
    if (nIndex < 0)
        return ESndfileOutcome::NoChannel;
    // An honest count must fit the store; a count libsndfile could not learn from
    // the header (0 or the largest number), and an MPEG stream's, are found by decoding.
    const bool bKnownLength = !pMpeg && nDeclared > 0 && nDeclared != SF_COUNT_MAX;
    if (bKnownLength && nDeclared > kMaxSamples) {
        strMessage = "too long for the player: " + std::to_string(nDeclared)
                   + " samples in each channel, at most " + std::to_string(kMaxSamples) + " can be held";
        return ESndfileOutcome::Refused;
    }

    try {
        CPieces pieces;
        int64_t nFrames = bKnownLength ? nDeclared : 0;
        if (!bKnownLength) {
            // Decoding stops soon after the most the store could take.
            const int64_t nLimit = std::min<int64_t>(kMaxSamples, int64_t(CSampleBlock::AllocationLimit() / 2));
            nFrames = pieces.Decode(
                [&](int16_t* p, int64_t n) {
                    return pMpeg ? pMpeg->DecodeChannel(nIndex, p, n)
                                 : DecodeChannel(snd.Get(), nChannels, nIndex, bReal, p, n);
                },
                nLimit);
            if (nFrames > kMaxSamples) {
                strMessage = "too long for the player: more than " + std::to_string(kMaxSamples)
                           + " samples in each channel";
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
            } else if ((snd.Info().format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC) {
                nDone = DecodeFlacInParts(snd, fd, nLength, nIndex, pOut, nFrames, g_nPartFrames.load());
            } else {
                nDone = DecodeChannel(snd.Get(), nChannels, nIndex, bReal, pOut, nFrames);
            }
        }
        if (nDone == 0) {
            strMessage = "no samples could be decoded from this sound";
            return ESndfileOutcome::Refused;
        }
        // A stream that ends before its declared length (a file cut short) keeps
        // what was decoded, in a block of its own size.
        if (nDone < nFrames) {
            CSampleBlockHandle hExact = CSampleBlock::Alloc(std::size_t(nDone) * 2);
            if (!hExact)
                return ESndfileOutcome::OutOfMemory;
            {
                CSampleLock from(hBlock), to(hExact);
                std::copy(from.Samples(), from.Samples() + nDone, to.Samples());
            }
            hBlock = std::move(hExact);
        }
        store.sampleCount = int32_t(nDone);
        store.byteLength = int32_t(2 * nDone);
        store.sampleRate = nRate;
        store.hSamples = std::move(hBlock);
    } catch (const std::bad_alloc&) {
        store.Clear();
        return ESndfileOutcome::OutOfMemory;
    }
    return ESndfileOutcome::Loaded;
}

EReaderAnswer ReadSndfileFile(CFileReader& file, const CSoundProbe&, int nChannel, SampleStore& store,
                              CLoadResult& result)
{
    std::string strWhy;
    switch (ReadWithSndfile(file, store, strWhy,
                            [&](int nChannels) { return TakeChannel(nChannel, nChannels, store, result); })) {
    case ESndfileOutcome::Loaded:
        return EReaderAnswer::Loaded;
    case ESndfileOutcome::Refused:
        result.nFailure = ELoadFailure::Refused;
        result.strMessage = strWhy;
        result.bBeep = true;
        return EReaderAnswer::Refused;
    case ESndfileOutcome::OutOfMemory:
        return OutOfMemory(store, result);
    case ESndfileOutcome::NoChannel:
        return EReaderAnswer::Refused;
    case ESndfileOutcome::NotMine:
        break;
    }
    return EReaderAnswer::NotMine;
}

} // namespace audio
} // namespace sonavel
