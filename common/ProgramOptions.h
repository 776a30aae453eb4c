#pragma once
// The two options every program answers before it touches a display or a
// profile: a sole --help or --version. Any other command line is the
// program's own (for the player, a file to open, even one named --help).
#include <cstdio>
#include <cstring>

namespace programoptions {

// Prints szUsage for --help, szVersionLine for --version; returns the exit
// status (1 when standard output cannot be written), or -1 when the command
// line is not one of the two.
inline int AnswerHelpOrVersion(int argc, char** argv, const char* szUsage, const char* szVersionLine)
{
    if (argc != 2)
        return -1;
    if (std::strcmp(argv[1], "--help") == 0)
        std::fputs(szUsage, stdout);
    else if (std::strcmp(argv[1], "--version") == 0)
        std::fputs(szVersionLine, stdout);
    else
        return -1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace programoptions
