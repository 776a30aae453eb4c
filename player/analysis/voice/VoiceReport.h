#pragma once
// The voice report of a span of a sound: f0, glottal pulses, voicing, jitter,
// shimmer, harmonics-to-noise ratio and smoothed cepstral peak prominence,
// each value left out where it cannot be had (too few periods, no voiced
// frame, a span shorter than a cepstral window).
//
// The span's pitch is tracked by the research tracker (frames every 10 ms
// within the floor and ceiling); its voiced stretches give the pulses
// (GlottalPulses.h), whose periods and amplitudes give jitter and shimmer
// (Perturbation.h); the harmonicity track (Harmonicity.h) gives the mean HNR
// of its voiced frames; the cepstral peak prominence (CepstralPeak.h) is taken
// over the whole span, voiced or not. The sound is read a few seconds at a
// time, so an hour needs no more memory than its frames and pulses.
//
// Everything here is plain values the caller owns; any thread may call, each
// with its own report and tracks (a sound source read by several at once must
// allow it, as CSoundSamples' does).
//
//   f0 median, mean, sd  over the track's voiced frames (sd: n - 1), each
//                        frame's f0 from the periods of the pulses within
//                        20 ms of it where there are any, else the track's
//   pulses, periods      the pulses; the periods between them that the
//                        limits take
//   unvoiced fraction    the track's unvoiced frames over all its frames
//   voice breaks         gaps between consecutive pulses longer than
//                        1.25 / floor
#include <array>
#include <optional>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/voice/CepstralPeak.h"
#include "player/analysis/voice/GlottalPulses.h"
#include "player/analysis/voice/Harmonicity.h"
#include "player/analysis/voice/Perturbation.h"

class CSampleSource;

namespace sonavel::voice {

inline constexpr double kDefaultFloorHz = 75, kDefaultCeilingHz = 600;
inline constexpr double kVoiceBreakPeriods = 1.25; // a gap longer than this / floor breaks the voice

struct VoiceSettings {
    double dFloorHz = kDefaultFloorHz;
    double dCeilingHz = kDefaultCeilingHz;
    double dStartS = 0; // the span, seconds from the start of the sound;
    double dEndS = 0;   // an end of 0 (or past the sound's end): the sound's end
    PerturbationLimits limits;
    HarmonicitySettings harmonicity;
    CepstralSettings cepstral;
};

struct VoiceReport {
    double dStartS = 0, dEndS = 0; // the span measured
    std::optional<double> dF0MedianHz, dF0MeanHz, dF0SdHz;
    int nPulses = 0, nPeriods = 0;
    std::optional<double> dUnvoicedFraction;
    int nVoiceBreaks = 0;
    JitterValues jitter;
    ShimmerValues shimmer;
    std::optional<double> dHnrDb, dCppsDb;
};

// What the report is made of, for callers that show or export it; every time
// in seconds from the start of the sound.
struct VoiceTracks {
    pitch::PitchFrames pitch;
    GlottalPulses pulses;
    HarmonicityFrames harmonicity;
};

// The report's values under the names the command line's columns, the
// interval table and the Python module give them, in the command line's order
// (after file, start_s and end_s): f0_median_hz ... cpps_db. A count
// (pulses, periods, voice breaks) always has its value.
struct VoiceValue {
    const char* szName;
    std::optional<double> dValue;
    bool bCount;
};
inline constexpr int kVoiceValueCount = 20;
std::array<VoiceValue, kVoiceValueCount> VoiceValues(const VoiceReport& report);

// A failed report, after the file's name (DescribeOutcome).
inline constexpr analysis::OutcomeWords kVoiceWords{"measure the voice", "the voice cannot be measured"};

// Nothing when the settings are taken, else the refused setting's name
// ("floor", "ceiling", "start", "end", "limits", "harmonicity", "cepstral")
// and why, for a message after that name.
analysis::SettingRefusal RefusedSetting(const VoiceSettings& settings);

// The report of samples 0 .. nCount-1 of source at nRate (> 0), with up to
// nThreads threads (0: one per core); pTracks, when given, gets what it is
// made of. Done; Refused (RefusedSetting, or a span starting at or after the
// sound's end); RangeUnfit (the ceiling above a quarter of the rate, as the
// pitch tracker needs); NoMemory; SourceFailed when the source fails to give
// a block. The same numbers for any thread count.
analysis::EOutcome MeasureVoice(const VoiceSettings& settings, const CSampleSource& source, int nCount, int nRate,
                                int nThreads, VoiceReport& report, VoiceTracks* pTracks = nullptr);

// The one entry over a sound input (a file's channel, streamed or loaded as
// AnalyseSound reads it, or samples held). A setting refused is said in the
// outcome's words ("floor: ...").
analysis::SoundOutcome ReportVoice(const analysis::CSoundInput& input, const VoiceSettings& settings, int nThreads,
                                   VoiceReport& report, VoiceTracks* pTracks = nullptr);

// What TrackVoice makes of a span: the report's pitch track and pulses, and
// with Harmonicity its harmonicity frames too; the same as the report's own,
// without the rest of its work.
enum class EVoiceTracks { Pulses, Harmonicity };

// The tracks alone (the view's pulses, the Python module's pulses() and
// harmonicity()), through the same door and with the same outcomes as
// ReportVoice; times in seconds from the start of the sound.
analysis::SoundOutcome TrackVoice(const analysis::CSoundInput& input, const VoiceSettings& settings, int nThreads,
                                  EVoiceTracks what, VoiceTracks& tracks);

} // namespace sonavel::voice
