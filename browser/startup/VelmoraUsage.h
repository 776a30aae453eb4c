#pragma once
// What velmora --help prints. Plain C++: the sound links it names are the
// ones the link classification takes (common/SoundLinks.h).
#include <string>

namespace velmora {

std::string VelmoraUsage();

} // namespace velmora
