#pragma once
// The module's one way into the player's loading: a path in, either the sound
// or the line the command line prints for the failure (without its program
// name). Safe to call from several threads at once.
#include <string>

#include "player/audio/SampleStore.h"

namespace sonavel::python {

struct CModuleLoad {
    bool bLoaded = false;
    std::string strReader;  // the reader that took the file
    std::string strFailure; // when not loaded: "cannot open PATH: REASON", "PATH: MESSAGE", ...
};

CModuleLoad LoadForModule(const std::string& path, SampleStore& store);

} // namespace sonavel::python
