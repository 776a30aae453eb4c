#pragma once
// The measuring view's work off the user-interface thread: one thread makes
// pictures, another tracks pitch, each always on the newest request (one that
// is overtaken while it waits is dropped; the one running is finished, so
// pictures keep coming while the user zooms). Results go to callbacks on the
// worker's threads; the caller hands them on to its own thread. Plain C++.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "player/analysis/measure/CMeasurePicture.h"
#include "player/analysis/pitch/PitchSettings.h"

class CMeasureWorker {
public:
    using PictureDone = std::function<void(std::shared_ptr<const CMeasurePicture>)>;
    // The frames (empty on failure), TrackWith's result and the request's serial.
    using PitchDone = std::function<void(std::shared_ptr<const sonavel::pitch::PitchFrames>, int, unsigned)>;

    CMeasureWorker(PictureDone fnPicture, PitchDone fnPitch);
    // Waits for the jobs that run (a track of an hour takes a fraction of a second).
    ~CMeasureWorker();
    CMeasureWorker(const CMeasureWorker&) = delete;
    CMeasureWorker& operator=(const CMeasureWorker&) = delete;

    void RequestPicture(std::shared_ptr<const CMeasureSound> pSound, const PictureRequest& request);
    void RequestPitch(std::shared_ptr<const CMeasureSound> pSound, const sonavel::pitch::PitchSettings& settings,
                      unsigned nSerial);

private:
    // One thread that runs the newest job posted to it.
    class CJobThread {
    public:
        CJobThread();
        ~CJobThread();
        void Post(std::function<void()> fnJob);

    private:
        void Run();
        std::mutex m_mutex;
        std::condition_variable m_wake;
        std::function<void()> m_fnPending;
        bool m_bStop = false;
        std::thread m_thread;
    };

    PictureDone m_fnPicture;
    PitchDone m_fnPitch;
    CColumnCache m_cache; // the picture thread's alone
    // Last: the threads go first, while everything they use still exists.
    CJobThread m_pictures;
    CJobThread m_pitch;
};
