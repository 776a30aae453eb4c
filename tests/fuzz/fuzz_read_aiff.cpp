#include "tests/fuzz/ReaderHarness.h"

#include <cstring>

// A loaded file has a FORM chunk somewhere (the scan may reach it past skipped
// chunks) and its form type is read from the first twelve bytes, so those name
// AIFF or AIFC even when the file does not begin with "FORM".
FUZZ_TARGET(read_aiff, "audio")
{
    if (fuzz::RunReader(data, size, "aiff"))
        FUZZ_CHECK(size >= 12 && memmem(data, size, "FORM", 4) != nullptr &&
                   (std::memcmp(data + 8, "AIFF", 4) == 0 || std::memcmp(data + 8, "AIFC", 4) == 0));
    return 0;
}
