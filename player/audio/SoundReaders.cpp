#include "player/audio/SoundReaders.h"

#include "player/audio/CDocumentHost.h"
#include "player/audio/CSonavelProDoc.h"

namespace sonavel {
namespace audio {
namespace {

EReaderAnswer Wave(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return doc.ReadWave(file, probe, result);
}
EReaderAnswer Aiff(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return doc.ReadAiff(file, probe, result);
}
EReaderAnswer Au(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return doc.ReadAu(file, probe, result);
}
EReaderAnswer FixedLE(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return doc.ReadFixedHeaderLE(file, probe, result);
}
EReaderAnswer FixedBE(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return doc.ReadFixedHeaderBE(file, probe, result);
}

constexpr CSoundReaderEntry s_readers[] = {
    {"wave", Wave}, {"aiff", Aiff}, {"au", Au}, {"fixed-le", FixedLE}, {"fixed-be", FixedBE},
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
    store.Clear();
    CResultHost host(store);
    CSonavelProDoc doc(&host);
    doc.OnOpenDocument(path);
    return host.m_result;
}

} // namespace audio
} // namespace sonavel
