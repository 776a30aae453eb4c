#pragma once
// What the batch of worker processes shares with the texts collected through
// it (CollectTexts): the scratch files a signal also removes, and how many
// jobs and threads per job a batch of files runs with.
//
// Called on the command's main thread; SetScratch's strings belong to the
// caller and must outlive the next call.
#include <cstddef>
#include <string>
#include <vector>

namespace sonavel {
namespace analyze {

// Files a signal to the parent also removes, after its workers ended, then the
// folder szDir that held them; nullptr for none.
void SetScratch(const std::vector<std::string>* pFiles, const char* szDir);

// The worker processes a batch of nFiles runs (-j nJobs; 0: one per core, no
// more than the files), and the threads each file's analysis gets.
int JobCount(int nJobs, std::size_t nFiles);
int ThreadsPerJob(int nJobs, std::size_t nFiles);

} // namespace analyze
} // namespace sonavel
