#include "player/analysis/measure/CMeasureSound.h"

#include <algorithm>

std::shared_ptr<const CMeasureSound> CMeasureSound::FromStore(const SampleStore& store)
{
    std::shared_ptr<CMeasureSound> pSound(new CMeasureSound);
    pSound->m_nRate = store.sampleRate;
    if (store.hSamples && store.sampleCount > 0) {
        pSound->m_hBlock = store.hSamples;
        pSound->m_pSamples = static_cast<const int16_t*>(pSound->m_hBlock->Lock());
        // A store whose block is shorter than its count is shown as far as it goes.
        pSound->m_nCount = std::min<int64_t>(store.sampleCount, static_cast<int64_t>(store.hSamples->Size() / 2));
    }
    return pSound;
}

std::shared_ptr<const CMeasureSound> CMeasureSound::FromSamples(const int16_t* pSamples, int64_t nCount, int nRate)
{
    std::shared_ptr<CMeasureSound> pSound(new CMeasureSound);
    pSound->m_pSamples = pSamples;
    pSound->m_nCount = pSamples ? std::max<int64_t>(nCount, 0) : 0;
    pSound->m_nRate = nRate;
    return pSound;
}

CMeasureSound::~CMeasureSound()
{
    if (m_hBlock)
        m_hBlock->Unlock();
}
