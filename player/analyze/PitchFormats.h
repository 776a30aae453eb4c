#pragma once
// The pitch command's three output formats, one frame per 100 samples: CSV
// (time in seconds with 6 decimals, pitch in whole Hz, 0 = no pitch), JSON with
// the CSV's rows as two arrays, and a text PitchTier with one point per voiced
// frame. Each appends to out. JSON gives the file name's bytes that are not
// valid UTF-8 as lone surrogates, \udc80 to \udcff.
#include <cstdint>
#include <string>

namespace sonavel {
namespace analyze {

enum class EPitchFormat { Csv, Json, PitchTier };

struct PitchTrack {
    std::string strFile;   // as the user named it
    int nSampleRate = 0;   // > 0
    int nSampleCount = 0;
    const int16_t* pPitch = nullptr;
    size_t nValues = 0;    // nSampleCount / 100 + 1
};

// The file name extension of each format, with its dot.
const char* FormatExtension(EPitchFormat format);

// Writes the track in pieces through pfnWrite (at most about 64 kB at a time),
// so an hour of frames never sits in memory as text. Returns false as soon as
// a write fails.
bool WritePitchTrack(const PitchTrack& track, EPitchFormat format,
                     bool (*pfnWrite)(void* pContext, const char* p, size_t n), void* pContext);

} // namespace analyze
} // namespace sonavel
