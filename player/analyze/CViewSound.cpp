#include "player/analyze/CViewSound.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <new>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analyze/AnalyzeCommands.h"

namespace sonavel {
namespace analyze {

bool CViewSound::Open(const std::string& path, int nChannel)
{
    m_strPath = path;
    m_nChannel = nChannel;
    // The file's first channel is its only one: another is the reader table's to refuse.
    m_bFromFile = nChannel == 1 && m_file.Open(path);
    return m_bFromFile || LoadWhole();
}

bool CViewSound::LoadWhole()
{
    m_bFromFile = false;
    m_pLoaded.reset();
    SampleStore store;
    std::string strReader;
    if (!LoadSound(m_strPath, store, strReader, m_nChannel, &m_nChannels))
        return false;
    m_pLoaded = CMeasureSound::FromStore(store);
    return true;
}

int64_t CViewSound::Count() const { return m_bFromFile ? m_file.Count() : m_pLoaded ? m_pLoaded->Count() : 0; }

int CViewSound::Rate() const { return m_bFromFile ? m_file.Rate() : m_pLoaded ? m_pLoaded->Rate() : 0; }

std::shared_ptr<const CMeasureSound> CViewSound::Stretch(int64_t nFirst, int64_t nEnd) const
{
    if (!m_bFromFile)
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
    if (!held.empty() && !m_file.Fetch(static_cast<int>(nFirst), static_cast<int>(held.size()), held.data()))
        return nullptr;
    return CMeasureSound::FromStretch(std::move(held), nFirst, Count(), Rate());
}

pitch::ETrackResult CViewSound::Track(const pitch::PitchSettings& settings, pitch::PitchFrames& frames) const
{
    return Analyse([&](const CSampleSource& source, int nCount, int nRate) {
        return pitch::TrackWith(settings, source, nCount, nRate, 0, frames);
    });
}

pitch::ETrackResult CViewSound::Analyse(const Analysis& fnAnalyse) const
{
    if (m_bFromFile)
        return fnAnalyse(m_file, m_file.Count(), m_file.Rate());
    if (!m_pLoaded || m_pLoaded->Count() > INT32_MAX)
        return pitch::TRACK_REFUSED;
    const CMemorySamples source(m_pLoaded->HeldSamples(), static_cast<int>(m_pLoaded->Count()));
    return fnAnalyse(source, static_cast<int>(m_pLoaded->Count()), m_pLoaded->Rate());
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

pitch::ETrackResult CPendingPitch::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_nResult;
}

void CPendingPitch::Run() noexcept
{
    try {
        m_nResult = m_sound.Track(m_settings, *m_pFrames);
    } catch (const std::exception&) { // the frames' memory, or a thread of the tracker's
        m_nResult = pitch::TRACK_NO_MEMORY;
    }
}

} // namespace analyze
} // namespace sonavel
