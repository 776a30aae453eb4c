#pragma once
// Smoothed cepstral peak prominence (CPPS), as voice clinics read it:
//
// 1. The sound at twice the highest frequency (10 kHz by default; a sound at a
//    lower rate as it is), by a windowed sinc of 24 zero crossings each side;
//    pre-emphasised from 50 Hz (y[n] = x[n] - e^(-2 pi 50 / rate) x[n-1]).
// 2. Frames every step, centred on the sound (as many as fit whole windows of
//    6 / floor seconds, the first half a leftover in); each frame's samples
//    less their mean, under a Gaussian window (exp(-48 (i - mid)^2 / (N+1)^2),
//    less its value at the ends), padded to a power of two.
// 3. Per frame the power cepstrum: the squared transform of the natural log of
//    the power spectrum (|X dx|^2), in dB.
// 4. The frame's trend taken off first: a line in dB over ln(quefrency) fitted
//    robustly (the median of the slopes of pairs half the bins apart, then
//    the median intercept) over every quefrency from one bin up; what lies
//    below the line counts as 0 dB.
// 5. Smoothed as power: over time by a moving mean of the smoothing length
//    (the values joined by straight lines, so a length of 10 frames weighs 9
//    whole frames and half of the next on each side), over quefrency likewise
//    (0.5 ms: 5 bins and two eighths), each clipped at the ends and weighed
//    anew.
// 6. Per frame the trend fitted again; the prominence is the highest local
//    peak above it between the quefrencies of the highest and lowest pitch
//    sought (60-330 Hz), each peak placed by a parabola through its three
//    bins.
// 7. CPPS: the mean of the frames' prominences (a frame of digital silence has
//    no peak: 0 dB).
// These are the choices behind the norms clinics keep, so our numbers and
// theirs may be compared.
#include <optional>

class CSampleSource;

namespace sonavel::voice {

struct CepstralSettings {
    double dFloorHz = 60;          // sets the window: 6 / floor seconds
    double dStepS = 0.002;
    double dHighestHz = 5000;      // the spectrum analysed, up to this
    double dPreEmphasisHz = 50;
    double dTimeSmoothingS = 0.02;
    double dQuefrencySmoothingS = 0.0005;
    double dPeakLowHz = 60, dPeakHighHz = 330; // the pitch range the peak is sought in
};

// The CPPS of samples 0 .. nCount-1 of source at nRate, with up to nThreads
// threads (at least 1), into dCpps (nothing when the sound is shorter than one
// window). The same value for any thread count. False when the source fails
// to give a block; throws std::bad_alloc when no room can be had.
bool MeasureCpps(const CSampleSource& source, int nCount, int nRate, const CepstralSettings& settings, int nThreads,
                 std::optional<double>& dCpps);

} // namespace sonavel::voice
