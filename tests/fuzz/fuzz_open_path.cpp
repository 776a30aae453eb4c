// The whole open path: the bytes as a file on disk, opened the way the player
// opens every document (readers tried in order, the winner hands the sound over).
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ScratchFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstring>
#include <functional>
#include <string_view>

#include "player/audio/CDocumentHost.h"
#include "player/audio/CSonavelProDoc.h"

namespace {

bool StartsWith(const uint8_t* data, size_t size, size_t nAt, const char* szMagic, size_t nLen)
{
    return size >= nAt + nLen && std::memcmp(data + nAt, szMagic, nLen) == 0;
}

// What a user would notice of a loaded sound: which reader took it, its numbers
// and its samples (as a hash).
struct LoadedSound {
    int nLoads = 0;
    std::string reader;
    int32_t byteLength = 0, sampleCount = 0, sampleRate = 0;
    int nChannels = 0;
    size_t nHash = 0;

    bool operator==(const LoadedSound& o) const
    {
        return nLoads == o.nLoads && reader == o.reader && nChannels == o.nChannels && byteLength == o.byteLength &&
               sampleCount == o.sampleCount && sampleRate == o.sampleRate && nHash == o.nHash;
    }
};

class CCheckingHost : public CDocumentHost {
public:
    void OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult& result) override
    {
        fuzz::CheckLoadedStore(store);
        ++m_sound.nLoads;
        m_sound.reader = result.strReader;
        m_sound.nChannels = result.nChannels;
        m_sound.byteLength = store.byteLength;
        m_sound.sampleCount = store.sampleCount;
        m_sound.sampleRate = store.sampleRate;
        CSampleLock lock(store.hSamples);
        m_sound.nHash = std::hash<std::string_view>()(
            std::string_view(static_cast<const char*>(lock.Data()), static_cast<size_t>(store.byteLength)));
    }
    LoadedSound m_sound;
};

LoadedSound Open(const std::string& path, int nChannel = 1)
{
    CCheckingHost host;
    CSonavelProDoc doc(&host);
    FUZZ_CHECK(doc.OnOpenDocument(path, nChannel) == 0);
    // The host owns the block; the document keeps nothing after the open.
    FUZZ_CHECK(doc.m_store.hSamples == nullptr);
    return host.m_sound;
}

// A file that every reader looks at in full and none accepts, to leave its bytes
// in whatever buffers the readers keep between opens.
void OpenPrimer(uint8_t nFill)
{
    static uint8_t s_bytes[8192];
    std::memset(s_bytes, nFill, sizeof s_bytes);
    Open(fuzz::WriteScratchFile(s_bytes, sizeof s_bytes, ".primer"));
}

} // namespace

FUZZ_TARGET(open_path, "audio")
{
    fuzz::InitEnvironment();
    OpenPrimer(0x00);
    const LoadedSound sound = Open(fuzz::WriteScratchFile(data, size));
    FUZZ_CHECK(sound.nLoads <= 1);
    // The same file gives the same sound whatever was opened before it.
    OpenPrimer(0xA5);
    FUZZ_CHECK(Open(fuzz::WriteScratchFile(data, size)) == sound);

    if (sound.nLoads == 1) {
        // The last channel is taken by the same reader, as long a sound; one
        // past it by none.
        FUZZ_CHECK(sound.nChannels >= 1);
        const LoadedSound last = Open(fuzz::WriteScratchFile(data, size), sound.nChannels);
        FUZZ_CHECK(last.nLoads == 1 && last.reader == sound.reader && last.sampleCount == sound.sampleCount
                   && last.sampleRate == sound.sampleRate);
        FUZZ_CHECK(Open(fuzz::WriteScratchFile(data, size), sound.nChannels + 1).nLoads == 0);
        // Each reader only takes files that carry its own signature.
        if (sound.reader == "wave")
            FUZZ_CHECK(StartsWith(data, size, 0, "RIFF", 4) && StartsWith(data, size, 8, "WAVE", 4));
        else if (sound.reader == "aiff")
            FUZZ_CHECK(StartsWith(data, size, 0, "FORM", 4));
        else if (sound.reader == "au")
            FUZZ_CHECK(StartsWith(data, size, 0, ".snd", 4) || StartsWith(data, size, 0, ".sd\0", 4) ||
                       StartsWith(data, size, 0, "dns.", 4) || StartsWith(data, size, 0, "\0ds.", 4));
        else
            // libsndfile, the last reader, knows formats of every kind of signature.
            FUZZ_CHECK(sound.reader == "fixed-le" || sound.reader == "fixed-be" || sound.reader == "sndfile");
    }
    return 0;
}
