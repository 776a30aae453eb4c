#pragma once
// The measure command's table as text: CSV (the header, then one row per
// labelled interval) or a JSON list of objects with the same keys.
#include <string>
#include <vector>

#include "player/analysis/intervals/IntervalTable.h"
#include "player/analyze/CommandLine.h"

namespace sonavel {
namespace analyze {

// The columns, in order: file, tier, label, start_s, end_s, duration_s,
// f0_mean_hz, f0_min_hz, f0_max_hz, f1_hz, f2_hz, f3_hz, intensity_db.
extern const char* const kszMeasureColumns[13];
// The columns --voice adds after them: jitter_local_pct, shimmer_local_pct,
// hnr_db, cpps_db.
extern const char* const kszVoiceMeasureColumns[4];

// One file's rows, appended to strOut. bFirst: the table's first file (JSON
// separates objects by commas). bVoice: with the voice's columns.
void AppendMeasureRows(std::string& strOut, EFormat format, const std::string& strFile,
                       const std::vector<sonavel::intervals::IntervalRow>& rows, bool& bFirst, bool bVoice = false);
// What comes before the first file's rows, and after the last's.
std::string MeasureTableStart(EFormat format, bool bVoice = false);
std::string MeasureTableEnd(EFormat format);

// A CSV field: in double quotes (each inner one doubled) when it holds a
// comma, a quote, a line break, or space at its ends.
std::string CsvField(const std::string& s);

} // namespace analyze
} // namespace sonavel
