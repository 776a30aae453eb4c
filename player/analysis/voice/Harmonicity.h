#pragma once
// Harmonics-to-noise ratio by autocorrelation: per frame, the sound's window
// (periods-per-window / floor seconds, Hann-weighted, its mean taken off) is
// correlated with itself at the lags near the voice's period there, each
// lag's value divided by the window's own autocorrelation at that lag, so a
// periodic sound reads 1 at its period however the window tapers it. With r
// the highest such value (placed between lags by a cosine through the best
// three), the harmonic part holds r of the power and the noise 1 - r:
// HNR = 10 log10(r / (1 - r)) dB.
//
// Frames lie on the pitch track's grid (frame i at i x step seconds). A frame
// is voiced where the track is and its window lies inside the sound; the lag
// is the peak nearest the mean period of the pulses inside the window (the
// track's period where there are fewer than two), within 6 % of it and the
// floor and ceiling.
//
// The frames are values the caller owns; nothing is kept between calls, so any
// thread may call, each with its own source.
#include <optional>
#include <vector>

#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/voice/GlottalPulses.h"

namespace sonavel::voice {

class CHeldSamples;

inline constexpr double kUnvoicedDb = -200; // a frame without a voice
inline constexpr double kMostHnrDb = 100;   // a frame of no noise at all

struct HarmonicitySettings {
    double dStepS = 0.01;
    double dFloorHz = 75;
    double dPeriodsPerWindow = 4.5;
};

struct HarmonicityFrames {
    std::vector<double> time_s;
    std::vector<double> db; // kUnvoicedDb where unvoiced
};

// Frames [nFrom, nTo) of the grid for samples 0 .. samples.Count()-1 at nRate,
// into frames.time_s and frames.db at those indices (sized by the caller).
// pulses: their times in seconds, in order. False when the source fails.
// Throws std::bad_alloc when no room can be had.
bool TrackHarmonicity(CHeldSamples& samples, int nRate, const pitch::PitchFrames& track, const PulseRange& range,
                      const GlottalPulses& pulses, const HarmonicitySettings& settings, size_t nFrom, size_t nTo,
                      HarmonicityFrames& frames);

// The number of frames of the grid for nCount samples at nRate.
size_t HarmonicityFrameCount(const HarmonicitySettings& settings, int nCount, int nRate);

// The mean of the voiced frames' dB; nothing when none is voiced.
std::optional<double> MeanHnr(const HarmonicityFrames& frames);

} // namespace sonavel::voice
