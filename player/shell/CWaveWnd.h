#pragma once
// One playback of the loaded sound: owns one opening of the wave-out device
// and receives its end-of-buffer notice on the UI thread. A new CWaveWnd is
// made for every playback.
//
// The playback keeps its own copy of the sample handle, locked from Play
// until the notice, so a new open may drop the application's handle while the
// device still reads this one.
#include <QObject>

#include <cstdint>
#include <memory>

#include "player/audio/CSampleBlock.h"
#include "player/audio/WaveChunkWalk.h"
#include "player/shell/WaveOut.h"

class CFileReader;
class CSonavelProDoc;
struct SampleStore;

// The opening made by the most recent Play that got the device open. Never
// cleared: after that playback ended it holds a closed (invalid) handle.
extern HWAVEOUT g_hCurrentWaveOut;

class CWaveWnd : public QObject {
    Q_OBJECT
public:
    // What Play came to: playing, or the step that failed (the design's codes,
    // 1 to 6). The callers only tell playing from not.
    enum EPlayResult : int {
        PLAY_OK = 0,
        PLAY_NO_WINDOW = 1,
        PLAY_BAD_FORMAT = 2,
        PLAY_TAKEOVER_FAILED = 3,
        PLAY_OPEN_FAILED = 4,
        PLAY_PREPARE_FAILED = 5,
        PLAY_WRITE_FAILED = 6,
    };

    CWaveWnd();
    explicit CWaveWnd(CSonavelProDoc* pDocument);
    ~CWaveWnd() override;

    // Plays samples [nStart, nEnd) of the application's store.
    EPlayResult Play(int32_t nStart, int32_t nEnd);
    // Same, from a given store (the application passes its own).
    EPlayResult Play(const SampleStore& store, int32_t nStart, int32_t nEnd);

    // The device has played the buffer: unlock, close the opening. Returns 0.
    int OnWaveOutDone();

    // The sample being played (the start plus what the device has taken), or
    // -1 once the opening is closed.
    int64_t PlayingSample() const;

    // The WAV reader's chunk walk, loading into the linked document's store.
    int FindWaveData(CFileReader& file, sonavel::audio::WaveFormatRecord& format, int32_t& nDataLength);

    // A playback made on the heap by the application deletes itself once its
    // opening is closed.
    void SetAutoDelete(bool bAutoDelete) { m_bAutoDelete = bAutoDelete; }

    HWAVEOUT m_hWaveOut = 0;

signals:
    // The opening was closed after its end-of-buffer notice: nothing plays.
    void Ended();

protected:
    bool event(QEvent* pEvent) override;

private:
    void Release();

    CSonavelProDoc* m_pDocument = nullptr;
    int32_t m_nBufferLength = 0;
    int32_t m_nStart = 0;
    const int16_t* m_pData = nullptr;
    CSampleBlockHandle m_hSamples;          // locked while set
    std::unique_ptr<WaveHeader> m_pHeader;
    bool m_bCreated = false;
    bool m_bAutoDelete = false;
};
