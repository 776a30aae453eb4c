#include "player/analysis/measure/CMeasureModel.h"

#include <algorithm>
#include <cmath>

namespace {
// The closest look: a tenth of a period at 50 Hz, several samples at any rate.
constexpr double kMinSpanS = 0.002;
} // namespace

void CMeasureModel::SetSound(int64_t nSamples, int nRate)
{
    m_nSamples = std::max<int64_t>(nSamples, 0);
    m_nRate = nRate;
    ClearSelection();
    m_pPitch.reset();
    m_nPitchResult = sonavel::pitch::TRACK_DONE;
    m_bTracking = false;
    m_pFormants.reset();
    m_nFormantResult = sonavel::pitch::TRACK_DONE;
    m_pIntensity.reset();
    m_nIntensityResult = sonavel::pitch::TRACK_DONE;
    ClearCursor();
    m_strPictureFailure.clear();
    ShowAll();
    FitPitchScale();
}

double CMeasureModel::MinSpan() const { return kMinSpanS; }

void CMeasureModel::SetSpan(double dStart, double dEnd)
{
    // A sound shorter than the closest look is shown in a stretch that long.
    const double dLimit = std::max(Duration(), kMinSpanS);
    if (!std::isfinite(dStart) || !std::isfinite(dEnd))
        return;
    double dSpan = std::clamp(dEnd - dStart, kMinSpanS, dLimit);
    dStart = std::clamp(dStart, 0.0, dLimit - dSpan);
    m_dStart = dStart;
    m_dEnd = dStart + dSpan;
}

void CMeasureModel::ZoomBy(double dFactor, double dAnchor)
{
    if (!(dFactor > 0) || !std::isfinite(dAnchor))
        return;
    const double dLimit = std::max(Duration(), kMinSpanS);
    const double dNew = std::clamp(Span() / dFactor, kMinSpanS, dLimit);
    const double dRatio = dNew / Span();
    const double dStart = dAnchor - (dAnchor - m_dStart) * dRatio;
    SetSpan(dStart, dStart + dNew);
}

void CMeasureModel::ScrollBy(double dFraction)
{
    const double dShift = dFraction * Span();
    SetSpan(m_dStart + dShift, m_dEnd + dShift);
}

double CMeasureModel::TimeAtX(double x, double dWidth) const
{
    return dWidth > 0 ? m_dStart + x * Span() / dWidth : m_dStart;
}

double CMeasureModel::XAtTime(double t, double dWidth) const
{
    return Span() > 0 ? (t - m_dStart) * dWidth / Span() : 0;
}

void CMeasureModel::SetSelection(double a, double b)
{
    if (!std::isfinite(a) || !std::isfinite(b))
        return;
    const double dDuration = Duration();
    m_dSelStart = std::clamp(std::min(a, b), 0.0, dDuration);
    m_dSelEnd = std::clamp(std::max(a, b), 0.0, dDuration);
    if (!(m_dSelEnd > m_dSelStart))
        ClearSelection();
}

std::pair<int64_t, int64_t> CMeasureModel::PlaySpan() const
{
    const double a = HasSelection() ? m_dSelStart : m_dStart;
    const double b = HasSelection() ? m_dSelEnd : m_dEnd;
    const int64_t nFirst = std::clamp<int64_t>(std::llround(a * m_nRate), 0, m_nSamples);
    const int64_t nEnd = std::clamp<int64_t>(std::llround(b * m_nRate), nFirst, m_nSamples);
    return {nFirst, nEnd};
}

void CMeasureModel::SetTracking(const sonavel::pitch::PitchSettings& settings)
{
    m_pitchSettings = settings;
    m_pPitch.reset();
    m_nPitchResult = sonavel::pitch::TRACK_DONE;
    m_bTracking = true;
    FitPitchScale();
}

void CMeasureModel::SetPitch(std::shared_ptr<const sonavel::pitch::PitchFrames> pFrames,
                             sonavel::pitch::ETrackResult nResult)
{
    m_bTracking = false;
    m_nPitchResult = nResult;
    m_pPitch = nResult == sonavel::pitch::TRACK_DONE ? std::move(pFrames) : nullptr;
    FitPitchScale();
}

void CMeasureModel::SetFormants(std::shared_ptr<const sonavel::formants::FormantFrames> pFrames,
                                sonavel::pitch::ETrackResult nResult)
{
    m_nFormantResult = nResult;
    m_pFormants = nResult == sonavel::pitch::TRACK_DONE ? std::move(pFrames) : nullptr;
}

