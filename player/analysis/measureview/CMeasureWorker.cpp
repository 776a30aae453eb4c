#include "player/analysis/measureview/CMeasureWorker.h"

#include <new>
#include <stdexcept>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/measureview/MeasureSettings.h"

namespace {
// A picture's columns are split between two threads: the first picture of a
// narrow-band hour at a device-pixel ratio of 2 takes 2400 transforms of 2048
// points, which one core does not finish in a tenth of a second.
const int kPictureThreads = static_cast<int>(std::min(2u, std::max(1u, std::thread::hardware_concurrency())));

// The samples of a track that stop coming once its view is gone: the trackers
// fetch a block at a time (2048 frames of the AMDF, 220,500 samples of the
// research tracker) and end at the first block they cannot have.
class CCancellableSamples : public CSampleSource {
public:
    CCancellableSamples(const CSampleSource& source, const std::atomic<bool>& bCancel)
        : m_source(source), m_bCancel(bCancel)
    {
    }
    bool NeedsBuffer() const override { return m_source.NeedsBuffer(); }
    const int16_t* Fetch(int nFirst, int nCount, int16_t* pBuffer) const override
    {
        return m_bCancel.load(std::memory_order_relaxed) ? nullptr : m_source.Fetch(nFirst, nCount, pBuffer);
    }

private:
    const CSampleSource& m_source;
    const std::atomic<bool>& m_bCancel;
};

} // namespace

CMeasureWorker::CJobThread::CJobThread() { Start(); }

CMeasureWorker::CJobThread::~CJobThread()
{
    Stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool CMeasureWorker::CJobThread::Start()
{
    try {
        m_thread = std::thread([this] { Run(); });
        return true;
    } catch (...) { // no thread to be had (yet): Post runs the job itself
        return false;
    }
}

void CMeasureWorker::CJobThread::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_fnPending = nullptr;
    }
    m_bCancel = true;
    m_wake.notify_one();
}

void CMeasureWorker::CJobThread::Post(Job fnJob)
{
    if (!m_thread.joinable() && !Start()) {
        // Late rather than never: the caller's thread does the job.
        try {
            fnJob(m_bCancel);
        } catch (...) {
        }
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fnPending = std::move(fnJob);
    }
    m_wake.notify_one();
}

void CMeasureWorker::CJobThread::Run()
{
    for (;;) {
        Job fnJob;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || m_fnPending; });
            if (m_bStop)
                return;
            fnJob = std::move(m_fnPending);
            m_fnPending = nullptr;
        }
        // The jobs turn their own failures into results; what still escapes
        // (the report itself without memory) is dropped, and the thread stays.
        try {
            fnJob(m_bCancel);
        } catch (...) {
        }
    }
}

CMeasureWorker::CMeasureWorker(PictureDone fnPicture, PitchDone fnPitch, LayersDone fnLayers)
    : m_fnPicture(std::move(fnPicture)), m_fnPitch(std::move(fnPitch)), m_fnLayers(std::move(fnLayers))
{
}

CMeasureWorker::~CMeasureWorker()
{
    // Both cancelled before either is waited for.
    m_pictures.Stop();
    m_pitch.Stop();
    m_layers.Stop();
    m_pulses.Stop();
    m_voice.Stop();
}

void CMeasureWorker::RequestPicture(std::shared_ptr<const CMeasureSound> pSound, const PictureRequest& request)
{
    m_pictures.Post([this, pSound, request](const std::atomic<bool>& bCancel) {
        if (!pSound)
            return;
        auto pPicture = ComputePicture(*pSound, request, m_cache, kPictureThreads, &bCancel);
        if (!bCancel)
            m_fnPicture(std::move(pPicture));
    });
}

