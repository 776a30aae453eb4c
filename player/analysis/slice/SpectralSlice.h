#pragma once
// The spectrum of one short stretch of a sound, as a phonetician reads a
// fricative, a nasal or a vowel's formants: a Gaussian window centred on a
// time, its power spectrum in dB re 2 x 10^-5 Pa as the intensity reads the
// samples (full scale as 1 Pa), scaled so a sine's peak reads the sine's own
// level (a full-scale sine: 90.97 dB, as its intensity). With the formant
// analysis' predictor at that time (formants::PredictorAt), the envelope the
// predictor gives, on the same scale: the level the spectrum would read on
// average for a sound of that envelope. Its peaks and the spectrum's are found
// here too, so every caller reads the same.
//
// The window is exp(-48 u^2) (u from -1/2 to 1/2), lowered to meet zero at
// its ends, over 2 x window seconds: a window of 5 ms spans 10 ms and
// resolves as a Hann window of 5 ms does (the view's wide-band spectrogram),
// a bandwidth of 1.3 / window at -3 dB. Samples
// outside the sound are left out (near the ends the window holds only the
// sound's). Zero-padded to a power of two with bins no wider than 8 Hz.
//
// Every function fills the caller's own SpectralSlice (nothing is kept here)
// and may be called from any thread, several at once on one source.
#include <vector>

#include "player/analysis/core/AnalysisOutcome.h"
#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/formants/FormantTrack.h"

class CSampleSource;

namespace sonavel::slice {

inline constexpr double kMinWindowS = 0.001, kMaxWindowS = 1.0;
inline constexpr double kSilenceDb = -300; // a bin without any sound
inline constexpr int kMaxRateHz = 5000000;

struct SliceSettings {
    double dTimeS = 0;       // the window's centre, inside the sound
    double dWindowS = 0.005; // the Gaussian's length; it spans twice that
    bool bEnvelope = false;  // with the formant analysis' envelope
    formants::FormantSettings formants; // its settings: the ceiling found per file unless given
};

struct SlicePeak {
    double dHz = 0;
    double dDb = 0;
};

struct SpectralSlice {
    std::vector<double> frequency_hz; // 0 Hz up to half the rate, equally spaced
    std::vector<double> db;
    // The envelope at each frequency, NaN above the predictor's ceiling;
    // empty without bEnvelope.
    std::vector<double> lpc_db;
    double dCeilingHz = 0; // the predictor's ceiling (with bEnvelope)
    // The spectrum's peaks (SpectrumPeaks) and the envelope's, lowest first.
    std::vector<SlicePeak> peaks, lpcPeaks;
};

// Nothing when the settings are taken for a sound at nRate (0: not known
// yet), else the refused setting's name ("at", "window", or one of the
// formant analysis' with bEnvelope) and why.
analysis::SettingRefusal RefusedSetting(const SliceSettings& settings, int nRate);

// The slice of samples 0 .. nCount-1 of source at nRate (> 0); the formant
// analysis' probe on up to nThreads threads (0: one per core). Done; Refused
// (RefusedSetting, a time outside the sound, a window of more than 2^22
// samples); NoMemory; SourceFailed. slice is emptied on failure.
analysis::EOutcome MakeSlice(const SliceSettings& settings, const CSampleSource& source, int nCount, int nRate,
                             int nThreads, SpectralSlice& slice);

// The slice's door (core/CSoundInput.h): MakeSlice over the input; a time
// outside the sound is said in its words ("12 s lies past the sound's end,
// 10.4 s").
analysis::SoundOutcome SliceSound(const analysis::CSoundInput& input, const SliceSettings& settings, int nThreads,
                                  SpectralSlice& slice);
inline constexpr analysis::OutcomeWords kSliceWords{"take the spectral slice", "the spectral slice cannot be taken"};

// The local maxima of db over equally spaced frequencies that stand at least
// dProminenceDb above the lowest point on the way to any higher one (on
// either side; the ends count as that way), at most dRangeDb below the
// highest, each placed between its bins by the parabola through its three
// points (a Gaussian window's peak in dB is a parabola); NaN values end the
// curve. Lowest first.
std::vector<SlicePeak> FindPeaks(const std::vector<double>& hz, const std::vector<double>& db, double dProminenceDb,
                                 double dRangeDb);

} // namespace sonavel::slice
