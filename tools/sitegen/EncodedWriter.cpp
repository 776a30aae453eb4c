// FLAC and MP3 through libsndfile (its FLAC and LAME encoders), written into
// memory like the other writers.
#include "tools/sitegen/SoundWriters.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace sitegen {

namespace {

struct CMemoryFile {
    Bytes bytes;
    sf_count_t nPos = 0;
};

sf_count_t MemoryLength(void* p) { return sf_count_t(static_cast<CMemoryFile*>(p)->bytes.size()); }

sf_count_t MemorySeek(sf_count_t nOffset, int nWhence, void* p)
{
    auto* f = static_cast<CMemoryFile*>(p);
    const sf_count_t nBase = nWhence == SEEK_CUR ? f->nPos : nWhence == SEEK_END ? sf_count_t(f->bytes.size()) : 0;
    if (nBase + nOffset < 0)
        return -1;
    f->nPos = nBase + nOffset;
    return f->nPos;
}

sf_count_t MemoryRead(void* pBuf, sf_count_t nBytes, void* p)
{
    auto* f = static_cast<CMemoryFile*>(p);
    const sf_count_t nSize = sf_count_t(f->bytes.size());
    const sf_count_t n = std::max<sf_count_t>(0, std::min(nBytes, nSize - f->nPos));
    if (n > 0)
        std::memcpy(pBuf, f->bytes.data() + f->nPos, std::size_t(n));
    f->nPos += n;
    return n;
}

sf_count_t MemoryWrite(const void* pBuf, sf_count_t nBytes, void* p)
{
    auto* f = static_cast<CMemoryFile*>(p);
    if (std::size_t(f->nPos + nBytes) > f->bytes.size())
        f->bytes.resize(std::size_t(f->nPos + nBytes));
    std::memcpy(f->bytes.data() + f->nPos, pBuf, std::size_t(nBytes));
    f->nPos += nBytes;
    return nBytes;
}

sf_count_t MemoryTell(void* p) { return static_cast<CMemoryFile*>(p)->nPos; }

} // namespace

Bytes WriteEncoded(const std::vector<int16_t>& samples, int nRate, EEncoded encoding)
{
    SF_VIRTUAL_IO io = {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    SF_INFO info{};
    info.samplerate = nRate;
    info.channels = 1;
    info.format = encoding == EEncoded::Flac ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                                             : SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    CMemoryFile file;
    SNDFILE* pSnd = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!pSnd)
        return {};
    const bool bWritten = sf_write_short(pSnd, samples.data(), sf_count_t(samples.size())) == sf_count_t(samples.size());
    if (sf_close(pSnd) != 0 || !bWritten)
        return {};
    return file.bytes;
}

} // namespace sitegen
