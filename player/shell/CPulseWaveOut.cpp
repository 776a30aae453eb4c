#include "player/shell/CPulseWaveOut.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <cstdlib>

namespace {

pa_sample_spec SampleFormatOf(const WaveFormat& format)
{
    pa_sample_spec sample;
    sample.format = format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    sample.rate = static_cast<uint32_t>(std::max<int32_t>(format.nSamplesPerSec, 0));
    sample.channels = static_cast<uint8_t>(format.nChannels);
    return sample;
}

void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* pTimedOut)
{
    *static_cast<bool*>(pTimedOut) = true;
}

} // namespace

CPulseWaveOutDevice::CPulseWaveOutDevice(const WaveFormat& format) : m_format(format) {}

std::unique_ptr<CPulseWaveOutDevice> CPulseWaveOutDevice::Connect(const WaveFormat& format)
{
    std::unique_ptr<CPulseWaveOutDevice> pDevice(new CPulseWaveOutDevice(format));
    if (!pDevice->Open())
        return nullptr;
    return pDevice;
}

bool CPulseWaveOutDevice::Open()
{
    m_pLoop = pa_threaded_mainloop_new();
    if (!m_pLoop)
        return false;
    pa_threaded_mainloop_set_name(m_pLoop, "Wave Out");
    m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), "Sonavel");
    if (!m_pContext)
        return false;
    pa_context_set_state_callback(m_pContext, OnContextState, this);
    if (pa_threaded_mainloop_start(m_pLoop) < 0)
        return false;
    pa_threaded_mainloop_lock(m_pLoop);
    bool bReady = pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0;
    if (bReady)
        bReady = WaitUntil([this] { return pa_context_get_state(m_pContext) == PA_CONTEXT_READY; },
                           [this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_pContext)); });
    pa_threaded_mainloop_unlock(m_pLoop);
    return bReady;
}

CPulseWaveOutDevice::~CPulseWaveOutDevice()
{
    m_pHeader = nullptr;
    if (m_pLoop) {
        pa_threaded_mainloop_lock(m_pLoop);
        CloseStream();
        if (m_pContext) {
            pa_context_set_state_callback(m_pContext, nullptr, nullptr);
            pa_context_disconnect(m_pContext);
        }
        pa_threaded_mainloop_unlock(m_pLoop);
        // Joins the connection's thread: no callback of ours runs after this.
        pa_threaded_mainloop_stop(m_pLoop);
    }
    if (m_pContext)
        pa_context_unref(m_pContext);
    if (m_pLoop)
        pa_threaded_mainloop_free(m_pLoop);
}

template <class FReady, class FFailed>
bool CPulseWaveOutDevice::WaitUntil(FReady fnReady, FFailed fnFailed)
{
    m_bTimedOut = false;
    pa_time_event* pTimer =
        pa_context_rttime_new(m_pContext, pa_rtclock_now() + pa_usec_t(kConnectMs) * PA_USEC_PER_MSEC, OnTimeout,
                              &m_bTimedOut);
    while (!fnReady() && !fnFailed() && !m_bTimedOut)
        pa_threaded_mainloop_wait(m_pLoop);
    if (pTimer)
        pa_threaded_mainloop_get_api(m_pLoop)->time_free(pTimer);
    return fnReady();
}

void CPulseWaveOutDevice::CloseStream()
{
    if (!m_pStream)
        return;
    // Our callbacks go first, so taking the stream down reports nothing.
    pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
    pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
    pa_stream_disconnect(m_pStream);
    pa_stream_unref(m_pStream);
    m_pStream = nullptr;
    m_pData = nullptr;
    m_nBytes = m_nFed = 0;
    m_bDraining = false;
}

unsigned CPulseWaveOutDevice::Write(WaveHeader* pHeader)
{
    pa_threaded_mainloop_lock(m_pLoop);
    if (pa_context_get_state(m_pContext) != PA_CONTEXT_READY) {
        // The server went away since the open.
        pa_threaded_mainloop_unlock(m_pLoop);
        return MMSYSERR_NODRIVER;
    }
    // Each buffer is a stream of its own, so its clock starts at its first byte.
    CloseStream();
    const pa_sample_spec sample = SampleFormatOf(m_format);
    m_pStream = pa_stream_new(m_pContext, "Playback", &sample, nullptr);
    if (!m_pStream) {
        pa_threaded_mainloop_unlock(m_pLoop);
        return MMSYSERR_NOMEM;
    }
    m_pData = pHeader->lpData;
    m_nBytes = pHeader->lpData ? pHeader->dwBufferLength : 0;
    m_nBytes -= m_nBytes % pa_frame_size(&sample);
    m_nFed = 0;
    m_bDraining = false;
    m_bPlayedPosted = false;
    m_pHeader = pHeader;
    pa_stream_set_state_callback(m_pStream, OnStreamState, this);
    pa_stream_set_write_callback(m_pStream, OnWritable, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(pa_usec_t(kWaveOutBufferMs) * PA_USEC_PER_MSEC, &sample));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE
                                                      | PA_STREAM_ADJUST_LATENCY);
    bool bReady = pa_stream_connect_playback(m_pStream, nullptr, &attr, flags, nullptr, nullptr) >= 0;
    if (bReady)
        bReady = WaitUntil([this] { return pa_stream_get_state(m_pStream) == PA_STREAM_READY; },
                           [this] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(m_pStream)); });
    if (!bReady) {
        CloseStream();
        m_pHeader = nullptr;
        pa_threaded_mainloop_unlock(m_pLoop);
        return MMSYSERR_ERROR;
    }
    if (m_nBytes == 0)
        OnPlayed(); // nothing to wait for
    pa_threaded_mainloop_unlock(m_pLoop);
    CloseWaveOutsAtExit();
    return MMSYSERR_NOERROR;
}

