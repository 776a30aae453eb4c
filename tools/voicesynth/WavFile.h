#pragma once
// A mono 16-bit PCM WAV file from samples, for tests and benchmarks.
#include <cstdint>
#include <string>
#include <vector>

// Returns false when the file cannot be written completely.
bool WriteWavFile(const std::string& path, const std::vector<int16_t>& samples, int nSampleRate);
