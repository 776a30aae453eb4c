#include "player/analysis/measureview/CMeasureModel.h"

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
    m_nPitchResult = sonavel::analysis::EOutcome::Done;
    m_bTracking = false;
    m_pFormants.reset();
    m_pFormantPreview.reset();
    m_nFormantResult = sonavel::analysis::EOutcome::Done;
    m_pIntensity.reset();
    m_nIntensityResult = sonavel::analysis::EOutcome::Done;
    m_pPulses.reset();
    m_pSoundSamples.reset();
    m_pWaveform.reset();
    m_bPeakKnown = false;
    m_eWaveformScale = EWaveformScale::Automatic;
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
    FitPitchScale();
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
    m_nPitchResult = sonavel::analysis::EOutcome::Done;
    m_bTracking = true;
    FitPitchScale();
}

void CMeasureModel::SetPitch(std::shared_ptr<const sonavel::pitch::PitchFrames> pFrames,
                             sonavel::analysis::EOutcome nResult)
{
    m_bTracking = false;
    m_nPitchResult = nResult;
    m_pPitch = nResult == sonavel::analysis::EOutcome::Done ? std::move(pFrames) : nullptr;
    FitPitchScale();
}

void CMeasureModel::SetFormants(std::shared_ptr<const sonavel::formants::FormantFrames> pFrames,
                                sonavel::analysis::EOutcome nResult)
{
    m_nFormantResult = nResult;
    m_pFormants = nResult == sonavel::analysis::EOutcome::Done ? std::move(pFrames) : nullptr;
}

void CMeasureModel::SetIntensity(std::shared_ptr<const sonavel::intensity::IntensityFrames> pFrames,
                                 sonavel::analysis::EOutcome nResult)
{
    m_nIntensityResult = nResult;
    m_pIntensity = nResult == sonavel::analysis::EOutcome::Done ? std::move(pFrames) : nullptr;
    FitIntensityScale();
}

void CMeasureModel::SetPitchAxis(const sonavel::measure::PitchAxis& axis)
{
    m_pitchAxis = axis;
    FitPitchScale();
}

sonavel::waveform::HeldSamples CMeasureModel::Held() const
{
    sonavel::waveform::HeldSamples held;
    if (m_pSoundSamples) {
        held.pSamples = m_pSoundSamples->HeldSamples();
        held.nFirst = m_pSoundSamples->FirstHeld();
        held.nCount = m_pSoundSamples->HeldCount();
    }
    return held;
}

void CMeasureModel::SetCursor(double t)
{
    m_dCursor = std::clamp(t, 0.0, Duration());
}

namespace {

// The voiced frames' range in [nFirst, nLast], rounded out to 10 Hz with a
// little air (a track at the search's edge is not drawn on the panel's edge),
// at least 50 Hz tall; false when none is voiced.
bool FitVoiced(const std::vector<double>& hz, long nFirst, long nLast, double& dLow, double& dHigh)
{
    double lo = 1e9, hi = 0;
    for (long i = std::max(nFirst, 0L); i <= nLast && i < static_cast<long>(hz.size()); ++i) {
        const double f = hz[static_cast<size_t>(i)];
        if (f > 0) {
            lo = std::min(lo, f);
            hi = std::max(hi, f);
        }
    }
    if (hi <= 0)
        return false;
    lo = std::max(0.0, std::floor(lo * 0.92 / 10) * 10);
    hi = std::ceil(hi * 1.08 / 10) * 10;
    if (hi - lo < 50) {
        const double dMid = (lo + hi) / 2;
        lo = std::max(0.0, std::floor((dMid - 25) / 10) * 10);
        hi = lo + 50;
    }
    dLow = lo;
    dHigh = hi;
    return true;
}

// The frame of a grid starting at 0 with times a step apart nearest to t; -1 when none.
long NearestOnGrid(const std::vector<double>& times, double t)
{
    if (times.empty())
        return -1;
    auto it = std::lower_bound(times.begin(), times.end(), t);
    long i = static_cast<long>(it - times.begin());
    if (i == static_cast<long>(times.size()) || (i > 0 && t - times[static_cast<size_t>(i - 1)] <= times[static_cast<size_t>(i)] - t))
        --i;
    return i;
}

} // namespace

void CMeasureModel::FitPitchScale()
{
    using namespace sonavel::measure;
    if (!m_pitchAxis.Fitted() && m_pitchAxis.dLowHz < m_pitchAxis.dHighHz) {
        m_dPitchLow = std::max(0.0, m_pitchAxis.dLowHz);
        m_dPitchHigh = m_pitchAxis.dHighHz;
        return;
    }
    const PitchRange search = SearchRange(m_pitchSettings);
    m_dPitchLow = search.dLowHz;
    m_dPitchHigh = search.dHighHz;
    if (!m_pPitch)
        return;
    const auto [nFirst, nLast] = FramesIn(m_dStart, m_dEnd);
    if (!FitVoiced(m_pPitch->pitch_hz, nFirst, nLast, m_dPitchLow, m_dPitchHigh))
        FitVoiced(m_pPitch->pitch_hz, 0, static_cast<long>(m_pPitch->pitch_hz.size()) - 1, m_dPitchLow, m_dPitchHigh);
}

