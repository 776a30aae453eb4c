#pragma once
// A mono 16-bit PCM WAV file as a sample source for the pitch tracker: each
// block is read from the file into the searching thread's buffer, so the whole
// sound is never held in memory.
#include <cstdint>
#include <string>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/pitch/PitchTracker.h"
#include "player/audio/CFileReader.h"
#include "player/audio/CSampleBlock.h"

namespace sonavel {
namespace analysis {

class CWaveFileSamples : public CSampleSource {
public:
    // True when path is a regular file the WAV reader would load as one channel
    // of 16-bit PCM with a sample rate: Count() and Rate() are then what its
    // loaded store would hold. Any other file (or a failed read) gives false.
    bool Open(const std::string& path);
    int Count() const { return m_nCount; }
    int Rate() const { return m_nRate; }

    bool NeedsBuffer() const override { return true; }
    // A short read (the file was cut after Open) or a read error gives nullptr.
    const int16_t* Fetch(int nFirst, int nCount, int16_t* pBuffer) const override;

private:
    CFileReader m_file;
    int64_t m_nDataOffset = 0;
    int m_nCount = 0;
    int m_nRate = 0;
};

// Tracks the file at path with the AMDF straight from the file when it is such
// a WAV: true with hPitch holding one value per frame and nCount, nRate the
// sound's. False for any other file, a failed read or no memory: the caller
// loads it instead.
bool TrackWaveFile(const std::string& path, const sonavel::pitch::PitchParams& params, int nThreads,
                   CSampleBlockHandle& hPitch, int& nCount, int& nRate);
// Either tracker (PitchSettings.h) straight from the file when it is such a
// WAV: 0 with frames filled and nCount, nRate the sound's; 1 for any other
// file, or one cut short meanwhile, which the caller loads and tracks from
// memory instead; otherwise TrackWith's failure (-1 no memory, -3 settings
// refused, -4 a range the rate cannot carry).
int TrackWaveFileWith(const std::string& path, const sonavel::pitch::PitchSettings& settings, int nThreads,
                      sonavel::pitch::PitchFrames& frames, int& nCount, int& nRate);

// The same at the player's own range, 70-260 Hz.
inline bool TrackWaveFile(const std::string& path, int nThreads, CSampleBlockHandle& hPitch, int& nCount, int& nRate)
{
    return TrackWaveFile(path, sonavel::pitch::PitchParams(), nThreads, hPitch, nCount, nRate);
}

} // namespace analysis
} // namespace sonavel
