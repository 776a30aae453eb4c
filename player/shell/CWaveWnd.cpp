#include "player/shell/CWaveWnd.h"

#include <QCoreApplication>

#include <algorithm>

#include "player/shell/CSonavelProApp.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/audio/SampleStore.h"

HWAVEOUT g_hCurrentWaveOut = 0;

CWaveWnd::CWaveWnd() = default;

CWaveWnd::CWaveWnd(CSonavelProDoc* pDocument) : m_pDocument(pDocument) {}

CWaveWnd::~CWaveWnd()
{
    // Leaving while the device still plays (the program quits mid-sound):
    // stop it before the samples are let go.
    if (m_hWaveOut) {
        WaveOutReset(m_hWaveOut);
        WaveOutClose(m_hWaveOut);
        m_hWaveOut = 0;
    }
    Release();
}

CWaveWnd::EPlayResult CWaveWnd::Play(int32_t nStart, int32_t nEnd)
{
    CSonavelProApp* pApp = CSonavelProApp::Instance();
    if (!pApp)
        return PLAY_NO_WINDOW;
    return Play(pApp->m_store, nStart, nEnd);
}

CWaveWnd::EPlayResult CWaveWnd::Play(const SampleStore& store, int32_t nStart, int32_t nEnd)
{
    // Without an event loop nothing could ever deliver the end-of-buffer
    // notice; one object serves one playback.
    if (!QCoreApplication::instance() || m_bCreated)
        return PLAY_NO_WINDOW;
    m_bCreated = true;
    setObjectName(QStringLiteral("Wave Wnd"));

    m_hWaveOut = 0;
    WaveFormat format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = store.sampleRate;
    format.nAvgBytesPerSec = static_cast<int32_t>(std::clamp<int64_t>(2LL * store.sampleRate, INT32_MIN, INT32_MAX));
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;

    if (WaveOutOpen(nullptr, format, nullptr, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR)
        return PLAY_BAD_FORMAT;

    if (WaveOutOpen(&m_hWaveOut, format, this, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        // The device is taken: stop the current playback and try once more.
        if (WaveOutReset(g_hCurrentWaveOut) != MMSYSERR_NOERROR || WaveOutClose(g_hCurrentWaveOut) != MMSYSERR_NOERROR)
            return PLAY_TAKEOVER_FAILED;
        if (WaveOutOpen(&m_hWaveOut, format, this, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
            WaveOutReset(m_hWaveOut);
            WaveOutClose(m_hWaveOut);
            m_hWaveOut = 0;
            return PLAY_OPEN_FAILED;
        }
    }
    g_hCurrentWaveOut = m_hWaveOut;

    // Never hand the device more than the block holds: a store whose counts
    // disagree with its block (a broken header) must not be read past its end.
    int64_t nFirst = std::max<int32_t>(nStart, 0);
    int64_t nLast = std::min<int64_t>(nEnd, store.sampleCount);
    m_hSamples = store.hSamples;
    if (m_hSamples) {
        nLast = std::min<int64_t>(nLast, static_cast<int64_t>(m_hSamples->Size() / 2));
        m_pData = static_cast<const int16_t*>(m_hSamples->Lock());
    }
    if (!m_hSamples || nLast < nFirst)
        nLast = nFirst;
    m_nStart = static_cast<int32_t>(nFirst);
    m_nBufferLength = static_cast<int32_t>(std::min<int64_t>((nLast - nFirst) * 2, INT32_MAX - 1));

    m_pHeader = std::make_unique<WaveHeader>();
    m_pHeader->lpData = m_pData ? reinterpret_cast<const char*>(m_pData + m_nStart) : nullptr;
    m_pHeader->dwBufferLength = static_cast<uint32_t>(m_nBufferLength);
    m_pHeader->dwUser = 0;

    EPlayResult nResult = PLAY_OK;
    if (WaveOutPrepareHeader(m_hWaveOut, m_pHeader.get(), sizeof(WaveHeader)) != MMSYSERR_NOERROR)
        nResult = PLAY_PREPARE_FAILED;
    else if (WaveOutWrite(m_hWaveOut, m_pHeader.get(), sizeof(WaveHeader)) != MMSYSERR_NOERROR)
        nResult = PLAY_WRITE_FAILED;
    if (nResult != PLAY_OK) {
        WaveOutReset(m_hWaveOut);
        WaveOutClose(m_hWaveOut);
        m_hWaveOut = 0;
        // No notice will come for a buffer the device never took.
        Release();
    }
    return nResult;
}

int CWaveWnd::OnWaveOutDone()
{
    if (m_hWaveOut) {
        WaveOutReset(m_hWaveOut);
        WaveOutClose(m_hWaveOut);
        m_hWaveOut = 0;
    }
    Release();
    emit Ended();
    if (m_bAutoDelete)
        deleteLater();
    return 0;
}

int64_t CWaveWnd::PlayingSample() const
{
    int64_t nBytes = 0;
    if (!m_hWaveOut || WaveOutGetPosition(m_hWaveOut, &nBytes) != MMSYSERR_NOERROR)
        return m_hWaveOut ? m_nStart : -1;
    return m_nStart + std::min<int64_t>(nBytes, m_nBufferLength) / 2;
}

void CWaveWnd::Release()
{
    if (m_hSamples) {
        m_hSamples->Unlock();
        m_hSamples.reset();
    }
    m_pData = nullptr;
    m_pHeader.reset();
}

bool CWaveWnd::event(QEvent* pEvent)
{
    if (pEvent->type() == CWaveOutDoneEvent::MM_WOM_DONE) {
        auto* pDone = static_cast<CWaveOutDoneEvent*>(pEvent);
        // A late notice from an opening this playback no longer holds (it
        // failed and was closed) has nothing left to release.
        if (pDone->m_pHeader == m_pHeader.get() && m_pHeader)
            OnWaveOutDone();
        return true;
    }
    return QObject::event(pEvent);
}

int CWaveWnd::FindWaveData(CFileReader& file, sonavel::audio::WaveFormatRecord& format, int32_t& nDataLength)
{
    if (!m_pDocument)
        return -1;
    return sonavel::audio::FindWaveData(file, format, nDataLength, m_pDocument->m_store.hSamples) ? 0 : -1;
}
