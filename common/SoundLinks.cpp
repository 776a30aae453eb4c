#include "common/SoundLinks.h"

namespace sonavel {
namespace format {
namespace {

// The newer formats count only at the path's end, so a host such as
// www.mp3.example or a page named mp3.htm stays a web page.
constexpr CSoundLinkFormat s_links[] = {
    {"WAV", {".wav", nullptr}, true},
    {"AIFF", {".aif", nullptr}, true},
    {"FLAC", {".flac", nullptr}, false},
    {"Ogg", {".ogg", ".oga"}, false},
    {"Opus", {".opus", nullptr}, false},
    {"MP3", {".mp3", nullptr}, false},
};

} // namespace

const CSoundLinkFormat* SoundLinkFormats(std::size_t& nCount)
{
    nCount = sizeof s_links / sizeof s_links[0];
    return s_links;
}

std::string SoundLinkList()
{
    std::size_t nCount = 0;
    const CSoundLinkFormat* pLinks = SoundLinkFormats(nCount);
    std::string list;
    for (std::size_t i = 0; i < nCount; ++i)
        list += std::string(i == 0 ? "" : i + 1 == nCount ? " and " : ", ") + pLinks[i].szName;
    return list;
}

} // namespace format
} // namespace sonavel
