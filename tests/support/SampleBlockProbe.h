#pragma once
// How many locks a sample block holds: what the tests check to know that
// every reader, analysis and playback let go of the samples. The count is the
// block's own business; only the tests look at it.
#include "player/audio/CSampleBlock.h"

struct CSampleBlockProbe {
    static int LockCount(const CSampleBlock& block) { return block.m_nLocks.load(); }
    static int LockCount(const CSampleBlockHandle& hBlock) { return hBlock ? LockCount(*hBlock) : 0; }
};
