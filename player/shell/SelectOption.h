#pragma once
// sonavel FILE --select START,END (or START, for "to the end"): the span the
// player opens its measuring view on and plays. Decimal seconds only; the
// span is checked against the sound once it is loaded. sonavel FILE --channel N:
// the channel it opens. Plain C++.
#include <string>
#include <vector>

namespace sonavel::shell {

struct SelectSpan {
    double dStart = 0;
    double dEnd = -1; // negative: to the end of the sound
};

// The options a command line carries: only FILE --select VALUE, FILE --channel
// N, or FILE and both of them in either order (five arguments). On any other
// line every argument is a file, as it always was.
struct PlayerOptions {
    bool bSelect = false;
    std::string strSelect;
    bool bChannel = false;
    std::string strChannel;
};
PlayerOptions ReadPlayerOptions(const std::vector<std::string>& arguments);

// Whether the line carries --select (ReadPlayerOptions).
bool IsSelectCommandLine(const std::vector<std::string>& arguments);

// "2": true with the channel, a whole number from 1 in decimal digits.
bool ParseChannelValue(const std::string& strValue, int& nChannel);

// "12.5,14.2", "12.5," or "3,4.": true with the values. Anything else (signs,
// exponents, spaces, a missing start) is unreadable.
bool ParseSelectValue(const std::string& strValue, SelectSpan& span);

// Fits a read span to a sound of dDuration seconds: the end is clamped to it.
// Empty when the span can be played, else why not (for one line on stderr).
std::string FitSelectSpan(SelectSpan& span, double dDuration);

} // namespace sonavel::shell
