// The research tracker's inner loops, once in plain C++ for any processor and
// once built for AVX2. The bodies are one text (NccfKernelsBody.inc) included
// twice, so the two sets cannot drift apart; the compiler vectorises the lanes
// of each, never the order of a sum.
#include "player/analysis/NccfKernels.h"

#include <atomic>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONAVEL_NCCF_AVX2 1
#endif

namespace sonavel::pitch {

namespace plain {
#define NCCF_TARGET
#include "player/analysis/NccfKernelsBody.inc"
#undef NCCF_TARGET
} // namespace plain

#if defined(SONAVEL_NCCF_AVX2)
namespace avx2 {
#define NCCF_TARGET __attribute__((target("avx2")))
#include "player/analysis/NccfKernelsBody.inc"
#undef NCCF_TARGET
} // namespace avx2
#endif

namespace {

const CNccfKernels kPlain = {plain::Decimate, plain::Correlate};
#if defined(SONAVEL_NCCF_AVX2)
const CNccfKernels kAvx2 = {avx2::Decimate, avx2::Correlate};
#endif

} // namespace

const CNccfKernels& PlainNccfKernels() { return kPlain; }

const CNccfKernels& NccfKernels()
{
#if defined(SONAVEL_NCCF_AVX2)
    static const bool bAvx2 = __builtin_cpu_supports("avx2");
    if (bAvx2)
        return kAvx2;
#endif
    return kPlain;
}

} // namespace sonavel::pitch
