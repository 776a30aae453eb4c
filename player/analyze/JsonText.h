#pragma once
// File names as text others read safely: inside a JSON string, and on a
// terminal. Names are bytes; the one escaping serves both, so a name on
// standard error reads exactly as the JSON output gives it.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>

namespace sonavel {
namespace analyze {

// The bytes of s as the inside of a JSON string: valid UTF-8 is kept; '"' and
// '\' are escaped; control characters (C0, DEL and C1) become \b \f \n \r \t
// or \u00XX, so none reaches a terminal; every byte B that is not part of valid
// UTF-8 becomes the lone surrogate \udcXX (U+DC00 + B), from which a reader
// gets the exact bytes back (Python: os.fsencode).
std::string JsonEscaped(const std::string& s);

// JsonEscaped(s) in double quotes: a JSON string.
std::string JsonString(const std::string& s);

} // namespace analyze
} // namespace sonavel
