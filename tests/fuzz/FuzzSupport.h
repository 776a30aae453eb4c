#pragma once
// What every harness shares: a quiet, bounded environment and the checks that a
// loaded sound must pass whatever file it came from.
#include <cstddef>
#include <cstdint>

struct SampleStore;

namespace fuzz {

// Largest sample block the harnesses allow. A header that claims more is an
// allocation failure the reader must survive, not an out-of-memory report.
constexpr std::size_t kAllocationLimit = 64u << 20;

// Swallows message boxes and beeps (counting them) and caps the sample block;
// idempotent, so every harness calls it first.
void InitEnvironment();
int MessageCount();

// A loaded store is self-consistent: non-negative counts, a block of exactly
// byteLength bytes holding at least sampleCount samples, no lock left behind.
// Touches every sample so the sanitizers see any block that is too small.
void CheckLoadedStore(const SampleStore& store);

} // namespace fuzz
