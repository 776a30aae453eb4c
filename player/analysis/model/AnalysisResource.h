#pragma once
// The analysis' texts, identifiers and the window's size in dialog units.
//
// Constants only: nothing to own, any thread may read them.

namespace sonavel {

// The analysis computations return the identifier as their error code.
inline constexpr int IDS_MATH_ERROR = 61447;
inline constexpr const char* STR_MATH_ERROR = "Error in Math routine (1000)";

// The analysis window (dialog 130), in dialog units.
inline constexpr int IDD_ANALYSIS = 130;
inline constexpr int ANALYSIS_DLG_WIDTH_DLU = 325;
inline constexpr int ANALYSIS_DLG_HEIGHT_DLU = 175;
inline constexpr const char* STR_ANALYSIS_CAPTION = "Pitch / Spectrogram";
inline constexpr const char* STR_ANALYSIS_TEXT1 =
    "Fixed scale pitch and spectrogram analysis provided by Sonavel from Velmora Speech Tools.";
inline constexpr const char* STR_ANALYSIS_TEXT2 =
    "For complete sound editing and analysis systems providing scales and many options, please go to:";
inline constexpr const char* STR_ANALYSIS_TEXT3 = "WWW.VELMORA.EXAMPLE";

// Dialog units to pixels, with the base units of the 8-point dialog font at
// 96 DPI: 4 horizontal units are 6 px, 8 vertical units are 13 px.
constexpr int DluToPixelsX(int nDlu) { return nDlu * 6 / 4; }
constexpr int DluToPixelsY(int nDlu) { return nDlu * 13 / 8; }

} // namespace sonavel
