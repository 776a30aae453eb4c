#pragma once
// sonavel._sonavel's TextGrids and per-interval table: a TextGrid crosses to
// Python as plain tuples, which sonavel/__init__.py turns into its named
// tuples (and back: named tuples are tuples).
//
// A grid: (start_s, end_s, [tier, ...]); an interval tier: (name, False,
// start_s, end_s, [(start_s, end_s, label), ...]); a point tier: (name, True,
// start_s, end_s, [(time_s, label), ...]).
//
// What they return belongs to Python; they are called with the interpreter's
// lock held.
#include <pybind11/pybind11.h>

namespace sonavel {
namespace python {

// The grid in the file at path. A broken file raises ValueError with the
// reader's line ("FILE:12: ..."); one that cannot be read OSError.
pybind11::tuple ReadGrid(const pybind11::handle& path);

// Writes the grid atomically; ValueError for a grid that is not sound,
// OSError when the file cannot be written.
void WriteGrid(const pybind11::handle& grid, const pybind11::handle& path);

// The table's columns for a Sound or path and a grid (as above), every tier or
// only tier's (None: every tier): (tier, label, start_s, end_s, f0_mean_hz,
// f0_min_hz, f0_max_hz, f1_hz, f2_hz, f3_hz, intensity_db), labels and tiers
// as lists, the rest numpy float64 arrays with NaN where a value is missing.
pybind11::tuple MeasureTable(const pybind11::handle& sound, const pybind11::handle& grid,
                             const pybind11::handle& tier);

} // namespace python
} // namespace sonavel
