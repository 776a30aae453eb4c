#pragma once
// The audio-device backend of the wave-out layer: QAudioSink on the default
// output (PulseAudio or PipeWire on Linux), pulling from the written buffer.
#include <QAudioFormat>
#include <QIODevice>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>

#include <memory>

#include "player/shell/WaveOut.h"

class QAudioDevice;
class QAudioSink;

// Serves one buffer to the sink, followed by a stretch of silence (on the
// audio thread, where the sink reads it). The sink
// reports Idle while the last ~100 ms it took are still in the device; the
// silence is what is in the device then, so no sound is cut off when the
// owner closes the output on the end-of-buffer notice.
class CWaveBufferSource : public QIODevice {
public:
    void Start(const char* pData, qint64 nBytes, qint64 nSilenceBytes, char cSilence);
    void Stop();
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* pData, qint64 nMaxBytes) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const char* m_pData = nullptr;
    qint64 m_nBytes = 0;
    qint64 m_nSilenceBytes = 0;
    qint64 m_nPos = 0;
    char m_cSilence = 0;
};

// The sink and its source live on a thread of their own: the UI thread may be
// busy for a second (an analysis of a long sound) while the device must be fed
// every few tens of milliseconds, or the sound stutters. Made, used and deleted
// on that audio thread only; fnDone is called there.
class CQtWaveOutWorker : public QObject {
public:
    CQtWaveOutWorker(const QAudioFormat& format, const QAudioDevice& device, std::function<void()> fnDone);
    ~CQtWaveOutWorker() override;
    bool Start(const char* pData, qint64 nBytes); // false: the device cannot be reached
    void Stop();
    // Bytes of the buffer the sink has played, at most its length.
    qint64 PlayedBytes() const;

private:
    void OnStateChanged();
    void Finish();

    QAudioFormat m_format;
    CWaveBufferSource m_source;          // outlives the sink that reads it
    std::unique_ptr<QAudioSink> m_pSink;
    QTimer* m_pWatchdog;
    std::function<void()> m_fnDone;
    bool m_bPlaying = false;
    qint64 m_nLength = 0; // of the buffer being played, silence not counted
};

// Threads: the thread that opened the device (the UI thread) makes it, calls
// Write, Reset and Busy and deletes it; the worker runs on the device's audio
// thread and tells OnPlayed there; the end-of-buffer notice is then handed
// back to the opening thread, so NotifyDone, the header's flags and the
// callback are only ever touched on that thread.
class CQtWaveOutDevice : public CWaveOutDevice {
public:
    CQtWaveOutDevice(const QAudioFormat& format, const QAudioDevice& device);
    ~CQtWaveOutDevice() override;

    unsigned Write(WaveHeader* pHeader) override;
    unsigned Reset() override;
    bool Busy() const override { return m_pHeader.load() != nullptr; }
    int64_t PlayedBytes() override;

    // Silence served after each buffer (see CWaveBufferSource).
    static constexpr int kDrainMs = 300;
    // The drain covers what the sound server holds ahead of the speaker.
    static_assert(kWaveOutBufferMs < kDrainMs, "the silence after a sound must push all of it out");

private:
    // Runs f on the audio thread and waits for it.
    template <class F> void RunOnAudioThread(F f);
    // From the audio thread when the buffer has been played.
    void OnPlayed();
    // On the opening thread: reports the buffer in the device as done, if it is
    // still pExpected (any buffer when null).
    void OnBufferDone(WaveHeader* pExpected);

    QObject m_owner;                         // lives on the opening thread
    QThread m_thread;
    QObject* m_pContext = nullptr;           // lives on the audio thread
    CQtWaveOutWorker* m_pWorker = nullptr;   // made and deleted there
    // Set while a buffer is in the device; whoever takes it out (the end of
    // the buffer or a reset, both on the opening thread) posts its notice,
    // exactly once. Atomic: the audio thread reads it.
    std::atomic<WaveHeader*> m_pHeader{nullptr};
};

class CQtWaveOutFactory : public CWaveOutFactory {
public:
    unsigned QueryFormat(const WaveFormat& format) override;
    std::unique_ptr<CWaveOutDevice> Open(const WaveFormat& format, unsigned* pError) override;

    // Lowest rate the device is asked to play. Qt's PulseAudio output divides
    // by zero below about 50 Hz (a 20 ms period shorter than one frame) and
    // stops after a second or so at a few hundred Hz; no sound worth hearing is
    // sampled that slowly, so such rates are refused like any bad format.
    static constexpr int kMinDeviceRate = 1000;

    // The Qt form of a format, invalid when the fields do not describe PCM.
    static QAudioFormat ToAudioFormat(const WaveFormat& format);
};
