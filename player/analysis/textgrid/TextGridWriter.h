#pragma once
// Writing a TextGrid in the long text form, UTF-8 without a byte-order mark,
// laid out line for line as Praat writes it and with every time in the fewest
// digits that read back as the same double, so that Praat and our reader get
// back exactly the grid that was written.
//
// Writes a grid the caller owns through common's OutputFile and keeps no state; any
// thread.
#include <string>

#include "player/analysis/textgrid/TextGrid.h"

namespace sonavel::textgrid {

struct WriteResult {
    bool bOk = false;
    int nErrno = 0;      // the system's error when the file could not be written
    std::string strWhat; // what went wrong, for a message after the file's name
};

// The file's text. The grid should be sound (GridProblem answers ""): a broken
// one is written as it is and would not read back.
std::string FormatTextGrid(const TextGrid& grid);

// Writes the grid to strPath as every user's file is written (common's
// OutputFile.h: whole or not at all; a device or a FIFO in place). Refuses a
// grid that is not sound, with GridProblem's words, or one with a carriage
// return in a name or label (no TextGrid reader gets it back), and writes
// nothing then.
WriteResult WriteTextGrid(const TextGrid& grid, const std::string& strPath);

} // namespace sonavel::textgrid
