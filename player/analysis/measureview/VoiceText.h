#pragma once
// The measuring view's voice report as text, laid out as clinicians read it:
// a heading with the sound's name and the stretch measured, then Pitch,
// Pulses, Voicing, Jitter, Shimmer, Harmonicity and Cepstral peak, one value
// per line with its unit ("none" where it cannot be had). Plain C++: the text
// is a value the caller owns; any thread may make it.
#include <string>

#include "player/analysis/voice/VoiceReport.h"

namespace sonavel::measure {

// The Analysis menu's item and the panel's title.
inline constexpr char kszVoiceReportTitle[] = "Voice Report";

// The report of strName (UTF-8) made with settings' floor and ceiling (said in
// the Pitch heading) as the view's panel shows it; lines end in '\n'. Times to
// the millisecond, Hz, %, us and dB to three decimals.
std::string VoiceReportText(const voice::VoiceReport& report, const voice::VoiceSettings& settings,
                            const std::string& strName);

} // namespace sonavel::measure
