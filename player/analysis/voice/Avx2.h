#pragma once
// Loops built twice, plainly and for AVX2, and the choice between them, made
// once by what the processor running the program can do. Only loops that do
// the same operations on each value are built both ways (no sums across
// values), so both give the same numbers.
//
// The choice is made once (a function-local static); any thread may ask it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SONAVEL_VOICE_AVX2 __attribute__((target("avx2")))
namespace sonavel::voice {
inline bool HasAvx2()
{
    static const bool bHas = __builtin_cpu_supports("avx2");
    return bHas;
}
} // namespace sonavel::voice
#else
#define SONAVEL_VOICE_AVX2
namespace sonavel::voice {
inline bool HasAvx2() { return false; }
} // namespace sonavel::voice
#endif
// A loop's body, inlined into both builds.
#define SONAVEL_VOICE_INLINE inline __attribute__((always_inline))
