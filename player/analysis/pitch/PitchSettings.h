#pragma once
// Which pitch tracker runs, over what range and at what step: one value that the
// command line, the Python module and the measuring view share, and one entry,
// TrackWith, that runs the chosen tracker over any sample source and hands its
// frames out alike (times, Hz, confidence).
#include <string>
#include <vector>

#include "player/analysis/core/AnalysisBudget.h"
#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/core/AnalysisOutcome.h"

class CSampleSource;

namespace sonavel::pitch {

enum class ETracker {
    Amdf, // the player's own: one frame per 100 samples, 70-260 Hz by default
    Nccf, // the research tracker: normalised cross-correlation, wide range
};

struct PitchSettings {
    ETracker tracker = ETracker::Nccf;
    double dFloorHz = 0;   // 0: the tracker's own lowest pitch
    double dCeilingHz = 0; // 0: the tracker's own highest pitch
    double dStepS = 0;     // 0: the tracker's own step (the AMDF's is always 100 samples)
};

// One entry per frame; a frame without pitch holds 0 Hz.
struct PitchFrames {
    std::vector<double> time_s;     // the frame's centre, seconds from the start
    std::vector<double> pitch_hz;
    std::vector<double> confidence; // 0 to 1 (the AMDF: 1 where voiced, else 0)
};

// The limits the settings are checked against.
inline constexpr double kAmdfCeilingLimitHz = 1638; // the AMDF carries tenths of Hz below bit 14
inline constexpr double kNccfFloorLimitHz = 20;    // the research tracker's lowest floor
// The step's bounds are every frame track's (AnalysisBudget.h).
using analysis::kMinStepS;
using analysis::kMaxStepS;
// The research tracker's highest sample rate, the frame tracks' own: its
// decimating sums stay exact and quick below it (a header that claims
// gigahertz would take hours).
inline constexpr int kNccfMaxRateHz = analysis::kMaxRateHz;

// The range and step a tracker runs with for these settings: the caller's where
// given, the tracker's own where 0 (the AMDF's 70-260 Hz and 100 samples, given
// as a step of 0; the research tracker's 50-800 Hz and 0.01 s).
struct PitchRange {
    double dFloorHz = 0;
    double dCeilingHz = 0;
    double dStepS = 0;
};
PitchRange EffectiveRange(const PitchSettings& settings);

// Checks the settings before any sound is read: nothing when the tracker takes
// them, otherwise the first setting it refuses ("floor", "ceiling" or "step")
// and why (for a message after that name). Floor and
// ceiling must be finite and above 0, the floor below the ceiling (either one
// against the other's default when only one is given); the AMDF takes whole Hz
// with a ceiling below 1638 Hz and no step; the research tracker a floor of 20 Hz
// at least; a step lies between 0.001 and 1 s.
analysis::SettingRefusal RefusedSetting(const PitchSettings& settings);

const char* TrackerName(ETracker tracker);
bool TrackerFromName(const std::string& strName, ETracker& tracker);
// "amdf, nccf": the names an option may take, for a usage or error text.
std::string TrackerNames();

// Runs the chosen tracker over samples 0 .. nCount-1 of source at nRate (> 0)
// with up to nThreads threads (0: one per core). Done; NoMemory
// when working memory cannot be had; SourceFailed when the source fails
// to give a block; Refused when the settings are outside what the tracker
// takes (RefusedSetting); RangeUnfit when the research tracker's range
// does not fit the rate: a ceiling given above a quarter of nRate, or a floor
// not below that (its own ceiling of 800 Hz comes down to a quarter of the
// rate), or a rate above kNccfMaxRateHz. frames is emptied on failure. The
// frames are the same for any thread count.
analysis::EOutcome TrackWith(const PitchSettings& settings, const CSampleSource& source, int nCount, int nRate,
                             int nThreads, PitchFrames& frames);

// The door of a pitch track, for the command line, the Python module, the
// measuring view and the interval table alike: TrackWith over the input (a
// file's channel, streamed or loaded as AnalyseSound reads it, or samples
// held), with the sound's rate and length, when it could not be loaded the
// loader's result, and for RangeUnfit RateMismatch's words.
sonavel::analysis::SoundOutcome TrackSound(const sonavel::analysis::CSoundInput& input, const PitchSettings& settings,
                                           int nThreads, PitchFrames& frames);

// A failed track, after the file's name (DescribeOutcome).
inline constexpr analysis::OutcomeWords kPitchWords{"track the pitch", "the pitch cannot be tracked"};

// Why TrackWith answered RangeUnfit for a sound at nRate, for a line after the file's
// name: "the sample rate, 8000 Hz, is too low for 50-2500 Hz (...)".
std::string RateMismatch(const PitchSettings& settings, int nRate);

} // namespace sonavel::pitch
