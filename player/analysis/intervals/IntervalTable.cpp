#include "player/analysis/intervals/IntervalTable.h"

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analysis/intervals/FrameQueries.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "player/analysis/voice/VoiceReport.h"

namespace sonavel::intervals {

namespace {

using analysis::EOutcome;
using sonavel::textgrid::ETierKind;

// Every analysis at one step, so the three share their frame times.
constexpr double kStepS = 0.01;

// The rows of the labelled intervals and points, their values still to come.
std::vector<IntervalRow> LabelledRows(const sonavel::textgrid::TextGrid& grid, const std::string& strTier)
{
    std::vector<IntervalRow> rows;
    for (const sonavel::textgrid::Tier& tier : grid.tiers) {
        if (!strTier.empty() && tier.strName != strTier)
            continue;
        if (tier.eKind == ETierKind::Interval) {
            for (const sonavel::textgrid::Interval& interval : tier.intervals)
                if (!interval.strLabel.empty())
                    rows.push_back({tier.strName, interval.strLabel, interval.dStart, interval.dEnd});
        } else {
            for (const sonavel::textgrid::Point& point : tier.points)
                if (!point.strLabel.empty())
                    rows.push_back({tier.strName, point.strLabel, point.dTime, point.dTime});
        }
    }
    return rows;
}

void TakePitch(const pitch::PitchFrames& f, std::vector<IntervalRow>& rows)
{
    for (IntervalRow& row : rows) {
        if (row.dEnd > row.dStart) {
            const SpanStats f0 = VoicedStats(f.time_s, f.pitch_hz, row.dStart, row.dEnd);
            row.dF0MeanHz = f0.dMean;
            row.dF0MinHz = f0.dMin;
            row.dF0MaxHz = f0.dMax;
        } else {
            row.dF0MeanHz = row.dF0MinHz = row.dF0MaxHz = ValueAt(f.time_s, f.pitch_hz, row.dStart, kStepS, true);
        }
    }
}

void TakeFormants(const formants::FormantFrames& f, std::vector<IntervalRow>& rows)
{
    std::vector<double> column(f.time_s.size());
    for (int j = 0; j < 3; ++j) {
        for (size_t i = 0; i < column.size(); ++i)
            column[i] = j < f.nFormants ? f.Hz(i, j) : 0.0;
        for (IntervalRow& row : rows) {
            double* pFormant[3] = {&row.dF1Hz, &row.dF2Hz, &row.dF3Hz};
            *pFormant[j] = ValueAt(f.time_s, column, (row.dStart + row.dEnd) / 2, kStepS, true);
        }
    }
}

void TakeIntensity(const intensity::IntensityFrames& f, double dDuration, std::vector<IntervalRow>& rows)
{
    for (IntervalRow& row : rows)
        row.dIntensityDb = EnergyMeanDb(f.time_s, f.db, row.dStart, row.dEnd, kStepS, dDuration);
}

// Each interval's voice report over its own span; an interval with no sample
// of the sound keeps its NaN.
EOutcome TakeVoice(const CSampleSource& source, int nCount, int nRate, int nThreads, std::vector<IntervalRow>& rows)
{
    for (IntervalRow& row : rows) {
        if (!(row.dEnd > row.dStart))
            continue;
        voice::VoiceSettings settings;
        settings.dStartS = row.dStart;
        settings.dEndS = row.dEnd;
        voice::VoiceReport report;
        const EOutcome n = voice::MeasureVoice(settings, source, nCount, nRate, nThreads, report);
        if (n == EOutcome::Refused)
            continue;
        if (n != EOutcome::Done)
            return n;
        const double dNone = std::numeric_limits<double>::quiet_NaN();
        row.dJitterLocalPct = report.jitter.dLocalPct.value_or(dNone);
        row.dShimmerLocalPct = report.shimmer.dLocalPct.value_or(dNone);
        row.dHnrDb = report.dHnrDb.value_or(dNone);
        row.dCppsDb = report.dCppsDb.value_or(dNone);
    }
    return EOutcome::Done;
}

// One analysis at the table's step through its door: its values taken into
// the rows, and its frames let go before the next analysis's come.
template <class Settings, class Frames, class Take>
EOutcome Stage(analysis::SoundOutcome (*pfnDoor)(const analysis::CSoundInput&, const Settings&, int, Frames&),
               const analysis::CSoundInput& input, int nThreads, Take fnTake)
{
    Settings settings;
    settings.dStepS = kStepS;
    Frames frames;
    const EOutcome n = pfnDoor(input, settings, nThreads, frames).nOutcome;
    if (n == EOutcome::Done)
        fnTake(frames);
    return n;
}

// Why the table failed when the analysis szWhat ("the formants") answered nOutcome.
std::string StageFailure(const char* szWhat, EOutcome nOutcome, int nRate)
{
    switch (nOutcome) {
    case EOutcome::NoMemory:
        return std::string("not enough memory to track ") + szWhat;
    case EOutcome::RangeUnfit:
        return pitch::RateMismatch(pitch::PitchSettings(), nRate);
    case EOutcome::SourceFailed:
        return std::string("the sound could not be read to track ") + szWhat;
    default:
        return std::string(szWhat) + " cannot be tracked at a sample rate of " + std::to_string(nRate) + " Hz";
    }
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

analysis::SoundOutcome MeasureIntervals(const analysis::CSoundInput& input, const sonavel::textgrid::TextGrid& grid,
                                        const std::string& strTier, int nThreads, std::vector<IntervalRow>& rows,
                                        bool bVoice)
{
    rows.clear();
    const char* szStage = "";
    analysis::SoundOutcome outcome =
        analysis::AnalyseSound(input, [&](const CSampleSource& source, int nCount, int nRate) {
            rows = LabelledRows(grid, strTier);
            const auto sound = analysis::CSoundInput::Samples(source, nCount, nRate);
            szStage = "the pitch";
            EOutcome n = Stage(pitch::TrackSound, sound, nThreads, [&](const auto& f) { TakePitch(f, rows); });
            if (n == EOutcome::Done) {
                szStage = "the formants";
                n = Stage(formants::TrackSound, sound, nThreads, [&](const auto& f) { TakeFormants(f, rows); });
            }
            if (n == EOutcome::Done) {
                szStage = "the intensity";
                n = Stage(intensity::TrackSound, sound, nThreads,
                          [&](const auto& f) { TakeIntensity(f, double(nCount) / nRate, rows); });
            }
            if (n == EOutcome::Done && bVoice) {
                szStage = "the voice";
                n = TakeVoice(source, nCount, nRate, nThreads, rows);
            }
            return n;
        });
    if (!outcome.Done()) {
        rows.clear();
        if (outcome.nOutcome != EOutcome::NotLoaded)
            outcome.strWhy = StageFailure(szStage, outcome.nOutcome, outcome.nRate);
    }
    return outcome;
}

} // namespace sonavel::intervals
