#include "player/audio/CSonavelProDoc.h"

#include "player/shell/resource.h"
#include "player/audio/CDocumentHost.h"
#include "player/audio/CFileException.h"
#include "player/audio/CFileReader.h"
#include "player/audio/Messages.h"
#include "player/audio/SndfileReader.h"

#include <cstdlib>
#include <limits>
#include <new>

using namespace sonavel::audio;

CSonavelProDoc::CSonavelProDoc(CDocumentHost* pHost) : m_pHost(pHost) {}

int CSonavelProDoc::OnOpenDocument(const std::string& path)
{
    CFileReader file;
    if (!file.Open(path)) {
        sonavel::SonavelMessageBox(path, sonavel::MB_OK);
        return 0;
    }

    const char* szReader = nullptr;
    try {
        if (ReadWave(file))
            szReader = "wave";
        else if (ReadAiff(file))
            szReader = "aiff";
        else if (ReadAu(file))
            szReader = "au";
        else if (ReadFixedHeaderLE(file))
            szReader = "fixed-le";
        else if (ReadFixedHeaderBE(file))
            szReader = "fixed-be";
        else if (!m_bReaderSpoke) {
            std::string strWhy;
            switch (ReadWithSndfile(file, m_store, strWhy)) {
            case ESndfileOutcome::Loaded:
                szReader = "sndfile";
                break;
            case ESndfileOutcome::Refused:
                sonavel::SonavelMessageBox(strWhy, sonavel::MB_OK);
                break;
            case ESndfileOutcome::OutOfMemory:
                ShowOutOfMemory();
                break;
            case ESndfileOutcome::NotMine:
                break;
            }
        }
        if (!szReader) {
            FreeSamples();
            file.Abort();
            return 0;
        }
        file.Close();
    } catch (const CFileException&) {
        // A file that fails under the readers is dropped without a message, like
        // one that no reader accepts.
        file.Abort();
        FreeSamples();
        return 0;
    } catch (const std::bad_alloc&) {
        file.Abort();
        ShowOutOfMemory();
        return 0;
    }

    if (m_pHost)
        m_pHost->OnDocumentLoaded(m_store, szReader);
    // The host owns the block now.
    m_store.hSamples.reset();
    return 0;
}

int CSonavelProDoc::AllocSamples()
{
    FreeSamples();
    if (m_store.byteLength < 0)
        return 0;
    m_store.hSamples = CSampleBlock::Alloc(std::size_t(m_store.byteLength));
    return m_store.hSamples ? 1 : 0;
}

void CSonavelProDoc::FreeSamples() { m_store.hSamples.reset(); }

CSonavelProDoc::CTempBytes CSonavelProDoc::AllocTemp(std::size_t nBytes)
{
    if (nBytes > CSampleBlock::AllocationLimit())
        return nullptr;
    return CTempBytes(static_cast<uint8_t*>(std::malloc(nBytes ? nBytes : 1)));
}

void CSonavelProDoc::ShowOutOfMemory()
{
    m_bReaderSpoke = true;
    FreeSamples();
    sonavel::SonavelMessageBeep(0);
    sonavel::SonavelMessageBox(sonavel::STR_NOT_ENOUGH_MEMORY, sonavel::MB_OK);
}

int CSonavelProDoc::SetStoreSize(int64_t nSamples)
{
    // The store counts bytes in 32 bits: a longer sound cannot be held at all.
    if (nSamples < 0 || nSamples > std::numeric_limits<int32_t>::max() / 2) {
        ShowOutOfMemory();
        return 0;
    }
    m_store.sampleCount = int32_t(nSamples);
    m_store.byteLength = int32_t(2 * nSamples);
    return 1;
}
