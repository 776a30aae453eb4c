#pragma once
// What an analysis reads, and the one way every analysis reads it: a channel
// of a sound file named by its path, or samples a caller already holds (the
// measuring view's own share of the sound, a Python Sound). The view hands
// its samples, never its path: the browser may overwrite its temporary file
// while the view is open.
#include <functional>
#include <string>

#include "player/analysis/core/AnalysisOutcome.h"
#include "player/audio/SoundReaders.h"

class CSampleSource;

namespace sonavel::analysis {

class CSoundInput {
public:
    // Channel nChannel (1 for the first) of the file at strPath.
    static CSoundInput File(const std::string& strPath, int nChannel);
    // Samples 0 .. nCount-1 of source at nRate; source must outlive the input.
    static CSoundInput Samples(const CSampleSource& source, int nCount, int nRate);

    bool IsFile() const { return m_pSource == nullptr; }
    const std::string& Path() const { return m_strPath; }
    int Channel() const { return m_nChannel; }
    const CSampleSource* Source() const { return m_pSource; }
    int Count() const { return m_nCount; }
    int Rate() const { return m_nRate; }

private:
    CSoundInput() = default;
    std::string m_strPath;
    int m_nChannel = 1;
    const CSampleSource* m_pSource = nullptr;
    int m_nCount = 0;
    int m_nRate = 0;
};

// How an analysis of an input went: its outcome, the sound's rate and length
// (0 when it was never opened), and, when NotLoaded, the loader's result.
struct SoundOutcome {
    EOutcome nOutcome = EOutcome::Done;
    int nRate = 0;
    int nCount = 0;
    audio::CLoadResult load;
    bool Done() const { return nOutcome == EOutcome::Done; }
};

// The analysis proper: samples 0 .. nCount-1 of source at nRate (> 0) -> its outcome.
using AnalyseFn = std::function<EOutcome(const CSampleSource& source, int nCount, int nRate)>;

// Runs fnAnalyse over the input. A file whose first channel is asked for and
// that is a mono 16-bit PCM WAV is streamed from the file a block at a time,
// never loaded whole; any other file, and one that fails a block meanwhile
// (cut short), is loaded through the reader table (LoadSoundForAnalysis), so
// it meets the loader's own outcome. Samples held are analysed as they are.
SoundOutcome AnalyseSound(const CSoundInput& input, const AnalyseFn& fnAnalyse);

} // namespace sonavel::analysis
