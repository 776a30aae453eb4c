#pragma once
// How many locks a sample block holds: what the tests check to know that
// every reader, analysis and playback let go of the samples. The count is the
// block's own business; only the tests look at it.
#include "player/audio/CSampleBlock.h"

struct CSampleBlockProbe {
    static int LockCount(const CSampleBlock& block) { return block.m_nLocks.load(); }
    static int LockCount(const CSampleBlockHandle& hBlock) { return hBlock ? LockCount(*hBlock) : 0; }
};

// The blocks' allocation limit for one scope; the old limit is back when the
// scope ends, even after a failed check. Set moves it within the scope.
class CScopedAllocationLimit {
public:
    explicit CScopedAllocationLimit(std::size_t nBytes) : m_nOld(CSampleBlock::AllocationLimit()) { Set(nBytes); }
    ~CScopedAllocationLimit() { CSampleBlock::SetAllocationLimit(m_nOld); }
    CScopedAllocationLimit(const CScopedAllocationLimit&) = delete;
    CScopedAllocationLimit& operator=(const CScopedAllocationLimit&) = delete;
    void Set(std::size_t nBytes) { CSampleBlock::SetAllocationLimit(nBytes); }

private:
    std::size_t m_nOld;
};
