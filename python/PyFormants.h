#pragma once
// sonavel._sonavel.formants and .intensity: the rooms' tracks over a Sound or
// a file, with sonavel-analyze's settings, as numpy arrays.
//
// What they return belongs to Python (numpy arrays that own their memory);
// they are called with the interpreter's lock held and let go of it while
// the sound is read and measured (AnalyseArgument).
#include <pybind11/pybind11.h>

namespace sonavel {
namespace python {

// (time_s, frequency_hz, bandwidth_hz): float64, time_s of shape (frames,),
// the others (frames, count), 0 where a frame lacks the formant. maxFormant
// None (found per file) or Hz. A setting refused raises ValueError naming it:
// before any file is read, or, for a ceiling above half the file's rate, once
// it is read.
pybind11::tuple Formants(const pybind11::handle& sound, const pybind11::handle& maxFormant, int nCount, double dStepS,
                         int nChannel);

// (time_s, db): float64, a frame without any sound at -300 dB. A setting
// refused raises ValueError naming it, before any file is read.
pybind11::tuple Intensity(const pybind11::handle& sound, double dFloorHz, double dStepS, int nChannel);

} // namespace python
} // namespace sonavel