void CMeasureModel::FitIntensityScale()
{
    m_dIntensityLow = 30;
    m_dIntensityHigh = 90;
    if (!m_pIntensity)
        return;
    double lo = 1e9, hi = -1e9;
    for (double d : m_pIntensity->db)
        if (d > sonavel::intensity::kSilenceDb) {
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
    if (hi < lo)
        return;
    m_dIntensityHigh = std::ceil((hi + 2) / 10) * 10;
    m_dIntensityLow = std::max(std::floor(lo / 10) * 10, m_dIntensityHigh - 60);
    if (m_dIntensityHigh - m_dIntensityLow < 20)
        m_dIntensityLow = m_dIntensityHigh - 20;
}

long CMeasureModel::NearestFrame(double t) const
{
    return m_pPitch ? NearestOnGrid(m_pPitch->time_s, t) : -1;
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
    const auto InSpan = [&](const std::vector<double>& times) {
        return std::make_pair(std::lower_bound(times.begin(), times.end(), facts.dStart) - times.begin(),
                              std::upper_bound(times.begin(), times.end(), facts.dEnd) - times.begin());
    };
    if (m_pFormants && m_pFormants->nFormants > 0) {
        const auto [a, b] = InSpan(m_pFormants->time_s);
        for (int j = 0; j < std::min(3, m_pFormants->nFormants); ++j) {
            double dHz = 0;
            long n = 0;
            for (auto i = a; i < b; ++i)
                if (const double f = m_pFormants->Hz(static_cast<size_t>(i), j); f > 0) {
                    dHz += f;
                    ++n;
                }
            facts.dMeanFormantHz[j] = n > 0 ? dHz / n : 0;
        }
    }
    if (m_pIntensity) {
        // The energy mean: the mean of the power the dB stand for, in dB; a
        // silent frame counts as no power.
        const auto [a, b] = InSpan(m_pIntensity->time_s);
        double dPower = 0;
        for (auto i = a; i < b; ++i)
            dPower += std::pow(10.0, m_pIntensity->db[static_cast<size_t>(i)] / 10);
        if (b > a && dPower > 0) {
            facts.dIntensityDb = 10 * std::log10(dPower / static_cast<double>(b - a));
            facts.bIntensity = true;
        }
    }
    return facts;
}

CMeasureModel::Readout CMeasureModel::ReadoutAt(const CMeasurePicture* pPicture, double x, double y, double dWidth,
                                                double dHeight, double dTopHz) const
{
    Readout r = ReadoutAtTime(TimeAtX(x, dWidth));
    r.dFrequencyHz = dHeight > 0 ? std::clamp(dTopHz * (1.0 - y / dHeight), 0.0, dTopHz) : 0;
    if (pPicture) {
        r.dLevelDb = pPicture->LevelAt(pPicture->ColumnAtTime(r.dTime), r.dFrequencyHz);
        r.bLevel = std::isfinite(r.dLevelDb);
    }
    return r;
}

CMeasureModel::Readout CMeasureModel::ReadoutAtTime(double t) const
{
    Readout r;
    r.dTime = t;
    r.nFrame = NearestFrame(t);
    if (r.nFrame >= 0) {
        r.dFrameTime = m_pPitch->time_s[static_cast<size_t>(r.nFrame)];
        r.dPitchHz = m_pPitch->pitch_hz[static_cast<size_t>(r.nFrame)];
    }
    if (m_pFormants && m_pFormants->nFormants > 0) {
        if (const long i = NearestOnGrid(m_pFormants->time_s, t); i >= 0) {
            for (int j = 0; j < std::min(3, m_pFormants->nFormants); ++j)
                r.dFormantHz[j] = m_pFormants->Hz(static_cast<size_t>(i), j);
            r.bFormants = true;
        }
    }
    if (m_pIntensity) {
        if (const long i = NearestOnGrid(m_pIntensity->time_s, t); i >= 0) {
            r.dIntensityDb = m_pIntensity->db[static_cast<size_t>(i)];
            r.bIntensity = true;
        }
    }
    const sonavel::waveform::HeldSamples held = Held();
    const int64_t n = m_nRate > 0 && std::isfinite(t) ? std::llround(std::clamp(t * m_nRate, 0.0, 9e18)) : -1;
    if (n >= 0 && n < m_nSamples && held.Holds(n, n + 1)) {
        r.dSample = held.pSamples[n - held.nFirst] / 32768.0;
        r.bSample = true;
    }
    return r;
}
