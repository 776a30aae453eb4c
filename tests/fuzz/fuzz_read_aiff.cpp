#include "tests/fuzz/ReaderHarness.h"

#include <cstring>

FUZZ_TARGET(read_aiff, "audio")
{
    if (fuzz::RunReader(data, size, &CSonavelProDoc::ReadAiff))
        FUZZ_CHECK(size >= 12 && std::memcmp(data, "FORM", 4) == 0 &&
                   (std::memcmp(data + 8, "AIFF", 4) == 0 || std::memcmp(data + 8, "AIFC", 4) == 0));
    return 0;
}
