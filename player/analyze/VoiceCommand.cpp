// sonavel-analyze voice FILE... [--floor HZ] [--ceiling HZ] [--start S] [--end E]
//                       [--channel N] [--format csv|json] [-o OUT] [-j N]
//
// The voice report of each file (or of its span from --start to --end), one row
// per file in the order given, whatever -j is: f0, pulses and periods, voicing,
// jitter, shimmer, harmonics-to-noise ratio and smoothed cepstral peak
// prominence. A value that cannot be had (too few periods, no voiced frame) is
// an empty field, null in JSON. Rows go to standard output or to OUT (written
// whole, then renamed); a file that cannot be read or measured gets one line
// on standard error and no row, and the status is 1. When no file could be
// measured, OUT is left as it was. Settings the report refuses exit with 2
// before any file is read.
#include "player/analyze/AnalyzeCommands.h"

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/voice/VoiceReport.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/FileBatch.h"
#include "player/analyze/FixedText.h"
#include "player/analyze/JsonText.h"
#include "player/analyze/MeasureFormats.h"

namespace sonavel {
namespace analyze {

namespace {

using voice::VoiceReport;
using voice::VoiceSettings;
using voice::VoiceValue;

const char kszUsage[] = "usage: sonavel-analyze voice FILE... [--floor HZ] [--ceiling HZ] [--start S] [--end E] "
                        "[--channel N] [--format csv|json] [-o OUT] [-j N]";

struct VoiceOptions {
    std::vector<std::string> files;
    VoiceSettings settings;
    int nChannel = 1;
    EFormat format = EFormat::Csv;
    std::string strOut; // empty: standard output
    int nJobs = 0;      // 0: one per core
};

// 0 when the options are good; 2 after a line on stderr when not.
int ReadOptions(int argc, char** argv, VoiceOptions& opt)
{
    COptionReader args(argc, argv, kszUsage);
    VoiceSettings& s = opt.settings;
    bool bEnd = false;
    while (args.Next())
        if (!(args.File(opt.files) || args.Jobs(opt.nJobs) || args.Channel(opt.nChannel) || args.Output(opt.strOut)
              || args.Format({EFormat::Csv, EFormat::Json}, opt.format) || args.Number("--floor", s.dFloorHz)
              || args.Number("--ceiling", s.dCeilingHz) || args.Number("--start", s.dStartS)
              || (args.Number("--end", s.dEndS) && (bEnd = true))))
            args.Refuse();
    if (const int nStatus = args.End(!opt.files.empty()))
        return nStatus;
    // An end of 0 means the sound's end to the report; given here it is a time.
    if (bEnd && !(s.dEndS > s.dStartS)) {
        PrintError("--end: must lie after the start");
        return 2;
    }
    if (const analysis::SettingRefusal refusal = voice::RefusedSetting(s)) {
        PrintError(std::string("--") + refusal.szSetting + ": " + refusal.strWhy);
        return 2;
    }
    return 0;
}

// A value as its column writes it: a count whole, any other to the millionth;
// "" where there is none.
std::string ValueText(const VoiceValue& v)
{
    if (!v.dValue)
        return std::string();
    char sz[kFixedTextRoom];
    return std::string(sz, FixedText(sz, *v.dValue, v.bCount ? 0 : 6));
}

// One file's row: 'R' and the row (a JSON object without a comma before it),
// or 'E' and the line that says why there is none. Workers hand it over so.
std::string VoiceRow(const std::string& strFile, const VoiceOptions& opt, int nThreads)
{
    VoiceReport report;
    const analysis::SoundOutcome outcome =
        voice::ReportVoice(analysis::CSoundInput::File(strFile, opt.nChannel), opt.settings, nThreads, report);
    if (!outcome.Done())
        return "E" + analysis::DescribeOutcome(outcome, voice::kVoiceWords, strFile);
    const VoiceValue span[2] = {{"start_s", report.dStartS, false}, {"end_s", report.dEndS, false}};
    std::string strRow = "R";
    strRow += opt.format == EFormat::Csv ? CsvField(strFile) : "\n  {\"file\": " + JsonString(strFile);
    auto add = [&](const VoiceValue& v) {
        const std::string strText = ValueText(v);
        if (opt.format == EFormat::Csv)
            strRow += "," + strText;
        else
            strRow += std::string(", \"") + v.szName + "\": " + (strText.empty() ? "null" : strText);
    };
    for (const VoiceValue& v : span)
        add(v);
    for (const VoiceValue& v : voice::VoiceValues(report))
        add(v);
    strRow += opt.format == EFormat::Csv ? "\n" : "}";
    return strRow;
}

std::string Header()
{
    std::string s = "file,start_s,end_s";
    for (const VoiceValue& v : voice::VoiceValues(VoiceReport()))
        s += std::string(",") + v.szName;
    return s + "\n";
}

} // namespace

int RunVoice(int argc, char** argv)
{
    VoiceOptions opt;
    if (const int nStatus = ReadOptions(argc, argv, opt); nStatus != 0)
        return nStatus;
    if (!opt.strOut.empty() && CInputFiles(opt.files).Refuses(opt.files.front(), opt.strOut))
        return 1;
    const std::vector<std::string> texts = CollectTexts(
        opt.files, opt.nJobs, [&](size_t i, int nThreads) { return VoiceRow(opt.files[i], opt, nThreads); });
    return WriteRowTable(texts, opt.format, opt.format == EFormat::Csv ? Header() : "[", MeasureTableEnd(opt.format),
                         opt.strOut);
}

} // namespace analyze
} // namespace sonavel
