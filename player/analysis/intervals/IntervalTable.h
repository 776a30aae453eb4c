#pragma once
// The interval table of sonavel-analyze measure and the Python module's
// measure(): one row of measurements per labelled interval (or point) of a
// TextGrid: the research tracker's f0 over the interval's voiced frames
// (mean, lowest, highest), F1-F3 at its midpoint and the intensity's energy
// mean over it. A point gives one row whose start and end are its time, with
// every value at that time. Each analysis runs once over the whole sound at a
// step of 0.01 s, so every row reads the same frames whatever tier or
// interval asks; each one's frames are let go once the rows have taken their
// values, so the table holds no more than its largest analysis does.
#include <limits>
#include <string>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/textgrid/TextGrid.h"

namespace sonavel::intervals {

// A value that does not exist (no voiced frame, no formant, an interval past
// the sound's end) is NaN.
struct IntervalRow {
    std::string strTier;
    std::string strLabel;
    double dStart = 0;
    double dEnd = 0;
    double dF0MeanHz = 0, dF0MinHz = 0, dF0MaxHz = 0;
    double dF1Hz = 0, dF2Hz = 0, dF3Hz = 0;
    double dIntensityDb = 0;
    // The interval's own voice report (VoiceReport.h) over its span, when the
    // table was asked for it; NaN otherwise, and for a point.
    double dJitterLocalPct = std::numeric_limits<double>::quiet_NaN();
    double dShimmerLocalPct = std::numeric_limits<double>::quiet_NaN();
    double dHnrDb = std::numeric_limits<double>::quiet_NaN();
    double dCppsDb = std::numeric_limits<double>::quiet_NaN();
};

// True when the grid has a tier of that name (an empty name: every tier).
bool HasTier(const sonavel::textgrid::TextGrid& grid, const std::string& strTier);

// The door of the interval table: the rows of grid's tiers (only strTier's
// when it is not empty), in tier order and then in time, for the input's
// sound (a file's channel, streamed or loaded as AnalyseSound reads it, or
// samples held), with up to nThreads threads per analysis (0: one per core).
// Only labels that are not empty give a row. On failure rows is emptied and
// the outcome's words name the analysis that failed ("not enough memory to
// track the formants"); the rows are the same for any thread count. With
// bVoice, each interval's voice is reported too, at the report's defaults (as
// sonavel-analyze voice --start and --end give it for the same span).
analysis::SoundOutcome MeasureIntervals(const analysis::CSoundInput& input, const sonavel::textgrid::TextGrid& grid,
                                        const std::string& strTier, int nThreads, std::vector<IntervalRow>& rows,
                                        bool bVoice = false);

// A failed table, after the file's name (DescribeOutcome); a failed analysis
// names itself.
inline constexpr analysis::OutcomeWords kIntervalWords{"measure the intervals", "the intervals cannot be measured"};

} // namespace sonavel::intervals
