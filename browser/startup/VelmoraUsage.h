#pragma once
// What velmora --help prints. Plain C++: the sound links it names are the
// ones the link classification takes (common/SoundLinks.h).
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <string>

namespace velmora {

std::string VelmoraUsage();

} // namespace velmora
