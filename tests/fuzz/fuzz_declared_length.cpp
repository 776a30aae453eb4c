// The length a sound's header declares, which ends a download: any first
// bytes give -1 or a length that covers the header fields it was read from,
// and the frames it declares are read within them.
#include "tests/fuzz/FuzzTarget.h"

#include "common/SoundDeclaredLength.h"

FUZZ_TARGET(declared_length, "audio")
{
    const int64_t nDeclared = sonavel::format::DeclaredSoundLength(data, size);
    FUZZ_CHECK(nDeclared == -1 || nDeclared >= 12);
    // Only the first bytes count: more of the body changes nothing.
    if (size > 64)
        FUZZ_CHECK(sonavel::format::DeclaredSoundLength(data, 64) == nDeclared);
    // Frames only where a length is declared.
    const int64_t nFrames = sonavel::format::DeclaredSoundFrames(data, size);
    FUZZ_CHECK(nFrames >= -1 && (nDeclared >= 0 || nFrames == -1));
    return 0;
}
