#pragma once
// The sound a measuring view shows: its sample count and rate, and the samples
// it holds. The view holds all of them, as its own (locked) share of the
// player's block, so the view and its worker threads go on reading them while
// the player opens the next sound; render --view of a stretch holds only the
// samples that stretch's picture reads.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/audio/SampleStore.h"

class CMeasureSound {
public:
    // The store's samples as far as its block really holds them.
    static std::shared_ptr<const CMeasureSound> FromStore(const SampleStore& store);
    // Samples someone else keeps alive for as long as the sound is used.
    static std::shared_ptr<const CMeasureSound> FromSamples(const int16_t* pSamples, int64_t nCount, int nRate);
    // Samples nFirstHeld .. nFirstHeld + held.size() - 1 of a sound of
    // nCount samples, kept here.
    static std::shared_ptr<const CMeasureSound> FromStretch(std::vector<int16_t> held, int64_t nFirstHeld,
                                                            int64_t nCount, int nRate);

    ~CMeasureSound();
    CMeasureSound(const CMeasureSound&) = delete;
    CMeasureSound& operator=(const CMeasureSound&) = delete;

    // Which sound this is, never the same for two sounds of one process (an
    // address may be that of the sound before).
    uint64_t Identity() const { return m_nIdentity; }
    int64_t Count() const { return m_nCount; }
    int Rate() const { return m_nRate; }
    double Duration() const { return m_nRate > 0 ? static_cast<double>(m_nCount) / m_nRate : 0.0; }

    // The samples held: HeldCount() of them, from sample FirstHeld() of the sound on.
    const int16_t* HeldSamples() const { return m_pHeld; }
    int64_t FirstHeld() const { return m_nFirstHeld; }
    int64_t HeldCount() const { return m_nHeldCount; }
    bool HoldsAll() const { return m_nFirstHeld == 0 && m_nHeldCount == m_nCount; }

private:
    CMeasureSound();

    const uint64_t m_nIdentity;
    CSampleBlockHandle m_hBlock;  // locked while held
    std::vector<int16_t> m_stretch; // the samples of FromStretch
    const int16_t* m_pHeld = nullptr;
    int64_t m_nFirstHeld = 0, m_nHeldCount = 0;
    int64_t m_nCount = 0;
    int m_nRate = 0;
};
