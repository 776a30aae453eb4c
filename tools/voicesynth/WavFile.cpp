#include "tools/voicesynth/WavFile.h"

#include <cstdio>

namespace {

void PutLE(std::vector<uint8_t>& b, uint32_t v, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutId(std::vector<uint8_t>& b, const char* sz) { b.insert(b.end(), sz, sz + 4); }

} // namespace

std::vector<uint8_t> WavBytes(const WavFormat& f, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> b;
    b.reserve(data.size() + 64);
    PutId(b, "RIFF");
    PutLE(b, 0, 4); // set below, once the size is known
    PutId(b, "WAVE");
    PutId(b, "fmt ");
    PutLE(b, f.bWithSize ? 18 : 16, 4);
    PutLE(b, static_cast<uint32_t>(f.nTag), 2);
    PutLE(b, static_cast<uint32_t>(f.nChannels), 2);
    PutLE(b, static_cast<uint32_t>(f.nRate), 4);
    const uint32_t nBlockAlign = static_cast<uint32_t>(f.nChannels * f.nBits / 8);
    PutLE(b, static_cast<uint32_t>(f.nRate) * nBlockAlign, 4);
    PutLE(b, nBlockAlign, 2);
    PutLE(b, static_cast<uint32_t>(f.nBits), 2);
    if (f.bWithSize)
        PutLE(b, 0, 2);
    if (f.nTag != 1) {
        PutId(b, "fact");
        PutLE(b, 4, 4);
        PutLE(b, nBlockAlign ? static_cast<uint32_t>(data.size() / nBlockAlign) : 0, 4);
    }
    PutId(b, "data");
    PutLE(b, static_cast<uint32_t>(data.size()), 4);
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2)
        b.push_back(0);
    const uint32_t nRiff = static_cast<uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = static_cast<uint8_t>(nRiff >> (8 * i));
    return b;
}

std::vector<uint8_t> WavBytes16(const std::vector<int16_t>& samples, int nSampleRate, int nChannels,
                                bool bWithSize)
{
    std::vector<uint8_t> data;
    data.reserve(samples.size() * 2);
    for (int16_t s : samples)
        PutLE(data, static_cast<uint16_t>(s), 2);
    WavFormat f;
    f.nChannels = nChannels;
    f.nRate = nSampleRate;
    f.bWithSize = bWithSize;
    return WavBytes(f, data);
}

bool WriteBytesFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && bWritten;
}

bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int nSampleRate)
{
    return WriteBytesFile(path, WavBytes16(samples, nSampleRate));
}
