#include "tests/support/CRecordingWaveOut.h"

#include <algorithm>

CRecordingWaveOutDevice::CRecordingWaveOutDevice(CRecordingWaveOutFactory* pFactory, int nIndex)
    : m_pFactory(pFactory), m_nIndex(nIndex)
{
    m_pFactory->m_live.push_back(this);
}

CRecordingWaveOutDevice::~CRecordingWaveOutDevice()
{
    auto& live = m_pFactory->m_live;
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    m_pFactory->m_openings[m_nIndex].bClosed = true;
}

unsigned CRecordingWaveOutDevice::Write(WaveHeader* pHeader)
{
    if (m_pFactory->m_nFailWrites > 0) {
        --m_pFactory->m_nFailWrites;
        return MMSYSERR_ERROR;
    }
    m_pFactory->m_openings[m_nIndex].written.emplace_back(pHeader->lpData, static_cast<int>(pHeader->dwBufferLength));
    m_pPending = pHeader;
    if (m_pFactory->m_bAutoComplete)
        Complete();
    return MMSYSERR_NOERROR;
}

unsigned CRecordingWaveOutDevice::Reset()
{
    ++m_pFactory->m_openings[m_nIndex].nResets;
    Complete();
    return MMSYSERR_NOERROR;
}

void CRecordingWaveOutDevice::Complete()
{
    if (WaveHeader* p = m_pPending) {
        m_pPending = nullptr;
        NotifyDone(p);
    }
}

CRecordingWaveOutFactory::~CRecordingWaveOutFactory() = default;

unsigned CRecordingWaveOutFactory::QueryFormat(const WaveFormat& format)
{
    m_queries.push_back(format);
    // What a real device accepts: PCM at a positive rate, mono or stereo, 8 or 16 bits.
    bool bOk = format.wFormatTag == WAVE_FORMAT_PCM && format.nSamplesPerSec > 0
        && format.nChannels >= 1 && format.nChannels <= 2
        && (format.wBitsPerSample == 8 || format.wBitsPerSample == 16)
        && format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8
        && format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
    return bOk ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

std::unique_ptr<CWaveOutDevice> CRecordingWaveOutFactory::Open(const WaveFormat& format, unsigned* pError)
{
    if (m_nMaxOpen >= 0 && static_cast<int>(m_live.size()) >= m_nMaxOpen) {
        ++m_nFailedOpens;
        *pError = MMSYSERR_ALLOCATED;
        return nullptr;
    }
    m_openings.push_back(Opening{format, {}, 0, false});
    *pError = MMSYSERR_NOERROR;
    return std::make_unique<CRecordingWaveOutDevice>(this, static_cast<int>(m_openings.size()) - 1);
}

void CRecordingWaveOutFactory::CompletePending()
{
    std::vector<CRecordingWaveOutDevice*> live = m_live;
    for (CRecordingWaveOutDevice* p : live)
        p->Complete();
}
