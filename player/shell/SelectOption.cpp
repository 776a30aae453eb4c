#include "player/shell/SelectOption.h"

#include <cctype>
#include <cstdio>

namespace sonavel::shell {

namespace {

// Digits with an optional decimal point: "12", "12.5", "12.", ".5".
bool ParseDecimal(const std::string& s, double& d)
{
    size_t nDigits = 0, nPoints = 0;
    for (char c : s) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            ++nDigits;
        else if (c == '.')
            ++nPoints;
        else
            return false;
    }
    if (nDigits == 0 || nPoints > 1)
        return false;
    // By hand, not strtod: the user's locale may write its decimals with a comma.
    double dWhole = 0, dScale = 1;
    bool bFraction = false;
    for (char c : s) {
        if (c == '.') {
            bFraction = true;
            continue;
        }
        if (bFraction) {
            dScale /= 10;
            dWhole += (c - '0') * dScale;
        } else {
            dWhole = dWhole * 10 + (c - '0');
        }
    }
    d = dWhole;
    return true;
}

} // namespace

bool IsSelectCommandLine(const std::vector<std::string>& arguments)
{
    return arguments.size() == 3 && arguments[1] == "--select";
}

bool ParseSelectValue(const std::string& strValue, SelectSpan& span)
{
    const size_t nComma = strValue.find(',');
    if (nComma == std::string::npos)
        return false;
    SelectSpan read;
    if (!ParseDecimal(strValue.substr(0, nComma), read.dStart))
        return false;
    const std::string strEnd = strValue.substr(nComma + 1);
    if (!strEnd.empty() && !ParseDecimal(strEnd, read.dEnd))
        return false;
    span = read;
    return true;
}

std::string FitSelectSpan(SelectSpan& span, double dDuration)
{
    char sz[160];
    if (span.dStart >= dDuration) {
        std::snprintf(sz, sizeof sz, "the start lies at or past the sound's end (%.3f s)", dDuration);
        return sz;
    }
    if (span.dEnd >= 0 && span.dStart >= span.dEnd)
        return "the start does not lie before the end";
    if (span.dEnd < 0 || span.dEnd > dDuration)
        span.dEnd = dDuration;
    return std::string();
}

} // namespace sonavel::shell
