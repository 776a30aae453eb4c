#include "player/analyze/CViewSound.h"

#include <algorithm>
#include <exception>
#include <new>
#include <vector>

#include "player/analyze/AnalyzeCommands.h"

namespace sonavel {
namespace analyze {

bool CViewSound::Open(const std::string& path, int nChannel)
{
    m_strPath = path;
    return Opened(m_samples.Open(analysis::CSoundInput::File(path, nChannel)));
}

bool CViewSound::LoadWhole() { return Opened(m_samples.LoadWhole()); }

bool CViewSound::Opened(const analysis::SoundOutcome& outcome)
{
    m_pLoaded.reset();
    if (!outcome.Done()) {
        PrintError(audio::DescribeLoadFailure(outcome.load, m_strPath));
        return false;
    }
    if (!m_samples.IsStreamed())
        m_pLoaded = CMeasureSound::FromStore(m_samples.Store());
    return true;
}

std::shared_ptr<const CMeasureSound> CViewSound::Stretch(int64_t nFirst, int64_t nEnd) const
{
    if (!m_samples.IsStreamed())
        return m_pLoaded;
    nFirst = std::clamp<int64_t>(nFirst, 0, Count());
    nEnd = std::clamp<int64_t>(nEnd, nFirst, Count());
    std::vector<int16_t> held;
    try {
        held.resize(static_cast<size_t>(nEnd - nFirst));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Count() fits an int (CWaveFileSamples), so both ends do.
    if (!held.empty() && !Source().Fetch(static_cast<int>(nFirst), static_cast<int>(held.size()), held.data()))
        return nullptr;
    return CMeasureSound::FromStretch(std::move(held), nFirst, Count(), Rate());
}

CPendingPitch::CPendingPitch(const CViewSound& sound, const pitch::PitchSettings& settings)
    : m_sound(sound), m_settings(settings), m_pFrames(std::make_shared<pitch::PitchFrames>())
{
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::exception&) { // no thread to be had: tracked here
        Run();
    }
}

CPendingPitch::~CPendingPitch() { Wait(); }

analysis::EOutcome CPendingPitch::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_nResult;
}

void CPendingPitch::Run() noexcept
{
    try {
        m_nResult = pitch::TrackSound(m_sound.Input(), m_settings, 0, *m_pFrames).nOutcome;
    } catch (const std::exception&) { // the frames' memory, or a thread of the tracker's
        m_nResult = analysis::EOutcome::NoMemory;
    }
}

} // namespace analyze
} // namespace sonavel
