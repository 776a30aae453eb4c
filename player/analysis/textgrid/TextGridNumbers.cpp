#include "player/analysis/textgrid/TextGridNumbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace sonavel::textgrid {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A decimal without sign at the front of text; nUsed tells how much it took.
bool ReadDecimal(std::string_view text, double& dValue, std::size_t& nUsed)
{
    const char* pBegin = text.data();
    const char* pEnd = pBegin + text.size();
    const auto [pStop, ec] = std::from_chars(pBegin, pEnd, dValue, std::chars_format::general);
    if (pStop == pBegin)
        return false;
    // from_chars leaves an exponent without digits behind ("1.5e"): that is no
    // number, not 1.5 with a unit.
    if (pStop != pEnd && (*pStop == 'e' || *pStop == 'E'))
        return false;
    if (ec == std::errc::result_out_of_range) {
        // Too large is infinite (the caller refuses it), too small is zero.
        std::string_view digits(pBegin, std::size_t(pStop - pBegin));
        const std::size_t nExp = digits.find_first_of("eE");
        const bool bNegativeExp = nExp != std::string_view::npos && nExp + 1 < digits.size() && digits[nExp + 1] == '-';
        dValue = bNegativeExp ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        return false;
    }
    nUsed = std::size_t(pStop - pBegin);
    return true;
}

} // namespace

bool LooksLikeNumber(std::string_view word)
{
    if (word.empty())
        return false;
    if (IsDigit(word[0]))
        return true;
    return (word[0] == '+' || word[0] == '-') && word.size() > 1 && IsDigit(word[1]);
}

bool ReadNumber(std::string_view word, double& dValue)
{
    if (!LooksLikeNumber(word))
        return false;
    bool bNegative = false;
    if (word[0] == '+' || word[0] == '-') {
        bNegative = word[0] == '-';
        word.remove_prefix(1);
    }
    std::size_t nUsed = 0;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X') && HexDigit(word[2]) >= 0) {
        dValue = 0;
        nUsed = 2;
        for (; nUsed < word.size() && HexDigit(word[nUsed]) >= 0; ++nUsed)
            dValue = dValue * 16 + HexDigit(word[nUsed]);
    } else if (!ReadDecimal(word, dValue, nUsed)) {
        return false;
    }
    word.remove_prefix(nUsed);
    if (!word.empty() && word[0] == '%') {
        dValue /= 100;
    } else if (word.size() > 1 && word[0] == '/' && IsDigit(word[1])) {
        double dDivisor = 0;
        if (!ReadDecimal(word.substr(1), dDivisor, nUsed))
            return false;
        dValue /= dDivisor;
    }
    if (bNegative)
        dValue = -dValue;
    return true;
}

std::string FormatNumber(double dValue)
{
    char buf[64];
    for (int nDigits = 15; nDigits <= 17; ++nDigits) {
        const auto [pEnd, ec] = std::to_chars(buf, buf + sizeof buf, dValue, std::chars_format::general, nDigits);
        if (ec != std::errc())
            break;
        double dBack = 0;
        std::from_chars(buf, pEnd, dBack, std::chars_format::general);
        if (dBack == dValue || nDigits == 17 || !std::isfinite(dValue))
            return std::string(buf, pEnd);
    }
    return "0";
}

} // namespace sonavel::textgrid
