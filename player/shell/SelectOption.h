#pragma once
// sonavel FILE --select START,END (or START, for "to the end"): the span the
// player opens its measuring view on and plays. Decimal seconds only; the
// span is checked against the sound once it is loaded. Plain C++.
#include <string>
#include <vector>

namespace sonavel::shell {

struct SelectSpan {
    double dStart = 0;
    double dEnd = -1; // negative: to the end of the sound
};

// The one command line that carries the option: exactly FILE --select VALUE.
bool IsSelectCommandLine(const std::vector<std::string>& arguments);

// "12.5,14.2", "12.5," or "3,4.": true with the values. Anything else (signs,
// exponents, spaces, a missing start) is unreadable.
bool ParseSelectValue(const std::string& strValue, SelectSpan& span);

// Fits a read span to a sound of dDuration seconds: the end is clamped to it.
// Empty when the span can be played, else why not (for one line on stderr).
std::string FitSelectSpan(SelectSpan& span, double dDuration);

} // namespace sonavel::shell
