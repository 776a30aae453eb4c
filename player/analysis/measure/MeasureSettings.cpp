#include "player/analysis/measure/MeasureSettings.h"

#include <algorithm>

#include "player/analysis/pitch/PitchTracker.h"

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

const char* TrackerTitle(pitch::ETracker tracker)
{
    return tracker == pitch::ETracker::Amdf ? "AMDF" : "research tracker";
}

std::string CheckSettings(const MeasureSettings& settings, int nRate)
{
    std::string strWhy = spectrogram::CheckSettings(settings.spectrogram, nRate);
    if (!strWhy.empty())
        return strWhy;
    const PitchRange range = SearchRange(settings.pitch);
    if (settings.pitch.dFloorHz < 0 || settings.pitch.dCeilingHz < 0 || !(range.dLowHz < range.dHighHz))
        return "the pitch floor must lie below the ceiling";
    return std::string();
}

MeasureSettings FitToRate(MeasureSettings settings, int nRate)
{
    if (nRate > 0)
        settings.spectrogram.dMaxFrequencyHz = std::min(settings.spectrogram.dMaxFrequencyHz, nRate / 2.0);
    return settings;
}

std::string TrackFailure(int nResult)
{
    switch (nResult) {
    case 0:
        return std::string();
    case -1:
        return "not enough memory for the pitch track";
    case -3:
        return "the tracker does not take these settings";
    default:
        return "the pitch track failed";
    }
}

} // namespace sonavel::measure
