#pragma once
// How the player writes a sound of its own: one channel of 16-bit PCM in a
// WAV file (a selection saved from the measuring view, sonavel-analyze
// extract, a Python Sound saved), sample for sample as it holds them, and
// which samples a stretch of time names, the one rule for all three.
// The samples stay the caller's; any thread may call, several at once on
// different files.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace sonavel {
namespace audio {

// The most samples a WAV's 32-bit sizes hold at 16 bits, one channel.
inline constexpr int64_t kMaxWaveSamples = (int64_t(0xFFFFFFFF) - 36) / 2;

// Samples [first, end) of a sound of nCount samples at nRate that the times
// dStartS .. dEndS name: each time rounded to the nearest sample
// (round(t x rate), as playback and sox's trim count), kept inside the sound.
std::pair<int64_t, int64_t> SamplesOfSpan(double dStartS, double dEndS, int nRate, int64_t nCount);

// The WAV's bytes in order through pfnWrite (a header of 44 bytes, then the
// samples little-endian on any host, a piece at a time): false when a write
// failed, or for more than kMaxWaveSamples or a rate not above 0 (then
// nothing is written).
using WaveWriteFn = std::function<bool(const char* p, std::size_t n)>;
bool WriteWave(const int16_t* pSamples, int64_t nCount, int nRate, const WaveWriteFn& fnWrite);

// The whole file at strPath, written as every user's file is
// (common/OutputFile.h: whole or not at all). False with the system's error
// in nErrno (EFBIG for more than kMaxWaveSamples, EINVAL for a rate not above 0).
bool SaveWaveFile(const std::string& strPath, const int16_t* pSamples, int64_t nCount, int nRate, int& nErrno);

} // namespace audio
} // namespace sonavel
