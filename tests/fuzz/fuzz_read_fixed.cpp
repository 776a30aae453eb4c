// Both fixed-header readers, each on a fresh document: the little-endian variant
// first, as the open path tries them.
#include "tests/fuzz/ReaderHarness.h"

#include "player/audio/SampleConversions.h"

FUZZ_TARGET(read_fixed, "audio")
{
    using namespace sonavel::audio;
    if (fuzz::RunReader(data, size, "fixed-le")) {
        // The header-length field names the bytes of header actually present.
        FUZZ_CHECK(size >= 8);
        const uint32_t nHeader = size < 6480 ? uint32_t(size) : 6480u;
        const uint32_t nField = LoadLE32(data);
        FUZZ_CHECK(nField == nHeader || nField + 4 == nHeader);
        FUZZ_CHECK(LoadLE32(data + 4) == 10);
    }
    if (fuzz::RunReader(data, size, "fixed-be")) {
        FUZZ_CHECK(size >= 8);
        FUZZ_CHECK(LoadBE32(data) == 6480 || LoadBE32(data) == 6476);
        FUZZ_CHECK(LoadBE32(data + 4) == 20);
    }
    return 0;
}
