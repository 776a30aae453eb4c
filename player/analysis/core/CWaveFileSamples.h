#pragma once
// A mono 16-bit PCM WAV file as a sample source for an analysis: each block is
// read from the file into the searching thread's buffer, so the whole sound is
// never held in memory.
#include <cstdint>
#include <string>

#include "player/analysis/core/CSampleSource.h"
#include "player/audio/CFileReader.h"

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

} // namespace analysis
} // namespace sonavel
