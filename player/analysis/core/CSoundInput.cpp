#include "player/analysis/core/CSoundInput.h"

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/CWaveFileSamples.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

namespace sonavel::analysis {

CSoundInput CSoundInput::File(const std::string& strPath, int nChannel)
{
    CSoundInput input;
    input.m_strPath = strPath;
    input.m_nChannel = nChannel;
    return input;
}

CSoundInput CSoundInput::Samples(const CSampleSource& source, int nCount, int nRate)
{
    CSoundInput input;
    input.m_pSource = &source;
    input.m_nCount = nCount;
    input.m_nRate = nRate;
    return input;
}

SoundOutcome AnalyseSound(const CSoundInput& input, const AnalyseFn& fnAnalyse)
{
    SoundOutcome outcome;
    if (!input.IsFile()) {
        outcome.nRate = input.Rate();
        outcome.nCount = input.Count();
        outcome.nOutcome = fnAnalyse(*input.Source(), input.Count(), input.Rate());
        return outcome;
    }
    if (input.Channel() == 1) {
        CWaveFileSamples file;
        if (file.Open(input.Path())) {
            outcome.nRate = file.Rate();
            outcome.nCount = file.Count();
            outcome.nOutcome = fnAnalyse(file, file.Count(), file.Rate());
            if (outcome.nOutcome != EOutcome::SourceFailed)
                return outcome;
        }
    }
    SampleStore store; // freed on return: the samples are not held once analysed
    outcome.load = audio::LoadSoundForAnalysis(input.Path(), store, input.Channel());
    if (!outcome.load.Loaded()) {
        outcome.nOutcome = EOutcome::NotLoaded;
        return outcome;
    }
    outcome.nRate = store.sampleRate;
    outcome.nCount = store.sampleCount;
    CSampleLock lock(store.hSamples);
    const CMemorySamples samples(store.sampleCount > 0 ? lock.Samples() : nullptr, store.sampleCount);
    outcome.nOutcome = fnAnalyse(samples, store.sampleCount, store.sampleRate);
    return outcome;
}

} // namespace sonavel::analysis
