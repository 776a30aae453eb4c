// sonavel-analyze pitch [-j N] [-o DIR] [--format csv|json|pitchtier] FILE...
//
// One file and no -o: the track on standard output. Several files, or -o DIR:
// one output per input in DIR (the current folder when not given), named
// after it (take7.wav -> DIR/take7.csv), each written to a new file and renamed
// into place, so an interrupted run leaves no half file. -j N analyses N files
// at once in as many single-threaded processes (default: one per core); a
// file's output is the same whatever N is; a worker that dies is replaced and
// only the file it held fails. An output that would replace an input is
// refused. A single file to standard output is tracked on every core. A file
// that cannot be read gets one line on standard error and the others are still
// written; the status is 1 if any failed.
#include "player/analyze/AnalyzeCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "player/analysis/CSignalMath.h"
#include "player/analyze/PitchBatch.h"
#include "player/analysis/CWaveFileSamples.h"
#include "player/analysis/PitchFrames.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] = "usage: sonavel-analyze pitch [-j N] [-o DIR] [--format csv|json|pitchtier] FILE...";

char g_szPartial[kPartialNameSize];
char* g_pszPartial = g_szPartial;

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
            if (!*argv[i] || *pEnd || n < 1 || n > kMaxJobs)
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

// A mono 16-bit WAV is tracked straight from its file, a block at a time: the
// whole sound is never loaded. False, with nothing printed, for any other file
// and when a read fails (a file cut short meanwhile): the caller then loads it,
// so such a file meets the loader's own outcome.
bool TrackFromFile(const std::string& strIn, int nThreads, PitchTrack& track, CSampleBlockHandle& hPitch)
{
    int nCount = 0, nRate = 0;
    if (!sonavel::analysis::TrackWaveFile(strIn, nThreads, hPitch, nCount, nRate))
        return false;
    track.nSampleRate = nRate;
    track.nSampleCount = nCount;
    track.nValues = sonavel::pitch::FrameCount(nCount);
    return true;
}

// Loads the sound and tracks it. False after one line on stderr.
bool LoadAndTrack(const std::string& strIn, int nThreads, PitchTrack& track, CSampleBlockHandle& hPitch)
{
    SampleStore store;
    std::string strReader;
    if (!LoadSound(strIn, store, strReader))
        return false;
    if (store.sampleRate <= 0) {
        PrintError(strIn + ": the sound has no sample rate, so no time axis");
        return false;
    }
    track.nSampleRate = store.sampleRate;
    track.nSampleCount = store.sampleCount;
    track.nValues = static_cast<size_t>(store.sampleCount) / 100 + 1;
    hPitch = CSampleBlock::Alloc(track.nValues * sizeof(int16_t));
    CSignalMath math;
    math.SetThreads(nThreads);
    if (!hPitch || math.TrackPitch(store, hPitch, 0, store.sampleCount) != 0) {
        PrintError(strIn + ": not enough memory to track the pitch");
        return false;
    }
    return true; // the samples go with the store: not held while the text is written
}

} // namespace

char* PartialName() { return g_pszPartial; }
void SetPartialName(char* szBuffer) { g_pszPartial = szBuffer; }

bool AnalyseOne(const std::string& strIn, const std::string& strOut, EPitchFormat format, int nThreads)
{
    PitchTrack track;
    track.strFile = strIn;
    CSampleBlockHandle hPitch;
    if (!TrackFromFile(strIn, nThreads, track, hPitch) && !LoadAndTrack(strIn, nThreads, track, hPitch))
        return false;
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
    if (strTemp.size() >= kPartialNameSize) {
        PrintError("cannot write " + strOut + ": the name is too long");
        return false;
    }
    std::strcpy(g_pszPartial, strTemp.c_str());
    const int fd = ::mkstemp(g_pszPartial);
    if (fd < 0) {
        const int err = errno;
        g_pszPartial[0] = 0;
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
    if (bOk && ::rename(g_pszPartial, strOut.c_str()) != 0) {
        err = errno;
        bOk = false;
    }
    if (!bOk) {
        ::unlink(g_pszPartial);
        PrintError("cannot write " + strOut + ": " + std::strerror(err));
    }
    g_pszPartial[0] = 0;
    return bOk;
}

int RunPitch(int argc, char** argv)
{
    PitchOptions opt;
    if (!ParseOptions(argc, argv, opt)) {
        PrintError(kszUsage);
        return 2;
    }
    InstallSignalHandlers();
    if (opt.files.size() == 1 && !opt.bToDir)
        return AnalyseOne(opt.files[0], std::string(), opt.format, 0) ? 0 : 1;
    return RunBatch(opt);
}

} // namespace analyze
} // namespace sonavel
