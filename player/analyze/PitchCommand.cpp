// sonavel-analyze pitch [--tracker nccf|amdf] [--floor HZ] [--ceiling HZ]
//                       [--step SECONDS] [-j N] [-o DIR] [--format csv|json|pitchtier]
//                       [--channel N] FILE...
//
// The research tracker (nccf) is the default: a frame every --step seconds
// (0.01), 50-800 Hz narrowed to each speaker's own range unless --floor or
// --ceiling is given. --tracker amdf gives the player's own track, 70-260 Hz
// unless given, one frame per 100 samples. A setting the tracker refuses exits
// with 2 and one line naming the option, before any file is read. --channel N
// tracks channel N of every file (the first unless given).
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
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/model/CSignalMath.h"
#include "player/analyze/PitchBatch.h"
#include "player/analysis/pitch/CWaveFileSamples.h"
#include "player/analysis/pitch/PitchFrames.h"
#include "player/analysis/pitch/PitchSettings.h"

namespace fs = std::filesystem;

namespace sonavel {
namespace analyze {

namespace {

const char kszUsage[] = "usage: sonavel-analyze pitch [--tracker nccf|amdf] [--floor HZ] [--ceiling HZ] "
                        "[--step SECONDS] [-j N] [-o DIR] [--format csv|json|pitchtier] [--channel N] FILE...";

int Usage()
{
    PrintError(kszUsage);
    return 2;
}

char g_szPartial[kPartialNameSize];
char* g_pszPartial = g_szPartial;

bool WriteToStream(void* pContext, const char* p, size_t n)
{
    return std::fwrite(p, 1, n, static_cast<std::FILE*>(pContext)) == n;
}

// The value of option --name given as "--name VALUE" or "--name=VALUE": true
// with strValue set (i moved past it) when argv[i] is that option.
bool OptionValue(int argc, char** argv, int& i, const char* szName, std::string& strValue)
{
    const std::string a = argv[i], name = std::string("--") + szName;
    if (a == name && i + 1 < argc) {
        strValue = argv[++i];
        return true;
    }
    if (a.rfind(name + "=", 0) == 0) {
        strValue = a.substr(name.size() + 1);
        return true;
    }
    return false;
}

// A positive, finite decimal number, or a line naming the option and false.
bool ParsePositive(const std::string& strValue, const char* szName, const char* szUnit, double& d)
{
    char* pEnd = nullptr;
    d = std::strtod(strValue.c_str(), &pEnd);
    if (strValue.empty() || *pEnd || !std::isfinite(d) || d <= 0) {
        PrintError(std::string("--") + szName + ": '" + strValue + "' is not a number of " + szUnit + " above 0");
        return false;
    }
    return true;
}

// 0 when the options are good; 2 after a line on stderr when not.
int ParseOptions(int argc, char** argv, PitchOptions& opt)
{
    bool bFilesOnly = false;
    sonavel::pitch::PitchSettings& settings = opt.settings;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        if (bFilesOnly || a.empty() || a[0] != '-' || a == "-") {
            opt.files.push_back(a);
        } else if (a == "--") {
            bFilesOnly = true;
        } else if (a == "-j" && i + 1 < argc) {
            char* pEnd = nullptr;
            const long n = std::strtol(argv[++i], &pEnd, 10);
            if (!*argv[i] || *pEnd || n < 1 || n > kMaxJobs)
                return Usage();
            opt.nJobs = int(n);
        } else if (ChannelOption(argc, argv, i, opt.nChannel)) {
            if (opt.nChannel == 0)
                return 2;
        } else if (OptionValue(argc, argv, i, "tracker", v)) {
            if (!sonavel::pitch::TrackerFromName(v, settings.tracker)) {
                PrintError("--tracker: unknown tracker '" + v + "'; the trackers are " + sonavel::pitch::TrackerNames());
                return 2;
            }
        } else if (OptionValue(argc, argv, i, "floor", v)) {
            if (!ParsePositive(v, "floor", "Hz", settings.dFloorHz))
                return 2;
        } else if (OptionValue(argc, argv, i, "ceiling", v)) {
            if (!ParsePositive(v, "ceiling", "Hz", settings.dCeilingHz))
                return 2;
        } else if (OptionValue(argc, argv, i, "step", v)) {
            if (!ParsePositive(v, "step", "seconds", settings.dStepS))
                return 2;
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
                return Usage();
        } else {
            return Usage();
        }
    }
    if (opt.files.empty())
        return Usage();
    std::string strWhy;
    if (const char* szSetting = sonavel::pitch::RefusedSetting(settings, strWhy)) {
        PrintError(std::string("--") + szSetting + ": " + strWhy);
        return 2;
    }
    return 0;
}

// The AMDF's parameters for the settings' range (checked already).
sonavel::pitch::PitchParams AmdfParams(const sonavel::pitch::PitchSettings& settings)
{
    const sonavel::pitch::PitchRange range = sonavel::pitch::EffectiveRange(settings);
    sonavel::pitch::PitchParams params;
    params.minPitchHz = static_cast<int32_t>(range.dFloorHz);
    params.maxPitchHz = static_cast<int32_t>(range.dCeilingHz);
    return params;
}

// A mono 16-bit WAV is tracked straight from its file, a block at a time: the
// whole sound is never loaded. False, with nothing printed, for any other file,
// any other channel than the first (the loader decides whether the file has
// it) and when a read fails (a file cut short meanwhile): the caller then loads
// it, so such a file meets the loader's own outcome.
bool TrackFromFile(const std::string& strIn, const sonavel::pitch::PitchSettings& settings, int nChannel,
                   int nThreads, PitchTrack& track, CSampleBlockHandle& hPitch)
{
    int nCount = 0, nRate = 0;
    if (nChannel != 1
        || !sonavel::analysis::TrackWaveFile(strIn, AmdfParams(settings), nThreads, hPitch, nCount, nRate))
        return false;
    track.nSampleRate = nRate;
    track.nSampleCount = nCount;
    track.nValues = sonavel::pitch::FrameCount(nCount);
    return true;
}

// Loads the sound through the reader table (which refuses one without a
// sample rate) and gives the track its rate and length. False after one line
// on stderr.
bool LoadForTrack(const std::string& strIn, int nChannel, SampleStore& store, PitchTrack& track)
{
    std::string strReader;
    if (!LoadSound(strIn, store, strReader, nChannel))
        return false;
    track.nSampleRate = store.sampleRate;
    track.nSampleCount = store.sampleCount;
    return true;
}

// The research tracker over the file, straight from it when it is a mono
// 16-bit WAV and the first channel is asked for, else over the sound the reader
// table loads. False after one line on stderr.
bool TrackFrames(const std::string& strIn, const sonavel::pitch::PitchSettings& settings, int nChannel,
                 int nThreads, PitchTrack& track, sonavel::pitch::PitchFrames& frames)
{
    int nCount = 0, nRate = 0;
    int nResult =
        nChannel == 1 ? sonavel::analysis::TrackWaveFileWith(strIn, settings, nThreads, frames, nCount, nRate) : 1;
    track.nSampleRate = nRate;
    track.nSampleCount = nCount;
    SampleStore store; // another file, or one cut short meanwhile, is loaded instead
    if (nResult == 1) {
        if (!LoadForTrack(strIn, nChannel, store, track))
            return false;
        CSampleLock lock(store.hSamples);
        const CMemorySamples samples(store.sampleCount > 0 ? lock.Samples() : nullptr, store.sampleCount);
        nResult = sonavel::pitch::TrackWith(settings, samples, store.sampleCount, store.sampleRate, nThreads, frames);
    }
    if (nResult == sonavel::pitch::TRACK_RANGE_UNFIT) {
        PrintError(strIn + ": " + sonavel::pitch::RateMismatch(settings, track.nSampleRate));
        return false;
    }
    if (nResult != 0) {
        PrintError(strIn + (nResult == -1 ? ": not enough memory to track the pitch" : ": the pitch cannot be tracked"));
        return false;
    }
    return true;
}

// Loads the sound and tracks it. False after one line on stderr.
bool LoadAndTrack(const std::string& strIn, const sonavel::pitch::PitchSettings& settings, int nChannel,
                  int nThreads, PitchTrack& track, CSampleBlockHandle& hPitch)
{
    SampleStore store;
    if (!LoadForTrack(strIn, nChannel, store, track))
        return false;
    track.nValues = static_cast<size_t>(store.sampleCount) / 100 + 1;
    hPitch = CSampleBlock::Alloc(track.nValues * sizeof(int16_t));
    CSignalMath math;
    math.SetThreads(nThreads);
    math.SetPitchParams(AmdfParams(settings));
    if (!hPitch || math.TrackPitch(store, hPitch, 0, store.sampleCount) != 0) {
        PrintError(strIn + ": not enough memory to track the pitch");
        return false;
    }
    return true; // the samples go with the store: not held while the text is written
}

} // namespace

char* PartialName() { return g_pszPartial; }
void SetPartialName(char* szBuffer) { g_pszPartial = szBuffer; }

bool AnalyseOne(const std::string& strIn, const std::string& strOut, const PitchOptions& opt, int nThreads)
{
    const EPitchFormat format = opt.format;
    PitchTrack track;
    track.strFile = strIn;
    CSampleBlockHandle hPitch;
    sonavel::pitch::PitchFrames frames;
    if (opt.settings.tracker != sonavel::pitch::ETracker::Amdf) {
        if (!TrackFrames(strIn, opt.settings, opt.nChannel, nThreads, track, frames))
            return false;
        track.pFrames = &frames;
        track.szTracker = sonavel::pitch::TrackerName(opt.settings.tracker);
    } else if (!TrackFromFile(strIn, opt.settings, opt.nChannel, nThreads, track, hPitch)
               && !LoadAndTrack(strIn, opt.settings, opt.nChannel, nThreads, track, hPitch)) {
        return false;
    }
    CSampleLock lock(hPitch);
    track.pPitch = hPitch ? lock.Samples() : nullptr;

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
    if (const int nStatus = ParseOptions(argc, argv, opt); nStatus != 0)
        return nStatus;
    InstallSignalHandlers();
    if (opt.files.size() == 1 && !opt.bToDir)
        return AnalyseOne(opt.files[0], std::string(), opt, 0) ? 0 : 1;
    return RunBatch(opt);
}

} // namespace analyze
} // namespace sonavel
