// voicesynth: writes a synthetic voice as a 16-bit mono WAV file, for tests,
// benchmarks and a look at the analysis window.
//   voicesynth OUT.wav [--rate R] [--seconds S] [--contour t:f0,t:f0,...]
//                      [--jitter J] [--peak P] [--seed N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

namespace {

bool ParseContour(const char* sz, VoiceSynthParams& p)
{
    p.contour.clear();
    std::string s(sz);
    size_t pos = 0;
    while (pos < s.size()) {
        size_t end = s.find(',', pos);
        if (end == std::string::npos)
            end = s.size();
        const std::string knot = s.substr(pos, end - pos);
        double t = 0, f = 0;
        if (std::sscanf(knot.c_str(), "%lf:%lf", &t, &f) != 2)
            return false;
        p.contour.emplace_back(t, f);
        pos = end + 1;
    }
    return !p.contour.empty();
}

int Usage()
{
    std::fprintf(stderr, "usage: voicesynth OUT.wav [--rate R] [--seconds S] "
                         "[--contour t:f0,t:f0,...] [--jitter J] [--peak P] [--seed N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    VoiceSynthParams p;
    const char* szOut = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const char* v = argv[++i];
        if (a == "--rate")
            p.nSampleRate = std::atoi(v);
        else if (a == "--seconds")
            p.dSeconds = std::atof(v);
        else if (a == "--jitter")
            p.dJitter = std::atof(v);
        else if (a == "--peak")
            p.dPeak = std::atof(v);
        else if (a == "--seed")
            p.nSeed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        else if (a == "--contour") {
            if (!ParseContour(v, p))
                return Usage();
        } else
            return Usage();
    }
    if (p.nSampleRate <= 0 || !(p.dSeconds > 0))
        return Usage();
    const auto samples = SynthesizeVoice(p);
    if (!WriteWavFile(szOut, samples, p.nSampleRate)) {
        std::fprintf(stderr, "voicesynth: cannot write %s\n", szOut);
        return 1;
    }
    return 0;
}
