// sonavel-analyze measure FILE... [--textgrid TG] [--tier NAME]
//                         [--format csv|json] [-o OUT] [-j N]
//
// One table of every labelled interval (and point) of each file's TextGrid:
// f0 over the interval's voiced frames, F1-F3 at its midpoint, the
// intensity's energy mean. With one file, --textgrid names its TextGrid;
// otherwise each file's is the one of the same name beside it
// (take7.wav -> take7.TextGrid, else take7.textgrid). All rows go to standard
// output, or to OUT (written under a temporary name and renamed), in the order
// of the files given, then tiers, then time, whatever -j is. A file whose
// sound or TextGrid cannot be read gets one line on standard error and no
// rows; the others are still written and the status is 1. When no file could
// be measured, OUT is left as it was (a header alone would replace a table).
//
// Several files and -j other than 1 are measured in pitch's batch of worker
// processes, so a file that kills its worker (a reader fault, memory the
// system refuses) loses only its own rows: each worker writes a file's rows,
// already as text, to a private scratch folder, and the parent joins them in
// the order of the files. Files whose rows the scratch folder could not take
// (TMPDIR unwritable or full) are measured in the parent instead.
#include "player/analyze/AnalyzeCommands.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <unistd.h>

#include "common/OutputFile.h"
#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/table/IntervalTable.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/MeasureFormats.h"
#include "player/analyze/OutputFile.h"
#include "player/analyze/PitchBatch.h"
#include "player/audio/CLoadResult.h"
#include "player/audio/SoundReaders.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] =
    "usage: sonavel-analyze measure FILE... [--textgrid TG] [--tier NAME] [--format csv|json] [-o OUT] [-j N]";

// The most -j takes, as the pitch command's batch does.
constexpr int kMaxMeasureJobs = 1024;

struct MeasureOptions {
    std::vector<std::string> files;
    std::string strTextGrid; // one file's TextGrid; empty: beside each file
    std::string strTier;     // empty: every tier
    EMeasureFormat format = EMeasureFormat::Csv;
    std::string strOut;      // empty: standard output
    int nJobs = 0;           // 0: one per core
};

// What one file came to: its rows, or the line that says why it has none.
struct FileTable {
    bool bOk = false;
    std::string strError;
    std::vector<sonavel::table::MeasureRow> rows;
};

int Usage()
{
    PrintError(kszUsage);
    return 2;
}

int ParseOptions(int argc, char** argv, MeasureOptions& opt)
{
    bool bFilesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        if (bFilesOnly || a.empty() || a[0] != '-' || a == "-") {
            opt.files.push_back(a);
        } else if (a == "--") {
            bFilesOnly = true;
        } else if (OptionValue(argc, argv, i, "-j", v)) {
            char* pEnd = nullptr;
            const long n = std::strtol(v.c_str(), &pEnd, 10);
            if (v.empty() || *pEnd || n < 1 || n > kMaxMeasureJobs)
                return Usage();
            opt.nJobs = int(n);
        } else if (OptionValue(argc, argv, i, "--textgrid", v) && !v.empty()) {
            opt.strTextGrid = v;
        } else if (OptionValue(argc, argv, i, "--tier", v)) {
            opt.strTier = v;
        } else if (OptionValue(argc, argv, i, "-o", v) && !v.empty()) {
            opt.strOut = v;
        } else if (OptionValue(argc, argv, i, "--format", v) && (v == "csv" || v == "json")) {
            opt.format = v == "csv" ? EMeasureFormat::Csv : EMeasureFormat::Json;
        } else {
            return Usage();
        }
    }
    if (opt.files.empty())
        return Usage();
    if (!opt.strTextGrid.empty() && opt.files.size() > 1) {
        PrintError("--textgrid names the TextGrid of one file; with several, each file's lies beside it");
        return 2;
    }
    return 0;
}

// take7.wav -> take7.TextGrid beside it, else take7.textgrid when only that exists.
std::string TextGridBeside(const std::string& strSound)
{
    const fs::path sound(strSound);
    fs::path grid = sound;
    grid.replace_extension(".TextGrid");
    std::error_code ec;
    if (!fs::exists(grid, ec)) {
        fs::path lower = sound;
        lower.replace_extension(".textgrid");
        if (fs::exists(lower, ec))
            return lower.string();
    }
    return grid.string();
}

