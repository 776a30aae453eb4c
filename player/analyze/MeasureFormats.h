#pragma once
// The measure command's table as text: CSV (the header, then one row per
// labelled interval) or a JSON list of objects with the same keys.
//
// The text is built into what the caller hands in; nothing is kept, so any
// thread may call.
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

// The table of the files' texts as their jobs hand them to CollectTexts ('R'
// and the file's rows, JSON objects without a comma before the first; 'E' and
// the line that says why it has none): each failure's line on stderr, the rows
// in the files' order between strStart and strEnd, to standard output or to
// strOut. The exit status: 0, or 1 when a file failed or the table could not
// be written. When no file gave a row and one failed, strOut is left as it was
// (a header alone would replace a table).
int WriteRowTable(const std::vector<std::string>& texts, EFormat format, const std::string& strStart,
                  const std::string& strEnd, const std::string& strOut);

// A CSV field: in double quotes (each inner one doubled) when it holds a
// comma, a quote, a line break, or space at its ends.
std::string CsvField(const std::string& s);

} // namespace analyze
} // namespace sonavel
