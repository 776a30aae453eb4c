#pragma once
// What sonavel._sonavel's formants and intensity share: the samples of a Sound
// or of a file, handed to a tracker as a source without the interpreter's
// lock, as sonavel-analyze hands them (a mono 16-bit WAV straight from its
// file, anything else loaded), so both give the same values.
#include <pybind11/pybind11.h>

#include <functional>
#include <string>

#include "player/analysis/core/TrackResult.h"

class CSampleSource;

namespace sonavel {
namespace python {

using TrackFn = std::function<pitch::ETrackResult(const CSampleSource& source, int nCount, int nRate)>;

// fnTrack's result over the sound arg names (channel nChannel of a path;
// SoundOf's rules); strPath and nRate get the file's path and rate. Loading
// failures raise SoundError.
pitch::ETrackResult TrackOver(const pybind11::handle& arg, int nChannel, const TrackFn& fnTrack, std::string& strPath,
                              int& nRate);

} // namespace python
} // namespace sonavel
