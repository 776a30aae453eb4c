#pragma once
// The pitch command's parts shared between its one-file path (PitchCommand.cpp)
// and its batch of worker processes (PitchBatch.cpp).
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "player/analyze/PitchFormats.h"

namespace sonavel {
namespace analyze {

struct PitchOptions {
    int nJobs = 0;            // 0: one per core
    bool bToDir = false;
    std::string strDir = ".";
    EPitchFormat format = EPitchFormat::Csv;
    sonavel::pitch::PitchSettings settings; // the tracker, its range and step
    int nChannel = 1;                       // the channel of each file, 1 for the first
    std::vector<std::string> files;
};

// The most -j accepts: each worker has a slot in the batch's shared page.
constexpr int kMaxJobs = 1024;

// Room for the name of an output's temporary file, with its terminator.
constexpr std::size_t kPartialNameSize = 4096;

// What became of one file's output.
enum class EFileResult {
    Written,      // the whole output is in place
    FailedAndSaid // nothing was written, and one line on stderr said why
};

// Loads, tracks and writes one file: to standard output when strOut is empty,
// otherwise through a new file in the same folder renamed to strOut. While
// that file exists its name is kept in the buffer PartialName() returns, so a
// signal (or, for a worker, the parent) can remove it.
EFileResult AnalyseOne(const std::string& strIn, const std::string& strOut, const PitchOptions& opt, int nThreads);

// The buffer AnalyseOne keeps the temporary file's name in: a static one in
// the parent, the worker's own slot of the shared page in a worker.
char* PartialName();
void SetPartialName(char* szBuffer);

// SIGINT, SIGTERM and SIGHUP remove the temporary file; in the parent of a
// batch they first pass the signal to the workers and wait for them.
void InstallSignalHandlers();

// Files a signal to the parent also removes, after its workers ended, then the
// folder szDir that held them; nullptr for none. The strings must live and
// stay unchanged until this is called again.
void SetScratch(const std::vector<std::string>* pFiles, const char* szDir);

// Several files, or -o DIR: one output per input, in worker processes.
int RunBatch(const PitchOptions& opt);

// Any command's batch as pitch runs its own: fnJob analyses one input into its
// output (AnalyseOne for pitch) on nThreads threads, one line on stderr for a
// failure; each output is named after its input with strSuffix (".csv",
// ".formants.csv") in strDir, unless outputs names each file's output.
struct BatchPlan {
    int nJobs = 0; // 0: one per core
    std::string strDir = ".";
    std::vector<std::string> files;
    std::string strSuffix;
    std::vector<std::string> outputs; // empty, or one per file: the caller's names
    std::function<bool(const std::string& strIn, const std::string& strOut, int nThreads)> fnJob;
};
// How each file's job ended.
enum class EJobEnd {
    Done,   // the job ended and said its output was written
    Failed, // the job ended and said it was not, or the file was refused before
    Died,   // its worker died holding it (said on stderr), even when its output
            // was already in place
};
// pEnds (when given) receives each file's end.
int RunBatch(const BatchPlan& plan, std::vector<EJobEnd>* pEnds = nullptr);

} // namespace analyze
} // namespace sonavel
