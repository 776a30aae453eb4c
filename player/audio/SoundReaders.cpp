#include "player/audio/SoundReaders.h"

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
    {"wave", Call<&CSonavelProDoc::ReadWave>},
    {"aiff", Call<&CSonavelProDoc::ReadAiff>},
    {"au", Call<&CSonavelProDoc::ReadAu>},
    {"fixed-le", Call<&CSonavelProDoc::ReadFixedHeaderLE>},
    {"fixed-be", Call<&CSonavelProDoc::ReadFixedHeaderBE>},
    {"sndfile", Call<&CSonavelProDoc::ReadSndfile>},
};

// Keeps what the document hands over; lives on the caller's stack.
class CResultHost : public CDocumentHost {
public:
    explicit CResultHost(SampleStore& store) : m_store(store) {}
    void OnDocumentLoaded(const SampleStore& store, const char* szReader) override
    {
        m_store = store;
        m_result = CLoadResult();
        m_result.strReader = szReader;
    }
    void OnDocumentFailed(const CLoadResult& result) override { m_result = result; }

    SampleStore& m_store;
    CLoadResult m_result;
};

} // namespace

CSoundReaderTable SoundReaderTable() { return {s_readers, sizeof s_readers / sizeof s_readers[0]}; }

CLoadResult LoadSoundFile(const std::string& path, SampleStore& store)
{
    return LoadSoundFile(path, store, SoundReaderTable());
}

CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, const CSoundReaderTable& readers)
{
    store.Clear();
    CResultHost host(store);
    CSonavelProDoc doc(&host);
    doc.OnOpenDocument(path, readers);
    return host.m_result;
}

CLoadResult LoadSoundForAnalysis(const std::string& path, SampleStore& store)
{
    CLoadResult result = LoadSoundFile(path, store);
    if (result.Loaded() && store.sampleRate <= 0) {
        store.Clear();
        result = CLoadResult();
        result.nFailure = ELoadFailure::NoSampleRate;
    }
    return result;
}

} // namespace audio
} // namespace sonavel
