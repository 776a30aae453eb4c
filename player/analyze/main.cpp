// sonavel-analyze: the player's loading and analysis without a window or
// sound, for scripts, corpora and tests. Messages go to stderr.
#include "player/analyze/AnalyzeCommands.h"

#include <cstdio>
#include <cstring>
#include <iterator>

using namespace sonavel::analyze;

namespace {

// One line per subcommand.
const AnalyzeCommand s_commands[] = {
    {"info", "FILE...", RunInfo},
    {"samples", "FILE -o OUT", RunSamples},
    {"pitch", "[-j N] [-o DIR] [--format csv|json|pitchtier] FILE...", RunPitch},
    {"render", "FILE -o OUT.png", StartRender},
};

void PrintUsage(std::FILE* pOut)
{
    std::fprintf(pOut, "usage:\n");
    for (const AnalyzeCommand& c : s_commands)
        std::fprintf(pOut, "  sonavel-analyze %s %s\n", c.szName, c.szUsage);
    std::fprintf(pOut, "  sonavel-analyze --help | --version\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        PrintUsage(stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("sonavel-analyze %s\n", PROGRAM_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    for (const AnalyzeCommand& c : s_commands)
        if (std::strcmp(argv[1], c.szName) == 0)
            return c.pfnRun(argc - 1, argv + 1);
    std::fprintf(stderr, "sonavel-analyze: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
