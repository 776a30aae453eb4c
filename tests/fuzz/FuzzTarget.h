#pragma once
// One fuzz entry point per harness file, usable two ways:
// - built with FUZZ_LIBFUZZER (clang, -fsanitize=fuzzer), the entry point becomes
//   LLVMFuzzerTestOneInput and the file is its own libFuzzer program;
// - built without it, the entry point registers itself under its name, so the replay
//   test runs every committed corpus and regression input through the same code.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace fuzz {

using EntryPoint = int (*)(const uint8_t* data, size_t size);

struct TargetInfo {
    EntryPoint fn;
    std::string corpus; // folder of the seed corpus under corpus/
};

inline std::map<std::string, TargetInfo>& Registry()
{
    static std::map<std::string, TargetInfo> s_targets;
    return s_targets;
}

struct CRegistrar {
    CRegistrar(const char* szName, const char* szCorpus, EntryPoint fn) { Registry()[szName] = {fn, szCorpus}; }
};

// Invariants the harnesses check beyond "no crash": a violated one is a finding,
// reported the same way a sanitizer reports (message, then abort).
[[noreturn]] inline void CheckFailed(const char* szExpr, const char* szFile, int nLine)
{
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s at %s:%d\n", szExpr, szFile, nLine);
    std::abort();
}

} // namespace fuzz

#define FUZZ_CHECK(cond) \
    do { if (!(cond)) ::fuzz::CheckFailed(#cond, __FILE__, __LINE__); } while (0)

#ifdef FUZZ_LIBFUZZER
// name: the harness (and its program fuzz_<name>); corpus: its seed folder.
#define FUZZ_TARGET(name, corpus)                                                \
    static int FuzzEntry_##name(const uint8_t* data, size_t size);               \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)      \
    {                                                                            \
        return FuzzEntry_##name(data, size);                                     \
    }                                                                            \
    static int FuzzEntry_##name(const uint8_t* data, size_t size)
#else
#define FUZZ_TARGET(name, corpus)                                                \
    static int FuzzEntry_##name(const uint8_t* data, size_t size);               \
    static ::fuzz::CRegistrar s_registrar_##name(#name, corpus, &FuzzEntry_##name); \
    static int FuzzEntry_##name(const uint8_t* data, size_t size)
#endif
