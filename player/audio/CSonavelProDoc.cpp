#include "player/audio/CSonavelProDoc.h"

#include "player/audio/CDocumentHost.h"
#include "player/audio/ReaderSupport.h"

using namespace sonavel::audio;

CSonavelProDoc::CSonavelProDoc(CDocumentHost* pHost) : m_pHost(pHost) {}

int CSonavelProDoc::OnOpenDocument(const std::string& path, int nChannel)
{
    return OnOpenDocument(path, SoundReaderTable(), nChannel);
}

int CSonavelProDoc::OnOpenDocument(const std::string& path, const CSoundReaderTable& readers, int nChannel)
{
    m_nChannel = nChannel;
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

EReaderAnswer CSonavelProDoc::ReadWave(CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return ReadWaveFile(file, probe, m_nChannel, m_store, result);
}

EReaderAnswer CSonavelProDoc::ReadAiff(CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return ReadAiffFile(file, probe, m_nChannel, m_store, result);
}

EReaderAnswer CSonavelProDoc::ReadAu(CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return ReadAuFile(file, probe, m_nChannel, m_store, result);
}

EReaderAnswer CSonavelProDoc::ReadFixedHeaderLE(CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return ReadFixedHeaderFileLE(file, probe, m_nChannel, m_store, result);
}

EReaderAnswer CSonavelProDoc::ReadFixedHeaderBE(CFileReader& file, const CSoundProbe& probe, CLoadResult& result)
{
    return ReadFixedHeaderFileBE(file, probe, m_nChannel, m_store, result);
}

int CSonavelProDoc::CheckFixedHeader(CFileReader& file, const CSoundProbe& probe, int bLittleEndian)
{
    return sonavel::audio::CheckFixedHeader(file, probe, bLittleEndian, m_store);
}

int CSonavelProDoc::AllocSamples() { return sonavel::audio::AllocSamples(m_store); }

void CSonavelProDoc::FreeSamples() { m_store.hSamples.reset(); }
