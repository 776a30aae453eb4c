#pragma once
// The sound render --view draws, opened once as every analysis reads a file
// (CSoundSamples): a mono 16-bit PCM WAV is read from its file, its pitch
// tracked over the whole of it block by block, and only the samples the
// picture's stretch reads are held, so one second of an hour takes a few
// megabytes. Any other sound (another format, another channel) is loaded
// whole, as is a WAV whose file is cut short under the reading.
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/measureview/CMeasureSound.h"
#include "player/analysis/pitch/PitchSettings.h"

namespace sonavel {
namespace analyze {

class CViewSound {
public:
    // False after one line on stderr when the sound cannot be had.
    bool Open(const std::string& path, int nChannel);
    // Loads the sound whole (after the file went short under a read); false
    // after one line on stderr.
    bool LoadWhole();
    bool IsLoaded() const { return !m_samples.IsStreamed(); }

    int64_t Count() const { return m_samples.Count(); }
    int Rate() const { return m_samples.Rate(); }
    int Channels() const { return m_samples.Channels(); }
    // The whole sound's samples, for an analysis's door; SourceFailed there:
    // the file went short.
    const CSampleSource& Source() const { return m_samples.Source(); }
    analysis::CSoundInput Input() const
    {
        return analysis::CSoundInput::Samples(Source(), m_samples.Count(), m_samples.Rate());
    }

    // The sound holding at least samples [nFirst, nEnd) (all of them once
    // loaded); null when the file could not give them.
    std::shared_ptr<const CMeasureSound> Stretch(int64_t nFirst, int64_t nEnd) const;

private:
    bool Opened(const analysis::SoundOutcome& outcome);

    std::string m_strPath;
    analysis::CSoundSamples m_samples;
    std::shared_ptr<const CMeasureSound> m_pLoaded; // the sound loaded whole
};

// The pitch over the whole of a sound, tracked on a thread of its own from
// construction on (here, when no thread can start): Qt's start, the
// stretch's layers and its spectrogram take their turns meanwhile. The sound
// outlives it; the destructor waits for the track.
class CPendingPitch {
public:
    CPendingPitch(const CViewSound& sound, const pitch::PitchSettings& settings);
    ~CPendingPitch();
    CPendingPitch(const CPendingPitch&) = delete;
    CPendingPitch& operator=(const CPendingPitch&) = delete;

    // Waits for the track: the door's outcome, Frames() then filled.
    analysis::EOutcome Wait();
    const std::shared_ptr<pitch::PitchFrames>& Frames() const { return m_pFrames; }

private:
    void Run() noexcept;

    const CViewSound& m_sound;
    const pitch::PitchSettings m_settings;
    const std::shared_ptr<pitch::PitchFrames> m_pFrames;
    analysis::EOutcome m_nResult = analysis::EOutcome::NoMemory;
    std::thread m_thread;
};

} // namespace analyze
} // namespace sonavel
