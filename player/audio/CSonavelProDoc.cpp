#include "player/audio/CSonavelProDoc.h"

#include "player/audio/AudioResource.h"
#include "player/audio/CDocumentHost.h"
#include "player/audio/CFileException.h"
#include "player/audio/CFileReader.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <new>

using namespace sonavel::audio;

CSonavelProDoc::CSonavelProDoc(CDocumentHost* pHost) : m_pHost(pHost) {}

int CSonavelProDoc::OnOpenDocument(const std::string& path, int nChannel)
{
    return OnOpenDocument(path, SoundReaderTable(), nChannel);
}

int CSonavelProDoc::OnOpenDocument(const std::string& path, const CSoundReaderTable& readers, int nChannel)
{
    m_nChannel = nChannel;
    CLoadResult result;
    CFileReader file;
    if (!file.Open(path)) {
        result.nErrno = errno;
        result.nFailure = ELoadFailure::CannotOpen;
        result.strMessage = path;
        Fail(result);
        return 0;
    }

    try {
        // The first bytes are read once, for every reader.
        uint8_t head[kProbeBytes];
        file.Seek(0);
        const CSoundProbe probe{head, file.Read(head, sizeof head), file.GetLength()};
        // The first reader that answers is the file's: a refusal, an
        // out-of-memory one too, ends the walk, and names that reader.
        EReaderAnswer answer = EReaderAnswer::NotMine;
        for (const CSoundReaderEntry& entry : readers) {
            answer = entry.pfnRead(*this, file, probe, result);
            if (answer != EReaderAnswer::NotMine) {
                result.strReader = entry.szName;
                break;
            }
        }
        if (answer != EReaderAnswer::Loaded) {
            FreeSamples();
            file.Abort();
            if (result.nFailure == ELoadFailure::None)
                result.nFailure = ELoadFailure::NotASound;
            Fail(result);
            return 0;
        }
        file.Close();
    } catch (const CFileException& e) {
        // A file that fails under the readers is dropped without a message, like
        // one that no reader accepts.
        file.Abort();
        FreeSamples();
        result = CLoadResult();
        result.nFailure = ELoadFailure::ReadFailed;
        result.nErrno = e.m_nErrno;
        Fail(result);
        return 0;
    } catch (const std::bad_alloc&) {
        file.Abort();
        result = CLoadResult();
        OutOfMemory(result);
        Fail(result);
        return 0;
    }

    if (m_pHost)
        m_pHost->OnDocumentLoaded(m_store, result);
    // The host owns the block now.
    m_store.hSamples.reset();
    return 0;
}

int CSonavelProDoc::TakeChannel(int nChannels, CLoadResult& result)
{
    result.nChannels = nChannels;
    const int nIndex = ChannelIndex(m_nChannel, nChannels);
    if (nIndex < 0) {
        FreeSamples();
        result.nFailure = ELoadFailure::Refused;
        result.strMessage = NoChannelText(m_nChannel, nChannels);
        result.bBeep = true;
        return -1;
    }
    result.nChannel = m_nChannel;
    return nIndex;
}

void CSonavelProDoc::Fail(const CLoadResult& result)
{
    if (m_pHost)
        m_pHost->OnDocumentFailed(result);
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

EReaderAnswer CSonavelProDoc::NoBlock(CLoadResult& result)
{
    FreeSamples();
    result.nFailure = ELoadFailure::OutOfMemory;
    result.strMessage.clear();
    result.bBeep = false;
    return EReaderAnswer::Refused;
}

EReaderAnswer CSonavelProDoc::OutOfMemory(CLoadResult& result)
{
    FreeSamples();
    result.nFailure = ELoadFailure::OutOfMemory;
    result.strMessage = sonavel::STR_NOT_ENOUGH_MEMORY;
    result.bBeep = true;
    return EReaderAnswer::Refused;
}

int CSonavelProDoc::SetStoreSize(int64_t nSamples, CLoadResult& result)
{
    // The store counts bytes in 32 bits: a longer sound cannot be held at all.
    if (nSamples < 0 || nSamples > std::numeric_limits<int32_t>::max() / 2) {
        OutOfMemory(result);
        return 0;
    }
    m_store.sampleCount = int32_t(nSamples);
    m_store.byteLength = int32_t(2 * nSamples);
    return 1;
}
