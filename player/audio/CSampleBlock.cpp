#include "CSampleBlock.h"

#include <cstdlib>
#include <limits>

namespace {
std::atomic<std::size_t> g_nAllocationLimit{std::numeric_limits<std::size_t>::max()};
}

CSampleBlockHandle CSampleBlock::Alloc(std::size_t nBytes)
{
    if (nBytes > g_nAllocationLimit.load())
        return nullptr;
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

CSampleBlock::~CSampleBlock() { std::free(m_pData); }
