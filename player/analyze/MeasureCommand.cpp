// sonavel-analyze measure FILE... [--textgrid TG] [--tier NAME] [--voice]
//                         [--format csv|json] [-o OUT] [-j N]
//
// One table of every labelled interval (and point) of each file's TextGrid:
// f0 over the interval's voiced frames, F1-F3 at its midpoint, the
// intensity's energy mean; with --voice, each interval's jitter (local),
// shimmer (local), HNR and CPPS from its own voice report. With one file, --textgrid names its TextGrid;
// otherwise each file's is the one of the same name beside it
// (take7.wav -> take7.TextGrid, else take7.textgrid). All rows go to standard
// output, or to OUT (written under a temporary name and renamed), in the order
// of the files given, then tiers, then time, whatever -j is. A file whose
// sound or TextGrid cannot be read gets one line on standard error and no
// rows; the others are still written and the status is 1. When no file could
// be measured, OUT is left as it was (a header alone would replace a table).
//
// Several files and -j other than 1 are measured in the batch of worker
// processes (CollectTexts), so a file that kills its worker (a reader fault,
// memory the system refuses) loses only its own rows. A mono 16-bit WAV is
// read from its file a block at a time, as the tracks are, never held whole.
#include "player/analyze/AnalyzeCommands.h"

#include <filesystem>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/intervals/IntervalTable.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/FileBatch.h"
#include "player/analyze/MeasureFormats.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] =
    "usage: sonavel-analyze measure FILE... [--textgrid TG] [--tier NAME] [--voice] [--format csv|json] [-o OUT] "
    "[-j N]";

struct MeasureOptions {
    std::vector<std::string> files;
    std::string strTextGrid; // one file's TextGrid; empty: beside each file
    std::string strTier;     // empty: every tier
    bool bVoice = false;     // the voice's columns too
    EFormat format = EFormat::Csv;
    std::string strOut;      // empty: standard output
    int nJobs = 0;           // 0: one per core
};

// 0 when the options are good; 2 after a line on stderr when not.
int ReadOptions(int argc, char** argv, MeasureOptions& opt)
{
    COptionReader args(argc, argv, kszUsage);
    while (args.Next()) {
        if (args.Value("--textgrid", opt.strTextGrid)) {
            if (opt.strTextGrid.empty())
                args.Refuse();
        } else if (args.Flag("--voice")) {
            opt.bVoice = true;
        } else if (!(args.File(opt.files) || args.Jobs(opt.nJobs) || args.Value("--tier", opt.strTier)
                     || args.Output(opt.strOut) || args.Format({EFormat::Csv, EFormat::Json}, opt.format))) {
            args.Refuse();
        }
    }
    if (const int nStatus = args.End(!opt.files.empty()))
        return nStatus;
    if (!opt.strTextGrid.empty() && opt.files.size() > 1) {
        PrintError("--textgrid names the TextGrid of one file; with several, each file's lies beside it");
        return 2;
    }
    return 0;
}

// One file's table as text: 'R' and its rows as the table has them (JSON
// objects without the comma before the first), or 'E' and the line that says
// why it has none. Workers hand it over in this form.
std::string MeasureFile(const std::string& strSound, const std::string& strGrid, const MeasureOptions& opt,
                        int nThreads)
{
    const sonavel::textgrid::ReadResult grid = sonavel::textgrid::ReadTextGrid(strGrid);
    if (!grid.Ok())
        return "E" + sonavel::textgrid::DescribeFailure(strGrid, grid);
    if (!sonavel::intervals::HasTier(grid.grid, opt.strTier))
        return "E" + strGrid + ": no tier is named " + opt.strTier;
    std::vector<sonavel::intervals::IntervalRow> rows;
    const analysis::SoundOutcome outcome = sonavel::intervals::MeasureIntervals(
        analysis::CSoundInput::File(strSound, 1), grid.grid, opt.strTier, nThreads, rows, opt.bVoice);
    if (!outcome.Done())
        return "E" + analysis::DescribeOutcome(outcome, sonavel::intervals::kIntervalWords, strSound);
    std::string strText = "R";
    bool bFirst = true;
    AppendMeasureRows(strText, opt.format, strSound, rows, bFirst, opt.bVoice);
    return strText;
}

} // namespace

int RunMeasure(int argc, char** argv)
{
    MeasureOptions opt;
    if (const int nStatus = ReadOptions(argc, argv, opt); nStatus != 0)
        return nStatus;
    std::vector<std::string> grids;
    for (const std::string& f : opt.files) {
        std::string strGrid = opt.strTextGrid.empty() ? sonavel::textgrid::TextGridBeside(f) : opt.strTextGrid;
        // Without one beside it, the message names the one it looked for first.
        if (strGrid.empty())
            strGrid = std::filesystem::path(f).replace_extension(".TextGrid").string();
        grids.push_back(strGrid);
    }
    if (!opt.strOut.empty()) {
        std::vector<std::string> inputs = opt.files;
        inputs.insert(inputs.end(), grids.begin(), grids.end());
        if (CInputFiles(inputs).Refuses(opt.files.front(), opt.strOut))
            return 1;
    }
    const std::vector<std::string> texts = CollectTexts(opt.files, opt.nJobs, [&](size_t i, int nThreads) {
        return MeasureFile(opt.files[i], grids[i], opt, nThreads);
    });
    return WriteRowTable(texts, opt.format, MeasureTableStart(opt.format, opt.bVoice), MeasureTableEnd(opt.format),
                         opt.strOut);
}

} // namespace analyze
} // namespace sonavel
