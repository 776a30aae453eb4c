#pragma once
// What the measuring view shows and how: the spectrogram's window, top and
// dynamic range, and the pitch tracker with its range. One value, so the view,
// its settings dialog, its profile entries and render --view agree.
//
// Settings are values; the functions keep no state, so any thread may call them.
#include <string>

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/spectrum/SpectrogramColumns.h"
#include "player/analysis/voice/VoiceReport.h"

namespace sonavel::measure {

inline constexpr double kWideBandWindowS = 0.005;
inline constexpr double kNarrowBandWindowS = 0.03;

// Which layers the view draws; each is a View menu item kept in the profile.
struct MeasureLayers {
    bool bWaveform = true;
    bool bSpectrogram = true;
    bool bPitch = true;
    bool bFormants = true;
    bool bIntensity = true;
    bool bPulses = false; // the glottal pulses, marked in the waveform panel
};

// The pitch panel's axis: fitted to the pitch shown (both 0) or a fixed range.
struct PitchAxis {
    double dLowHz = 0, dHighHz = 0;
    bool Fitted() const { return dLowHz <= 0 && dHighHz <= 0; }
};

struct MeasureSettings {
    spectrogram::SpectrogramSettings spectrogram;
    // The research tracker at its own range unless the user picks otherwise.
    pitch::PitchSettings pitch;
    // Ceiling 0: found per file; the step follows the view's own grid.
    formants::FormantSettings formants;
    // Formant dots are drawn where the intensity lies within this many dB of
    // the loudest frame shown: silence and breath have poles too, but no voice.
    double dFormantRangeDb = 30;
    intensity::IntensitySettings intensity;
    PitchAxis pitchAxis;
    MeasureLayers layers;
};

// The range a tracker searches when its settings leave the range to it.
struct PitchRange {
    double dLowHz = 0, dHighHz = 0;
};
PitchRange TrackerOwnRange(pitch::ETracker tracker);
// The range the settings ask for: theirs, or the tracker's own.
PitchRange SearchRange(const pitch::PitchSettings& settings);
// The voice report's and the pulses' floor and ceiling in the view: the pitch
// range the user set in the settings where set, else the report's own
// (75-600 Hz), so that the view measures a voice over the range it tracks it
// in, and the command line's defaults where nothing was set.
voice::VoiceSettings ViewVoiceSettings(const pitch::PitchSettings& settings);

// "research tracker" or "AMDF", for the view's texts.
const char* TrackerTitle(pitch::ETracker tracker);

// The names CheckSettings gives a refused setting beyond the spectrogram's
// (spectrogram::kszWindowSetting and the rest).
inline constexpr char kszPitchRangeSetting[] = "pitch-range";
inline constexpr char kszPitchAxisSetting[] = "pitch-axis";
inline constexpr char kszFormantCeilingSetting[] = "formant-ceiling";
inline constexpr char kszFormantsSetting[] = "formants"; // the count, or their step
inline constexpr char kszFormantRangeSetting[] = "formant-range";
inline constexpr double kMaxFormantRangeDb = 200;
inline constexpr char kszIntensityFloorSetting[] = "intensity-floor";
inline constexpr char kszIntensitySetting[] = "intensity"; // its step

// Nothing when the settings are usable for a sound at nRate, else the refused
// setting's name and why, a sentence that names it for the user ("intensity
// floor must lie between 25 and 1000 Hz"). The pitch tracker's own limits are
// the tracker's to check: a range it refuses leaves the view without pitch and
// says so there.
analysis::SettingRefusal CheckSettings(const MeasureSettings& settings, int nRate);

// The settings with the top frequency lowered to half of nRate where it lies
// above: a sound at 8 kHz is shown up to 4 kHz, whatever the profile says.
MeasureSettings FitToRate(MeasureSettings settings, int nRate);

// The formants a picture of dSpanS seconds over nColumns pixel columns
// shows: a frame to a column (an hour's 360,000 frames at 10 ms fall 300 to
// a column, drawn as one dot each), never closer than the settings' step nor
// farther apart than the tracker takes. The view shows these first and the
// whole track once it is made; render --view needs no more.
formants::FormantSettings FormantsForPicture(formants::FormantSettings settings, double dSpanS, int nColumns);

// "held to 43690 samples (0.0203 ms)" where the window asked for is longer at
// nRate than the analysis takes (kMaxWindowSamples); empty where it is not.
std::string WindowHeld(const spectrogram::SpectrogramSettings& settings, int nRate);

// Why a track failed, from TrackWith's result, for the status line.
std::string TrackFailure(analysis::EOutcome nResult);

} // namespace sonavel::measure
