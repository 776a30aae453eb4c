#pragma once
// A wave-out backend that plays nothing and records every call, for tests.
// Buffers complete either at once (a queued notice, as the device would post
// it) or when the test calls CompletePending(), so a test can hold a playback
// "in the device" for as long as it needs. Tests put it in g_waveOutFactory with
// testsupport::CScopedValue, declared after the recorder.
#include <QByteArray>

#include <memory>
#include <vector>

#include "player/shell/WaveOut.h"
#include "tests/support/ScopedHook.h"

class CRecordingWaveOutFactory;

// Everything here runs on the UI thread: the written buffer is recorded at once
// and its notice posted when the test (or a reset) completes it.
class CRecordingWaveOutDevice : public CWaveOutDevice {
public:
    CRecordingWaveOutDevice(CRecordingWaveOutFactory* pFactory, int nIndex);
    ~CRecordingWaveOutDevice() override;
    unsigned Write(WaveHeader* pHeader) override;
    unsigned Reset() override;
    bool Busy() const override { return m_pPending != nullptr; }
    // Nothing is heard while a buffer waits for the test to complete it.
    int64_t PlayedBytes() override { return 0; }
    void Complete();

private:
    CRecordingWaveOutFactory* m_pFactory;
    int m_nIndex;
    WaveHeader* m_pPending = nullptr;
};

class CRecordingWaveOutFactory : public CWaveOutFactory {
public:
    struct Opening {
        WaveFormat format;
        std::vector<QByteArray> written; // a copy of each buffer at write time
        int nResets = 0;
        bool bClosed = false;
    };

    ~CRecordingWaveOutFactory() override;

    unsigned QueryFormat(const WaveFormat& format) override;
    std::unique_ptr<CWaveOutDevice> Open(const WaveFormat& format, unsigned* pError) override;

    // Completes every buffer still in a device (posts their notices).
    void CompletePending();

    // Configuration.
    bool m_bAutoComplete = true;
    int m_nMaxOpen = -1;        // openings allowed at the same time, -1 = any number
    int m_nFailWrites = 0;      // the next n writes fail

    // What happened.
    std::vector<WaveFormat> m_queries;
    std::vector<Opening> m_openings;
    int m_nFailedOpens = 0;

private:
    friend class CRecordingWaveOutDevice;
    std::vector<CRecordingWaveOutDevice*> m_live;
};
