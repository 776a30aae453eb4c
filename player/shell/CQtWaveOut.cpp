#include "player/shell/CQtWaveOut.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cstring>


void CWaveBufferSource::Start(const char* pData, qint64 nBytes, qint64 nSilenceBytes, char cSilence)
{
    m_pData = pData;
    m_cSilence = cSilence;
    m_nBytes = pData ? nBytes : 0;
    m_nSilenceBytes = nSilenceBytes;
    m_nPos = 0;
    if (!isOpen())
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void CWaveBufferSource::Stop()
{
    m_pData = nullptr;
    m_nBytes = m_nSilenceBytes = m_nPos = 0;
    if (isOpen())
        close();
}

qint64 CWaveBufferSource::bytesAvailable() const
{
    return m_nBytes + m_nSilenceBytes - m_nPos + QIODevice::bytesAvailable();
}

qint64 CWaveBufferSource::readData(char* pData, qint64 nMaxBytes)
{
    qint64 nDone = 0;
    if (m_nPos < m_nBytes) {
        qint64 n = std::min(nMaxBytes, m_nBytes - m_nPos);
        std::memcpy(pData, m_pData + m_nPos, static_cast<size_t>(n));
        m_nPos += n;
        nDone = n;
    }
    qint64 nEnd = m_nBytes + m_nSilenceBytes;
    if (nDone < nMaxBytes && m_nPos < nEnd) {
        qint64 n = std::min(nMaxBytes - nDone, nEnd - m_nPos);
        std::memset(pData + nDone, m_cSilence, static_cast<size_t>(n));
        m_nPos += n;
        nDone += n;
    }
    return nDone;
}

CQtWaveOutWorker::CQtWaveOutWorker(const QAudioFormat& format, const QAudioDevice& device, std::function<void()> fnDone)
    : m_format(format), m_pSink(std::make_unique<QAudioSink>(device, format)), m_pWatchdog(new QTimer(this)),
      m_fnDone(std::move(fnDone))
{
    QObject::connect(m_pSink.get(), &QAudioSink::stateChanged, this, [this] { OnStateChanged(); });
    m_pWatchdog->setSingleShot(true);
    QObject::connect(m_pWatchdog, &QTimer::timeout, this, [this] { Finish(); });
}

CQtWaveOutWorker::~CQtWaveOutWorker() { Stop(); }

bool CQtWaveOutWorker::Start(const char* pData, qint64 nBytes)
{
    int nBytesPerFrame = std::max(1, m_format.bytesPerFrame());
    qint64 nLength = nBytes - nBytes % nBytesPerFrame;
    qint64 nSilence = static_cast<qint64>(m_format.bytesForDuration(CQtWaveOutDevice::kDrainMs * 1000));
    nSilence -= nSilence % nBytesPerFrame;
    // Unsigned 8-bit samples are silent at their midpoint.
    m_nLength = nLength;
    m_source.Start(pData, nLength, nSilence, m_format.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : char(0));
    m_bPlaying = true;
    m_pSink->setBufferSize(m_format.bytesForDuration(kWaveOutBufferMs * 1000));
    m_pSink->start(&m_source);
    // A sink that cannot reach the device stops at once without reporting a
    // state change: only error() tells.
    if (m_pSink->error() != QAudio::NoError || m_pSink->state() == QAudio::StoppedState) {
        Stop();
        return false;
    }
    // Should the device never report the end (a server that went away), the
    // notice still comes, so the owner releases the samples.
    qint64 nMs = m_format.durationForBytes(static_cast<qint32>(std::min<qint64>(nLength + nSilence, INT32_MAX))) / 1000;
    m_pWatchdog->start(static_cast<int>(std::min<qint64>(nMs + 5000, INT32_MAX)));
    return true;
}

void CQtWaveOutWorker::Stop()
{
    m_bPlaying = false;
    m_pWatchdog->stop();
    m_pSink->stop();
    m_source.Stop();
}

qint64 CQtWaveOutWorker::PlayedBytes() const
{
    if (!m_bPlaying)
        return m_nLength;
    const qint64 nBytes = m_format.bytesForDuration(m_pSink->processedUSecs());
    return std::clamp<qint64>(nBytes, 0, m_nLength);
}

void CQtWaveOutWorker::OnStateChanged()
{
    if (!m_bPlaying)
        return;
    QAudio::State state = m_pSink->state();
    // Idle: the source ran dry (the silence after the buffer is in the device).
    // Stopped: the device failed under us. The sink also turns idle when the
    // server ran short of data for a moment (an underrun on a busy machine)
    // while the sound goes on: that is no end, and it pulls again.
    if (state == QAudio::IdleState && m_source.bytesAvailable() > 0)
        return;
    if (state == QAudio::IdleState || state == QAudio::StoppedState)
        Finish();
}

void CQtWaveOutWorker::Finish()
{
    if (!m_bPlaying)
        return;
    m_bPlaying = false;
    m_pWatchdog->stop();
    m_fnDone();
}

CQtWaveOutDevice::CQtWaveOutDevice(const QAudioFormat& format, const QAudioDevice& device)
{
    m_thread.setObjectName(QStringLiteral("Wave Out"));
    m_pContext = new QObject;
    m_pContext->moveToThread(&m_thread);
    m_thread.start();
    // The sink is made on the audio thread, so its timers run there.
    RunOnAudioThread([&] { m_pWorker = new CQtWaveOutWorker(format, device, [this] { OnPlayed(); }); });
}

CQtWaveOutDevice::~CQtWaveOutDevice()
{
    m_pHeader = nullptr;
    RunOnAudioThread([this] { delete m_pWorker; });
    m_pContext->deleteLater(); // deleted as the thread finishes
    m_thread.quit();
    m_thread.wait();
}

template <class F>
void CQtWaveOutDevice::RunOnAudioThread(F f)
{
    QMetaObject::invokeMethod(m_pContext, f, Qt::BlockingQueuedConnection);
}

void CQtWaveOutDevice::OnPlayed()
{
    // Only the buffer that was playing is reported, should the owner have
    // reset it and written another before this call arrives. m_owner goes
    // with the device, taking a call still pending with it.
    WaveHeader* pPlayed = m_pHeader.load();
    if (pPlayed)
        QMetaObject::invokeMethod(&m_owner, [this, pPlayed] { OnBufferDone(pPlayed); }, Qt::QueuedConnection);
}

void CQtWaveOutDevice::OnBufferDone(WaveHeader* pExpected)
{
    WaveHeader* pHeader = pExpected;
    if (pExpected ? m_pHeader.compare_exchange_strong(pHeader, nullptr) : (pHeader = m_pHeader.exchange(nullptr)) != nullptr)
        NotifyDone(pHeader);
}

unsigned CQtWaveOutDevice::Write(WaveHeader* pHeader)
{
    m_pHeader = pHeader;
    bool bStarted = false;
    RunOnAudioThread([&] { bStarted = m_pWorker->Start(pHeader->lpData, pHeader->dwBufferLength); });
    if (!bStarted) {
        m_pHeader = nullptr;
        return MMSYSERR_ERROR;
    }
    // Registered after the first sink started, and so after the sound
    // library's statics were made: it runs before any of them goes.
    CloseWaveOutsAtExit();
    return MMSYSERR_NOERROR;
}

int64_t CQtWaveOutDevice::PlayedBytes()
{
    qint64 nBytes = -1;
    RunOnAudioThread([&] { nBytes = m_pWorker->PlayedBytes(); });
    return nBytes;
}

unsigned CQtWaveOutDevice::Reset()
{
    RunOnAudioThread([this] { m_pWorker->Stop(); });
    // The device no longer reads the buffer: hand it back.
    OnBufferDone(nullptr);
    return MMSYSERR_NOERROR;
}

QAudioFormat CQtWaveOutFactory::ToAudioFormat(const WaveFormat& format)
{
    QAudioFormat f;
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels < 1 || format.nChannels > 2
        || format.nSamplesPerSec < kMinDeviceRate || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)
        || format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8)
        return f; // invalid
    f.setSampleRate(format.nSamplesPerSec);
    f.setChannelCount(format.nChannels);
    f.setSampleFormat(format.wBitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return f;
}

unsigned CQtWaveOutFactory::QueryFormat(const WaveFormat& format)
{
    QAudioFormat f = ToAudioFormat(format);
    if (!f.isValid())
        return WAVERR_BADFORMAT;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return MMSYSERR_NODRIVER;
    return device.isFormatSupported(f) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

std::unique_ptr<CWaveOutDevice> CQtWaveOutFactory::Open(const WaveFormat& format, unsigned* pError)
{
    QAudioFormat f = ToAudioFormat(format);
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (!f.isValid() || device.isNull()) {
        *pError = f.isValid() ? MMSYSERR_NODRIVER : WAVERR_BADFORMAT;
        return nullptr;
    }
    *pError = MMSYSERR_NOERROR;
    return std::make_unique<CQtWaveOutDevice>(f, device);
}