void CMeasureWorker::RequestPitch(std::shared_ptr<const CMeasureSound> pSound,
                                  const sonavel::pitch::PitchSettings& settings, unsigned nSerial)
{
    m_pitch.Post([this, pSound, settings, nSerial](const std::atomic<bool>& bCancel) {
        using namespace sonavel::pitch;
        std::shared_ptr<PitchFrames> pFrames;
        sonavel::analysis::EOutcome nResult = sonavel::analysis::EOutcome::Refused;
        try {
            pFrames = std::make_shared<PitchFrames>();
            // The pitch is tracked over the whole sound, so it must hold all of it:
            // the view's own share of the sound, never its file (which may have changed since).
            if (pSound && pSound->HoldsAll() && pSound->Count() <= INT32_MAX) {
                const int nCount = static_cast<int>(pSound->Count());
                const CMemorySamples memory(pSound->HeldSamples(), nCount);
                const CCancellableSamples source(memory, bCancel);
                nResult = TrackSound(sonavel::analysis::CSoundInput::Samples(source, nCount, pSound->Rate()), settings,
                                     0, *pFrames).nOutcome;
            }
        } catch (const std::bad_alloc&) {
            nResult = sonavel::analysis::EOutcome::NoMemory;
        } catch (const std::length_error&) { // a size no allocator takes
            nResult = sonavel::analysis::EOutcome::NoMemory;
        } catch (...) {
            nResult = sonavel::analysis::EOutcome::SourceFailed; // said as "the pitch track failed"
        }
        if (!bCancel)
            m_fnPitch(std::move(pFrames), nResult, nSerial);
    });
}

namespace {

// A track's result from what it threw.
template <class F>
sonavel::analysis::EOutcome Guarded(F&& fn)
{
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        return sonavel::analysis::EOutcome::NoMemory;
    } catch (const std::length_error&) {
        return sonavel::analysis::EOutcome::NoMemory;
    } catch (...) {
        return sonavel::analysis::EOutcome::SourceFailed;
    }
}

} // namespace

void CMeasureWorker::RequestLayers(std::shared_ptr<const CMeasureSound> pSound,
                                   const sonavel::formants::FormantSettings& formants,
                                   const sonavel::intensity::IntensitySettings& intensity, unsigned nSerial,
                                   int nColumns)
{
    if (!m_fnLayers)
        return;
    m_layers.Post([this, pSound, formants, intensity, nSerial, nColumns](const std::atomic<bool>& bCancel) {
        using namespace sonavel;
        // The whole sound, as the pitch: the view's own share of it.
        if (!pSound || !pSound->HoldsAll() || pSound->Count() > INT32_MAX) {
            LayerResults failed;
            failed.nSerial = nSerial;
            failed.bIntensityDone = failed.bFormantsDone = true;
            failed.nIntensity = failed.nFormants = analysis::EOutcome::SourceFailed;
            m_fnLayers(failed);
            return;
        }
        const int nCount = static_cast<int>(pSound->Count());
        const CMemorySamples memory(pSound->HeldSamples(), nCount);
        const CCancellableSamples source(memory, bCancel);
        const auto input = analysis::CSoundInput::Samples(source, nCount, pSound->Rate());
        LayerResults tracks;
        tracks.nSerial = nSerial;
        // The waveform first: it takes a moment, the formants of an hour minutes.
        auto pPyramid = std::make_shared<waveform::CWaveformPyramid>();
        if (Guarded([&] { return pPyramid->Build(input).nOutcome; }) == analysis::EOutcome::Done)
            tracks.pWaveform = pPyramid;
        if (bCancel)
            return;
        m_fnLayers(tracks);
        // The whole sound's formants at the picture's resolution: the hour's
        // in a tenth of a second, where its whole track takes seconds.
        const formants::FormantSettings preview =
            measure::FormantsForPicture(formants, static_cast<double>(nCount) / pSound->Rate(), nColumns);
        if (preview.dStepS > formants.dStepS) {
            auto pPreview = std::make_shared<formants::FormantFrames>();
            if (Guarded([&] { return formants::TrackSound(input, preview, 0, *pPreview).nOutcome; })
                == analysis::EOutcome::Done)
                tracks.pFormantPreview = pPreview;
            if (bCancel)
                return;
            m_fnLayers(tracks);
        }
        auto pIntensity = std::make_shared<intensity::IntensityFrames>();
        tracks.nIntensity = Guarded([&] { return intensity::TrackSound(input, intensity, 0, *pIntensity).nOutcome; });
        tracks.pIntensity = tracks.nIntensity == analysis::EOutcome::Done ? pIntensity : nullptr;
        tracks.bIntensityDone = true;
        if (bCancel)
            return;
        m_fnLayers(tracks);
        auto pFormants = std::make_shared<formants::FormantFrames>();
        tracks.nFormants = Guarded([&] { return formants::TrackSound(input, formants, 0, *pFormants).nOutcome; });
        tracks.pFormants = tracks.nFormants == analysis::EOutcome::Done ? pFormants : nullptr;
        tracks.bFormantsDone = true;
        if (!bCancel)
            m_fnLayers(tracks);
    });
}

