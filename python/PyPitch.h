#pragma once
// sonavel._sonavel.pitch: either tracker over a Sound or a file, with the
// command line's range and step, as three numpy arrays.
#include <pybind11/pybind11.h>

namespace sonavel {
namespace python {

// (time_s, pitch_hz, confidence), float64 each. tracker is a tracker's name;
// floor, ceiling and step are None (the tracker's own) or numbers. A setting
// the tracker refuses raises ValueError naming it, before any file is read.
// nChannel: the channel of a file given by its path (SoundOf).
pybind11::tuple Pitch(const pybind11::handle& sound, const pybind11::handle& tracker, const pybind11::handle& floor,
                      const pybind11::handle& ceiling, const pybind11::handle& step, int nThreads, int nChannel);

} // namespace python
} // namespace sonavel
