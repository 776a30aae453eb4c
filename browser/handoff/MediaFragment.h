#pragma once
// A link to a moment of a sound: the temporal part of a media fragment
// ("clip.wav#t=12.5,14.2") becomes the player's --select value.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <QString>

namespace velmora {

// The span the "t=" part of strUrl's fragment names, as "S,E" or "S," (to the
// sound's end), in decimal seconds; empty when there is none. Only an address
// with a scheme has a fragment: in a bare path "#" is part of a file name.
// Forms: "t=12.5", "t=12.5,14.2", "t=,3" (from 0), an optional "npt:" prefix,
// and each time as seconds or [hh:]mm:ss, with a decimal fraction. Other
// "&"-separated parts are ignored; of several "t=" parts the last valid one
// counts; an invalid one (a start not before its end once both are rounded
// to the microsecond, an unknown unit) counts as none.
QString MediaFragmentSelection(const QString& strUrl);

}  // namespace velmora
