#pragma once
// Formants by linear prediction, one entry for every caller: settings checked
// before any sound is read, the sound streamed from a sample source in blocks,
// frames on the research pitch tracker's time grid (frame i at i x step
// seconds, floor(count / (rate x step)) + 1 frames), so formants, intensity
// and pitch at one step share their times.
//
// Per frame: the sound resampled to twice the ceiling, pre-emphasised from
// 50 Hz, a Gaussian-like window (12.5 ms effective, 25 ms in all, its middle
// 17.5 ms analysed; the ceiling's probe takes 50 ms) centred on the frame's
// time, a predictor of order
// 2 x max(formants, 5) (2 more and a 30 ms window where the file's quiet
// frames lie within 35 dB of its loud ones: the noise floor takes a pole pair
// of its own, and a short window's poles scatter in it) whose errors
// are weighted by the energy of the 1.5 ms before them (LinearPrediction.h:
// F1 follows the tract, not the harmonic nearest to it, in a high voice; a
// frame whose first resonance lies below 400 Hz is read again weighted by
// 0.75 of that resonance's period, at most 3 ms; in a voice above 230 Hz the
// first resonance is read again with the closed phases weighted, from the
// predictor's residual), its roots as frequencies and bandwidths.
// Poles within 50 Hz of 0 or of the ceiling, and poles wider than 600 Hz
// (1000 Hz for F3), are not formants; the rest are each frame's candidates.
// F1-F3 are the path through the candidates of all frames that is cheapest in
// place (near where a tract of the voice's length puts each), width and
// movement between neighbours (FormantPath.h), then F2 and F3 a median of 3
// frames;
// F4 on are the candidates above F3, numbered from the lowest. No longer
// smoothing: a fast transition keeps its frames' own values, and a formant a
// frame lacks reads 0 there.
//
// Without a ceiling the file is probed at 4500-7000 Hz (those the rate
// carries): the whole of a file up to 30 s, else 20 frames in every 200 (150
// such runs spread over a file longer than 5 minutes). The
// ceiling kept for the file is the one near 5 x the voice's formant spacing
// (from F1-F4 of the loud frames) whose F1-F3 are complete, narrow and
// smooth: a man's, a woman's and a child's voice each get theirs with no
// option.
#include <string>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/formants/LinearPrediction.h"

class CSampleSource;

namespace sonavel::formants {


inline constexpr int kMinFormants = 1, kMaxFormants = 6;
inline constexpr double kMinCeilingHz = 1000;
using analysis::kMaxStepS;
using analysis::kMinStepS;
inline constexpr double kMaxBandwidthHz = 600; // a wider pole is no F1, F2 or F4 on
// F3 may be wider: in noise its pole widens past 600 Hz before it goes.
inline constexpr double kMaxCandidateBandwidthHz = 1000;
using analysis::kMaxRateHz;

struct FormantSettings {
    int nFormants = 5;       // formants numbered per frame, 1-6
    double dCeilingHz = 0;   // the highest formant sought; 0: found per file
    double dStepS = 0.01;    // time between frames
};

// nFormants values per frame, frame-major: frame i's formant j (0-based) is at
// i * nFormants + j; 0 where the frame has fewer formants.
struct FormantFrames {
    int nFormants = 0;
    double dCeilingHz = 0; // the ceiling used (the one found, without a setting)
    std::vector<double> time_s;
    std::vector<double> hz;
    std::vector<double> bandwidth_hz;

    double Hz(size_t i, int j) const { return hz[i * size_t(nFormants) + size_t(j)]; }
    double Bandwidth(size_t i, int j) const { return bandwidth_hz[i * size_t(nFormants) + size_t(j)]; }
};

// Nothing when the settings are taken for a sound at nRate (0: the rate is
// not known yet, the ceiling's upper bound is not checked), else the refused
// setting's name ("formants", "max-formant" or "step") and why,
// for a message after that name.
analysis::SettingRefusal RefusedSetting(const FormantSettings& settings, int nRate);

// The formants of samples 0 .. nCount-1 of source at nRate (> 0), with up to
// nThreads threads (0: one per core). Done; Refused (RefusedSetting,
// or a rate above kMaxRateHz);
// NoMemory; SourceFailed when the source fails to give a block.
// frames is emptied on failure; the frames are the same for any thread count.
analysis::EOutcome TrackFormants(const FormantSettings& settings, const CSampleSource& source, int nCount, int nRate,
                                 int nThreads, FormantFrames& frames);

// The predictor the formant analysis reads at one time: the first reading of
// a frame centred there, at the ceiling and order TrackFormants would use for
// this sound (its frame at that time reads the same), over the sound resampled
// to twice the ceiling and pre-emphasised from 50 Hz.
struct FormantPredictor {
    double dCeilingHz = 0; // half the predictor's rate
    int nOrder = 0;
    double a[kMaxOrder + 1] = {1};
    // The residual's mean square per sample of the pre-emphasised sound, its
    // samples as full scale 1; 0 where the frame holds no sound.
    double dErrorPower = 0;
    double dEmphasis = 0; // y[k] - dEmphasis y[k-1]

    // The model's power at dHz (0 .. the ceiling) per sample of the sound at
    // twice the ceiling, the pre-emphasis taken off again:
    // dErrorPower / |A|^2 / |1 - dEmphasis e^-iw|^2. 0 without sound.
    double PowerAt(double dHz) const;
};

// The predictor at dTimeS (inside the sound) of samples 0 .. nCount-1 of
// source at nRate (> 0), the ceiling found as TrackFormants finds it unless
// the settings give one (the step is not used). Done; Refused (RefusedSetting,
// a rate above kMaxRateHz, a time outside the sound); NoMemory; SourceFailed.
analysis::EOutcome PredictorAt(const FormantSettings& settings, const CSampleSource& source, int nCount, int nRate,
                               double dTimeS, int nThreads, FormantPredictor& predictor);

// The formants' door (core/CSoundInput.h): TrackFormants over the input.
analysis::SoundOutcome TrackSound(const analysis::CSoundInput& input, const FormantSettings& settings, int nThreads,
                                  FormantFrames& frames);
inline constexpr analysis::OutcomeWords kFormantWords{"find the formants", "the formants cannot be found"};

} // namespace sonavel::formants
