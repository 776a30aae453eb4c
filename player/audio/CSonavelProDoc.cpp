#include "player/audio/CSonavelProDoc.h"

#include "player/audio/CDocumentHost.h"

using namespace sonavel::audio;

CSonavelProDoc::CSonavelProDoc(CDocumentHost* pHost) : m_pHost(pHost) {}

int CSonavelProDoc::OnOpenDocument(const std::string& path, int nChannel)
{
    return OnOpenDocument(path, SoundReaderTable(), nChannel);
}

int CSonavelProDoc::OnOpenDocument(const std::string& path, const CSoundReaderTable& readers, int nChannel)
{
    const CLoadResult result = LoadSoundFile(path, m_store, readers, nChannel);
    if (!result.Loaded()) {
        if (m_pHost)
            m_pHost->OnDocumentFailed(result);
        return 0;
    }
    if (m_pHost)
        m_pHost->OnDocumentLoaded(m_store, result);
    // The host owns the block now.
    m_store.hSamples.reset();
    return 0;
}
