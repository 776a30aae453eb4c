#pragma once
// A Sound made from samples a program already holds (a numpy array), and a
// Sound's samples as values, a span of it, and the Sound written as a WAV.
// Every function returns a new object the caller owns (Python, once
// returned); each is called from any Python thread holding the interpreter's
// lock, and lets go of it only while a file is written.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "python/CPySound.h"

namespace sonavel {
namespace python {

// Sound(samples, sample_rate): a one-dimensional array of int16 taken as it
// is (or of another integer type whose values all fit 16 bits), or of
// floating point in [-1, 1] scaled by 32768, rounded to the nearest whole
// (halves away from zero) and clipped to -32768 .. 32767. TypeError for any
// other kind of array or a rate that is no whole number, ValueError for a
// shape that is not one-dimensional, an empty array, NaN or infinity, integers
// out of range, a rate not above 0.
CPySound SoundFromSamples(const pybind11::handle& samples, const pybind11::handle& rate);

// The samples / 32768 as float64: a new array, the Sound's own stays as it is.
pybind11::array_t<double> ValuesOf(const CPySound& sound);

// Samples start .. end (seconds, each rounded to the nearest sample, end None
// for the sound's end, an end past it stopping there) as a new Sound of the
// same rate, path and channel. ValueError for a span holding no sample, a
// start below 0 or NaN.
CPySound ExtractSpan(const CPySound& sound, double dStartS, const pybind11::handle& end);

// The Sound as a mono 16-bit WAV at path, written whole or not at all (an
// earlier file there stays as it was on failure). SoundError with the
// system's reason.
void SaveSound(const CPySound& sound, const pybind11::handle& path);

} // namespace python
} // namespace sonavel
