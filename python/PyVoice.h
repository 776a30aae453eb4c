#pragma once
// sonavel._sonavel.voice, .pulses and .harmonicity: the voice report of a span
// of a Sound or a file, and the pulses and harmonicity frames it is made of,
// with sonavel-analyze voice's settings. What they return belongs to Python
// (numpy arrays that own their memory, numbers, None); they are called with
// the interpreter's lock held, and let go of it while the sound is read and
// measured.
#include <pybind11/pybind11.h>

namespace sonavel {
namespace python {

// Adds voice(sound, start, end, floor, ceiling, channel) -> (start_s, end_s,
// f0_median_hz, ..., cpps_db) in sonavel-analyze voice's column order, None
// where a value cannot be had; pulses(...) -> float64 array of times; and
// harmonicity(...) -> (time_s, db). start and end: None for the sound's own.
// A setting refused raises ValueError naming it, before any file is read.
void AddVoice(pybind11::module_& m);

} // namespace python
} // namespace sonavel
