#pragma once
// What every harness shares: a quiet, bounded environment and the checks that a
// loaded sound must pass whatever file it came from.
#include <cstddef>
#include <cstdint>

struct SampleStore;

namespace fuzz {

// Largest sample block the harnesses allow. A header that claims more is an
// allocation failure the reader must survive, not an out-of-memory report. The
// inputs are at most 16 KB, so no honest sound comes near it; a larger limit
// only lets headers that claim tens of megabytes of silence slow the search.
constexpr std::size_t kAllocationLimit = 4u << 20;

// Caps the sample block (nothing under test shows a message); idempotent, so
// every harness calls it first.
void InitEnvironment();

// A loaded store is self-consistent: non-negative counts, a block of exactly
// byteLength bytes holding at least sampleCount samples, no lock left behind.
// Touches the last sample so the sanitizers see a block that is too small.
void CheckLoadedStore(const SampleStore& store);

} // namespace fuzz
