#include "player/analysis/core/LargePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace sonavel::analysis {

void AdviseLargePages(const void* p, std::size_t nBytes)
{
#if defined(MADV_HUGEPAGE)
    const std::uintptr_t nLarge = std::uintptr_t(2) << 20;
    const std::uintptr_t nFirst = (reinterpret_cast<std::uintptr_t>(p) + nLarge - 1) & ~(nLarge - 1);
    const std::uintptr_t nEnd = (reinterpret_cast<std::uintptr_t>(p) + nBytes) & ~(nLarge - 1);
    if (p && nEnd > nFirst)
        ::madvise(reinterpret_cast<void*>(nFirst), nEnd - nFirst, MADV_HUGEPAGE); // refused: small pages
#else
    (void)p;
    (void)nBytes;
#endif
}

} // namespace sonavel::analysis
