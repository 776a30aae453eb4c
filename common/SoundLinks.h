#pragma once
// The sound links the browser hands to the player, by what the address says:
// the one list behind the link classification and the browser's --help. Plain
// C++; the browser links none of the player's code, so the player's own list
// of formats (its reader table) cannot serve here.
//
// A constant table and free functions over the caller's values; any thread.
#include <cstddef>
#include <string>

namespace sonavel {
namespace format {

struct CSoundLinkFormat {
    const char* szName;        // as the help text names it
    const char* aszMarkers[2]; // lower-case, the second may be null
    // True: the marker counts anywhere after the address's first character
    // (so "x.wav.html" is a sound link); false: only where the address's path
    // ends, query and fragment left out.
    bool bAnywhere;
};

// WAV and AIFF (".aif" covers ".aiff" and ".aifc") anywhere, then FLAC, Ogg,
// Opus and MP3 where the path ends.
const CSoundLinkFormat* SoundLinkFormats(std::size_t& nCount);

// "WAV, AIFF, FLAC, Ogg, Opus and MP3".
std::string SoundLinkList();

} // namespace format
} // namespace sonavel
