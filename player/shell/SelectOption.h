#pragma once
// sonavel FILE --select START,END (or START, for "to the end"): the span the
// player opens its measuring view on and plays. Decimal seconds only; the
// span is checked against the sound once it is loaded. sonavel FILE --channel N:
// the channel it opens. sonavel FILE --name NAME: the name the sound is shown
// by (the browser hands on a link's file name this way). sonavel FILE --textgrid
// TG: the TextGrid its measuring view opens with. Plain C++.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>
#include <vector>

namespace sonavel::shell {

struct SelectSpan {
    double dStart = 0;
    double dEnd = -1; // negative: to the end of the sound
};

// The options a command line carries: FILE followed by any of --select VALUE,
// --channel N, --name NAME and --textgrid TG, each once, in any order (three,
// five, seven or nine arguments). On any other line every argument is a file,
// as it always was.
struct PlayerOptions {
    bool bSelect = false;
    std::string strSelect;
    bool bChannel = false;
    std::string strChannel;
    bool bName = false;
    std::string strName;
    bool bTextGrid = false;
    std::string strTextGrid;
};
PlayerOptions ReadPlayerOptions(const std::vector<std::string>& arguments);

// Whether the line carries --select (ReadPlayerOptions).
bool IsSelectCommandLine(const std::vector<std::string>& arguments);

// "2": true with the channel, a whole number from 1 in decimal digits.
bool ParseChannelValue(const std::string& strValue, int& nChannel);

// "12.5,14.2", "12.5," or "3,4.": true with the values. Anything else (signs,
// exponents, spaces, a missing start) is unreadable.
bool ParseSelectValue(const std::string& strValue, SelectSpan& span);

// The name --name gives, made safe to show and to offer as a file name: what
// follows the last '/' or backslash, without control characters (C0, DEL, C1)
// and bidirectional controls (WithoutBidiControls), at most kMaxSoundNameBytes of UTF-8 cut at a character's start. Empty when
// nothing usable is left ("", ".", ".."): the file's own name is shown then.
// The browser cleans the name too; the player does not trust its command line.
constexpr size_t kMaxSoundNameBytes = 255;
std::string SafeSoundName(const std::string& strName);

// Fits a read span to a sound of dDuration seconds: the end is clamped to it.
// Empty when the span can be played, else why not (for one line on stderr).
std::string FitSelectSpan(SelectSpan& span, double dDuration);

} // namespace sonavel::shell
