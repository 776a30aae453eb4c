#pragma once
// The player's wave-out layer: the five steps of a playback (query the format,
// open with an end-of-buffer notice, prepare, write, reset, close) behind one
// small interface with backends: the audio device (on Linux a PulseAudio
// client of our own, elsewhere QAudioSink) and a recorder for tests. Devices are reached through integer handles kept in a
// table, so a stale handle (a playback that already closed) is refused with
// an error code instead of touching freed memory.
#include <QEvent>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <memory>

using HWAVEOUT = std::uintptr_t; // 0 = no opening

enum : unsigned {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_ALLOCATED = 4,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NODRIVER = 6,
    MMSYSERR_NOMEM = 7,
    MMSYSERR_INVALPARAM = 11,
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
};

// Flags of WaveOutOpen.
enum : unsigned {
    WAVE_FORMAT_QUERY = 0x0001,
    CALLBACK_WINDOW = 0x00010000,
};

// Flags of WaveHeader::dwFlags.
enum : unsigned {
    WHDR_DONE = 0x01,
    WHDR_PREPARED = 0x02,
    WHDR_INQUEUE = 0x10,
};

enum : std::uint16_t { WAVE_FORMAT_PCM = 1 };

struct WaveFormat {
    std::uint16_t wFormatTag = WAVE_FORMAT_PCM;
    std::uint16_t nChannels = 1;
    std::int32_t nSamplesPerSec = 0;
    std::int32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 2;
    std::uint16_t wBitsPerSample = 16;
};

// One buffer handed to the device. The memory behind lpData must stay valid
// from WaveOutWrite until the end-of-buffer notice (or a reset).
struct WaveHeader {
    const char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
};

// The end-of-buffer notice, posted (queued) to the callback object given to
// WaveOutOpen; it is delivered on that object's thread, the UI thread.
class CWaveOutDoneEvent : public QEvent {
public:
    static const QEvent::Type MM_WOM_DONE;
    CWaveOutDoneEvent(HWAVEOUT hWaveOut, WaveHeader* pHeader)
        : QEvent(MM_WOM_DONE), m_hWaveOut(hWaveOut), m_pHeader(pHeader) {}
    HWAVEOUT m_hWaveOut;
    WaveHeader* m_pHeader;
};

// One opening of the output, used on the thread that opened it (the UI
// thread). A device reports the end of a written buffer by calling NotifyDone
// on that thread, whatever thread its sound runs on: the header's flags and
// the callback pointer are that thread's alone.
class CWaveOutDevice {
public:
    virtual ~CWaveOutDevice() = default;
    virtual unsigned Write(WaveHeader* pHeader) = 0;
    // Stops output at once; a buffer still queued is marked done and its
    // notice is posted, as the owner may be waiting for it to release memory.
    virtual unsigned Reset() = 0;
    // True while a written buffer has not been reported done.
    virtual bool Busy() const = 0;
    // Bytes of the written buffer the device has taken to play so far (at most
    // its length), or -1 when it cannot tell.
    virtual int64_t PlayedBytes() { return -1; }

    void Attach(HWAVEOUT h, QObject* pCallback) { m_hSelf = h; m_pCallback = pCallback; }

protected:
    void NotifyDone(WaveHeader* pHeader);

private:
    HWAVEOUT m_hSelf = 0;
    QPointer<QObject> m_pCallback;
};

// What a device's sound server holds ahead of the speaker. A sound library's
// own 100 ms ran dry when the feeding thread waited that long for a core (a gap
// of silence mid-sound on a busy machine).
inline constexpr int kWaveOutBufferMs = 250;

// A backend: says which formats it can play and opens devices.
class CWaveOutFactory {
public:
    virtual ~CWaveOutFactory() = default;
    virtual unsigned QueryFormat(const WaveFormat& format) = 0;
    // Null with *pError set when the output cannot be opened.
    virtual std::unique_ptr<CWaveOutDevice> Open(const WaveFormat& format, unsigned* pError) = 0;
};

// The backend every playback uses. Null means the audio device (created on
// first use); tests point it at a recorder.
extern CWaveOutFactory* g_waveOutFactory;
CWaveOutFactory* CurrentWaveOutFactory();

// With WAVE_FORMAT_QUERY only the format is checked and phWaveOut may be null.
unsigned WaveOutOpen(HWAVEOUT* phWaveOut, const WaveFormat& format, QObject* pCallback, unsigned fdwOpen);
unsigned WaveOutPrepareHeader(HWAVEOUT hWaveOut, WaveHeader* pHeader, unsigned cbHeader);
unsigned WaveOutWrite(HWAVEOUT hWaveOut, WaveHeader* pHeader, unsigned cbHeader);
unsigned WaveOutReset(HWAVEOUT hWaveOut);
unsigned WaveOutClose(HWAVEOUT hWaveOut);
// How far the opening has played its buffer, in bytes (the playback cursor).
unsigned WaveOutGetPosition(HWAVEOUT hWaveOut, int64_t* pBytes);

// Number of openings not yet closed (tests check that none leak).
int OpenWaveOutCount();

// Closes every opening at once, a sound still playing included (no notice is
// posted): for the end of the process, before the audio backend's own statics go.
void CloseAllWaveOuts();

// Called by a device once its first sound started: the process's end through
// exit() or main's return then closes every opening first (see WaveOut.cpp).
void CloseWaveOutsAtExit();
