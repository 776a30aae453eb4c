#pragma once
// Resource identifiers and texts of the player's signal analysis and its window.

namespace sonavel {

inline constexpr int IDD_ANALYSIS = 130;

// String table entries; the window's computations return the identifier as their
// error code.
inline constexpr int IDS_NOT_ENOUGH_MEMORY = 61446;
inline constexpr const char* STR_NOT_ENOUGH_MEMORY = "Not enough memory to perform the requested task.";
inline constexpr int IDS_MATH_ERROR = 61447;
inline constexpr const char* STR_MATH_ERROR = "Error in Math routine (1000)";

// Dialog 130, in dialog units.
inline constexpr int ANALYSIS_DLG_WIDTH_DLU = 325;
inline constexpr int ANALYSIS_DLG_HEIGHT_DLU = 175;
inline constexpr const char* STR_ANALYSIS_CAPTION = "Pitch / Spectrogram";
inline constexpr const char* STR_ANALYSIS_MAKER = "Velmora Speech Tools";
inline constexpr const char* STR_ANALYSIS_TEXT1 =
    "Fixed scale pitch and spectrogram analysis provided by Sonavel from Velmora Speech Tools.";
inline constexpr const char* STR_ANALYSIS_TEXT2 =
    "For complete sound editing and analysis systems providing scales and many options, please go to:";
inline constexpr const char* STR_ANALYSIS_TEXT3 = "WWW.VELMORA.EXAMPLE";

} // namespace sonavel
