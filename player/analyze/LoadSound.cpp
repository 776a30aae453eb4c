#include "player/analyze/AnalyzeCommands.h"

#include "player/analyze/JsonText.h"
#include "player/audio/SoundReaders.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <malloc.h>

namespace sonavel {
namespace analyze {

// The whole line is escaped as JSON escapes a string: the names in it are the
// user's bytes, and a newline or a terminal's escape sequence in one would
// otherwise forge lines or reach the terminal.
void PrintError(const std::string& text)
{
    std::fprintf(stderr, "sonavel-analyze: %s\n", JsonEscaped(text).c_str());
}

void KeepBlocksForReuse()
{
    const int nLargestKept = 32 << 20;
    mallopt(M_MMAP_THRESHOLD, nLargestKept);
    mallopt(M_TRIM_THRESHOLD, nLargestKept);
}

bool LoadSound(const std::string& path, SampleStore& store, std::string& strReader, int nChannel, int* pChannels)
{
    const audio::CLoadResult result = audio::LoadSoundForAnalysis(path, store, nChannel);
    if (!result.Loaded()) {
        PrintError(audio::DescribeLoadFailure(result, path));
        return false;
    }
    strReader = result.strReader;
    if (pChannels)
        *pChannels = result.nChannels;
    return true;
}

bool OptionValue(int argc, char** argv, int& i, const std::string& strName, std::string& strValue)
{
    const std::string a = argv[i];
    if (a == strName && i + 1 < argc) {
        strValue = argv[++i];
        return true;
    }
    if (strName.size() > 2 && a.rfind(strName + "=", 0) == 0) {
        strValue = a.substr(strName.size() + 1);
        return true;
    }
    return false;
}

bool ChannelOption(int argc, char** argv, int& i, int& nChannel)
{
    std::string v;
    if (!OptionValue(argc, argv, i, "--channel", v))
        return false;
    char* pEnd = nullptr;
    const long n = std::strtol(v.c_str(), &pEnd, 10);
    nChannel = !v.empty() && v[0] != '-' && v[0] != '+' && *pEnd == 0 && n >= 1
                       && n <= std::numeric_limits<int>::max()
                   ? int(n)
                   : 0;
    if (nChannel == 0)
        PrintError("--channel: '" + v + "' is not a channel number (1 for the first)");
    return true;
}

} // namespace analyze
} // namespace sonavel
