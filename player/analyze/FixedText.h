#pragma once
// Numbers with a fixed number of decimals, the digits printf's "%.Nf" gives
// (the exact binary value rounded half to even), written straight into a
// buffer: the commands write millions of them, and the library's general
// conversion took a tenth of an hour's pitch run.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
namespace sonavel {
namespace analyze {

// The most decimals FixedText takes, and room enough for any number it writes
// (a double's 309 integer digits, the point, 6 decimals, the sign).
constexpr int kMaxFixedDecimals = 6;
constexpr int kFixedTextRoom = 320;

// Writes d with nDecimals (0 to kMaxFixedDecimals) at p, which has room for
// kFixedTextRoom characters; returns the end of the text.
char* FixedText(char* p, double d, int nDecimals);

} // namespace analyze
} // namespace sonavel
