#pragma once
// The sound a measuring view shows: the samples, their count and rate. It
// holds (and keeps locked) its own share of the player's block, so the view and
// its worker threads go on reading it while the player opens the next sound.
#include <cstdint>
#include <memory>
#include <string>

#include "player/audio/SampleStore.h"

class CMeasureSound {
public:
    // The store's samples as far as its block really holds them.
    static std::shared_ptr<const CMeasureSound> FromStore(const SampleStore& store);
    // Samples someone else keeps alive for as long as the sound is used.
    static std::shared_ptr<const CMeasureSound> FromSamples(const int16_t* pSamples, int64_t nCount, int nRate);

    ~CMeasureSound();
    CMeasureSound(const CMeasureSound&) = delete;
    CMeasureSound& operator=(const CMeasureSound&) = delete;

    const int16_t* Samples() const { return m_pSamples; }
    int64_t Count() const { return m_nCount; }
    int Rate() const { return m_nRate; }
    double Duration() const { return m_nRate > 0 ? static_cast<double>(m_nCount) / m_nRate : 0.0; }

private:
    CMeasureSound() = default;

    CSampleBlockHandle m_hBlock; // locked while held
    const int16_t* m_pSamples = nullptr;
    int64_t m_nCount = 0;
    int m_nRate = 0;
};
