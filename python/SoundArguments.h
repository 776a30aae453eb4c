#pragma once
// What the module's functions are handed: a path (str, bytes or os.PathLike)
// or a Sound, turned into the sound they work on.
//
// Called with the interpreter's lock held; AnalyseArgument alone lets go of it,
// around the door. A CPySound returned owns its samples.
#include <pybind11/pybind11.h>

#include <functional>
#include <string>

#include "player/analysis/core/CSoundInput.h"

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

// An analysis's door over the sound arg names, run without the interpreter's
// lock: a path's channel nChannel as every analysis reads a file (a mono
// 16-bit WAV streamed, any other sound loaded), a Sound's samples as it holds
// them (SoundOf's rules for the channel). strPath receives the name the
// messages give. Raises ValueError for a channel below 1, TypeError for
// anything that is neither.
using DoorFn = std::function<analysis::SoundOutcome(const analysis::CSoundInput& input)>;
analysis::SoundOutcome AnalyseArgument(const pybind11::handle& arg, int nChannel, const DoorFn& fnDoor,
                                       std::string& strPath);

// Raises what an outcome other than Done says, in DescribeOutcome's words:
// SoundError (with the system's errno) when the sound could not be loaded,
// MemoryError for NoMemory, SoundError for the rest.
[[noreturn]] void RaiseOutcome(const analysis::SoundOutcome& outcome, const analysis::OutcomeWords& words,
                               const std::string& strPath);

} // namespace python
} // namespace sonavel
