#pragma once
// What an analysis reads, and the one way every analysis reads it: a channel
// of a sound file named by its path, or samples a caller already holds (the
// measuring view's own share of the sound, a Python Sound). The view hands
// its samples, never its path: the browser may overwrite its temporary file
// while the view is open.
//
// Every analysis has one door of this form: a CSoundInput and its settings in,
// a SoundOutcome out (pitch::TrackSound, formants::TrackSound,
// intensity::TrackSound, CWaveformPyramid::Build, the interval table's
// MeasureIntervals). The command line, the Python module, the measuring view
// and the interval table call only these.
#include <functional>
#include <string>

#include "player/analysis/core/AnalysisBudget.h"
#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/CWaveFileSamples.h"
#include "player/audio/SampleStore.h"
#include "player/audio/SoundReaders.h"

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
// (0 when it was never opened), when NotLoaded the loader's result, and the
// door's own words for a failure it knows more of than its outcome says ("the
// sample rate, 8000 Hz, is too low for 50-2500 Hz ..."), else nothing.
struct SoundOutcome {
    EOutcome nOutcome = EOutcome::Done;
    int nRate = 0;
    int nCount = 0;
    audio::CLoadResult load;
    std::string strWhy;
    bool Done() const { return nOutcome == EOutcome::Done; }
};

// How an analysis names its failures after a file's name: "not enough memory
// to " + szTask, or szFailed for any other.
struct OutcomeWords {
    const char* szTask;   // "track the pitch"
    const char* szFailed; // "the pitch cannot be tracked"
};

// The one line that says why an analysis of strFile failed, without the
// program's name: the loader's own line when it could not load the file
// ("cannot open take7.wav: ..."), else "take7.wav: " and the door's words or
// the analysis's. Empty when the outcome is Done.
std::string DescribeOutcome(const SoundOutcome& outcome, const OutcomeWords& words, const std::string& strFile);


// The samples of an input made ready to read: samples held as they are; a
// file's first channel, when it is a mono 16-bit PCM WAV, streamed from the
// file a block at a time and never held whole; any other file loaded through
// the reader table (LoadSoundForAnalysis). The one place that decides between
// streaming and loading. One thread opens it; Source() may then be read from
// several at once.
class CSoundSamples {
public:
    CSoundSamples() = default;
    ~CSoundSamples() { Release(); }
    CSoundSamples(const CSoundSamples&) = delete;
    CSoundSamples& operator=(const CSoundSamples&) = delete;

    // Done with the rate and length; NotLoaded with the loader's result.
    SoundOutcome Open(const CSoundInput& input);
    // The file loaded whole, as after a stream that failed (the file was cut
    // short under it): the load's outcome. Samples held stay as they are.
    SoundOutcome LoadWhole();

    bool IsStreamed() const { return m_bStreamed; }
    const CSampleSource& Source() const;
    int Count() const { return m_nCount; }
    int Rate() const { return m_nRate; }
    // The file's channel count (1 for a streamed WAV and for samples held).
    int Channels() const { return m_nChannels; }
    // The sound loaded whole (empty while streamed or for samples held); it
    // stays locked while this object holds it.
    const SampleStore& Store() const { return m_store; }

private:
    void Release();

    CSoundInput m_input = CSoundInput::File(std::string(), 1);
    bool m_bStreamed = false;
    CWaveFileSamples m_file;
    SampleStore m_store;
    const int16_t* m_pLocked = nullptr;
    CMemorySamples m_memory{nullptr, 0};
    int m_nCount = 0, m_nRate = 0, m_nChannels = 1;
};

// The analysis proper: samples 0 .. nCount-1 of source at nRate (> 0) -> its outcome.
using AnalyseFn = std::function<EOutcome(const CSampleSource& source, int nCount, int nRate)>;

// Runs fnAnalyse over the input's samples as CSoundSamples opens them; a
// stream that fails a block meanwhile (SourceFailed: the file was cut short)
// is run again over the file loaded whole, so it meets the loader's own
// outcome.
SoundOutcome AnalyseSound(const CSoundInput& input, const AnalyseFn& fnAnalyse);

// AnalyseSound for an analysis that takes rates up to nMaxRateHz: a Refused
// at a rate above it is said so ("a sample rate above 5000000 Hz is not
// analysed").
SoundOutcome AnalyseSoundUpTo(int nMaxRateHz, const CSoundInput& input, const AnalyseFn& fnAnalyse);

} // namespace sonavel::analysis
