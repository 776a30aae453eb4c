#pragma once
// Intensity in dB as speech tools report it: the samples taken as pascal
// (full scale = 1 Pa), re 2 x 10^-5 Pa, the window's weighted mean taken off
// before the weighted mean square, a Kaiser window (beta 20) of 6.4 / floor
// seconds in all, 3.2 / floor effective, so a voice above the floor leaves no
// ripple: a full-scale sine reads 90.97 dB. One entry for every caller:
// settings checked before any sound is read, the sound streamed from a sample
// source in blocks, frames on the research pitch tracker's time grid (frame i
// at i x step seconds, floor(count / (rate x step)) + 1 frames). Near the ends
// the window holds only the samples inside the sound.
#include <string>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/core/AnalysisOutcome.h"

class CSampleSource;

namespace sonavel::intensity {


inline constexpr double kMinFloorHz = 25, kMaxFloorHz = 1000;
using analysis::kMaxStepS;
using analysis::kMinStepS;
inline constexpr double kSilenceDb = -300; // a frame without any sound
using analysis::kMaxRateHz;

struct IntensitySettings {
    double dFloorHz = 100; // the lowest pitch expected: sets the window
    double dStepS = 0.01;  // time between frames
};

struct IntensityFrames {
    std::vector<double> time_s;
    std::vector<double> db;
};

// Nothing when the settings are taken, else the refused setting's name
// ("floor" or "step") and why, for a message after that name.
analysis::SettingRefusal RefusedSetting(const IntensitySettings& settings);

// The intensity of samples 0 .. nCount-1 of source at nRate (> 0) with up to
// nThreads threads (0: one per core). Done; Refused
// (RefusedSetting, or a rate above kMaxRateHz); NoMemory; SourceFailed when the source fails
// to give a block. frames is emptied on failure; the frames are the same for
// any thread count.
analysis::EOutcome TrackIntensity(const IntensitySettings& settings, const CSampleSource& source, int nCount, int nRate,
                                  int nThreads, IntensityFrames& frames);

// The intensity's door (core/CSoundInput.h): TrackIntensity over the input.
analysis::SoundOutcome TrackSound(const analysis::CSoundInput& input, const IntensitySettings& settings, int nThreads,
                                  IntensityFrames& frames);
inline constexpr analysis::OutcomeWords kIntensityWords{"measure the intensity", "the intensity cannot be measured"};

} // namespace sonavel::intensity
