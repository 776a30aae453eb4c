#pragma once
// sonavel._sonavel's two spectrograms: the measuring view's (any window, top,
// step and dynamic range, over the whole sound) and the analysis window's grid
// of the design's picture.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace sonavel {
namespace python {

// (db, time_s, frequency_hz): db float32 of shape (frequencies, times), column
// k at k x dTimeStepS, the levels the view shades (dB of full scale, floored
// dDynamicRangeDb below the loudest); a top above half the rate is lowered to
// it, as the view lowers it. A setting refused raises ValueError naming the
// argument; a grid past the module's budget raises ValueError before it is
// computed. nChannel: the channel of a file given by its path (SoundOf).
pybind11::tuple Spectrogram(const pybind11::handle& sound, double dWindowS, double dMaxFrequencyHz,
                            double dTimeStepS, double dDynamicRangeDb, int nThreads, int nChannel);

// The analysis window's spectrogram for a client area of nWidth x nHeight
// pixels: float64 (rows from 0 Hz up, columns), 0 to 35 dB.
pybind11::array_t<double> AnalysisWindowGrid(const pybind11::handle& sound, int nWidth, int nHeight, int nChannel);

} // namespace python
} // namespace sonavel
