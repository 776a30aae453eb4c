// sonavel-analyze pitch [-j N] [-o DIR] [--format csv|json|pitchtier] FILE...
//
// One file and no -o: the track on standard output. Several files, or -o DIR:
// one output per input in DIR (the current folder when not given), named
// after it (take7.wav -> DIR/take7.csv), each written to a new file and renamed
// into place, so an interrupted run leaves no half file. -j N analyses N files
// at once in as many single-threaded processes (default: one per core); a
// file's output is the same whatever N is. A single file to standard output is
// tracked on every core. A file that cannot be read gets one line on standard
// error and the others are still written; the status is 1 if any failed.
#include "player/analyze/AnalyzeCommands.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <atomic>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "player/analysis/CSignalMath.h"
#include "player/analyze/PitchFormats.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] = "usage: sonavel-analyze pitch [-j N] [-o DIR] [--format csv|json|pitchtier] FILE...";

struct PitchOptions {
    int nJobs = 0;            // 0: one per core
    bool bToDir = false;
    std::string strDir = ".";
    EPitchFormat format = EPitchFormat::Csv;
    std::vector<std::string> files;
};

// The output being written, removed should a signal end the process first.
char g_szPartial[4096];

void OnFatalSignal(int nSignal)
{
    if (g_szPartial[0])
        ::unlink(g_szPartial);
    std::signal(nSignal, SIG_DFL);
    std::raise(nSignal);
}

bool WriteToStream(void* pContext, const char* p, size_t n)
{
    return std::fwrite(p, 1, n, static_cast<std::FILE*>(pContext)) == n;
}

bool ParseOptions(int argc, char** argv, PitchOptions& opt)
{
    bool bFilesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (bFilesOnly || a.empty() || a[0] != '-' || a == "-") {
            opt.files.push_back(a);
        } else if (a == "--") {
            bFilesOnly = true;
        } else if (a == "-j" && i + 1 < argc) {
            char* pEnd = nullptr;
            const long n = std::strtol(argv[++i], &pEnd, 10);
            if (!*argv[i] || *pEnd || n < 1 || n > 1024)
                return false;
            opt.nJobs = int(n);
        } else if (a == "-o" && i + 1 < argc && *argv[i + 1]) {
            opt.strDir = argv[++i];
            opt.bToDir = true;
        } else if ((a == "--format" && i + 1 < argc) || a.rfind("--format=", 0) == 0) {
            const std::string f = a == "--format" ? argv[++i] : a.substr(9);
            if (f == "csv")
                opt.format = EPitchFormat::Csv;
            else if (f == "json")
                opt.format = EPitchFormat::Json;
            else if (f == "pitchtier")
                opt.format = EPitchFormat::PitchTier;
            else
                return false;
        } else {
            return false;
        }
    }
    return !opt.files.empty();
}

// Loads, tracks and writes one file: to standard output when strOut is empty,
// otherwise through a new file in the same folder renamed to strOut. One line
// on stderr for a failure.
bool AnalyseOne(const std::string& strIn, const std::string& strOut, EPitchFormat format, int nThreads)
{
    SampleStore store;
    std::string strReader;
    if (!LoadSound(strIn, store, strReader))
        return false;
    if (store.sampleRate <= 0) {
        PrintError(strIn + ": the sound has no sample rate, so no time axis");
        return false;
    }
    PitchTrack track;
    track.strFile = strIn;
    track.nSampleRate = store.sampleRate;
    track.nSampleCount = store.sampleCount;
    track.nValues = static_cast<size_t>(store.sampleCount) / 100 + 1;
    CSampleBlockHandle hPitch = CSampleBlock::Alloc(track.nValues * sizeof(int16_t));
    CSignalMath math;
    math.SetThreads(nThreads);
    if (!hPitch || math.TrackPitch(store, hPitch, 0, store.sampleCount) != 0) {
        PrintError(strIn + ": not enough memory to track the pitch");
        return false;
    }
    store.Clear(); // the samples are done with: not held while the text is written
    CSampleLock lock(hPitch);
    track.pPitch = lock.Samples();

    if (strOut.empty()) {
        if (!WritePitchTrack(track, format, WriteToStream, stdout) || std::fflush(stdout) != 0 || std::ferror(stdout)) {
            PrintError("cannot write the standard output");
            return false;
        }
        return true;
    }

    const fs::path out(strOut);
    const std::string strTemp = (out.parent_path() / ("." + out.filename().string() + ".XXXXXX")).string();
    if (strTemp.size() >= sizeof g_szPartial) {
        PrintError("cannot write " + strOut + ": the name is too long");
        return false;
    }
    std::strcpy(g_szPartial, strTemp.c_str());
    const int fd = ::mkstemp(g_szPartial);
    if (fd < 0) {
        const int err = errno;
        g_szPartial[0] = 0;
        PrintError("cannot write " + strOut + ": " + std::strerror(err));
        return false;
    }
    // mkstemp makes the file private; the output gets the usual mode.
    const mode_t nMask = ::umask(0);
    ::umask(nMask);
    ::fchmod(fd, 0666 & ~nMask);
    std::FILE* pFile = ::fdopen(fd, "wb");
    bool bOk = pFile && WritePitchTrack(track, format, WriteToStream, pFile) && std::fflush(pFile) == 0;
    int err = errno;
    if (pFile ? std::fclose(pFile) != 0 : ::close(fd) != 0) {
        err = bOk ? errno : err;
        bOk = false;
    }
    if (bOk && ::rename(g_szPartial, strOut.c_str()) != 0) {
        err = errno;
        bOk = false;
    }
    if (!bOk) {
        ::unlink(g_szPartial);
        PrintError("cannot write " + strOut + ": " + std::strerror(err));
    }
    g_szPartial[0] = 0;
    return bOk;
}

