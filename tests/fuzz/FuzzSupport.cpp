#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/SampleBlockProbe.h"

#include "tests/fuzz/FuzzTarget.h"

#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

namespace fuzz {

void InitEnvironment()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    CSampleBlock::SetAllocationLimit(kAllocationLimit);
}

void CheckLoadedStore(const SampleStore& store)
{
    FUZZ_CHECK(store.hSamples != nullptr);
    FUZZ_CHECK(store.byteLength >= 0);
    FUZZ_CHECK(store.sampleCount >= 0);
    FUZZ_CHECK(store.hSamples->Size() == static_cast<std::size_t>(store.byteLength));
    FUZZ_CHECK(2 * static_cast<int64_t>(store.sampleCount) <= store.byteLength);
    FUZZ_CHECK(CSampleBlockProbe::LockCount(store.hSamples) == 0);
    if (store.sampleCount > 0) {
        CSampleLock lock(store.hSamples);
        volatile int16_t nLast = lock.Samples()[store.sampleCount - 1];
        (void)nLast;
    }
}

} // namespace fuzz
