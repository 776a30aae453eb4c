#include "player/shell/SelectOption.h"

#include "player/analysis/measureview/MeasureTexts.h"

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

PlayerOptions ReadPlayerOptions(const std::vector<std::string>& arguments)
{
    PlayerOptions options;
    const size_t n = arguments.size();
    if (n != 3 && n != 5 && n != 7 && n != 9)
        return options;
    PlayerOptions read;
    for (size_t i = 1; i + 1 < n; i += 2) {
        if (arguments[i] == "--select" && !read.bSelect) {
            read.bSelect = true;
            read.strSelect = arguments[i + 1];
        } else if (arguments[i] == "--channel" && !read.bChannel) {
            read.bChannel = true;
            read.strChannel = arguments[i + 1];
        } else if (arguments[i] == "--name" && !read.bName) {
            read.bName = true;
            read.strName = arguments[i + 1];
        } else if (arguments[i] == "--textgrid" && !read.bTextGrid) {
            read.bTextGrid = true;
            read.strTextGrid = arguments[i + 1];
        } else {
            return options;
        }
    }
    return read;
}

bool IsSelectCommandLine(const std::vector<std::string>& arguments) { return ReadPlayerOptions(arguments).bSelect; }

bool ParseChannelValue(const std::string& strValue, int& nChannel)
{
    if (strValue.empty() || strValue.size() > 9)
        return false;
    long n = 0;
    for (char c : strValue) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        n = n * 10 + (c - '0');
    }
    if (n < 1)
        return false;
    nChannel = static_cast<int>(n);
    return true;
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

std::string SafeSoundName(const std::string& strName)
{
    const size_t nSlash = strName.find_last_of("/\\");
    const std::string strLast = nSlash == std::string::npos ? strName : strName.substr(nSlash + 1);
    std::string strSafe;
    for (size_t i = 0; i < strLast.size(); ++i) {
        const auto c = static_cast<unsigned char>(strLast[i]);
        if (c < 0x20 || c == 0x7F)
            continue;
        // U+0080..U+009F, the C1 controls, are 0xC2 0x80..0x9F in UTF-8.
        if (c == 0xC2 && i + 1 < strLast.size() && (static_cast<unsigned char>(strLast[i + 1]) & 0xE0) == 0x80) {
            ++i;
            continue;
        }
        strSafe += static_cast<char>(c);
    }
    strSafe = sonavel::measure::WithoutBidiControls(strSafe);
    if (strSafe.size() > kMaxSoundNameBytes) {
        // Back to the first byte of the character the bound cuts through.
        size_t nCut = kMaxSoundNameBytes;
        while (nCut > 0 && (static_cast<unsigned char>(strSafe[nCut]) & 0xC0) == 0x80)
            --nCut;
        strSafe.resize(nCut);
    }
    if (strSafe == "." || strSafe == "..")
        strSafe.clear();
    return strSafe;
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
