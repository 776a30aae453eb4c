#pragma once
// A small speech-like test signal generator: a glottal pulse train that follows a
// pitch contour, filtered by a cascade of formant resonators. Tests and benchmarks
// use it wherever they need a voice whose pitch is known exactly.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstdint>
#include <utility>
#include <vector>

struct VoiceSynthParams {
    int nSampleRate = 22050;
    double dSeconds = 1.0;
    // Pitch contour: (time in s, f0 in Hz) knots, linear between them, held outside.
    // Where the contour is 0 Hz or below, the voice is silent (a pause); a new
    // voiced stretch starts with a fresh glottal cycle.
    std::vector<std::pair<double, double>> contour{{0.0, 120.0}};
    std::vector<double> formantsHz{700, 1220, 2600};   // an /a/-like vowel by default
    std::vector<double> bandwidthsHz{130, 70, 160};
    double dPeak = 0.7;        // peak amplitude as a fraction of full scale
    double dJitter = 0.0;      // relative random period jitter, 0 = none
    unsigned nSeed = 1;
};

// Pulse train through formant resonators: nSampleRate * dSeconds samples (none
// when either is not positive). The phase is accumulated per sample from the
// contour, so every period is exactly nSampleRate / f0 samples long; a steady f0
// that divides the rate gives a signal that repeats exactly once the resonators
// have settled. The loudest sample reaches dPeak of full scale.
std::vector<int16_t> SynthesizeVoice(const VoiceSynthParams& params);

// f0 of the contour at the given time (linear between knots, held outside them;
// 0 for an empty contour).
double ContourF0At(const VoiceSynthParams& params, double dTimeSeconds);
