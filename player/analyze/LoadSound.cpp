#include "player/analyze/AnalyzeCommands.h"

#include "player/audio/SoundReaders.h"

#include <cstdio>

namespace sonavel {
namespace analyze {

void PrintError(const std::string& text) { std::fprintf(stderr, "sonavel-analyze: %s\n", text.c_str()); }

bool LoadSound(const std::string& path, SampleStore& store, std::string& strReader)
{
    const audio::CLoadResult result = audio::LoadSoundForAnalysis(path, store);
    if (!result.Loaded()) {
        PrintError(audio::DescribeLoadFailure(result, path));
        return false;
    }
    strReader = result.strReader;
    return true;
}

} // namespace analyze
} // namespace sonavel
