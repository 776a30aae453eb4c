// The batch of worker processes: N workers share one page in which each
// file has a state (pending, held by worker slot k, done, failed). A worker
// claims a file with one compare-and-swap, so at any moment the parent knows
// which file each worker holds. A worker that dies is replaced; only the file
// it held is blamed, and its temporary output (named in its slot of the page)
// is removed. The workers end with the parent: a signal to the parent is passed
// on and waited for, and a parent killed outright takes them along through
// PR_SET_PDEATHSIG.
#include "player/analyze/FileBatch.h"
#include "player/analyze/FileBatchParts.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <thread>

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/CInputFiles.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/OutputFile.h"
#include "common/OutputFile.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

// File states in the shared page; kHeld + k: held by the worker in slot k.
enum : int32_t { kPending, kDone, kFailed, kDied, kHeld };

// The parent's pid and its live workers, for the signal handler.
pid_t g_nParentPid = 0;
std::atomic<pid_t> g_workerPids[kMaxJobs];
char* g_pSlotNames = nullptr; // one name per worker slot, in the shared page
int g_nSlots = 0;
const std::vector<std::string>* g_pScratchFiles = nullptr;
const char* g_szScratchDir = nullptr;

// A signal to the parent ends its workers, and removes what they leave, first.
void EndWorkers(int nSignal)
{
    if (::getpid() == g_nParentPid) {
        for (int k = 0; k < g_nSlots; ++k)
            if (const pid_t pid = g_workerPids[k].load(); pid > 0)
                ::kill(pid, nSignal);
        for (int k = 0; k < g_nSlots; ++k) {
            if (const pid_t pid = g_workerPids[k].load(); pid > 0)
                ::waitpid(pid, nullptr, 0);
            // A worker's own handler removes its file; this covers one that died otherwise.
            char* szName = g_pSlotNames + size_t(k) * kPartialNameSize;
            if (*szName)
                ::unlink(szName);
        }
        if (g_pScratchFiles)
            for (const std::string& strFile : *g_pScratchFiles)
                ::unlink(strFile.c_str());
        if (g_szScratchDir)
            ::rmdir(g_szScratchDir);
    }
}

