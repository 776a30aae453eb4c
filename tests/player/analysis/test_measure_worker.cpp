// The measuring view's worker when its jobs go wrong or outlive the view: a
// job whose memory cannot be had ends in the model's failure (the process
// stays up), and a worker destroyed under a long job (a picture, the
// formants of a long sound) returns. Its own program:
// it replaces operator new to refuse large allocations on demand.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <new>
#include <random>
#include <thread>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "tests/support/EventBound.h"

namespace {
// While nonzero, every allocation of at least this many bytes fails.
std::atomic<std::size_t> g_nRefuseFrom{0};
} // namespace

// GCC takes these for the library's own and warns that free() meets a pointer
// from new; here new is malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t nBytes)
{
    const std::size_t nRefuse = g_nRefuseFrom.load(std::memory_order_relaxed);
    if (nRefuse != 0 && nBytes >= nRefuse)
        throw std::bad_alloc();
    if (void* p = std::malloc(nBytes ? nBytes : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using namespace sonavel;

std::vector<int16_t> Noise(std::size_t nCount)
{
    std::vector<int16_t> v(nCount);
    std::mt19937 random(5);
    for (int16_t& x : v)
        x = static_cast<int16_t>(random() % 20000 - 10000);
    return v;
}

// Destroys the worker on a thread of its own, so a destructor that waits out
// its job fails the test instead of hanging it; that thread keeps the samples.
bool DestroyedInTime(std::unique_ptr<CMeasureWorker> pWorker, std::shared_ptr<const std::vector<int16_t>> pSamples)
{
    auto pDestroyed = std::make_shared<std::promise<void>>();
    std::future<void> destroyed = pDestroyed->get_future();
    std::thread([pWorker = std::move(pWorker), pDestroyed, pSamples]() mutable {
        pWorker.reset();
        pDestroyed->set_value();
    }).detach();
    return destroyed.wait_for(std::chrono::milliseconds(testsupport::kEventBoundMs)) == std::future_status::ready;
}

// What a worker's callbacks delivered, for a test thread to wait on.
struct CDelivered {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::shared_ptr<const CMeasurePicture>> pictures;
    std::vector<LayerResults> layers;

    template <class F>
    bool Await(F bReady)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return done.wait_for(lock, std::chrono::milliseconds(testsupport::kEventBoundMs), bReady);
    }
};

TEST(MeasureWorker, APictureWithoutMemoryEndsInTheModelsFailure)
{
    // 0.1 s windows at 384 kHz: each column's transform takes 512 kB, which
    // is refused on the threads that compute the columns; the picture's own
    // 64 columns of levels (218 kB) are not.
    const int nRate = 384000;
    const std::vector<int16_t> sound = Noise(nRate / 2);
    auto pSound = CMeasureSound::FromSamples(sound.data(), static_cast<int64_t>(sound.size()), nRate);
    PictureRequest request{0.0, 0.5, 64, {}};
    request.settings.dWindowS = 0.1;

    auto pDelivered = std::make_shared<CDelivered>();
    {
        CMeasureWorker worker(
            [pDelivered](std::shared_ptr<const CMeasurePicture> p) {
                std::lock_guard<std::mutex> lock(pDelivered->mutex);
                pDelivered->pictures.push_back(std::move(p));
                pDelivered->done.notify_all();
            },
            [](std::shared_ptr<const pitch::PitchFrames>, analysis::EOutcome, unsigned) {});
        g_nRefuseFrom = 400 * 1024;
        worker.RequestPicture(pSound, request);
        const bool bDelivered = pDelivered->Await([&] { return !pDelivered->pictures.empty(); });
        g_nRefuseFrom = 0;
        ASSERT_TRUE(bDelivered);
    }
    const auto& pPicture = pDelivered->pictures.front();
    ASSERT_TRUE(pPicture);
    EXPECT_EQ(pPicture->strFailure, "not enough memory");
    EXPECT_EQ(pPicture->Columns(), 0);

    // The view hands it to its model, whose header says so.
    CMeasureModel model;
    model.SetSound(pSound->Count(), nRate);
    model.SetPictureFailure(pPicture->strFailure);
    EXPECT_NE(measure::SettingsLine(measure::MeasureSettings(), model).find("no spectrogram: not enough memory"),
              std::string::npos);
}

TEST(MeasureWorker, DestroyingTheWorkerUnderALongPictureReturns)
{
    // 640000 columns of 65536-point transforms: many minutes of work, in 60 MB.
    const int nRate = 384000;
    auto pSamples = std::make_shared<const std::vector<int16_t>>(Noise(2 * nRate));
    auto pSound = CMeasureSound::FromSamples(pSamples->data(), static_cast<int64_t>(pSamples->size()), nRate);
    PictureRequest longRequest{0.0, 2.0, 1000000, {}};
    longRequest.settings.dWindowS = 0.1;
    longRequest.settings.dMaxFrequencyHz = 100;
    longRequest.settings.dTimeStepS = 0.0001;

    // The long picture is asked for from the first one's report, on the
    // worker's thread, which takes it up as soon as the report returns.
    auto pDelivered = std::make_shared<CDelivered>();
    auto pWorkerSeen = std::make_shared<std::atomic<CMeasureWorker*>>(nullptr);
    auto pWorker = std::make_unique<CMeasureWorker>(
        [pDelivered, pWorkerSeen, pSound, longRequest](std::shared_ptr<const CMeasurePicture> p) {
            std::lock_guard<std::mutex> lock(pDelivered->mutex);
            if (pDelivered->pictures.empty())
                pWorkerSeen->load()->RequestPicture(pSound, longRequest);
            pDelivered->pictures.push_back(std::move(p));
            pDelivered->done.notify_all();
        },
        [](std::shared_ptr<const pitch::PitchFrames>, analysis::EOutcome, unsigned) {});
    *pWorkerSeen = pWorker.get();
    pWorker->RequestPicture(pSound, PictureRequest{0.0, 0.1, 100, {}});
    ASSERT_TRUE(pDelivered->Await([&] { return !pDelivered->pictures.empty(); }));

    ASSERT_TRUE(DestroyedInTime(std::move(pWorker), pSamples));
    // The cancelled picture never reported.
    std::lock_guard<std::mutex> lock(pDelivered->mutex);
    EXPECT_EQ(pDelivered->pictures.size(), 1u);
}

TEST(MeasureWorker, DestroyingTheWorkerWhileItTracksTheFormantsReturns)
{
    // Twenty minutes at 16 kHz: the waveform comes at once, the formants take many seconds.
    auto pSamples = std::make_shared<const std::vector<int16_t>>(Noise(20 * 60 * 16000));
    auto pSound = CMeasureSound::FromSamples(pSamples->data(), static_cast<int64_t>(pSamples->size()), 16000);
    auto pDelivered = std::make_shared<CDelivered>();
    auto pWorker = std::make_unique<CMeasureWorker>(
        [](std::shared_ptr<const CMeasurePicture>) {},
        [](std::shared_ptr<const pitch::PitchFrames>, analysis::EOutcome, unsigned) {},
        [pDelivered](const LayerResults& tracks) {
            std::lock_guard<std::mutex> lock(pDelivered->mutex);
            pDelivered->layers.push_back(tracks);
            pDelivered->done.notify_all();
        });
    pWorker->RequestLayers(pSound, formants::FormantSettings(), intensity::IntensitySettings(), 1);
    // The intensity is the last report before the formants.
    ASSERT_TRUE(pDelivered->Await([&] { return pDelivered->layers.size() == 2; }));
    ASSERT_TRUE(pDelivered->layers.back().bIntensityDone);

    ASSERT_TRUE(DestroyedInTime(std::move(pWorker), pSamples));
    // The waveform and the intensity were reported; the cancelled formants never were.
    std::lock_guard<std::mutex> lock(pDelivered->mutex);
    EXPECT_TRUE(pDelivered->layers.front().pWaveform);
    for (const LayerResults& tracks : pDelivered->layers)
        EXPECT_FALSE(tracks.bFormantsDone);
}

} // namespace
