#include "player/analyze/JsonText.h"

#include <cstdio>

namespace sonavel {
namespace analyze {

namespace {

// Length of the well-formed UTF-8 sequence at p (at most n bytes), or 0.
size_t Utf8Length(const unsigned char* p, size_t n)
{
    const unsigned char c = p[0];
    size_t nLength;
    unsigned char lo = 0x80, hi = 0xBF; // the range of the second byte
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        nLength = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        nLength = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        nLength = 4;
    else
        return 0;
    if (c == 0xE0)
        lo = 0xA0; // shorter forms are overlong
    else if (c == 0xED)
        hi = 0x9F; // no surrogates
    else if (c == 0xF0)
        lo = 0x90;
    else if (c == 0xF4)
        hi = 0x8F; // nothing above U+10FFFF
    if (n < nLength || p[1] < lo || p[1] > hi)
        return 0;
    for (size_t i = 2; i < nLength; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return nLength;
}

} // namespace

std::string JsonEscaped(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    char buf[8];
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = p[i];
        const size_t nLength = Utf8Length(p + i, s.size() - i);
        if (nLength == 0) {
            std::snprintf(buf, sizeof buf, "\\udc%02x", c);
            out += buf;
            ++i;
            continue;
        }
        // U+0080 to U+009F, two bytes: C1 controls, which some terminals obey
        // as escape sequences.
        const unsigned nC1 = nLength == 2 && c == 0xC2 && p[i + 1] <= 0x9F ? p[i + 1] : 0;
        const char* szShort = c == '\b' ? "\\b" : c == '\f' ? "\\f" : c == '\n' ? "\\n" : c == '\r' ? "\\r"
                            : c == '\t' ? "\\t" : c == '"' ? "\\\"" : c == '\\' ? "\\\\" : nullptr;
        if (szShort) {
            out += szShort;
        } else if (c < 0x20 || c == 0x7F || nC1) {
            std::snprintf(buf, sizeof buf, "\\u%04x", nC1 ? nC1 : c);
            out += buf;
        } else {
            out.append(s, i, nLength);
        }
        i += nLength;
    }
    return out;
}

std::string JsonString(const std::string& s) { return "\"" + JsonEscaped(s) + "\""; }

} // namespace analyze
} // namespace sonavel
