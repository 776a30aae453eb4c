#include "player/shell/WaveOut.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#if defined(SONAVEL_PULSE_OUTPUT)
#include "player/shell/CPulseWaveOut.h"
#else
#include "player/shell/CQtWaveOut.h"
#endif

const QEvent::Type CWaveOutDoneEvent::MM_WOM_DONE = static_cast<QEvent::Type>(QEvent::User + 0x3BD);

CWaveOutFactory* g_waveOutFactory = nullptr;

namespace {

std::map<HWAVEOUT, std::unique_ptr<CWaveOutDevice>>& DeviceTable()
{
    static std::map<HWAVEOUT, std::unique_ptr<CWaveOutDevice>> table;
    return table;
}

// Handles are never reused, so a closed handle stays invalid for good.
HWAVEOUT g_hNextWaveOut = 1;

// Runs when the process ends through exit() or main's return, once a sound has
// started. A sound library's server connection may be a static made for the
// first sound, and its own server thread can race that static's teardown (an
// assertion in the server library's reference count, or a segfault on our
// "Wave Out" thread while it still feeds a sound). So our devices close first,
// joining their threads, and the process then ends with the status exit() was
// given, without the statics made before this handler: nothing of ours is
// written by a static's destructor, and standard output is flushed here.
void EndAfterClosingSound(int nStatus, void*)
{
    CloseAllWaveOuts();
#if defined(__SANITIZE_ADDRESS__)
    // The leak check would have run among the skipped handlers.
    __lsan_do_leak_check();
#endif
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(nStatus);
}

CWaveOutDevice* FindDevice(HWAVEOUT h)
{
    auto it = DeviceTable().find(h);
    return it == DeviceTable().end() ? nullptr : it->second.get();
}

} // namespace

void CWaveOutDevice::NotifyDone(WaveHeader* pHeader)
{
    if (pHeader) {
        pHeader->dwFlags &= ~WHDR_INQUEUE;
        pHeader->dwFlags |= WHDR_DONE;
    }
    if (m_pCallback)
        QCoreApplication::postEvent(m_pCallback, new CWaveOutDoneEvent(m_hSelf, pHeader));
}

void CloseWaveOutsAtExit()
{
    static const bool bClosesAtExit = on_exit(EndAfterClosingSound, nullptr) == 0;
    (void)bClosesAtExit;
}

CWaveOutFactory* CurrentWaveOutFactory()
{
    if (!g_waveOutFactory) {
#if defined(SONAVEL_PULSE_OUTPUT)
        static CPulseWaveOutFactory s_deviceFactory;
#else
        static CQtWaveOutFactory s_deviceFactory;
#endif
        g_waveOutFactory = &s_deviceFactory;
    }
    return g_waveOutFactory;
}

unsigned WaveOutOpen(HWAVEOUT* phWaveOut, const WaveFormat& format, QObject* pCallback, unsigned fdwOpen)
{
    CWaveOutFactory* pFactory = CurrentWaveOutFactory();
    unsigned rc = pFactory->QueryFormat(format);
    if (rc != MMSYSERR_NOERROR || (fdwOpen & WAVE_FORMAT_QUERY))
        return rc;
    if (!phWaveOut)
        return MMSYSERR_INVALPARAM;
    *phWaveOut = 0;
    unsigned err = MMSYSERR_ERROR;
    std::unique_ptr<CWaveOutDevice> pDevice = pFactory->Open(format, &err);
    if (!pDevice)
        return err != MMSYSERR_NOERROR ? err : MMSYSERR_ERROR;
    HWAVEOUT h = g_hNextWaveOut++;
    pDevice->Attach(h, (fdwOpen & CALLBACK_WINDOW) ? pCallback : nullptr);
    DeviceTable().emplace(h, std::move(pDevice));
    *phWaveOut = h;
    return MMSYSERR_NOERROR;
}

unsigned WaveOutPrepareHeader(HWAVEOUT hWaveOut, WaveHeader* pHeader, unsigned cbHeader)
{
    if (!FindDevice(hWaveOut))
        return MMSYSERR_INVALHANDLE;
    if (!pHeader || cbHeader < sizeof(WaveHeader) || (!pHeader->lpData && pHeader->dwBufferLength))
        return MMSYSERR_INVALPARAM;
    pHeader->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

unsigned WaveOutWrite(HWAVEOUT hWaveOut, WaveHeader* pHeader, unsigned cbHeader)
{
    CWaveOutDevice* pDevice = FindDevice(hWaveOut);
    if (!pDevice)
        return MMSYSERR_INVALHANDLE;
    if (!pHeader || cbHeader < sizeof(WaveHeader))
        return MMSYSERR_INVALPARAM;
    if (!(pHeader->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (pDevice->Busy())
        return WAVERR_STILLPLAYING;
    pHeader->dwFlags &= ~WHDR_DONE;
    pHeader->dwFlags |= WHDR_INQUEUE;
    unsigned rc = pDevice->Write(pHeader);
    if (rc != MMSYSERR_NOERROR)
        pHeader->dwFlags &= ~WHDR_INQUEUE;
    return rc;
}

unsigned WaveOutReset(HWAVEOUT hWaveOut)
{
    CWaveOutDevice* pDevice = FindDevice(hWaveOut);
    return pDevice ? pDevice->Reset() : MMSYSERR_INVALHANDLE;
}

unsigned WaveOutClose(HWAVEOUT hWaveOut)
{
    auto it = DeviceTable().find(hWaveOut);
    if (it == DeviceTable().end())
        return MMSYSERR_INVALHANDLE;
    if (it->second->Busy())
        return WAVERR_STILLPLAYING;
    // Take the device out of the table before destroying it, so nothing it
    // triggers while shutting down can find a half-destroyed entry.
    std::unique_ptr<CWaveOutDevice> pDevice = std::move(it->second);
    DeviceTable().erase(it);
    pDevice.reset();
    return MMSYSERR_NOERROR;
}

unsigned WaveOutGetPosition(HWAVEOUT hWaveOut, int64_t* pBytes)
{
    CWaveOutDevice* pDevice = FindDevice(hWaveOut);
    if (!pDevice)
        return MMSYSERR_INVALHANDLE;
    if (!pBytes)
        return MMSYSERR_INVALPARAM;
    *pBytes = pDevice->PlayedBytes();
    return *pBytes < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

int OpenWaveOutCount() { return static_cast<int>(DeviceTable().size()); }

void CloseAllWaveOuts()
{
    // One by one, each out of the table before it is destroyed.
    while (!DeviceTable().empty()) {
        std::unique_ptr<CWaveOutDevice> pDevice = std::move(DeviceTable().begin()->second);
        DeviceTable().erase(DeviceTable().begin());
        pDevice.reset();
    }
}