unsigned CPulseWaveOutDevice::Reset()
{
    pa_threaded_mainloop_lock(m_pLoop);
    // Taking the stream down silences it at once.
    CloseStream();
    pa_threaded_mainloop_unlock(m_pLoop);
    // The device no longer reads the buffer: hand it back.
    OnBufferDone(nullptr);
    return MMSYSERR_NOERROR;
}

int64_t CPulseWaveOutDevice::PlayedBytes()
{
    pa_threaded_mainloop_lock(m_pLoop);
    int64_t nBytes = static_cast<int64_t>(m_nBytes);
    pa_usec_t nUsec = 0;
    // The stream's clock is what the speaker has played, interpolated between
    // the server's timing updates; before the first one there is none yet.
    if (m_pStream && m_pHeader.load()) {
        const pa_sample_spec sample = SampleFormatOf(m_format);
        nBytes = pa_stream_get_time(m_pStream, &nUsec) == 0 ? static_cast<int64_t>(pa_usec_to_bytes(nUsec, &sample)) : 0;
        nBytes = std::clamp<int64_t>(nBytes, 0, static_cast<int64_t>(m_nBytes));
    }
    pa_threaded_mainloop_unlock(m_pLoop);
    return nBytes;
}

void CPulseWaveOutDevice::OnContextState(pa_context* pContext, void* pSelf)
{
    auto* p = static_cast<CPulseWaveOutDevice*>(pSelf);
    // The server went away: a sound in the device ends there.
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(pContext)) && p->m_pStream)
        p->OnPlayed();
    pa_threaded_mainloop_signal(p->m_pLoop, 0);
}

void CPulseWaveOutDevice::OnStreamState(pa_stream* pStream, void* pSelf)
{
    auto* p = static_cast<CPulseWaveOutDevice*>(pSelf);
    if (pStream == p->m_pStream && !PA_STREAM_IS_GOOD(pa_stream_get_state(pStream)))
        p->OnPlayed();
    pa_threaded_mainloop_signal(p->m_pLoop, 0);
}

void CPulseWaveOutDevice::OnWritable(pa_stream* pStream, size_t nRequested, void* pSelf)
{
    auto* p = static_cast<CPulseWaveOutDevice*>(pSelf);
    if (pStream == p->m_pStream)
        p->Feed(nRequested);
}

void CPulseWaveOutDevice::Feed(size_t nRequested)
{
    const size_t nNow = std::min(nRequested, m_nBytes - m_nFed);
    if (nNow > 0 && pa_stream_write(m_pStream, m_pData + m_nFed, nNow, nullptr, 0, PA_SEEK_RELATIVE) == 0)
        m_nFed += nNow;
    // All of it is with the server: the drain reports when the speaker has
    // played the last of it (and starts a sound shorter than the server's
    // start-up buffer), so closing on the notice cuts nothing off.
    if (m_nFed >= m_nBytes && !m_bDraining) {
        m_bDraining = true;
        if (pa_operation* pDrain = pa_stream_drain(m_pStream, OnDrained, this))
            pa_operation_unref(pDrain);
        else
            OnPlayed();
    }
}

void CPulseWaveOutDevice::OnDrained(pa_stream* pStream, int, void* pSelf)
{
    auto* p = static_cast<CPulseWaveOutDevice*>(pSelf);
    if (pStream == p->m_pStream && p->m_bDraining)
        p->OnPlayed();
}

void CPulseWaveOutDevice::OnPlayed()
{
    if (m_bPlayedPosted)
        return;
    m_bPlayedPosted = true;
    // Only the buffer that was playing is reported, should the owner have
    // reset it and written another before this call arrives. m_owner goes
    // with the device, taking a call still pending with it.
    WaveHeader* pPlayed = m_pHeader.load();
    if (pPlayed)
        QMetaObject::invokeMethod(&m_owner, [this, pPlayed] { OnBufferDone(pPlayed); }, Qt::QueuedConnection);
}

void CPulseWaveOutDevice::OnBufferDone(WaveHeader* pExpected)
{
    WaveHeader* pHeader = pExpected;
    if (pExpected ? m_pHeader.compare_exchange_strong(pHeader, nullptr)
                  : (pHeader = m_pHeader.exchange(nullptr)) != nullptr)
        NotifyDone(pHeader);
}

unsigned CPulseWaveOutFactory::QueryFormat(const WaveFormat& format)
{
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels < 1 || format.nChannels > 2
        || format.nSamplesPerSec < kMinDeviceRate || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)
        || format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8)
        return WAVERR_BADFORMAT;
    const pa_sample_spec sample = SampleFormatOf(format);
    return pa_sample_spec_valid(&sample) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

std::unique_ptr<CWaveOutDevice> CPulseWaveOutFactory::Open(const WaveFormat& format, unsigned* pError)
{
    if (QueryFormat(format) != MMSYSERR_NOERROR) {
        *pError = WAVERR_BADFORMAT;
        return nullptr;
    }
    std::unique_ptr<CPulseWaveOutDevice> pDevice = CPulseWaveOutDevice::Connect(format);
    *pError = pDevice ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
    return pDevice;
}
