#include "tests/fuzz/ReaderHarness.h"

#include <cstring>

FUZZ_TARGET(read_au, "audio")
{
    if (fuzz::RunReader(data, size, "au")) {
        FUZZ_CHECK(size >= 24);
        const bool bBig = std::memcmp(data, ".snd", 4) == 0 || std::memcmp(data, ".sd\0", 4) == 0;
        const bool bLittle = std::memcmp(data, "dns.", 4) == 0 || std::memcmp(data, "\0ds.", 4) == 0;
        FUZZ_CHECK(bBig || bLittle);
    }
    return 0;
}
