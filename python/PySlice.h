#pragma once
// sonavel._sonavel.spectrum: the spectral slice of a Sound or a file at one
// time, with the formant analysis' envelope, as numpy arrays the caller owns.
// Called from any Python thread; the interpreter's lock is let go meanwhile.
#include <pybind11/pybind11.h>

namespace sonavel {
namespace python {

// (frequency_hz, db, lpc_db, peaks_hz, lpc_peaks_hz, max_formant_hz): float64
// arrays, lpc_db NaN above the envelope's ceiling. A setting refused raises
// ValueError naming it (at, window), before any file is read where it can.
pybind11::tuple Spectrum(const pybind11::handle& sound, double dAtS, double dWindowS, int nChannel);

} // namespace python
} // namespace sonavel
