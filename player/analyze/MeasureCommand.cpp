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
// rows; the others are still written and the status is 1.
//
// Several files and -j other than 1 are measured in pitch's batch of worker
// processes, so a file that kills its worker (a reader fault, memory the
// system refuses) loses only its own rows: each worker writes a file's rows,
// already as text, to a private scratch folder, and the parent joins them in
// the order of the files.
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

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/table/IntervalTable.h"
#include "player/analysis/textgrid/AtomicFile.h"
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

// Every file's table, nJobs files at once, each on nThreads threads. A file's
// rows do not depend on which worker measured it.
std::vector<FileTable> MeasureAll(const MeasureOptions& opt, const std::vector<std::string>& grids, int nJobs,
                                  int nThreads)
{
    std::vector<FileTable> tables(opt.files.size());
    std::atomic<size_t> nNext{0};
    auto Work = [&] {
        for (size_t i; (i = nNext++) < opt.files.size();)
            tables[i] = MeasureFile(opt.files[i], grids[i], opt, nThreads);
    };
    std::vector<std::thread> workers;
    for (int k = 1; k < nJobs; ++k) {
        try {
            workers.emplace_back(Work);
        } catch (const std::system_error&) {
            break; // no thread to be had: the others, and this one, do the work
        }
    }
    Work();
    for (std::thread& t : workers)
        t.join();
    return tables;
}

// A scratch file's bytes; empty when there is none.
std::string ReadScratch(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A worker's output for one file: 'R' and its rows as the table has them
// (JSON objects without the comma before the first), or 'E' and the line that
// says why it has none.
std::string ScratchText(const FileTable& table, const std::string& strFile, EMeasureFormat format)
{
    if (!table.bOk)
        return "E" + table.strError;
    std::string strText = "R";
    bool bFirst = true;
    AppendMeasureRows(strText, format, strFile, table.rows, bFirst);
    return strText;
}

// The files' tables measured in worker processes, as ScratchText gives them:
// empty for a file whose worker died, whenever it died (its line is already
// said). False when no scratch folder could be made.
bool MeasureInWorkers(const MeasureOptions& opt, const std::vector<std::string>& grids,
                      std::vector<std::string>& texts)
{
    const char* szTmp = std::getenv("TMPDIR");
    std::string strDir = (szTmp && *szTmp ? std::string(szTmp) : std::string("/tmp")) + "/sonavel-measure.XXXXXX";
    if (!::mkdtemp(strDir.data()))
        return false;
    BatchPlan plan;
    plan.nJobs = opt.nJobs;
    plan.strDir = strDir;
    plan.files = opt.files;
    for (size_t i = 0; i < opt.files.size(); ++i)
        plan.outputs.push_back(strDir + "/" + std::to_string(i));
    plan.fnJob = [&](const std::string&, const std::string& strOut, int nThreads) {
        const size_t i = size_t(std::stoul(fs::path(strOut).filename().string()));
        const std::string strText = ScratchText(MeasureFile(opt.files[i], grids[i], opt, nThreads), opt.files[i],
                                                opt.format);
        return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) {
            return pfnWrite(pContext, strText.data(), strText.size());
        });
    };
    InstallSignalHandlers();
    SetScratch(&plan.outputs, strDir.c_str());
    // A worker killed once its rows were in place has been said to have
    // failed: its rows are left out with it.
    std::vector<bool> done;
    RunBatch(plan, &done);
    texts.clear();
    for (size_t i = 0; i < plan.outputs.size(); ++i)
        texts.push_back(done[i] ? ReadScratch(plan.outputs[i]) : std::string());
    SetScratch(nullptr, nullptr);
    std::error_code ec;
    fs::remove_all(strDir, ec);
    return true;
}

bool WriteTable(const std::string& strText, const MeasureOptions& opt)
{
    if (opt.strOut.empty()) {
        if (std::fwrite(strText.data(), 1, strText.size(), stdout) != strText.size() || std::fflush(stdout) != 0) {
            PrintError("cannot write the standard output");
            return false;
        }
        return true;
    }
    int nErrno = 0;
    if (!sonavel::textgrid::WriteFileAtomically(opt.strOut, strText, nErrno)) {
        PrintError("cannot write " + opt.strOut + ": " + std::strerror(nErrno));
        return false;
    }
    return true;
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
    std::string strText = MeasureTableStart(opt.format);
    bool bFirst = true, bAllOk = true;
    std::vector<std::string> texts;
    if (nFiles > 1 && opt.nJobs != 1 && MeasureInWorkers(opt, grids, texts)) {
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
    } else {
        const std::vector<FileTable> tables = MeasureAll(opt, grids, nJobs, nThreads);
        for (size_t i = 0; i < tables.size(); ++i) {
            if (!tables[i].bOk) {
                PrintError(tables[i].strError);
                bAllOk = false;
                continue;
            }
            AppendMeasureRows(strText, opt.format, opt.files[i], tables[i].rows, bFirst);
        }
    }
    strText += MeasureTableEnd(opt.format);
    return WriteTable(strText, opt) && bAllOk ? 0 : 1;
}

} // namespace analyze
} // namespace sonavel
