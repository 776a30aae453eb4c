#include "player/audio/SoundReaders.h"

#include <algorithm>

#include "player/audio/CDocumentHost.h"
#include "player/audio/CSonavelProDoc.h"

namespace sonavel {
namespace audio {
namespace {

// A table entry that calls one of the document's readers.
template <EReaderAnswer (CSonavelProDoc::*pfnRead)(CFileReader&, const CSoundProbe&, CLoadResult&)>
EReaderAnswer Call(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return (doc.*pfnRead)(file, probe, result);
}

// The last entry sees only what every reader before it left alone, so the files
// those take keep their samples and their refusals keep their messages.
constexpr CSoundReaderEntry s_readers[] = {
    {"wave", Call<&CSonavelProDoc::ReadWave>, "WAV"},
    {"aiff", Call<&CSonavelProDoc::ReadAiff>, "AIFF/AIFC"},
    {"au", Call<&CSonavelProDoc::ReadAu>, "AU"},
    {"fixed-le", Call<&CSonavelProDoc::ReadFixedHeaderLE>, "fixed-header PCM"},
    {"fixed-be", Call<&CSonavelProDoc::ReadFixedHeaderBE>, "fixed-header PCM"},
    {"sndfile", Call<&CSonavelProDoc::ReadSndfile>, "FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE"},
};

// Keeps what the document hands over; lives on the caller's stack.
class CResultHost : public CDocumentHost {
public:
    explicit CResultHost(SampleStore& store) : m_store(store) {}
    void OnDocumentLoaded(const SampleStore& store, const CLoadResult& result) override
    {
        m_store = store;
        m_result = result;
    }
    void OnDocumentFailed(const CLoadResult& result) override { m_result = result; }

    SampleStore& m_store;
    CLoadResult m_result;
};

} // namespace

CSoundReaderTable SoundReaderTable() { return {s_readers, sizeof s_readers / sizeof s_readers[0]}; }

std::vector<std::string> SoundFormatNames()
{
    std::vector<std::string> names;
    for (const CSoundReaderEntry& entry : SoundReaderTable()) {
        const std::string formats = entry.szFormats;
        for (std::size_t nAt = 0; nAt < formats.size();) {
            std::size_t nEnd = formats.find(", ", nAt);
            if (nEnd == std::string::npos)
                nEnd = formats.size();
            const std::string name = formats.substr(nAt, nEnd - nAt);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
            nAt = nEnd + 2;
        }
    }
    return names;
}

std::string SoundFormatList()
{
    std::string list;
    for (const std::string& name : SoundFormatNames())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, int nChannel)
{
    return LoadSoundFile(path, store, SoundReaderTable(), nChannel);
}

CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, const CSoundReaderTable& readers, int nChannel)
{
    store.Clear();
    CResultHost host(store);
    CSonavelProDoc doc(&host);
    doc.OnOpenDocument(path, readers, nChannel);
    return host.m_result;
}

int ChannelIndex(int nChannel, int nChannels) { return nChannel >= 1 && nChannel <= nChannels ? nChannel - 1 : -1; }

std::string NoChannelText(int nChannel, int nChannels)
{
    return "no channel " + std::to_string(nChannel) + ": the file has " + std::to_string(nChannels)
         + (nChannels == 1 ? " channel" : " channels");
}

CLoadResult LoadSoundForAnalysis(const std::string& path, SampleStore& store, int nChannel)
{
    CLoadResult result = LoadSoundFile(path, store, nChannel);
    if (result.Loaded() && store.sampleRate <= 0) {
        store.Clear();
        result = CLoadResult();
        result.nFailure = ELoadFailure::NoSampleRate;
    }
    return result;
}

} // namespace audio
} // namespace sonavel
