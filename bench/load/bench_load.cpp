// Load benchmark: a 10-minute 44.1 kHz 16-bit stereo WAV into the player's mono
// store, against sox extracting the same first channel and against a plain read
// of the file, all page-cached and measured in the same run (best of several,
// with the median beside it).
//
// usage: bench_load [RUNS] [WORK_DIR]
#include "player/audio/CDocumentHost.h"
#include "player/audio/CSonavelProDoc.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 600;
constexpr int kChannels = 2;

class CKeepHost : public CDocumentHost {
public:
    void OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult&) override { m_store = store; }
    SampleStore m_store;
};

void PutLE(std::vector<uint8_t>& v, uint32_t x, int n)
{
    for (int i = 0; i < n; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}

// A canonical 44-byte header and noisy speech-like content (the content does not
// matter to either decoder, but zeros might flatter a compressing file system).
bool WriteTestWav(const std::string& path)
{
    const uint32_t nFrames = uint32_t(kRate) * kSeconds;
    const uint32_t nData = nFrames * kChannels * 2;
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    PutLE(h, 36 + nData, 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(h, 16, 4);
    PutLE(h, 1, 2);
    PutLE(h, kChannels, 2);
    PutLE(h, kRate, 4);
    PutLE(h, kRate * kChannels * 2, 4);
    PutLE(h, kChannels * 2, 2);
    PutLE(h, 16, 2);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    PutLE(h, nData, 4);

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool bOk = std::fwrite(h.data(), 1, h.size(), f) == h.size();
    std::mt19937 rng(1);
    std::vector<int16_t> block(kRate * kChannels);
    for (int s = 0; s < kSeconds && bOk; ++s) {
        for (auto& x : block)
            x = int16_t(int(rng() % 20001) - 10000);
        bOk = std::fwrite(block.data(), 2, block.size(), f) == block.size();
    }
    return std::fclose(f) == 0 && bOk;
}

double Time(const std::function<bool()>& fn, bool& bOk)
{
    const auto t0 = std::chrono::steady_clock::now();
    bOk = fn() && bOk;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool PlainRead(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    static std::vector<char> buf(1 << 20);
    long long nTotal = 0;
    ssize_t n;
    while ((n = ::read(fd, buf.data(), buf.size())) > 0)
        nTotal += n;
    ::close(fd);
    return nTotal > 0;
}

bool PlayerLoad(const std::string& path, int32_t& nSamples)
{
    CKeepHost host;
    CSonavelProDoc doc(&host);
    doc.OnOpenDocument(path);
    nSamples = host.m_store.sampleCount;
    return host.m_store.hSamples != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::string dir = argc > 2 ? argv[2] : "";
    if (dir.empty()) {
        char tmpl[] = "/tmp/sonavel-bench-load.XXXXXX";
        if (!::mkdtemp(tmpl)) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = tmpl;
    }
    const std::string path = dir + "/ten-minutes-stereo.wav";
    std::printf("writing %s (10 min, 44.1 kHz, 16-bit stereo)\n", path.c_str());
    if (!WriteTestWav(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    PlainRead(path); // into the page cache

    // The three are measured in turns, round after round, and each keeps its best
    // time: a burst of load on the machine then hits all of them alike.
    const std::string sox = "sox '" + path + "' -t raw -e signed -b 16 -c 1 /dev/null remix 1";
    int32_t nSamples = 0;
    bool bPlainOk = true, bOursOk = true, bSoxOk = true;
    std::vector<double> plain, ours, soxTimes;
    for (int i = 0; i < nRuns; ++i) {
        plain.push_back(Time([&] { return PlainRead(path); }, bPlainOk));
        ours.push_back(Time([&] { return PlayerLoad(path, nSamples); }, bOursOk));
        soxTimes.push_back(Time([&] { return std::system(sox.c_str()) == 0; }, bSoxOk));
    }
    const double tPlain = Best(plain), tOurs = Best(ours), tSox = Best(soxTimes);
    if (!bOursOk || nSamples != kRate * kSeconds) {
        std::fprintf(stderr, "the player did not load the file (samples=%d)\n", int(nSamples));
        return 1;
    }
    if (!bSoxOk || !bPlainOk) {
        std::fprintf(stderr, "sox or the plain read failed: %s\n", sox.c_str());
        return 1;
    }

    const double rSox = tOurs / tSox, rPlain = tOurs / tPlain;
    std::printf("best of %d (median beside it), page-cached, %d mono samples\n", nRuns, int(nSamples));
    std::printf("  player load : %8.1f ms  (median %.1f ms)\n", tOurs * 1e3, Median(ours) * 1e3);
    std::printf("  sox remix 1 : %8.1f ms  (median %.1f ms)\n", tSox * 1e3, Median(soxTimes) * 1e3);
    std::printf("  plain read  : %8.1f ms  (median %.1f ms)\n", tPlain * 1e3, Median(plain) * 1e3);
    std::printf("load / sox        = %.3f  (target <= 0.5) %s\n", rSox, rSox <= 0.5 ? "met" : "MISSED");
    std::printf("load / plain read = %.3f  (target <= 3)   %s\n", rPlain, rPlain <= 3.0 ? "met" : "MISSED");

    std::remove(path.c_str());
    if (argc <= 2)
        ::rmdir(dir.c_str());
    return 0;
}
