#pragma once
// The loaded sound: one channel of signed 16-bit native-order samples.
//
// A value: the block it holds is shared (CSampleBlockHandle), so copies may travel to
// other threads.
#include <cstdint>

#include "player/audio/CSampleBlock.h"

struct SampleStore {
    int32_t byteLength = 0;   // bytes in the block (2 x sampleCount, except the fixed-header reader)
    int32_t sampleCount = 0;
    int32_t sampleRate = 0;
    CSampleBlockHandle hSamples; // null when empty

    void Clear()
    {
        byteLength = sampleCount = sampleRate = 0;
        hSamples.reset();
    }
};
