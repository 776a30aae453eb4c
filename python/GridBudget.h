#pragma once
// The memory one grid of results may take. Every grid the module computes (a
// spectrogram today) asks here with its size before anything is allocated, so
// an absurd size is a ValueError at once rather than minutes of swapping or a
// MemoryError from deep inside.
//
// A constant and a check: it owns nothing and keeps no state, so any thread
// may call it.
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "player/analysis/core/AnalysisBudget.h"

namespace sonavel {
namespace python {

// The analysis' own budget, so the module refuses what the measuring view and
// render --view refuse.
using sonavel::analysis::kGridBudgetBytes;

// nCells values of nCellBytes each, counting every copy the computation holds
// at once; strWhat names the grid for the message ("a spectrogram of 3000 x
// 100000 pixels"), strHint (if any) says how to make it smaller.
inline void RequireGridBudget(std::uint64_t nCells, std::size_t nCellBytes, const std::string& strWhat,
                              const std::string& strHint = std::string())
{
    if (nCells > kGridBudgetBytes / nCellBytes)
        throw pybind11::value_error(strWhat + " would take " + std::to_string(nCells / (std::uint64_t(1) << 20) * nCellBytes)
                                    + " MiB, more than the " + std::to_string(kGridBudgetBytes >> 20)
                                    + " MiB one grid may take" + (strHint.empty() ? "" : ": " + strHint));
}

} // namespace python
} // namespace sonavel
