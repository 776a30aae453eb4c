#pragma once
// Reading a TextGrid: the long and the short text forms, in any encoding
// DecodeText knows, interval and point tiers. A broken file gives one message
// naming its line, never a crash, and never memory in proportion to a count the
// file claims (the tiers grow as their pieces are read).
//
// Answers a grid by value and keeps no state; any thread.
#include <string>
#include <string_view>

#include "player/analysis/textgrid/TextGrid.h"

namespace sonavel::textgrid {

enum class EReadFailure {
    None,
    CannotRead, // the file cannot be opened or read (nErrno says why)
    NotTextGrid,// no TextGrid at all: another file, a binary TextGrid, another object
    Malformed,  // a TextGrid that is broken at nLine
    NoMemory,   // the file is larger than the memory to hold it
};

struct ReadResult {
    EReadFailure eFailure = EReadFailure::None;
    int nErrno = 0;          // CannotRead: the system's error
    const char* szNotAFile = nullptr; // CannotRead of what is no regular file: "a FIFO", "a device"...
    int nLine = 0;           // Malformed: the line (1 the first); 0 when no line is to blame
    std::string strWhat;     // what went wrong, for a message after the file's name and line
    TextGrid grid;           // the grid when read; empty on failure
    bool Ok() const { return eFailure == EReadFailure::None; }
};

// The TextGrid in a file.
ReadResult ReadTextGrid(const std::string& strPath);

// The TextGrid in a file's bytes (the Python module's, the fuzzers').
ReadResult ParseTextGrid(std::string_view bytes);

// One line for a failure: "FILE:12: interval 3 starts at 1.5, before the end of
// interval 2 (1.7)", or "FILE: cannot read it (No such file or directory)",
// "FILE: cannot read it (is a FIFO, not a file)".
std::string DescribeFailure(const std::string& strPath, const ReadResult& result);

// The TextGrid of the same name beside a sound: take7.wav -> take7.TextGrid,
// else take7.textgrid when only that is a file; "" when neither is.
std::string TextGridBeside(const std::string& strSound);

} // namespace sonavel::textgrid