void CMeasureModel::SetIntensity(std::shared_ptr<const sonavel::intensity::IntensityFrames> pFrames,
                                 sonavel::pitch::ETrackResult nResult)
{
    m_nIntensityResult = nResult;
    m_pIntensity = nResult == sonavel::pitch::TRACK_DONE ? std::move(pFrames) : nullptr;
}

void CMeasureModel::SetCursor(double t)
{
    m_dCursor = std::clamp(t, 0.0, Duration());
}

void CMeasureModel::FitPitchScale()
{
    using namespace sonavel::measure;
    const PitchRange search = SearchRange(m_pitchSettings);
    m_dPitchLow = search.dLowHz;
    m_dPitchHigh = search.dHighHz;
    if (m_pitchSettings.dFloorHz > 0 || m_pitchSettings.dCeilingHz > 0 || !m_pPitch)
        return;
    double lo = 1e9, hi = 0;
    for (double f : m_pPitch->pitch_hz)
        if (f > 0) {
            lo = std::min(lo, f);
            hi = std::max(hi, f);
        }
    if (hi <= 0)
        return;
    // Rounded out to 10 Hz with a little air (a track at the search's edge is
    // not drawn on the panel's edge), at least 50 Hz tall.
    lo = std::max(0.0, std::floor(lo * 0.92 / 10) * 10);
    hi = std::ceil(hi * 1.08 / 10) * 10;
    if (hi - lo < 50) {
        const double dMid = (lo + hi) / 2;
        lo = std::max(0.0, std::floor((dMid - 25) / 10) * 10);
        hi = lo + 50;
    }
    m_dPitchLow = lo;
    m_dPitchHigh = hi;
}

long CMeasureModel::NearestFrame(double t) const
{
    if (!m_pPitch || m_pPitch->time_s.empty())
        return -1;
    const std::vector<double>& times = m_pPitch->time_s;
    auto it = std::lower_bound(times.begin(), times.end(), t);
    long i = static_cast<long>(it - times.begin());
    if (i == static_cast<long>(times.size()) || (i > 0 && t - times[static_cast<size_t>(i - 1)] <= times[static_cast<size_t>(i)] - t))
        --i;
    return i;
}

std::pair<long, long> CMeasureModel::FramesIn(double a, double b) const
{
    if (!m_pPitch)
        return {0, -1};
    const std::vector<double>& times = m_pPitch->time_s;
    const long nFirst = static_cast<long>(std::lower_bound(times.begin(), times.end(), a) - times.begin());
    const long nLast = static_cast<long>(std::upper_bound(times.begin(), times.end(), b) - times.begin()) - 1;
    return {nFirst, nLast};
}

CMeasureModel::SpanFacts CMeasureModel::Facts(double a, double b) const
{
    SpanFacts facts;
    facts.dStart = std::min(a, b);
    facts.dEnd = std::max(a, b);
    facts.dDuration = facts.dEnd - facts.dStart;
    const auto [nFirst, nLast] = FramesIn(facts.dStart, facts.dEnd);
    double dSum = 0;
    for (long i = nFirst; i <= nLast; ++i) {
        const double f = m_pPitch->pitch_hz[static_cast<size_t>(i)];
        if (f > 0) {
            dSum += f;
            ++facts.nVoiced;
        }
    }
    facts.dMeanPitchHz = facts.nVoiced > 0 ? dSum / facts.nVoiced : 0;
    return facts;
}

CMeasureModel::Readout CMeasureModel::ReadoutAt(const CMeasurePicture* pPicture, double x, double y, double dWidth,
                                                double dHeight, double dTopHz) const
{
    Readout r;
    r.dTime = TimeAtX(x, dWidth);
    r.dFrequencyHz = dHeight > 0 ? std::clamp(dTopHz * (1.0 - y / dHeight), 0.0, dTopHz) : 0;
    if (pPicture) {
        r.dLevelDb = pPicture->LevelAt(pPicture->ColumnAtTime(r.dTime), r.dFrequencyHz);
        r.bLevel = std::isfinite(r.dLevelDb);
    }
    r.nFrame = NearestFrame(r.dTime);
    if (r.nFrame >= 0) {
        r.dFrameTime = m_pPitch->time_s[static_cast<size_t>(r.nFrame)];
        r.dPitchHz = m_pPitch->pitch_hz[static_cast<size_t>(r.nFrame)];
    }
    return r;
}
