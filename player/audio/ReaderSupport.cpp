#include "player/audio/ReaderSupport.h"

#include "player/audio/AudioResource.h"

#include <limits>

namespace sonavel {
namespace audio {

int AllocSamples(SampleStore& store)
{
    store.hSamples.reset();
    if (store.byteLength < 0)
        return 0;
    store.hSamples = CSampleBlock::Alloc(std::size_t(store.byteLength));
    return store.hSamples ? 1 : 0;
}

CTempBytes AllocTemp(std::size_t nBytes)
{
    if (nBytes > CSampleBlock::AllocationLimit())
        return nullptr;
    return CTempBytes(static_cast<uint8_t*>(std::malloc(nBytes ? nBytes : 1)));
}

EReaderAnswer NoBlock(SampleStore& store, CLoadResult& result)
{
    store.hSamples.reset();
    result.nFailure = ELoadFailure::OutOfMemory;
    result.strMessage.clear();
    result.bBeep = false;
    return EReaderAnswer::Refused;
}

EReaderAnswer OutOfMemory(SampleStore& store, CLoadResult& result)
{
    store.hSamples.reset();
    result.nFailure = ELoadFailure::OutOfMemory;
    result.strMessage = sonavel::STR_NOT_ENOUGH_MEMORY;
    result.bBeep = true;
    return EReaderAnswer::Refused;
}

int SetStoreSize(SampleStore& store, int64_t nSamples, CLoadResult& result)
{
    // The store counts bytes in 32 bits: a longer sound cannot be held at all.
    if (nSamples < 0 || nSamples > std::numeric_limits<int32_t>::max() / 2) {
        OutOfMemory(store, result);
        return 0;
    }
    store.sampleCount = int32_t(nSamples);
    store.byteLength = int32_t(2 * nSamples);
    return 1;
}

int TakeChannel(int nChannel, int nChannels, SampleStore& store, CLoadResult& result)
{
    result.nChannels = nChannels;
    const int nIndex = ChannelIndex(nChannel, nChannels);
    if (nIndex < 0) {
        store.hSamples.reset();
        result.nFailure = ELoadFailure::Refused;
        result.strMessage = NoChannelText(nChannel, nChannels);
        result.bBeep = true;
        return -1;
    }
    result.nChannel = nChannel;
    return nIndex;
}

} // namespace audio
} // namespace sonavel
