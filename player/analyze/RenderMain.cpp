// sonavel-render: the render command of sonavel-analyze, which runs it with
// argv[0] "render"; its messages are sonavel-analyze's.
#include "player/analyze/AnalyzeCommands.h"

int main(int argc, char** argv)
{
    sonavel::analyze::KeepBlocksForReuse();
    return sonavel::analyze::RunRender(argc, argv);
}
