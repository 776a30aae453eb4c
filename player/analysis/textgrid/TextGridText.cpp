#include "player/analysis/textgrid/TextGridText.h"

#include <algorithm>
#include <cstdint>

namespace sonavel::textgrid {

namespace {

void AppendUtf8(std::string& out, std::uint32_t nCode)
{
    if (nCode < 0x80) {
        out += char(nCode);
    } else if (nCode < 0x800) {
        out += char(0xC0 | (nCode >> 6));
        out += char(0x80 | (nCode & 0x3F));
    } else if (nCode < 0x10000) {
        out += char(0xE0 | (nCode >> 12));
        out += char(0x80 | ((nCode >> 6) & 0x3F));
        out += char(0x80 | (nCode & 0x3F));
    } else {
        out += char(0xF0 | (nCode >> 18));
        out += char(0x80 | ((nCode >> 12) & 0x3F));
        out += char(0x80 | ((nCode >> 6) & 0x3F));
        out += char(0x80 | (nCode & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t nCode = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        nCode = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        nCode = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        nCode = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        nCode = (nCode << 6) | (b(i + k) & 0x3F);
    }
    const bool bOverlong = (n == 3 && nCode < 0x800) || (n == 4 && nCode < 0x10000);
    const bool bSurrogate = nCode >= 0xD800 && nCode <= 0xDFFF;
    return bOverlong || bSurrogate || nCode > 0x10FFFF ? 0 : n;
}

// Appends text with its line ends made LF.
void AppendLines(std::string& out, std::string_view text)
{
    for (;;) {
        const std::size_t nCr = text.find('\r');
        out.append(text.substr(0, nCr));
        if (nCr == std::string_view::npos)
            return;
        out += '\n';
        text.remove_prefix(nCr + 1);
        if (!text.empty() && text[0] == '\n')
            text.remove_prefix(1);
    }
}

bool DecodeUtf16(std::string_view bytes, bool bBigEndian, std::string& strText, int& nLine, std::string& strWhy)
{
    std::string utf8;
    utf8.reserve(bytes.size());
    nLine = 1;
    const auto unit = [&](std::size_t i) {
        const auto hi = static_cast<unsigned char>(bytes[bBigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(bytes[bBigEndian ? i + 1 : i]);
        return std::uint32_t(hi << 8 | lo);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        std::uint32_t nCode = unit(i);
        if (nCode >= 0xD800 && nCode <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            nCode = 0x10000 + ((nCode - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (nCode >= 0xD800 && nCode <= 0xDFFF) {
            strWhy = "a UTF-16 surrogate without its other half";
            return false;
        }
        if (nCode == '\n')
            ++nLine;
        AppendUtf8(utf8, nCode);
    }
    if (i < bytes.size()) {
        strWhy = "the file ends in the middle of a UTF-16 character";
        return false;
    }
    strText.clear();
    AppendLines(strText, utf8);
    return true;
}

} // namespace

std::string ShownText(std::string_view text)
{
    // One line of a message: line breaks and other control characters are
    // spelled out, and a long text is cut at a character's start.
    constexpr std::size_t kShown = 40;
    std::string strShown = "\"";
    std::size_t n = 0;
    for (; n < text.size() && n < kShown; ++n) {
        const unsigned char c = static_cast<unsigned char>(text[n]);
        if (c == '\n')
            strShown += "\\n";
        else if (c < 0x20 || c == 0x7F)
            strShown += '?';
        else
            strShown += char(c);
    }
    if (n < text.size()) {
        while (!strShown.empty() && (static_cast<unsigned char>(strShown.back()) & 0xC0) == 0x80)
            strShown.pop_back();
        if (!strShown.empty() && static_cast<unsigned char>(strShown.back()) >= 0xC0)
            strShown.pop_back();
        strShown += "...";
    }
    return strShown + "\"";
}

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

bool DecodeText(std::string_view bytes, std::string& strText, int& nLine, std::string& strWhy)
{
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xFE\xFF") || starts("\xFF\xFE"))
        return DecodeUtf16(bytes.substr(2), starts("\xFE\xFF"), strText, nLine, strWhy);
    const bool bMarked = starts("\xEF\xBB\xBF");
    if (bMarked)
        bytes.remove_prefix(3);

    strText.clear();
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = Utf8Length(bytes, i);
        if (n == 0) {
            if (bMarked) {
                nLine = 1 + int(std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(i), '\n'));
                strWhy = "a byte that is not UTF-8, in a file marked as UTF-8";
                return false;
            }
            // No UTF-8: every byte is one ISO Latin-1 character.
            std::string latin1;
            latin1.reserve(bytes.size() + bytes.size() / 8);
            for (unsigned char c : bytes)
                AppendUtf8(latin1, c);
            AppendLines(strText, latin1);
            return true;
        }
        i += n;
    }
    strText.reserve(bytes.size());
    AppendLines(strText, bytes);
    return true;
}

} // namespace sonavel::textgrid
