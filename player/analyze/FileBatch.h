#pragma once
// The batch every command of sonavel-analyze runs over several files: one job
// per file, in worker processes (each file's job on one thread of one of N
// processes, -j N), so a file that kills its worker (a reader fault, memory
// the system refuses) costs only its own output. Either each file's job
// writes an output of its own (RunFileBatch), or each file's text comes back
// to be joined in the files' order (CollectTexts).
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace sonavel {
namespace analyze {

// One output per file: fnJob analyses one input into its output on nThreads
// threads, with one line on stderr for a failure. Each output is named after
// its input with strSuffix (".csv", ".formants.csv") in strDir, unless
// outputs names each file's output; an output that another input already
// writes, or that is an input, fails that input alone.
struct FileBatch {
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
// The exit status: 1 when a file failed. pEnds (when given) receives each
// file's end.
int RunFileBatch(const FileBatch& batch, std::vector<EJobEnd>* pEnds = nullptr);

// Each file's text as fnText(i, nThreads) makes it for files[i], in the
// files' order: with several files and nJobs other than 1, made in worker
// processes, which hand it over through files in a private scratch folder
// under $TMPDIR; a file whose worker died has an empty text (its line is
// already said). A text the scratch folder could not take (none to be made,
// a full or read-only disk) is made in this process instead, as are all of
// them with one file or one job.
std::vector<std::string> CollectTexts(const std::vector<std::string>& files, int nJobs,
                                      const std::function<std::string(std::size_t i, int nThreads)>& fnText);

} // namespace analyze
} // namespace sonavel
