#pragma once
// The code under test reads from paths: each input is written to one scratch
// file per process (on tmpfs when there is one), removed at exit.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

std::string WriteScratchFile(const uint8_t* data, std::size_t size, const char* szSuffix = "");

} // namespace fuzz
