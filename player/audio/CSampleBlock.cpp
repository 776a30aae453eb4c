#include "player/audio/CSampleBlock.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sys/mman.h>

namespace {
std::atomic<std::size_t> g_nAllocationLimit{std::numeric_limits<std::size_t>::max()};

// A sound of minutes is tens of megabytes. Mapped on 2 MB boundaries and marked
// for huge pages, such a block costs a few dozen page faults instead of one per
// 4 KB page, which is most of the time a load takes. The sanitizer build keeps
// every block on the heap, where it checks the bounds.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SONAVEL_BLOCKS_ON_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(SONAVEL_BLOCKS_ON_HEAP)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kMapThreshold = 2 * kHugePage;

// Fresh anonymous pages are zero already. Null when the mapping fails.
void* MapZeroed(std::size_t nBytes, std::size_t& nMapped)
{
    if (nBytes > std::numeric_limits<std::size_t>::max() - 2 * kHugePage)
        return nullptr;
    nMapped = (nBytes + kHugePage - 1) & ~(kHugePage - 1);
    const std::size_t nRaw = nMapped + kHugePage;
    void* pRaw = ::mmap(nullptr, nRaw, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pRaw == MAP_FAILED)
        return nullptr;
    const auto raw = reinterpret_cast<std::uintptr_t>(pRaw);
    const std::uintptr_t aligned = (raw + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > raw)
        ::munmap(pRaw, aligned - raw);
    const std::uintptr_t end = raw + nRaw;
    if (end > aligned + nMapped)
        ::munmap(reinterpret_cast<void*>(aligned + nMapped), end - (aligned + nMapped));
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), nMapped, MADV_HUGEPAGE); // a hint; failure is harmless
#endif
    return reinterpret_cast<void*>(aligned);
}
} // namespace

CSampleBlockHandle CSampleBlock::Alloc(std::size_t nBytes)
{
    if (nBytes > g_nAllocationLimit.load())
        return nullptr;
    if (kMapLargeBlocks && nBytes >= kMapThreshold) {
        std::size_t nMapped = 0;
        if (void* p = MapZeroed(nBytes, nMapped))
            return CSampleBlockHandle(new CSampleBlock(p, nBytes, nMapped));
        return nullptr;
    }
    // calloc(0) may return null; a zero-length block is still a valid block.
    void* p = std::calloc(nBytes ? nBytes : 1, 1);
    if (!p)
        return nullptr;
    return CSampleBlockHandle(new CSampleBlock(p, nBytes));
}

void CSampleBlock::SetAllocationLimit(std::size_t nBytes) { g_nAllocationLimit = nBytes; }
std::size_t CSampleBlock::AllocationLimit() { return g_nAllocationLimit.load(); }

void* CSampleBlock::Lock()
{
    ++m_nLocks;
    return m_pData;
}

void CSampleBlock::Unlock()
{
    if (m_nLocks.load() > 0)
        --m_nLocks;
}

CSampleBlock::~CSampleBlock()
{
    if (m_nMapped)
        ::munmap(m_pData, m_nMapped);
    else
        std::free(m_pData);
}
