#pragma once
// The sound render --view draws, and where its samples come from. A mono
// 16-bit PCM WAV (as the WAV reader's chunk walk finds it) is read from its
// file: the pitch is tracked over the whole of it block by block, and only
// the samples the picture's stretch reads are held, so one second of an hour
// takes a few megabytes. Any other sound (another format, another channel) is
// loaded whole through the reader table, as is a WAV whose file is cut short
// under the reading.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "player/analysis/measure/CMeasureSound.h"
#include "player/analysis/core/CWaveFileSamples.h"
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
    bool IsLoaded() const { return !m_bFromFile; }

    int64_t Count() const;
    int Rate() const;
    int Channels() const { return m_nChannels; }

    // The sound holding at least samples [nFirst, nEnd) (all of them once
    // loaded); null when the file could not give them.
    std::shared_ptr<const CMeasureSound> Stretch(int64_t nFirst, int64_t nEnd) const;
    // The pitch over the whole sound. TRACK_SOURCE_FAILED: the file went short.
    pitch::ETrackResult Track(const pitch::PitchSettings& settings, pitch::PitchFrames& frames) const;
    // Any analysis of the whole sound (the waveform's pyramid, the intensity,
    // the formants) over its samples; TRACK_SOURCE_FAILED: the file went short.
    using Analysis = std::function<pitch::ETrackResult(const CSampleSource& source, int nCount, int nRate)>;
    pitch::ETrackResult Analyse(const Analysis& fnAnalyse) const;

private:
    std::string m_strPath;
    int m_nChannel = 1, m_nChannels = 1;
    bool m_bFromFile = false;
    analysis::CWaveFileSamples m_file;            // the WAV read from its file
    std::shared_ptr<const CMeasureSound> m_pLoaded; // or the sound loaded whole
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

    // Waits for the track: CViewSound::Track's answer, Frames() then filled.
    pitch::ETrackResult Wait();
    const std::shared_ptr<pitch::PitchFrames>& Frames() const { return m_pFrames; }

private:
    void Run() noexcept;

    const CViewSound& m_sound;
    const pitch::PitchSettings m_settings;
    const std::shared_ptr<pitch::PitchFrames> m_pFrames;
    pitch::ETrackResult m_nResult = pitch::TRACK_NO_MEMORY;
    std::thread m_thread;
};

} // namespace analyze
} // namespace sonavel
