#pragma once
// A TextGrid file's bytes as UTF-8 text with LF line ends, whatever it was
// written in: UTF-8 with or without its byte-order mark, UTF-16 of either byte
// order with its mark, or, where the bytes are no UTF-8 at all, ISO Latin-1 (the
// one-byte files older tools write). CR LF and a lone CR become LF, inside a
// label too, so a label reads the same from a file of any platform.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>
#include <string_view>

namespace sonavel::textgrid {

// False when the bytes cannot be text of their encoding; then nLine is the line
// (1 the first) where the trouble lies and strWhy says what it is.
bool DecodeText(std::string_view bytes, std::string& strText, int& nLine, std::string& strWhy);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// text in quotes for a one-line message: line breaks spelled out, cut after
// its first 40 bytes.
std::string ShownText(std::string_view text);

} // namespace sonavel::textgrid