void CMeasureWorker::SetVoiceCallbacks(PulsesDone fnPulses, VoiceDone fnVoice)
{
    m_fnPulses = std::move(fnPulses);
    m_fnVoice = std::move(fnVoice);
}

void CMeasureWorker::RequestPulses(std::shared_ptr<const CMeasureSound> pSound,
                                   const sonavel::voice::VoiceSettings& settings, unsigned nSerial)
{
    if (!m_fnPulses)
        return;
    m_pulses.Post([this, pSound, settings, nSerial](const std::atomic<bool>& bCancel) {
        using namespace sonavel;
        auto pTracks = std::make_shared<voice::VoiceTracks>();
        analysis::EOutcome nResult = analysis::EOutcome::SourceFailed;
        // The whole sound, as the pitch: the view's own share of it.
        if (pSound && pSound->HoldsAll() && pSound->Count() <= INT32_MAX) {
            const int nCount = static_cast<int>(pSound->Count());
            const CMemorySamples memory(pSound->HeldSamples(), nCount);
            const CCancellableSamples source(memory, bCancel);
            nResult = Guarded([&] {
                return voice::TrackVoice(analysis::CSoundInput::Samples(source, nCount, pSound->Rate()),
                                         settings, 0, voice::EVoiceTracks::Pulses, *pTracks)
                    .nOutcome;
            });
        }
        if (bCancel)
            return;
        std::shared_ptr<const voice::GlottalPulses> pPulses;
        if (nResult == analysis::EOutcome::Done)
            pPulses = std::shared_ptr<const voice::GlottalPulses>(pTracks, &pTracks->pulses);
        m_fnPulses(std::move(pPulses), nResult, nSerial);
    });
}

VoiceResult CMeasureWorker::ReportVoice(const CMeasureSound& sound, const sonavel::voice::VoiceSettings& settings,
                                        const std::atomic<bool>& bCancel)
{
    using namespace sonavel;
    VoiceResult result;
    result.outcome.nOutcome = analysis::EOutcome::SourceFailed;
    if (!sound.HoldsAll() || sound.Count() > INT32_MAX)
        return result;
    const int nCount = static_cast<int>(sound.Count());
    const CMemorySamples memory(sound.HeldSamples(), nCount);
    const CCancellableSamples source(memory, bCancel);
    result.outcome.nOutcome = Guarded([&] {
        result.outcome =
            voice::ReportVoice(analysis::CSoundInput::Samples(source, nCount, sound.Rate()), settings, 0, result.report);
        return result.outcome.nOutcome;
    });
    return result;
}

void CMeasureWorker::RequestVoiceReport(std::shared_ptr<const CMeasureSound> pSound,
                                        const sonavel::voice::VoiceSettings& settings, unsigned nSerial)
{
    if (!m_fnVoice)
        return;
    m_voice.Post([this, pSound, settings, nSerial](const std::atomic<bool>& bCancel) {
        VoiceResult result;
        if (pSound)
            result = ReportVoice(*pSound, settings, bCancel);
        else
            result.outcome.nOutcome = sonavel::analysis::EOutcome::SourceFailed;
        result.nSerial = nSerial;
        if (!bCancel)
            m_fnVoice(result);
    });
}
