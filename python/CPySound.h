#pragma once
// A loaded sound as the module's Sound object holds it, and the ways in and
// out of it: the checked look inside a Sound, its pickled state, its samples.
//
// A CPySound owns its samples (its store's blocks are shared with the arrays
// handed out over them); it is touched only with the interpreter's lock held.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <string>

#include "player/audio/SampleStore.h"

struct CPySound {
    SampleStore m_store;
    std::string m_strPath; // the file system's bytes, as given
    std::string m_strReader;
    int m_nChannels = 1; // the file's
    int m_nChannel = 1;  // the one held, 1 for the first

    // Samples the block really holds, whatever the count claims.
    size_t Samples() const
    {
        if (!m_store.hSamples || m_store.sampleCount <= 0)
            return 0;
        return std::min(m_store.hSamples->Size() / sizeof(int16_t), static_cast<size_t>(m_store.sampleCount));
    }
};

namespace sonavel {
namespace python {

// The sound inside a Sound object. Python can make a Sound that holds none
// (Sound.__new__, or a pickle that never hands over its state): every use of
// one raises ValueError. Anything that is no Sound raises TypeError.
const CPySound& SoundContents(const pybind11::handle& obj);

// Pickled as (path, reader, sample rate, samples as bytes, channels, channel),
// so a worker process can send a Sound back whole (a state of the first four,
// from before channels, holds the first of one); a state without a positive
// rate, whole 16-bit samples or a channel the file has raises ValueError, one
// whose items have the wrong types TypeError.
pybind11::tuple SoundState(const CPySound& sound);
CPySound SoundFromState(const pybind11::tuple& state);

// The samples: a read-only numpy array over the sound's own block, no copy.
pybind11::array_t<int16_t> SamplesOf(const CPySound& sound);

// The reduction of a Sound for any pickle protocol: protocol 2's (the class's
// __new__, then __setstate__ with SoundState), which every protocol can write.
// Protocols 0 and 1 would otherwise have copyreg call pybind11's base type.
pybind11::object SoundReduction(const pybind11::handle& self);

// pybind11's base of every class is reachable from Python (as
// type(sound).__mro__[1], or a class derived from it), and making an object of
// a type without a C++ class behind it ends the process. Once this has run,
// doing so raises TypeError instead; the module calls it before making its
// classes, so they inherit the check.
void GuardBaseType();

} // namespace python
} // namespace sonavel
