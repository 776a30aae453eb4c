#pragma once
// The measuring view's words: its title and header, the status line's
// readouts and selection, and the picture's description for a screen reader.
// Plain C++ (UTF-8), so the view and render --view say the same things.
//
// Texts by value from a model the caller holds; the UI thread in the view, any one
// thread in render --view.
#include <string>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/MeasureSettings.h"

namespace sonavel::measure {

inline constexpr const char* kszViewTitle = "Measure";
inline constexpr const char* kszPictureName = "Spectrogram and pitch";

// Seconds with three decimals, and h:mm:ss beside them from a minute on:
// "47.312 s", "3723.456 s (1:02:03)".
std::string FormatSeconds(double dSeconds);

// A name shown, never obeyed: without the bidirectional embeddings, overrides
// and isolates (U+202A-202E, U+2066-2069) that would turn what follows it
// round, so "take\u202E.wav - 1.5 s" cannot read "s 5.1 - vaw.take".
std::string WithoutBidiControls(const std::string& strName);
// That name, between a first-strong isolate and its end (U+2068 ... U+2069)
// when it holds right-to-left letters or digits: the text around it keeps its
// own direction ("\u05E7\u05D5\u05DC.wav - 1.5 s, 22050 Hz" is not turned
// round). A name of left-to-right text alone needs none, and gets none.
std::string IsolatedName(const std::string& strName);

// "take7.wav (channel 2 of 2)": the name the header and title give one channel
// of a file of several.
std::string ChannelName(const std::string& strName, int nChannel, int nChannels);
// "take7.wav - 47.312 s, 44100 Hz", the name isolated; and the note, when
// there is one, after it: "... - the download ended at 5.0 s of ...".
std::string HeaderLine(const std::string& strName, double dDuration, int nRate, const std::string& strNote = {});
// "Spectrogram 5 ms window, 0-5000 Hz, 50 dB  |  Pitch: research tracker, own range 50-800 Hz"
// and, while tracking or after a failure, what became of the pitch.
std::string SettingsLine(const MeasureSettings& settings, const CMeasureModel& model);
// "1.234 s   1250 Hz   -6.1 dB   pitch 182.0 Hz at 1.230 s   F1 512 F2 1480
// F3 2490 Hz   intensity 71.2 dB   sample -0.1234": the frequency and level
// only over the spectrogram, each of the rest where it is known.
std::string ReadoutText(const CMeasureModel::Readout& readout);
// The time at the cursor with the decimals a span of dSpan seconds needs (a
// tenth of a millisecond at the closest look): "1.2346 s".
std::string CursorSeconds(double t, double dSpan);
// "Selection 1.200-1.700 s (0.500 s), mean pitch 171.3 Hz, F1 512 F2 1480 F3
// 2490 Hz, 71.2 dB"; without one, the cursor's "Cursor 1.2346 s   pitch ...".
std::string SelectionText(const CMeasureModel& model);
// "take7.wav, 12.500 to 14.200 s of 47.312 s shown, pitch scale 90-180 Hz"
std::string PictureDescription(const std::string& strName, const CMeasureModel& model);

} // namespace sonavel::measure
