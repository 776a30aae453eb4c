#pragma once
// The two options every program answers before it touches a display or a
// profile: a sole --help or --version. Any other command line is the
// program's own (for the player, a file to open, even one named --help).
//
// Header-only functions called once from a program's main, on its main thread; they write to stdout or
// stderr and own nothing.
#include <cstdio>
#include <cstring>
#include <string>

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

// strText as lines of at most nWidth characters (a longer word stands alone),
// each ending in a newline: a usage paragraph with a list filled in at run time.
inline std::string WrapText(const std::string& strText, std::size_t nWidth = 79)
{
    std::string strOut, strLine;
    std::size_t nAt = 0;
    while (nAt < strText.size()) {
        std::size_t nEnd = strText.find(' ', nAt);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const std::string strWord = strText.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        if (strWord.empty())
            continue;
        if (!strLine.empty() && strLine.size() + 1 + strWord.size() > nWidth) {
            strOut += strLine + "\n";
            strLine.clear();
        }
        strLine += (strLine.empty() ? "" : " ") + strWord;
    }
    return strLine.empty() ? strOut : strOut + strLine + "\n";
}

} // namespace programoptions
