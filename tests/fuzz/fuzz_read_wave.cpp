#include "tests/fuzz/ReaderHarness.h"

#include <cstring>

FUZZ_TARGET(read_wave, "audio")
{
    if (fuzz::RunReader(data, size, "wave"))
        FUZZ_CHECK(size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0);
    return 0;
}