FileTable MeasureFile(const std::string& strSound, const std::string& strGrid, const MeasureOptions& opt,
                      int nThreads)
{
    FileTable table;
    const sonavel::textgrid::ReadResult grid = sonavel::textgrid::ReadTextGrid(strGrid);
    if (!grid.Ok()) {
        table.strError = sonavel::textgrid::DescribeFailure(strGrid, grid);
        return table;
    }
    if (!sonavel::table::HasTier(grid.grid, opt.strTier)) {
        table.strError = strGrid + ": no tier is named " + opt.strTier;
        return table;
    }
    SampleStore store;
    const audio::CLoadResult loaded = audio::LoadSoundForAnalysis(strSound, store, 1);
    if (!loaded.Loaded()) {
        table.strError = audio::DescribeLoadFailure(loaded, strSound);
        return table;
    }
    CSampleLock lock(store.hSamples);
    const CMemorySamples samples(store.sampleCount > 0 ? lock.Samples() : nullptr, store.sampleCount);
    const sonavel::table::MeasureOutcome outcome = sonavel::table::MeasureGrid(
        grid.grid, opt.strTier, samples, store.sampleCount, store.sampleRate, nThreads, table.rows);
    if (!outcome.Ok()) {
        table.strError = strSound + ": " + sonavel::table::DescribeOutcome(outcome, store.sampleRate);
        return table;
    }
    table.bOk = true;
    return table;
}

// A file's outcome as text: 'R' and its rows as the table has them (JSON
// objects without the comma before the first), or 'E' and the line that says
// why it has none. Workers hand it over in this form.
std::string TableText(const FileTable& table, const std::string& strFile, EMeasureFormat format)
{
    if (!table.bOk)
        return "E" + table.strError;
    std::string strText = "R";
    bool bFirst = true;
    AppendMeasureRows(strText, format, strFile, table.rows, bFirst);
    return strText;
}

// The tables of the files named by which, as TableText gives them, in texts;
// nJobs files at once, each on nThreads threads. A file's rows do not depend
// on which thread measured it.
void MeasureHere(const MeasureOptions& opt, const std::vector<std::string>& grids, const std::vector<size_t>& which,
                 int nJobs, int nThreads, std::vector<std::string>& texts)
{
    std::atomic<size_t> nNext{0};
    auto Work = [&] {
        for (size_t k; (k = nNext++) < which.size();) {
            const size_t i = which[k];
            texts[i] = TableText(MeasureFile(opt.files[i], grids[i], opt, nThreads), opt.files[i], opt.format);
        }
    };
    std::vector<std::thread> workers;
    for (int k = 1; k < std::min<int>(nJobs, int(which.size())); ++k) {
        try {
            workers.emplace_back(Work);
        } catch (const std::system_error&) {
            break; // no thread to be had: the others, and this one, do the work
        }
    }
    Work();
    for (std::thread& t : workers)
        t.join();
}

