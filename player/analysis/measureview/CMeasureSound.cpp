#include "player/analysis/measureview/CMeasureSound.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<uint64_t> g_nLastIdentity{0};
} // namespace

CMeasureSound::CMeasureSound() : m_nIdentity(++g_nLastIdentity) {}

std::shared_ptr<const CMeasureSound> CMeasureSound::FromStore(const SampleStore& store)
{
    std::shared_ptr<CMeasureSound> pSound(new CMeasureSound);
    pSound->m_nRate = store.sampleRate;
    if (store.hSamples && store.sampleCount > 0) {
        pSound->m_hBlock = store.hSamples;
        pSound->m_pHeld = static_cast<const int16_t*>(pSound->m_hBlock->Lock());
        // A store whose block is shorter than its count is shown as far as it goes.
        pSound->m_nCount = std::min<int64_t>(store.sampleCount, static_cast<int64_t>(store.hSamples->Size() / 2));
        pSound->m_nHeldCount = pSound->m_nCount;
    }
    return pSound;
}

std::shared_ptr<const CMeasureSound> CMeasureSound::FromSamples(const int16_t* pSamples, int64_t nCount, int nRate)
{
    std::shared_ptr<CMeasureSound> pSound(new CMeasureSound);
    pSound->m_pHeld = pSamples;
    pSound->m_nCount = pSamples ? std::max<int64_t>(nCount, 0) : 0;
    pSound->m_nHeldCount = pSound->m_nCount;
    pSound->m_nRate = nRate;
    return pSound;
}

std::shared_ptr<const CMeasureSound> CMeasureSound::FromStretch(std::vector<int16_t> held, int64_t nFirstHeld,
                                                                int64_t nCount, int nRate)
{
    std::shared_ptr<CMeasureSound> pSound(new CMeasureSound);
    pSound->m_nCount = std::max<int64_t>(nCount, 0);
    pSound->m_nRate = nRate;
    // Whatever lies outside the sound is not held.
    pSound->m_nFirstHeld = std::clamp<int64_t>(nFirstHeld, 0, pSound->m_nCount);
    const int64_t nSkip = pSound->m_nFirstHeld - nFirstHeld;
    const int64_t nEnd = std::clamp<int64_t>(nFirstHeld + static_cast<int64_t>(held.size()), pSound->m_nFirstHeld,
                                             pSound->m_nCount);
    pSound->m_stretch = std::move(held);
    pSound->m_nHeldCount = nEnd - pSound->m_nFirstHeld;
    pSound->m_pHeld = pSound->m_nHeldCount > 0 ? pSound->m_stretch.data() + nSkip : nullptr;
    return pSound;
}

CMeasureSound::~CMeasureSound()
{
    if (m_hBlock)
        m_hBlock->Unlock();
}
