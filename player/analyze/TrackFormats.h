#pragma once
// The formants and intensity commands' outputs, CSV or JSON, written in pieces
// (about 64 kB at a time) so an hour of frames never sits in memory as text.
// Times with 6 decimals; formants and bandwidths in Hz with 1 (0 where a frame
// lacks the formant); intensity in dB with 3, a frame without any sound at
// kSilenceDb (-300). JSON gives the file name as JsonText.h escapes it.
//
// Writes frames the caller owns through the function it is given, keeping no state; any
// thread.
#include <string>

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analyze/CommandLine.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

// CSV time_s,f1_hz..fN_hz,b1_hz..bN_hz; JSON {"file", "sample_rate", "time_s",
// "frequency_hz": [[f1..fN] per frame], "bandwidth_hz": likewise}.
bool WriteFormants(const std::string& strFile, int nRate, const sonavel::formants::FormantFrames& frames, EFormat format,
                   WriteFn pfnWrite, void* pContext);

// CSV time_s,intensity_db; JSON {"file", "sample_rate", "time_s", "intensity_db"}.
bool WriteIntensity(const std::string& strFile, int nRate, const sonavel::intensity::IntensityFrames& frames,
                    EFormat format, WriteFn pfnWrite, void* pContext);

} // namespace analyze
} // namespace sonavel
