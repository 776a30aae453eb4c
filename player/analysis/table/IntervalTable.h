#pragma once
// One row of measurements per labelled interval (or point) of a TextGrid: the
// research tracker's f0 over the interval's voiced frames (mean, lowest,
// highest), F1-F3 at its midpoint and the intensity's energy mean over it. A
// point gives one row whose start and end are its time, with every value at
// that time. Each analysis runs once over the whole sound at a step of 0.01 s,
// so every row reads the same frames whatever tier or interval asks.
#include <string>
#include <vector>

#include "player/analysis/core/TrackResult.h"
#include "player/analysis/textgrid/TextGrid.h"

class CSampleSource;

namespace sonavel::table {

using sonavel::pitch::ETrackResult;

// A value that does not exist (no voiced frame, no formant, an interval past
// the sound's end) is NaN.
struct MeasureRow {
    std::string strTier;
    std::string strLabel;
    double dStart = 0;
    double dEnd = 0;
    double dF0MeanHz = 0, dF0MinHz = 0, dF0MaxHz = 0;
    double dF1Hz = 0, dF2Hz = 0, dF3Hz = 0;
    double dIntensityDb = 0;
};

// Which analysis failed, for a message after the file's name.
enum class EMeasureStage { None, Pitch, Formants, Intensity };

struct MeasureOutcome {
    ETrackResult eResult = sonavel::pitch::TRACK_DONE;
    EMeasureStage eStage = EMeasureStage::None;
    bool Ok() const { return eResult == sonavel::pitch::TRACK_DONE; }
};

// True when the grid has a tier of that name (an empty name: every tier).
bool HasTier(const sonavel::textgrid::TextGrid& grid, const std::string& strTier);

// The rows of grid's tiers (only strTier's when it is not empty), in tier
// order and then in time, for samples 0 .. nCount-1 of source at nRate (> 0),
// with up to nThreads threads per analysis (0: one per core). Only labels that
// are not empty give a row. rows is emptied on failure; the rows are the same
// for any thread count.
MeasureOutcome MeasureGrid(const sonavel::textgrid::TextGrid& grid, const std::string& strTier,
                           const CSampleSource& source, int nCount, int nRate, int nThreads,
                           std::vector<MeasureRow>& rows);

// "not enough memory to track the formants", "the sample rate ... is too low ...":
// one line after the file's name.
std::string DescribeOutcome(const MeasureOutcome& outcome, int nRate);

} // namespace sonavel::table
