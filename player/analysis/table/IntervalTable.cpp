#include "player/analysis/table/IntervalTable.h"

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/table/FrameQueries.h"

namespace sonavel::table {

namespace {

using namespace sonavel::pitch;
using sonavel::textgrid::ETierKind;

// Every analysis at one step, so the three share their frame times.
constexpr double kStepS = 0.01;

// The analyses of one sound, each over the whole of it.
struct SoundFrames {
    PitchFrames pitch;
    sonavel::formants::FormantFrames formants;
    sonavel::intensity::IntensityFrames intensity;
    std::vector<double> formantHz[3]; // F1-F3 per frame, 0 where missing
    double dDuration = 0;
};

MeasureOutcome Track(const CSampleSource& source, int nCount, int nRate, int nThreads, SoundFrames& frames)
{
    PitchSettings pitch;
    pitch.dStepS = kStepS;
    ETrackResult eResult = TrackWith(pitch, source, nCount, nRate, nThreads, frames.pitch);
    if (eResult != TRACK_DONE)
        return {eResult, EMeasureStage::Pitch};
    sonavel::formants::FormantSettings formants;
    formants.dStepS = kStepS;
    eResult = TrackFormants(formants, source, nCount, nRate, nThreads, frames.formants);
    if (eResult != TRACK_DONE)
        return {eResult, EMeasureStage::Formants};
    sonavel::intensity::IntensitySettings intensity;
    intensity.dStepS = kStepS;
    eResult = TrackIntensity(intensity, source, nCount, nRate, nThreads, frames.intensity);
    if (eResult != TRACK_DONE)
        return {eResult, EMeasureStage::Intensity};
    const size_t nFrames = frames.formants.time_s.size();
    for (int j = 0; j < 3; ++j) {
        frames.formantHz[j].assign(nFrames, 0.0);
        if (j < frames.formants.nFormants)
            for (size_t i = 0; i < nFrames; ++i)
                frames.formantHz[j][i] = frames.formants.Hz(i, j);
    }
    frames.dDuration = double(nCount) / nRate;
    return {};
}

MeasureRow Measure(const SoundFrames& f, const std::string& strTier, const std::string& strLabel, double dStart,
                   double dEnd)
{
    MeasureRow row{strTier, strLabel, dStart, dEnd};
    if (dEnd > dStart) {
        const SpanStats f0 = VoicedStats(f.pitch.time_s, f.pitch.pitch_hz, dStart, dEnd);
        row.dF0MeanHz = f0.dMean;
        row.dF0MinHz = f0.dMin;
        row.dF0MaxHz = f0.dMax;
    } else {
        row.dF0MeanHz = row.dF0MinHz = row.dF0MaxHz = ValueAt(f.pitch.time_s, f.pitch.pitch_hz, dStart, kStepS, true);
    }
    const double dMid = (dStart + dEnd) / 2;
    double* pFormant[3] = {&row.dF1Hz, &row.dF2Hz, &row.dF3Hz};
    for (int j = 0; j < 3; ++j)
        *pFormant[j] = ValueAt(f.formants.time_s, f.formantHz[j], dMid, kStepS, true);
    row.dIntensityDb = EnergyMeanDb(f.intensity.time_s, f.intensity.db, dStart, dEnd, kStepS, f.dDuration);
    return row;
}

} // namespace

bool HasTier(const sonavel::textgrid::TextGrid& grid, const std::string& strTier)
{
    if (strTier.empty())
        return true;
    for (const sonavel::textgrid::Tier& tier : grid.tiers)
        if (tier.strName == strTier)
            return true;
    return false;
}

MeasureOutcome MeasureGrid(const sonavel::textgrid::TextGrid& grid, const std::string& strTier,
                           const CSampleSource& source, int nCount, int nRate, int nThreads,
                           std::vector<MeasureRow>& rows)
{
    rows.clear();
    SoundFrames frames;
    const MeasureOutcome outcome = Track(source, nCount, nRate, nThreads, frames);
    if (!outcome.Ok())
        return outcome;
    for (const sonavel::textgrid::Tier& tier : grid.tiers) {
        if (!strTier.empty() && tier.strName != strTier)
            continue;
        if (tier.eKind == ETierKind::Interval) {
            for (const sonavel::textgrid::Interval& interval : tier.intervals)
                if (!interval.strLabel.empty())
                    rows.push_back(Measure(frames, tier.strName, interval.strLabel, interval.dStart, interval.dEnd));
        } else {
            for (const sonavel::textgrid::Point& point : tier.points)
                if (!point.strLabel.empty())
                    rows.push_back(Measure(frames, tier.strName, point.strLabel, point.dTime, point.dTime));
        }
    }
    return outcome;
}

std::string DescribeOutcome(const MeasureOutcome& outcome, int nRate)
{
    const char* szWhat = outcome.eStage == EMeasureStage::Pitch      ? "the pitch"
                         : outcome.eStage == EMeasureStage::Formants ? "the formants"
                                                                     : "the intensity";
    switch (outcome.eResult) {
    case TRACK_DONE:
        return std::string();
    case TRACK_NO_MEMORY:
        return std::string("not enough memory to track ") + szWhat;
    case TRACK_RANGE_UNFIT:
        return RateMismatch(PitchSettings(), nRate);
    case TRACK_SOURCE_FAILED:
        return std::string("the sound could not be read to track ") + szWhat;
    default:
        return std::string(szWhat) + " cannot be tracked at a sample rate of " + std::to_string(nRate) + " Hz";
    }
}

} // namespace sonavel::table
