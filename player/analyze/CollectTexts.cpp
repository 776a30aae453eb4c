// The texts of a batch's files in their order (CollectTexts): made by worker
// processes through a scratch folder where there are several files and jobs,
// in this process otherwise or where the scratch folder fails them.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "common/OutputFile.h"
#include "player/analyze/FileBatch.h"
#include "player/analyze/FileBatchParts.h"
#include "player/analyze/OutputFile.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

// A scratch file's bytes; empty when there is none.
std::string ReadScratch(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The texts of files made in worker processes, as CollectTexts hands them
// out; lost lists the files whose text could not pass through the scratch
// folder, for this process to make: a worker says nothing of its trouble.
void CollectInWorkers(const std::vector<std::string>& files, int nJobs,
                      const std::function<std::string(std::size_t, int)>& fnText, std::vector<std::string>& texts,
                      std::vector<std::size_t>& lost)
{
    const char* szTmp = std::getenv("TMPDIR");
    std::string strDir = (szTmp && *szTmp ? std::string(szTmp) : std::string("/tmp")) + "/sonavel-batch.XXXXXX";
    if (!::mkdtemp(strDir.data())) {
        for (std::size_t i = 0; i < files.size(); ++i)
            lost.push_back(i);
        return;
    }
    FileBatch batch;
    batch.nJobs = nJobs;
    batch.strDir = strDir;
    batch.files = files;
    for (std::size_t i = 0; i < files.size(); ++i)
        batch.outputs.push_back(strDir + "/" + std::to_string(i));
    batch.fnJob = [&](const std::string&, const std::string& strOut, int nThreads) {
        const std::size_t i = std::size_t(std::stoul(fs::path(strOut).filename().string()));
        const std::string strText = fnText(i, nThreads);
        files::COutputFile scratch(PartialName(), kPartialNameSize);
        return scratch.Open(strOut) && scratch.Write(strText.data(), strText.size()) && scratch.Commit();
    };
    SetScratch(&batch.outputs, strDir.c_str());
    // A worker killed once its text was in place has been said to have
    // failed: its text is left out with it.
    std::vector<EJobEnd> ends;
    RunFileBatch(batch, &ends);
    for (std::size_t i = 0; i < batch.outputs.size(); ++i) {
        if (ends[i] == EJobEnd::Done)
            texts[i] = ReadScratch(batch.outputs[i]);
        if (ends[i] != EJobEnd::Died && texts[i].empty())
            lost.push_back(i);
    }
    SetScratch(nullptr, nullptr);
    std::error_code ec;
    fs::remove_all(strDir, ec);
}

} // namespace

std::vector<std::string> CollectTexts(const std::vector<std::string>& files, int nJobs,
                                      const std::function<std::string(std::size_t i, int nThreads)>& fnText)
{
    std::vector<std::string> texts(files.size());
    std::vector<std::size_t> lost;
    if (files.size() > 1 && nJobs != 1) {
        CollectInWorkers(files, nJobs, fnText, texts, lost);
    } else {
        for (std::size_t i = 0; i < files.size(); ++i)
            lost.push_back(i);
    }
    const int nThreads = ThreadsPerJob(nJobs, files.size());
    for (const std::size_t i : lost)
        texts[i] = fnText(i, nThreads);
    return texts;
}

} // namespace analyze
} // namespace sonavel
