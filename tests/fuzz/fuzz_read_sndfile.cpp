// The table's last entry, libsndfile, on its own: whatever the codecs make of
// the bytes, a loaded store is consistent and a refusal says
// why (RunReader checks both).
#include "tests/fuzz/ReaderHarness.h"

#include "player/audio/SndfileReader.h"

FUZZ_TARGET(read_sndfile, "sndfile")
{
    // Small parts, so short FLAC inputs also take the several-threads path.
    sonavel::audio::SetSndfilePartFrames(512);
    fuzz::RunReader(data, size, "sndfile");
    return 0;
}