// Files done of all, and the time so far, on one line of a terminal.
class CProgress {
public:
    explicit CProgress(size_t nTotal) : m_nTotal(nTotal), m_bShow(::isatty(STDERR_FILENO) == 1) {}
    bool IsShown() const { return m_bShow; }
    void Done(size_t nDone)
    {
        if (!m_bShow || nDone == m_nShown)
            return;
        m_nShown = nDone;
        const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        std::fprintf(stderr, "\rsonavel-analyze: %zu of %zu files, %.1f s%s", nDone, m_nTotal, dSeconds,
                     nDone == m_nTotal ? "\n" : "");
        std::fflush(stderr);
    }

private:
    size_t m_nTotal;
    size_t m_nShown = size_t(-1);
    bool m_bShow;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The batch's shared page: counters, one state per file, one temporary-file
// name per worker slot.
class CBatchPage {
public:
    CBatchPage(size_t nFiles, int nSlots) : m_nFiles(nFiles)
    {
        m_nBytes = sizeof(Counters) + nFiles * sizeof(std::atomic<int32_t>) + size_t(nSlots) * kPartialNameSize;
        void* p = ::mmap(nullptr, m_nBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return;
        m_pBase = static_cast<char*>(p);
        m_pCounters = new (m_pBase) Counters;
        m_pStates = reinterpret_cast<std::atomic<int32_t>*>(m_pBase + sizeof(Counters));
        for (size_t i = 0; i < nFiles; ++i)
            new (&m_pStates[i]) std::atomic<int32_t>(kPending);
        m_pNames = m_pBase + sizeof(Counters) + nFiles * sizeof(std::atomic<int32_t>);
    }
    ~CBatchPage()
    {
        if (m_pBase)
            ::munmap(m_pBase, m_nBytes);
    }
    CBatchPage(const CBatchPage&) = delete;
    CBatchPage& operator=(const CBatchPage&) = delete;

    bool IsValid() const { return m_pBase != nullptr; }
    std::atomic<int32_t>& State(size_t i) { return m_pStates[i]; }
    char* SlotName(int k) { return m_pNames + size_t(k) * kPartialNameSize; }
    char* Names() { return m_pNames; }
    std::atomic<int>& Next() { return m_pCounters->nNext; }
    std::atomic<int>& Done() { return m_pCounters->nDone; }

    // The first file still pending, or the number of files.
    size_t FirstPending()
    {
        size_t i = 0;
        while (i < m_nFiles && m_pStates[i].load() != kPending)
            ++i;
        return i;
    }

private:
    struct Counters {
        std::atomic<int> nNext{0}; // where workers look for the next file
        std::atomic<int> nDone{0}; // files finished, well or not
    };
    size_t m_nFiles;
    size_t m_nBytes = 0;
    char* m_pBase = nullptr;
    Counters* m_pCounters = nullptr;
    std::atomic<int32_t>* m_pStates = nullptr;
    char* m_pNames = nullptr;
};

// Takes files until none is left. The counter only says where to look: a file
// is this worker's once its state went from pending to held by nSlot.
void Work(CBatchPage& page, const FileBatch& plan, const std::vector<std::string>& outputs, int nSlot,
          int nThreads, CProgress* pProgress)
{
    const int nFiles = int(plan.files.size());
    for (;;) {
        const int i = page.Next().fetch_add(1);
        if (i >= nFiles)
            return;
        int32_t nState = kPending;
        if (!page.State(size_t(i)).compare_exchange_strong(nState, kHeld + nSlot))
            continue;
        const bool bOk = plan.fnJob(plan.files[size_t(i)], outputs[size_t(i)], nThreads);
        page.State(size_t(i)) = bOk ? kDone : kFailed;
        const int nDone = ++page.Done();
        if (pProgress)
            pProgress->Done(size_t(nDone));
    }
}

// Each output named after its input. A name taken twice would overwrite the
// first file's output, and an output that is an input (the same file, by any
// name) would replace that input: the input that would write it fails instead.
// An empty entry marks a file refused.
std::vector<std::string> OutputNames(const FileBatch& plan)
{
    if (!plan.outputs.empty())
        return plan.outputs;
    const CInputFiles inputs(plan.files);
    std::vector<std::string> outputs;
    std::set<std::string> taken;
    for (const std::string& f : plan.files) {
        const std::string name = fs::path(f).stem().string() + plan.strSuffix;
        const std::string out = (fs::path(plan.strDir) / name).string();
        if (!taken.insert(name).second) {
            PrintError(f + ": another input already writes " + name);
            outputs.emplace_back();
        } else if (inputs.Refuses(f, out)) {
            outputs.emplace_back();
        } else {
            outputs.push_back(out);
        }
    }
    return outputs;
}

} // namespace

// Files a signal to the parent also removes, after its workers ended, then the
// folder szDir that held them; nullptr for none. The strings must live and
// stay unchanged until this is called again.
void SetScratch(const std::vector<std::string>* pFiles, const char* szDir)
{
    g_pScratchFiles = nullptr; // a signal meanwhile sees none rather than half
    g_szScratchDir = szDir;
    g_pScratchFiles = pFiles;
}

// N jobs use N cores: each file is analysed on one thread. By default the
// cores a smaller batch leaves idle share each file's analysis (one file gets
// them all).
int JobCount(int nJobs, std::size_t nFiles)
{
    const int nCores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return std::max(1, std::min<int>(nJobs > 0 ? nJobs : nCores, int(nFiles)));
}
int ThreadsPerJob(int nJobs, std::size_t nFiles)
{
    const int nCores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return nJobs > 0 ? 1 : std::max(1, nCores / JobCount(nJobs, nFiles));
}

int RunFileBatch(const FileBatch& opt, std::vector<EJobEnd>* pEnds)
{
    if (pEnds)
        pEnds->assign(opt.files.size(), EJobEnd::Failed);
    std::error_code ec;
    fs::create_directories(opt.strDir, ec);
    if (ec || !fs::is_directory(opt.strDir)) {
        PrintError("cannot make the output folder " + opt.strDir + (ec ? ": " + ec.message() : ""));
        return 1;
    }
    const std::vector<std::string> outputs = OutputNames(opt);
    const size_t nFiles = opt.files.size();

    const int nJobs = JobCount(opt.nJobs, nFiles);
    const int nThreads = ThreadsPerJob(opt.nJobs, nFiles);
    CBatchPage page(nFiles, nJobs);
    if (!page.IsValid()) {
        PrintError(std::string("cannot share the work between processes: ") + std::strerror(errno));
        return 1;
    }
    for (size_t i = 0; i < nFiles; ++i) {
        if (outputs[i].empty()) {
            page.State(i) = kFailed;
            ++page.Done();
        }
    }

    CProgress progress(nFiles);
    std::fflush(nullptr);
    g_nParentPid = ::getpid();
    g_pSlotNames = page.Names();
    g_nSlots = nJobs;
    InstallSignalHandlers(EndWorkers);
    // A worker is started in slot k; false when no process could be made.
    auto Start = [&](int k) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The parent may have died before the request took effect.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != g_nParentPid)
                ::_exit(1);
            SetPartialName(page.SlotName(k));
            Work(page, opt, outputs, k, nThreads, nullptr);
            ::_exit(std::fflush(nullptr) == 0 ? 0 : 1);
        }
        if (pid > 0)
            g_workerPids[k] = pid;
        return pid > 0;
    };
    int nRunning = 0;
    for (int k = 0; k < nJobs && nJobs > 1; ++k)
        nRunning += Start(k);
    // Replacements are bounded, so workers that die before taking any file
    // cannot make the batch go on for ever.
    int nStartsLeft = int(nFiles) + nJobs;

    // Progress on a terminal is redrawn every 20 ms while waiting; without it
    // the wait blocks, so the run ends the moment its last worker does.
    const int nWaitFlags = progress.IsShown() ? WNOHANG : 0;
    while (nRunning > 0) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, nWaitFlags);
        if (pid < 0 && errno != EINTR)
            break;
        const int k = pid > 0 ? int(std::find(g_workerPids, g_workerPids + nJobs, pid) - g_workerPids) : nJobs;
        if (k == nJobs) {
            if (pid == 0)
                ::usleep(20000);
            progress.Done(size_t(page.Done().load()));
            continue;
        }
        g_workerPids[k] = 0;
        --nRunning;
        if (*page.SlotName(k)) {
            ::unlink(page.SlotName(k));
            *page.SlotName(k) = 0;
        }
        for (size_t i = 0; i < nFiles; ++i) {
            if (page.State(i) != kHeld + k)
                continue;
            page.State(i) = kDied;
            ++page.Done();
            PrintError(opt.files[i] + ": the analysis ended abnormally" +
                       (WIFSIGNALED(status) ? " (signal " + std::to_string(WTERMSIG(status)) + ")" : ""));
        }
        // A worker may have died between looking at a file and claiming it:
        // the search starts again at the first file nobody took.
        const size_t nFirst = page.FirstPending();
        if (nFirst < nFiles) {
            int nNext = page.Next().load();
            while (nNext > int(nFirst) && !page.Next().compare_exchange_weak(nNext, int(nFirst))) {
            }
            if (nStartsLeft > 0 && Start(k)) {
                --nStartsLeft;
                ++nRunning;
            }
        }
        progress.Done(size_t(page.Done().load()));
    }
    // One job, no process to be had, or workers that kept dying: this one does the rest.
    page.Next() = int(page.FirstPending());
    Work(page, opt, outputs, nJobs, nThreads, &progress);
    g_nSlots = 0;

    size_t nFailed = 0;
    for (size_t i = 0; i < nFiles; ++i) {
        const int32_t nState = page.State(i);
        nFailed += nState != kDone;
        if (pEnds)
            (*pEnds)[i] = nState == kDone ? EJobEnd::Done : nState == kDied ? EJobEnd::Died : EJobEnd::Failed;
    }
    return nFailed ? 1 : 0;
}

} // namespace analyze
} // namespace sonavel
