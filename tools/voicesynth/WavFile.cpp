#include "tools/voicesynth/WavFile.h"

#include <cstdio>

bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int nSampleRate)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    auto put = [f](unsigned v, int nBytes) {
        for (int i = 0; i < nBytes; ++i)
            std::fputc((v >> (8 * i)) & 0xFF, f);
    };
    const unsigned nRate = static_cast<unsigned>(nSampleRate);
    const unsigned nData = static_cast<unsigned>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put(36 + nData, 4);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put(16, 4);
    put(1, 2); // PCM
    put(1, 2); // mono
    put(nRate, 4);
    put(nRate * 2, 4);
    put(2, 2);
    put(16, 2);
    std::fwrite("data", 1, 4, f);
    put(nData, 4);
    for (int16_t s : samples)
        put(static_cast<uint16_t>(s), 2);
    const bool bOk = std::fflush(f) == 0 && !std::ferror(f);
    return std::fclose(f) == 0 && bOk;
}
