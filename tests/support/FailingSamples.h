#pragma once
// A sample source whose every fetch fails, as a file that cannot be read
// again: what an analysis must answer with a failure, not a track.
#include "player/analysis/core/CSampleSource.h"

class CFailingSamples : public CSampleSource {
public:
    bool NeedsBuffer() const override { return true; }
    const int16_t* Fetch(int, int, int16_t*) const override { return nullptr; }
};
