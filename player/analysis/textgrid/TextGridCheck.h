#pragma once
// What makes a TextGrid sound, checked one piece at a time so that the reader
// can name the line of the first fault and the writer can refuse a grid it could
// not read back. Each check answers "" when sound, else what is wrong, in words
// that follow a line number or a file's name: "tier 2 \"phones\": interval 3
// starts at 1.5, before the end of interval 2 (1.7)".
//
// Sound means: finite times; the grid does not end before it starts; each tier
// lies within the grid; an interval tier's intervals tile it (the first starts
// where the tier starts, each next one where the one before ends, the last ends
// where the tier ends, none ends before it starts); a point tier's points lie
// within it, each later than the one before (two points at one time would be
// one point lost in other programs).
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstddef>
#include <string>
#include <string_view>

#include "player/analysis/textgrid/TextGrid.h"

namespace sonavel::textgrid {

// "tier 2 \"phones\"": how the messages name a tier (nIndex from 0).
std::string TierTitle(std::size_t nIndex, const Tier& tier);

std::string GridRangeProblem(const TextGrid& grid);
// The tier's start and end against the grid's.
std::string TierRangeProblem(const TextGrid& grid, const Tier& tier);
// Interval nIndex (from 0) against its tier and the interval before it.
std::string IntervalProblem(const Tier& tier, std::size_t nIndex);
// Whether the intervals reach the tier's end (after the last one is read).
std::string TierEndProblem(const Tier& tier);
// Point nIndex (from 0) against its tier and the point before it.
std::string PointProblem(const Tier& tier, std::size_t nIndex);

// The first fault of the whole grid, its tier named; "" when sound. Also refuses
// names and labels that are not UTF-8 (the files are written in UTF-8).
std::string GridProblem(const TextGrid& grid);

} // namespace sonavel::textgrid
