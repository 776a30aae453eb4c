#pragma once
// Numbers as TextGrid files spell them, read and written without the locale
// (a German locale's decimal comma must never reach a file or a reading).
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>
#include <string_view>

namespace sonavel::textgrid {

// Whether a word of a file is a number at all: a digit first, or a sign and a
// digit. Anything else ("xmin", "[1]:", ".5", "=") is a word the readers skip.
bool LooksLikeNumber(std::string_view word);

// The value of a number word: decimal with an optional exponent, or 0x and hex
// digits; then an optional "%" (hundredths) or "/" and a decimal divisor. Letters
// after it are a unit and ignored ("0.5s"). False for a word that starts like a
// number but cannot be read ("1.5e", "2e+"). The value may be infinite
// ("1e400"): the caller decides what a time or a count may be.
bool ReadNumber(std::string_view word, double& dValue);

// The shortest of 15, 16 or 17 significant digits that reads back as the same
// double ("0.3", "0.30000000000000004", "1e-300"), as the files are written.
std::string FormatNumber(double dValue);

} // namespace sonavel::textgrid
