#pragma once
// What the commands that track a measure over a whole sound (pitch, formants,
// intensity) share: the files and batch options (-j, -o, --format, --channel),
// one file to standard output or a batch of outputs named after their inputs.
#include <functional>
#include <string>
#include <vector>

#include "player/analysis/core/CSoundInput.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

struct TrackOptions {
    int nJobs = 0; // 0: one per core
    bool bToDir = false;
    std::string strDir = ".";
    EFormat format = EFormat::Csv;
    int nChannel = 1; // the channel of each file, 1 for the first
    std::vector<std::string> files;
};

struct TrackCommand {
    TrackCommand(const char* szUsageLine, const char* szOutputSuffix, std::vector<EFormat> taken)
        : szUsage(szUsageLine), szSuffix(szOutputSuffix), formats(std::move(taken))
    {
    }
    const char* szUsage;  // the whole usage line
    const char* szSuffix; // before the format's extension: ".formants"
    std::vector<EFormat> formats; // those --format takes
    // The command's own options (its settings) at the reader's argument:
    // true when the argument was one of them (a value refused: the reader's
    // Fail, and the status is 2).
    std::function<bool(COptionReader& args)> fnOption;
    // The settings checked once all options are read: the line that says
    // which one is refused and why ("--floor: ..."), empty when all are taken.
    std::function<std::string()> fnRefusal;
    // Analyses one file and writes it through WriteOutput(strOut, ...). False
    // after one line on stderr.
    std::function<bool(const std::string& strIn, const std::string& strOut, const TrackOptions& opt, int nThreads)>
        fnAnalyse;
};

// One file of a track command: fnDoor over channel opt.nChannel of strIn; when
// it fails, one line on stderr (fnRefusal's for a setting the file's rate
// refuses, when given, else DescribeOutcome's in words) and false; else what
// fnText writes, through WriteOutput(strOut, ...).
bool TrackFile(const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
               const analysis::OutcomeWords& words,
               const std::function<analysis::SoundOutcome(const analysis::CSoundInput& input)>& fnDoor,
               const std::function<bool(const analysis::SoundOutcome& outcome, WriteFn pfnWrite, void* pContext)>& fnText,
               const std::function<std::string(int nRate)>& fnRefusal = nullptr);

// Reads argv (argv[0] the command's name) and runs the command over its
// files: one file and no -o to standard output on every core, else the batch
// (FileBatch.h). Returns the exit status: 2 for a bad option, 1 when a file
// failed.
int RunTrackCommand(const TrackCommand& command, int argc, char** argv);

} // namespace analyze
} // namespace sonavel
