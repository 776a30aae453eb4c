#include "player/analysis/measure/CMeasureWorker.h"

#include "player/analysis/core/CSampleSource.h"

namespace {
// A picture's columns are split between two threads: the first picture of a
// narrow-band hour at a device-pixel ratio of 2 takes 2400 transforms of 2048
// points, which one core does not finish in a tenth of a second.
const int kPictureThreads = static_cast<int>(std::min(2u, std::max(1u, std::thread::hardware_concurrency())));
} // namespace

CMeasureWorker::CJobThread::CJobThread() : m_thread([this] { Run(); }) {}

CMeasureWorker::CJobThread::~CJobThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_fnPending = nullptr;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CMeasureWorker::CJobThread::Post(std::function<void()> fnJob)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fnPending = std::move(fnJob);
    }
    m_wake.notify_one();
}

void CMeasureWorker::CJobThread::Run()
{
    for (;;) {
        std::function<void()> fnJob;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || m_fnPending; });
            if (m_bStop)
                return;
            fnJob = std::move(m_fnPending);
            m_fnPending = nullptr;
        }
        fnJob();
    }
}

CMeasureWorker::CMeasureWorker(PictureDone fnPicture, PitchDone fnPitch)
    : m_fnPicture(std::move(fnPicture)), m_fnPitch(std::move(fnPitch))
{
}

CMeasureWorker::~CMeasureWorker() = default;

void CMeasureWorker::RequestPicture(std::shared_ptr<const CMeasureSound> pSound, const PictureRequest& request)
{
    m_pictures.Post([this, pSound, request] {
        if (pSound)
            m_fnPicture(ComputePicture(*pSound, request, m_cache, kPictureThreads));
    });
}

void CMeasureWorker::RequestPitch(std::shared_ptr<const CMeasureSound> pSound,
                                  const sonavel::pitch::PitchSettings& settings, unsigned nSerial)
{
    m_pitch.Post([this, pSound, settings, nSerial] {
        auto pFrames = std::make_shared<sonavel::pitch::PitchFrames>();
        int nResult = -3;
        if (pSound && pSound->Count() <= INT32_MAX) {
            const CMemorySamples source(pSound->Samples(), static_cast<int>(pSound->Count()));
            nResult = sonavel::pitch::TrackWith(settings, source, static_cast<int>(pSound->Count()), pSound->Rate(),
                                                0, *pFrames);
        }
        m_fnPitch(pFrames, nResult, nSerial);
    });
}
