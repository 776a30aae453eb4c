#include "player/analyze/MeasureFormats.h"

#include <cmath>

#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/FixedText.h"
#include "player/analyze/JsonText.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

const char* const kszMeasureColumns[13] = {"file",       "tier",      "label",     "start_s", "end_s",
                                           "duration_s", "f0_mean_hz", "f0_min_hz", "f0_max_hz", "f1_hz",
                                           "f2_hz",      "f3_hz",     "intensity_db"};

const char* const kszVoiceMeasureColumns[4] = {"jitter_local_pct", "shimmer_local_pct", "hnr_db", "cpps_db"};

namespace {

// A value with its column's decimals, every digit of it however large (an
// interval may end at 1e300); "" where it does not exist.
std::string Number(double d, int nDecimals)
{
    if (!std::isfinite(d))
        return std::string();
    char sz[kFixedTextRoom];
    return std::string(sz, FixedText(sz, d, nDecimals));
}

// The row's numbers, in the columns' order from start_s on; the voice's to
// the millionth, as sonavel-analyze voice writes them.
std::vector<std::string> Numbers(const sonavel::intervals::IntervalRow& r, bool bVoice)
{
    std::vector<std::string> numbers = {Number(r.dStart, 6),    Number(r.dEnd, 6),     Number(r.dEnd - r.dStart, 6),
                                        Number(r.dF0MeanHz, 1), Number(r.dF0MinHz, 1), Number(r.dF0MaxHz, 1),
                                        Number(r.dF1Hz, 1),     Number(r.dF2Hz, 1),    Number(r.dF3Hz, 1),
                                        Number(r.dIntensityDb, 2)};
    if (bVoice)
        for (double d : {r.dJitterLocalPct, r.dShimmerLocalPct, r.dHnrDb, r.dCppsDb})
            numbers.push_back(Number(d, 6));
    return numbers;
}

const char* ColumnName(size_t i)
{
    return i < 13 ? kszMeasureColumns[i] : kszVoiceMeasureColumns[i - 13];
}

} // namespace

std::string CsvField(const std::string& s)
{
    const bool bQuote = s.find_first_of(",\"\r\n") != std::string::npos
                        || (!s.empty() && (s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t'));
    if (!bQuote)
        return s;
    std::string q = "\"";
    for (char c : s) {
        q += c;
        if (c == '"')
            q += '"';
    }
    return q + "\"";
}

std::string MeasureTableStart(EFormat format, bool bVoice)
{
    if (format == EFormat::Json)
        return "[";
    std::string s;
    for (const char* sz : kszMeasureColumns)
        s += (s.empty() ? "" : ",") + std::string(sz);
    if (bVoice)
        for (const char* sz : kszVoiceMeasureColumns)
            s += "," + std::string(sz);
    return s + "\n";
}

std::string MeasureTableEnd(EFormat format) { return format == EFormat::Json ? "\n]\n" : ""; }

void AppendMeasureRows(std::string& strOut, EFormat format, const std::string& strFile,
                       const std::vector<sonavel::intervals::IntervalRow>& rows, bool& bFirst, bool bVoice)
{
    for (const sonavel::intervals::IntervalRow& r : rows) {
        const std::vector<std::string> numbers = Numbers(r, bVoice);
        if (format == EFormat::Csv) {
            strOut += CsvField(strFile) + "," + CsvField(r.strTier) + "," + CsvField(r.strLabel);
            for (const std::string& n : numbers)
                strOut += "," + n;
            strOut += "\n";
            continue;
        }
        strOut += bFirst ? "\n  {" : ",\n  {";
        bFirst = false;
        strOut += "\"file\": " + JsonString(strFile) + ", \"tier\": " + JsonString(r.strTier)
                  + ", \"label\": " + JsonString(r.strLabel);
        for (size_t i = 0; i < numbers.size(); ++i)
            strOut += std::string(", \"") + ColumnName(i + 3) + "\": " + (numbers[i].empty() ? "null" : numbers[i]);
        strOut += "}";
    }
}

int WriteRowTable(const std::vector<std::string>& texts, EFormat format, const std::string& strStart,
                  const std::string& strEnd, const std::string& strOut)
{
    std::string strText = strStart;
    bool bFirst = true, bAllOk = true;
    for (const std::string& t : texts) {
        if (t.empty() || t[0] != 'R') {
            if (!t.empty())
                PrintError(t.substr(1));
            bAllOk = false;
        } else if (t.size() > 1) {
            // Each file's JSON objects were written as the table's first.
            if (!bFirst && format == EFormat::Json)
                strText += ',';
            strText.append(t, 1, std::string::npos);
            bFirst = false;
        }
    }
    strText += strEnd;
    if (bFirst && !bAllOk && !strOut.empty()) {
        PrintError(strOut + ": not written, as no file could be measured");
        return 1;
    }
    if (!strOut.empty())
        InstallSignalHandlers();
    const bool bWritten = WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
        return pfnWrite(pContext, strText.data(), strText.size());
    });
    return bWritten && bAllOk ? 0 : 1;
}

} // namespace analyze
} // namespace sonavel
