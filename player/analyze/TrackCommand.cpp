#include "player/analyze/TrackCommand.h"

#include <cmath>
#include <cstdlib>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/CWaveFileSamples.h"
#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/PitchBatch.h"

namespace sonavel {
namespace analyze {

using sonavel::pitch::ETrackResult;

namespace {

int Usage(const TrackCommand& command)
{
    PrintError(command.szUsage);
    return 2;
}

// 0 when the options are good; 2 after a line on stderr when not.
int ParseOptions(const TrackCommand& command, int argc, char** argv, TrackOptions& opt)
{
    bool bFilesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        bool bOwn = false;
        if (bFilesOnly || a.empty() || a[0] != '-' || a == "-") {
            opt.files.push_back(a);
            continue;
        }
        for (const std::string& name : command.ownOptions) {
            if (OptionValue(argc, argv, i, "--" + name, v)) {
                if (!command.fnOption(name, v))
                    return 2;
                bOwn = true;
                break;
            }
        }
        if (bOwn)
            continue;
        if (a == "--") {
            bFilesOnly = true;
        } else if (a == "-j" && i + 1 < argc) {
            char* pEnd = nullptr;
            const long n = std::strtol(argv[++i], &pEnd, 10);
            if (!*argv[i] || *pEnd || n < 1 || n > kMaxJobs)
                return Usage(command);
            opt.nJobs = int(n);
        } else if (ChannelOption(argc, argv, i, opt.nChannel)) {
            if (opt.nChannel == 0)
                return 2;
        } else if (OptionValue(argc, argv, i, "--step", v)) {
            if (!ParseNumber(v, "step", opt.dStepS))
                return 2;
        } else if (a == "-o" && i + 1 < argc && *argv[i + 1]) {
            opt.strDir = argv[++i];
            opt.bToDir = true;
        } else if (OptionValue(argc, argv, i, "--format", v)) {
            if (v != "csv" && v != "json")
                return Usage(command);
            opt.bJson = v == "json";
        } else {
            return Usage(command);
        }
    }
    if (opt.files.empty())
        return Usage(command);
    return command.fnCheck(opt) ? 0 : 2;
}

} // namespace

bool ParseNumber(const std::string& strValue, const char* szName, double& d)
{
    char* pEnd = nullptr;
    d = std::strtod(strValue.c_str(), &pEnd);
    if (strValue.empty() || *pEnd || !std::isfinite(d)) {
        PrintError(std::string("--") + szName + ": '" + strValue + "' is not a number");
        return false;
    }
    return true;
}

bool TrackSound(const std::string& strIn, int nChannel, const std::function<bool(int)>& fnCheckRate,
                const std::function<ETrackResult(const CSampleSource&, int, int)>& fnTrack, ETrackResult& nResult)
{
    nResult = sonavel::pitch::TRACK_DONE;
    // Another channel than the first is the loader's to find (or to refuse).
    if (nChannel == 1) {
        sonavel::analysis::CWaveFileSamples file;
        if (file.Open(strIn)) {
            if (!fnCheckRate(file.Rate()))
                return false;
            nResult = fnTrack(file, file.Count(), file.Rate());
            if (nResult != sonavel::pitch::TRACK_SOURCE_FAILED)
                return true;
        }
    }
    SampleStore store;
    std::string strReader;
    if (!LoadSound(strIn, store, strReader, nChannel) || !fnCheckRate(store.sampleRate))
        return false;
    CSampleLock lock(store.hSamples);
    const CMemorySamples samples(store.sampleCount > 0 ? lock.Samples() : nullptr, store.sampleCount);
    nResult = fnTrack(samples, store.sampleCount, store.sampleRate);
    return true;
}

int RunTrackCommand(const TrackCommand& command, int argc, char** argv)
{
    TrackOptions opt;
    if (const int nStatus = ParseOptions(command, argc, argv, opt); nStatus != 0)
        return nStatus;
    InstallSignalHandlers();
    if (opt.files.size() == 1 && !opt.bToDir)
        return command.fnAnalyse(opt.files[0], std::string(), opt, 0) ? 0 : 1;
    BatchPlan plan;
    plan.nJobs = opt.nJobs;
    plan.strDir = opt.strDir;
    plan.files = opt.files;
    plan.strSuffix = std::string(command.szSuffix) + (opt.bJson ? ".json" : ".csv");
    plan.fnJob = [&](const std::string& strIn, const std::string& strOut, int nThreads) {
        return command.fnAnalyse(strIn, strOut, opt, nThreads);
    };
    return RunBatch(plan);
}

} // namespace analyze
} // namespace sonavel