// The work of a batch, shared by its worker processes.
struct CBatchState {
    std::atomic<int> nNext{0}; // the next file to take
    std::atomic<int> nDone{0}; // files finished, well or not
};
enum : uint8_t { kPending, kDone, kFailed };

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

int RunBatch(const PitchOptions& opt)
{
    std::error_code ec;
    fs::create_directories(opt.strDir, ec);
    if (ec || !fs::is_directory(opt.strDir)) {
        PrintError("cannot make the output folder " + opt.strDir + (ec ? ": " + ec.message() : ""));
        return 1;
    }
    // Each output named after its input; a name taken twice would overwrite
    // the first file's output, so the later input fails instead.
    std::vector<std::string> outputs;
    std::set<std::string> taken;
    size_t nFailed = 0;
    for (const std::string& f : opt.files) {
        const std::string name = fs::path(f).stem().string() + FormatExtension(opt.format);
        if (!taken.insert(name).second) {
            PrintError(f + ": another input already writes " + name);
            outputs.emplace_back();
            ++nFailed;
        } else {
            outputs.push_back((fs::path(opt.strDir) / name).string());
        }
    }

    // N jobs use N cores: each file is tracked on one thread.
    const int nCores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int nJobs = std::max(1, std::min<int>(opt.nJobs > 0 ? opt.nJobs : nCores, int(opt.files.size())));
    // N workers, forked once each, take the next file from a counter they
    // share; each file's outcome is left in the shared page for the parent.
    const size_t nFiles = opt.files.size();
    void* pShared = ::mmap(nullptr, sizeof(CBatchState) + nFiles, PROT_READ | PROT_WRITE,
                           MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (pShared == MAP_FAILED) {
        PrintError(std::string("cannot share the work between processes: ") + std::strerror(errno));
        return 1;
    }
    auto* pState = new (pShared) CBatchState;
    auto* pOutcome = static_cast<std::atomic<uint8_t>*>(static_cast<void*>(static_cast<char*>(pShared) + sizeof(CBatchState)));
    for (size_t i = 0; i < nFiles; ++i)
        new (&pOutcome[i]) std::atomic<uint8_t>(outputs[i].empty() ? kFailed : kPending);
    pState->nDone = int(nFailed);

    CProgress progress(nFiles);
    auto Work = [&](bool bShowProgress) {
        for (;;) {
            const size_t i = size_t(pState->nNext.fetch_add(1));
            if (i >= nFiles)
                return;
            if (outputs[i].empty())
                continue;
            pOutcome[i] = AnalyseOne(opt.files[i], outputs[i], opt.format, 1) ? kDone : kFailed;
            const int nDone = ++pState->nDone;
            if (bShowProgress)
                progress.Done(size_t(nDone));
        }
    };
    std::fflush(nullptr);
    std::vector<pid_t> workers;
    for (int k = 0; k < nJobs && nJobs > 1; ++k) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            Work(false);
            ::_exit(std::fflush(nullptr) == 0 ? 0 : 1);
        }
        if (pid > 0)
            workers.push_back(pid);
    }
    if (workers.empty()) {
        Work(true); // one job, or no process to be had: this one does it all
    } else {
        // Progress on a terminal is redrawn every 20 ms while waiting; without it
        // the wait blocks, so the run ends the moment its last worker does.
        const int nWaitFlags = progress.IsShown() ? WNOHANG : 0;
        while (!workers.empty()) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, nWaitFlags);
            if (pid > 0)
                workers.erase(std::remove(workers.begin(), workers.end(), pid), workers.end());
            else if (pid < 0 && errno != EINTR)
                break;
            else
                ::usleep(20000);
            progress.Done(size_t(pState->nDone.load()));
        }
    }
    // A file still pending was with a worker that ended abnormally.
    nFailed = 0;
    for (size_t i = 0; i < nFiles; ++i) {
        if (pOutcome[i] == kPending)
            PrintError(opt.files[i] + ": the analysis ended abnormally");
        nFailed += pOutcome[i] != kDone;
    }
    ::munmap(pShared, sizeof(CBatchState) + nFiles);
    return nFailed ? 1 : 0;
}

} // namespace

int RunPitch(int argc, char** argv)
{
    PitchOptions opt;
    if (!ParseOptions(argc, argv, opt)) {
        PrintError(kszUsage);
        return 2;
    }
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(nSignal, OnFatalSignal);
    if (opt.files.size() == 1 && !opt.bToDir)
        return AnalyseOne(opt.files[0], std::string(), opt.format, 0) ? 0 : 1;
    return RunBatch(opt);
}

} // namespace analyze
} // namespace sonavel
