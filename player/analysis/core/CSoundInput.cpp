#include "player/analysis/core/CSoundInput.h"

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

std::string DescribeOutcome(const SoundOutcome& outcome, const OutcomeWords& words, const std::string& strFile)
{
    switch (outcome.nOutcome) {
    case EOutcome::Done:
        return std::string();
    case EOutcome::NotLoaded:
        return audio::DescribeLoadFailure(outcome.load, strFile);
    default:
        break;
    }
    if (!outcome.strWhy.empty())
        return strFile + ": " + outcome.strWhy;
    if (outcome.nOutcome == EOutcome::NoMemory)
        return strFile + ": not enough memory to " + words.szTask;
    return strFile + ": " + words.szFailed;
}

void CSoundSamples::Release()
{
    if (m_pLocked)
        m_store.hSamples->Unlock();
    m_pLocked = nullptr;
    m_store.Clear();
    m_memory = CMemorySamples(nullptr, 0);
    m_bStreamed = false;
    m_nCount = m_nRate = 0;
    m_nChannels = 1;
}

SoundOutcome CSoundSamples::Open(const CSoundInput& input)
{
    Release();
    m_input = input;
    SoundOutcome outcome;
    if (!input.IsFile()) {
        m_nCount = outcome.nCount = input.Count();
        m_nRate = outcome.nRate = input.Rate();
        return outcome;
    }
    // Another channel than the first is the loader's to find (or to refuse).
    if (input.Channel() == 1 && m_file.Open(input.Path())) {
        m_bStreamed = true;
        m_nCount = outcome.nCount = m_file.Count();
        m_nRate = outcome.nRate = m_file.Rate();
        return outcome;
    }
    return LoadWhole();
}

SoundOutcome CSoundSamples::LoadWhole()
{
    if (!m_input.IsFile()) {
        SoundOutcome outcome;
        outcome.nCount = m_nCount;
        outcome.nRate = m_nRate;
        return outcome;
    }
    Release();
    SoundOutcome outcome;
    outcome.load = audio::LoadSoundForAnalysis(m_input.Path(), m_store, m_input.Channel());
    if (!outcome.load.Loaded()) {
        m_store.Clear();
        outcome.nOutcome = EOutcome::NotLoaded;
        return outcome;
    }
    if (m_store.hSamples && m_store.sampleCount > 0)
        m_pLocked = static_cast<const int16_t*>(m_store.hSamples->Lock());
    m_memory = CMemorySamples(m_pLocked, m_pLocked ? m_store.sampleCount : 0);
    m_nChannels = outcome.load.nChannels;
    m_nCount = outcome.nCount = m_store.sampleCount;
    m_nRate = outcome.nRate = m_store.sampleRate;
    return outcome;
}

const CSampleSource& CSoundSamples::Source() const
{
    if (m_bStreamed)
        return m_file;
    if (!m_input.IsFile())
        return *m_input.Source();
    return m_memory;
}

SoundOutcome AnalyseSound(const CSoundInput& input, const AnalyseFn& fnAnalyse)
{
    CSoundSamples sound;
    SoundOutcome outcome = sound.Open(input);
    if (!outcome.Done())
        return outcome;
    outcome.nOutcome = fnAnalyse(sound.Source(), sound.Count(), sound.Rate());
    if (outcome.nOutcome != EOutcome::SourceFailed || !sound.IsStreamed())
        return outcome;
    outcome = sound.LoadWhole();
    if (outcome.Done())
        outcome.nOutcome = fnAnalyse(sound.Source(), sound.Count(), sound.Rate());
    return outcome;
}

SoundOutcome AnalyseSoundUpTo(int nMaxRateHz, const CSoundInput& input, const AnalyseFn& fnAnalyse)
{
    SoundOutcome outcome = AnalyseSound(input, fnAnalyse);
    if (outcome.nOutcome == EOutcome::Refused && outcome.nRate > nMaxRateHz)
        outcome.strWhy = "a sample rate above " + std::to_string(nMaxRateHz) + " Hz is not analysed";
    return outcome;
}

} // namespace sonavel::analysis