// A scratch file's bytes; empty when there is none.
std::string ReadScratch(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files' tables measured in worker processes, as TableText gives them:
// empty for a file whose worker died, whenever it died (its line is already
// said). Files whose rows could not pass through the scratch folder (none to
// be made, a full or read-only disk) are listed in lost, for this process to
// measure: a worker says nothing of the scratch folder's trouble.
void MeasureInWorkers(const MeasureOptions& opt, const std::vector<std::string>& grids,
                      std::vector<std::string>& texts, std::vector<size_t>& lost)
{
    const char* szTmp = std::getenv("TMPDIR");
    std::string strDir = (szTmp && *szTmp ? std::string(szTmp) : std::string("/tmp")) + "/sonavel-measure.XXXXXX";
    if (!::mkdtemp(strDir.data())) {
        for (size_t i = 0; i < opt.files.size(); ++i)
            lost.push_back(i);
        return;
    }
    BatchPlan plan;
    plan.nJobs = opt.nJobs;
    plan.strDir = strDir;
    plan.files = opt.files;
    for (size_t i = 0; i < opt.files.size(); ++i)
        plan.outputs.push_back(strDir + "/" + std::to_string(i));
    plan.fnJob = [&](const std::string&, const std::string& strOut, int nThreads) {
        const size_t i = size_t(std::stoul(fs::path(strOut).filename().string()));
        const std::string strText = TableText(MeasureFile(opt.files[i], grids[i], opt, nThreads), opt.files[i],
                                              opt.format);
        files::COutputFile scratch(PartialName(), kPartialNameSize);
        return scratch.Open(strOut) && scratch.Write(strText.data(), strText.size()) && scratch.Commit();
    };
    InstallSignalHandlers();
    SetScratch(&plan.outputs, strDir.c_str());
    // A worker killed once its rows were in place has been said to have
    // failed: its rows are left out with it.
    std::vector<EJobEnd> ends;
    RunBatch(plan, &ends);
    for (size_t i = 0; i < plan.outputs.size(); ++i) {
        if (ends[i] == EJobEnd::Done)
            texts[i] = ReadScratch(plan.outputs[i]);
        if (ends[i] != EJobEnd::Died && texts[i].empty())
            lost.push_back(i);
    }
    SetScratch(nullptr, nullptr);
    std::error_code ec;
    fs::remove_all(strDir, ec);
}

} // namespace

int RunMeasure(int argc, char** argv)
{
    MeasureOptions opt;
    if (const int nStatus = ParseOptions(argc, argv, opt); nStatus != 0)
        return nStatus;
    std::vector<std::string> grids;
    for (const std::string& f : opt.files)
        grids.push_back(opt.strTextGrid.empty() ? TextGridBeside(f) : opt.strTextGrid);
    if (!opt.strOut.empty()) {
        std::vector<std::string> inputs = opt.files;
        inputs.insert(inputs.end(), grids.begin(), grids.end());
        if (CInputFiles(inputs).Refuses(opt.files.front(), opt.strOut))
            return 1;
    }
    // -j N: N files at once, one core each; by default the cores a smaller
    // batch leaves idle share each file's analyses (one file gets them all).
    const int nCores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int nFiles = int(opt.files.size());
    const int nJobs = std::max(1, std::min(opt.nJobs > 0 ? opt.nJobs : nCores, nFiles));
    const int nThreads = opt.nJobs > 0 ? 1 : std::max(1, nCores / nJobs);
    std::vector<std::string> texts(opt.files.size());
    std::vector<size_t> lost;
    if (nFiles > 1 && opt.nJobs != 1) {
        MeasureInWorkers(opt, grids, texts, lost);
    } else {
        for (size_t i = 0; i < opt.files.size(); ++i)
            lost.push_back(i);
    }
    MeasureHere(opt, grids, lost, nJobs, nThreads, texts);

    std::string strText = MeasureTableStart(opt.format);
    bool bFirst = true, bAllOk = true;
    for (const std::string& t : texts) {
        if (t.empty() || t[0] != 'R') {
            if (!t.empty())
                PrintError(t.substr(1));
            bAllOk = false;
        } else if (t.size() > 1) {
            // Each file's JSON objects were written as the table's first.
            if (!bFirst && opt.format == EMeasureFormat::Json)
                strText += ',';
            strText.append(t, 1, std::string::npos);
            bFirst = false;
        }
    }
    strText += MeasureTableEnd(opt.format);
    // A table of no file at all would put a header alone where a table was.
    if (bFirst && !bAllOk && !opt.strOut.empty()) {
        PrintError(opt.strOut + ": not written, as no file could be measured");
        return 1;
    }
    if (!opt.strOut.empty())
        InstallSignalHandlers();
    const bool bWritten = WriteOutput(opt.strOut, [&](WriteFn pfnWrite, void* pContext) {
        return pfnWrite(pContext, strText.data(), strText.size());
    });
    return bWritten && bAllOk ? 0 : 1;
}

} // namespace analyze
} // namespace sonavel
