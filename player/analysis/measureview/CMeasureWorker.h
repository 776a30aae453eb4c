#pragma once
// The measuring view's work off the user-interface thread: one thread makes
// pictures, another tracks pitch, a third the waveform's pyramid, the
// formants at the picture's resolution (of a long sound), the intensity and
// the formants of the whole sound (in that order, each reported as it is
// done), a fourth the glottal pulses, a fifth voice reports, each always on
// the newest request (one that
// is overtaken while it waits is dropped; the one running is finished, so
// pictures keep coming while the user zooms). Results go to callbacks on the
// worker's threads; the caller hands them on to its own thread. Whatever a
// job throws becomes its result (a picture that says why it has no columns, a
// track's NoMemory), never the end of the process. Plain C++.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "player/analysis/measureview/CMeasurePicture.h"
#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/voice/VoiceReport.h"
#include "player/analysis/waveform/WaveformPyramid.h"

// What the layers' job has made so far of one request.
struct LayerResults {
    unsigned nSerial = 0;
    std::shared_ptr<const sonavel::waveform::CWaveformPyramid> pWaveform; // null until made, or when it failed
    bool bIntensityDone = false;
    std::shared_ptr<const sonavel::intensity::IntensityFrames> pIntensity;
    sonavel::analysis::EOutcome nIntensity = sonavel::analysis::EOutcome::Done;
    // The formants at the picture's resolution, made before the whole track
    // where that takes longer (a sound of more than nColumns frames).
    std::shared_ptr<const sonavel::formants::FormantFrames> pFormantPreview;
    bool bFormantsDone = false;
    std::shared_ptr<const sonavel::formants::FormantFrames> pFormants;
    sonavel::analysis::EOutcome nFormants = sonavel::analysis::EOutcome::Done;
};

// A voice report of a stretch of the view's sound (the selection's, else the
// whole sound's), or why there is none in its outcome.
struct VoiceResult {
    unsigned nSerial = 0;
    sonavel::voice::VoiceReport report;
    sonavel::analysis::SoundOutcome outcome;
};

class CMeasureWorker {
public:
    using PictureDone = std::function<void(std::shared_ptr<const CMeasurePicture>)>;
    // The frames (empty on failure, null when even they could not be had),
    // the track's outcome and the request's serial.
    using PitchDone = std::function<void(std::shared_ptr<const sonavel::pitch::PitchFrames>, sonavel::analysis::EOutcome, unsigned)>;

    using LayersDone = std::function<void(const LayerResults&)>;
    // The whole sound's glottal pulses (null on failure), their outcome and
    // the request's serial; a voice report.
    using PulsesDone = std::function<void(std::shared_ptr<const sonavel::voice::GlottalPulses>,
                                          sonavel::analysis::EOutcome, unsigned)>;
    using VoiceDone = std::function<void(const VoiceResult&)>;

    CMeasureWorker(PictureDone fnPicture, PitchDone fnPitch, LayersDone fnLayers = nullptr);
    // Cancels the jobs that run and waits for them to stop: a picture stops
    // within a column, a track within a block, and neither reports back.
    ~CMeasureWorker();
    CMeasureWorker(const CMeasureWorker&) = delete;
    CMeasureWorker& operator=(const CMeasureWorker&) = delete;

    void RequestPicture(std::shared_ptr<const CMeasureSound> pSound, const PictureRequest& request);
    void RequestPitch(std::shared_ptr<const CMeasureSound> pSound, const sonavel::pitch::PitchSettings& settings,
                      unsigned nSerial);
    // The waveform's pyramid, the intensity and the formants of the whole
    // sound; for a long sound the formants of a picture of nColumns pixel
    // columns first (FormantsForPicture; 0: none).
    void RequestLayers(std::shared_ptr<const CMeasureSound> pSound, const sonavel::formants::FormantSettings& formants,
                       const sonavel::intensity::IntensitySettings& intensity, unsigned nSerial, int nColumns = 0);
    // Where the pulses and voice reports go (before the first is asked for).
    void SetVoiceCallbacks(PulsesDone fnPulses, VoiceDone fnVoice);
    // The glottal pulses of the whole sound, each on its own thread, as the
    // voice report finds them with the settings' floor and ceiling.
    void RequestPulses(std::shared_ptr<const CMeasureSound> pSound, const sonavel::voice::VoiceSettings& settings,
                       unsigned nSerial);
    // The voice report of the settings' span of the sound (0 .. 0: all of it).
    void RequestVoiceReport(std::shared_ptr<const CMeasureSound> pSound, const sonavel::voice::VoiceSettings& settings,
                            unsigned nSerial);
    // That report, made here: the view's own samples through the report's
    // door, stopping at the first block once bCancel is set. Any thread.
    static VoiceResult ReportVoice(const CMeasureSound& sound, const sonavel::voice::VoiceSettings& settings,
                                   const std::atomic<bool>& bCancel);

private:
    // One thread that runs the newest job posted to it. A job is handed the
    // flag that says its result is no longer wanted.
    using Job = std::function<void(const std::atomic<bool>& bCancel)>;
    class CJobThread {
    public:
        CJobThread();
        ~CJobThread();
        void Post(Job fnJob);
        // Drops the waiting job and cancels the running one, without waiting.
        void Stop();

    private:
        void Run();
        bool Start();
        std::mutex m_mutex;
        std::condition_variable m_wake;
        Job m_fnPending;
        bool m_bStop = false;
        std::atomic<bool> m_bCancel{false};
        std::thread m_thread;
    };

    PictureDone m_fnPicture;
    PitchDone m_fnPitch;
    LayersDone m_fnLayers;
    PulsesDone m_fnPulses;
    VoiceDone m_fnVoice;
    CColumnCache m_cache; // the picture thread's alone
    // Last: the threads go first, while everything they use still exists.
    CJobThread m_pictures;
    CJobThread m_pitch;
    CJobThread m_layers;
    CJobThread m_pulses;
    CJobThread m_voice;
};
