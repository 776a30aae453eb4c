#pragma once
// What the module's functions are handed: a path (str, bytes or os.PathLike)
// or a Sound, turned into the sound they work on.
#include <pybind11/pybind11.h>

#include <string>

#include "python/CPySound.h"

namespace sonavel {
namespace python {

bool IsPath(const pybind11::handle& arg);

// A path as the file system's bytes, as open() takes them; TypeError for
// anything else, ValueError for an embedded null byte.
std::string PathBytes(const pybind11::handle& path);

// Loads channel nChannel (1 for the first) as the command line loads: a sound
// without a sample rate is refused too, so every Sound has a time axis. Raises
// SoundError with the command line's line (a channel the file lacks among
// them), ValueError for a channel below 1.
CPySound LoadSound(const std::string& path, int nChannel);

// The sound an argument names: a Sound as it is, a path loaded now (channel
// nChannel of the file). A Sound holds one channel already: a channel other
// than 1 or its own raises ValueError.
CPySound SoundOf(const pybind11::handle& arg, int nChannel);

} // namespace python
} // namespace sonavel
