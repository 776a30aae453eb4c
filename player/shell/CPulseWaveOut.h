#pragma once
// The audio-device backend of the wave-out layer on Linux: a PulseAudio client
// of our own (PipeWire serves the same protocol). Each opening is a connection
// of its own to the sound server, made when it opens, so a server that went
// away and came back (a restart after a device change) is simply met again by
// the next Play; while it is away, the open fails and the player says so.
// The sound library's shared connection, by contrast, gives up for the rest of
// the process when its one retry finds no server.
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>

#include "player/shell/WaveOut.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// Threads: the opening thread (the UI thread) makes the device, calls Write,
// Reset, Busy and PlayedBytes and deletes it; the connection's own thread
// (PulseAudio's threaded main loop, named "Wave Out") feeds the stream from
// the written buffer and learns of its end; the end-of-buffer notice is then
// handed back to the opening thread, so NotifyDone, the header's flags and the
// callback are only ever touched there. Everything the two share is guarded by
// the main loop's lock, but for the atomic header.
class CPulseWaveOutDevice : public CWaveOutDevice {
public:
    // Connects to the default server; null when none answers within
    // kConnectMs (no server, one that went away or hangs).
    static std::unique_ptr<CPulseWaveOutDevice> Connect(const WaveFormat& format);
    ~CPulseWaveOutDevice() override;

    unsigned Write(WaveHeader* pHeader) override;
    unsigned Reset() override;
    bool Busy() const override { return m_pHeader.load() != nullptr; }
    int64_t PlayedBytes() override;

    // The longest wait for the server to answer a connection or a new stream.
    static constexpr int kConnectMs = 5000;

private:
    explicit CPulseWaveOutDevice(const WaveFormat& format);
    bool Open();
    // Waits (the lock held) until fnReady or fnFailed holds, or kConnectMs
    // passed; true when fnReady came.
    template <class FReady, class FFailed> bool WaitUntil(FReady fnReady, FFailed fnFailed);
    void CloseStream();

    // On the connection's thread, the lock held.
    static void OnContextState(pa_context* pContext, void* pSelf);
    static void OnStreamState(pa_stream* pStream, void* pSelf);
    static void OnWritable(pa_stream* pStream, size_t nRequested, void* pSelf);
    static void OnDrained(pa_stream* pStream, int bSuccess, void* pSelf);
    void Feed(size_t nRequested);
    // The buffer came to its end (played, or the stream failed): tells the
    // opening thread once.
    void OnPlayed();
    // On the opening thread: reports the buffer in the device as done, if it
    // is still pExpected (any buffer when null).
    void OnBufferDone(WaveHeader* pExpected);

    const WaveFormat m_format;
    QObject m_owner; // lives on the opening thread
    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    pa_stream* m_pStream = nullptr;
    bool m_bTimedOut = false;
    // The written buffer as the stream takes it.
    const char* m_pData = nullptr;
    size_t m_nBytes = 0;
    size_t m_nFed = 0;
    bool m_bDraining = false;
    bool m_bPlayedPosted = false;
    // Set while a buffer is in the device; whoever takes it out (its end or a
    // reset, both on the opening thread) posts its notice, exactly once.
    std::atomic<WaveHeader*> m_pHeader{nullptr};
};

class CPulseWaveOutFactory : public CWaveOutFactory {
public:
    unsigned QueryFormat(const WaveFormat& format) override;
    std::unique_ptr<CWaveOutDevice> Open(const WaveFormat& format, unsigned* pError) override;

    // Lowest rate the device is asked to play: no sound worth hearing is
    // sampled more slowly, and a server's period of a few milliseconds would
    // be shorter than one frame.
    static constexpr int kMinDeviceRate = 1000;
};
