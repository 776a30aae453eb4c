#pragma once
// How long a sound file says it is: the length its own header declares, for
// the formats whose header gives one. A download stops there, so a server that
// sends more (or never stops) cannot fill the disk behind a genuine sound.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <cstddef>
#include <cstdint>

namespace sonavel {
namespace format {

// The whole file's length in bytes as pHead (the file's first nHead bytes)
// declares it: RIFF/WAVE (8 + the RIFF size), RF64 (8 + the ds64 chunk's RIFF
// size), FORM (8 + the FORM size) and AU (data offset + data size). -1 when the
// header declares none: another format, too few bytes, or the values writers
// use for "not known yet" (a size of 0 or all ones).
int64_t DeclaredSoundLength(const uint8_t* pHead, std::size_t nHead);

// The sample frames the same header declares: a WAV's or RF64's data size over
// its frame size, an AIFF's frame count, an AU's data size over its frame
// size; -1 where it declares none (as above) or pHead ends before saying.
// A file shorter than DeclaredSoundLength holds fewer: the player tells how
// many seconds of these arrived.
int64_t DeclaredSoundFrames(const uint8_t* pHead, std::size_t nHead);

} // namespace format
} // namespace sonavel
