#include "player/analyze/AnalyzeCommands.h"

#include "player/analyze/JsonText.h"
#include "player/audio/SoundReaders.h"

#include <cstdio>
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

} // namespace analyze
} // namespace sonavel
