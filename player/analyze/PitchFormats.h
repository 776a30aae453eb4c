#pragma once
// The pitch command's three output formats: CSV, JSON with the CSV's rows as
// arrays, and a text PitchTier with one point per voiced frame. The AMDF's
// track has one frame per 100 samples, its time in seconds with 6 decimals and
// its pitch in whole Hz (0 = no pitch); the research tracker's frames add a
// confidence, pitch and confidence with 3 decimals, and JSON names the
// tracker. JSON gives the file name as JsonText.h escapes it (bytes that are
// not valid UTF-8 as lone surrogates, \udc80 to \udcff).
//
// Writes frames the caller owns through the function it is given, keeping no state; any
// thread.
#include <cstdint>
#include <string>

#include "player/analysis/pitch/PitchSettings.h"
#include "player/analyze/CommandLine.h"

namespace sonavel {
namespace analyze {

struct PitchTrack {
    std::string strFile;   // as the user named it
    int nSampleRate = 0;   // > 0
    int nSampleCount = 0;
    const sonavel::pitch::PitchFrames* pFrames = nullptr; // not null
    sonavel::pitch::ETracker tracker = sonavel::pitch::ETracker::Nccf;
};

// Writes the track in pieces through pfnWrite (at most about 64 kB at a time),
// so an hour of frames never sits in memory as text. Returns false as soon as
// a write fails.
bool WritePitchTrack(const PitchTrack& track, EFormat format,
                     bool (*pfnWrite)(void* pContext, const char* p, size_t n), void* pContext);

} // namespace analyze
} // namespace sonavel
