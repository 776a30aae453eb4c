#include "player/analysis/measureview/MeasureSettings.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <cstdio>

#include "player/analysis/pitch/PitchTracker.h"
#include "player/analysis/core/AnalysisBudget.h"

namespace sonavel::measure {

namespace {
// The research tracker's search when no range is given.
constexpr double kResearchLowHz = 50.0, kResearchHighHz = 800.0;
} // namespace

PitchRange TrackerOwnRange(pitch::ETracker tracker)
{
    if (tracker == pitch::ETracker::Amdf) {
        const pitch::PitchParams params;
        return {static_cast<double>(params.minPitchHz), static_cast<double>(params.maxPitchHz)};
    }
    return {kResearchLowHz, kResearchHighHz};
}

PitchRange SearchRange(const pitch::PitchSettings& settings)
{
    PitchRange range = TrackerOwnRange(settings.tracker);
    if (settings.dFloorHz > 0)
        range.dLowHz = settings.dFloorHz;
    if (settings.dCeilingHz > 0)
        range.dHighHz = settings.dCeilingHz;
    return range;
}

voice::VoiceSettings ViewVoiceSettings(const pitch::PitchSettings& settings)
{
    voice::VoiceSettings voice;
    if (settings.dFloorHz > 0)
        voice.dFloorHz = settings.dFloorHz;
    if (settings.dCeilingHz > 0)
        voice.dCeilingHz = settings.dCeilingHz;
    return voice;
}

const char* TrackerTitle(pitch::ETracker tracker)
{
    return tracker == pitch::ETracker::Amdf ? "AMDF" : "research tracker";
}

analysis::SettingRefusal CheckSettings(const MeasureSettings& settings, int nRate)
{
    if (analysis::SettingRefusal refusal = spectrogram::CheckSettings(settings.spectrogram, nRate))
        return refusal;
    const PitchRange range = SearchRange(settings.pitch);
    if (settings.pitch.dFloorHz < 0 || settings.pitch.dCeilingHz < 0 || !(range.dLowHz < range.dHighHz))
        return {kszPitchRangeSetting, "the pitch floor must lie below the ceiling"};
    const PitchAxis& axis = settings.pitchAxis;
    if (!axis.Fitted() && !(axis.dLowHz > 0 && axis.dLowHz < axis.dHighHz && std::isfinite(axis.dHighHz)))
        return {kszPitchAxisSetting, "the pitch axis must run from above 0 Hz up to a higher frequency"};
    // The analyses' own words follow the name the user knows the setting by.
    if (analysis::SettingRefusal refusal = formants::RefusedSetting(settings.formants, nRate)) {
        const std::string_view setting(refusal.szSetting);
        if (setting == "max-formant")
            return {kszFormantCeilingSetting, "formant ceiling " + refusal.strWhy};
        return {kszFormantsSetting, (setting == "step" ? "formant step " : "formant count ") + refusal.strWhy};
    }
    if (!(settings.dFormantRangeDb > 0 && settings.dFormantRangeDb <= kMaxFormantRangeDb))
        return {kszFormantRangeSetting, "the formants' dynamic range must lie above 0 and at most 200 dB"};
    if (analysis::SettingRefusal refusal = intensity::RefusedSetting(settings.intensity)) {
        const bool bFloor = std::string_view(refusal.szSetting) == "floor";
        return {bFloor ? kszIntensityFloorSetting : kszIntensitySetting,
                "intensity " + std::string(refusal.szSetting) + " " + refusal.strWhy};
    }
    return {};
}

MeasureSettings FitToRate(MeasureSettings settings, int nRate)
{
    if (nRate > 0)
        settings.spectrogram.dMaxFrequencyHz = std::min(settings.spectrogram.dMaxFrequencyHz, nRate / 2.0);
    return settings;
}

std::string WindowHeld(const spectrogram::SpectrogramSettings& settings, int nRate)
{
    // Past half a sample over the bound the window would round above it.
    if (nRate <= 0 || !(settings.dWindowS * nRate >= analysis::kMaxWindowSamples + 0.5))
        return std::string();
    char sz[80];
    std::snprintf(sz, sizeof sz, "held to %d samples (%.3g ms)", analysis::kMaxWindowSamples,
                  analysis::kMaxWindowSamples * 1000.0 / nRate);
    return sz;
}

std::string TrackFailure(analysis::EOutcome nResult)
{
    switch (nResult) {
    case analysis::EOutcome::Done:
        return std::string();
    case analysis::EOutcome::NoMemory:
        return "not enough memory for the pitch track";
    case analysis::EOutcome::Refused:
        return "the tracker does not take these settings";
    default:
        return "the pitch track failed";
    }
}

formants::FormantSettings FormantsForPicture(formants::FormantSettings settings, double dSpanS, int nColumns)
{
    if (nColumns > 0 && dSpanS > 0)
        settings.dStepS = std::clamp(dSpanS / nColumns, settings.dStepS, std::max(settings.dStepS, formants::kMaxStepS));
    return settings;
}

} // namespace sonavel::measure
