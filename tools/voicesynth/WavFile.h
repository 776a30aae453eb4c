#pragma once
// The one WAV writer of the tools, tests and benchmarks: whole RIFF/WAVE files
// as bytes, and 16-bit PCM files written to disk.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstdint>
#include <string>
#include <vector>

struct WavFormat {
    int nTag = 1;          // 1 PCM, 7 mu-law
    int nChannels = 1;
    int nRate = 22050;
    int nBits = 16;
    bool bWithSize = false; // the 18-byte "fmt " record that ends with cbSize
};

// "RIFF", "fmt ", a "fact" chunk for data that is not PCM, then "data" (with its
// pad byte when odd). data holds the frames as they go into the file.
std::vector<uint8_t> WavBytes(const WavFormat& format, const std::vector<uint8_t>& data);

// 16-bit PCM, little-endian; several channels come interleaved.
std::vector<uint8_t> WavBytes16(const std::vector<int16_t>& samples, int nSampleRate, int nChannels = 1,
                                bool bWithSize = false);

// Returns false when the file cannot be written completely.
bool WriteBytesFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int nSampleRate);
