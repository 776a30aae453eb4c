#pragma once
// What the measuring view shows, apart from any widget: the stretch of time
// on screen and how it zooms and scrolls, the selection, the pitch track and
// the scale it is drawn on, and what lies under a pixel. The widget turns
// keys, wheel and mouse into these calls and paints what they answer. Plain
// C++; one thread (the user-interface thread) at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "player/analysis/measureview/CMeasurePicture.h"
#include "player/analysis/measureview/MeasureSettings.h"
#include "player/analysis/voice/GlottalPulses.h"
#include "player/analysis/waveform/WaveformPyramid.h"

class CMeasureModel {
public:
    // A sound of nSamples at nRate: everything shown, nothing selected, no pitch.
    void SetSound(int64_t nSamples, int nRate);
    int64_t Samples() const { return m_nSamples; }
    int Rate() const { return m_nRate; }
    double Duration() const { return m_nRate > 0 ? static_cast<double>(m_nSamples) / m_nRate : 0.0; }

    // The stretch shown, in seconds; never shorter than MinSpan(), never
    // outside the sound.
    double Start() const { return m_dStart; }
    double End() const { return m_dEnd; }
    double Span() const { return m_dEnd - m_dStart; }
    double MinSpan() const;
    void SetSpan(double dStart, double dEnd);
    void ShowAll() { SetSpan(0, Duration()); }
    // dFactor > 1 comes closer, < 1 goes back; the time dAnchor stays where it is
    // on screen. Zooming in and then out by the same factor returns the span.
    void ZoomBy(double dFactor, double dAnchor);
    // By a fraction of the span (negative: earlier).
    void ScrollBy(double dFraction);
    void ScrollTo(double dStart) { SetSpan(dStart, dStart + Span()); }

    // A plot dWidth pixels wide: the time at pixel position x (x = 0 is the
    // left edge of the first pixel), and back.
    double TimeAtX(double x, double dWidth) const;
    double XAtTime(double t, double dWidth) const;

    // The selection, ordered and inside the sound; empty is none.
    bool HasSelection() const { return m_dSelEnd > m_dSelStart; }
    double SelectionStart() const { return m_dSelStart; }
    double SelectionEnd() const { return m_dSelEnd; }
    void SetSelection(double a, double b);
    void ClearSelection() { m_dSelStart = m_dSelEnd = 0; }
    // What Space plays: the selection, else what is shown; samples [first, end).
    std::pair<int64_t, int64_t> PlaySpan() const;

    // The pitch track and how it went (TrackWith's result; 0 = tracked).
    void SetTracking(const sonavel::pitch::PitchSettings& settings);
    void SetPitch(std::shared_ptr<const sonavel::pitch::PitchFrames> pFrames, sonavel::analysis::EOutcome nResult);
    bool IsTracking() const { return m_bTracking; }
    const sonavel::pitch::PitchFrames* Pitch() const { return m_pPitch.get(); }
    sonavel::analysis::EOutcome PitchResult() const { return m_nPitchResult; }
    const sonavel::pitch::PitchSettings& PitchSettings() const { return m_pitchSettings; }
    // The formant and intensity tracks of the whole sound (null while one is
    // made or when it failed), kept as the pitch is; a new sound forgets them.
    void SetFormants(std::shared_ptr<const sonavel::formants::FormantFrames> pFrames,
                     sonavel::analysis::EOutcome nResult);
    const sonavel::formants::FormantFrames* Formants() const { return m_pFormants.get(); }
    // Formants at a picture's resolution (FormantsForPicture), drawn while
    // the whole track is made; no readout, fact or table reads them.
    void SetFormantPreview(std::shared_ptr<const sonavel::formants::FormantFrames> pFrames)
    {
        m_pFormantPreview = std::move(pFrames);
    }
    // What the picture draws: the whole track, else the preview.
    const sonavel::formants::FormantFrames* FormantsShown() const
    {
        return m_pFormants ? m_pFormants.get() : m_pFormantPreview.get();
    }
    sonavel::analysis::EOutcome FormantResult() const { return m_nFormantResult; }
    void SetIntensity(std::shared_ptr<const sonavel::intensity::IntensityFrames> pFrames,
                      sonavel::analysis::EOutcome nResult);
    const sonavel::intensity::IntensityFrames* Intensity() const { return m_pIntensity.get(); }
    sonavel::analysis::EOutcome IntensityResult() const { return m_nIntensityResult; }
    // The glottal pulses of the whole sound (the voice report's), null until
    // made or when they could not be; a new sound forgets them.
    void SetPulses(std::shared_ptr<const sonavel::voice::GlottalPulses> pPulses) { m_pPulses = std::move(pPulses); }
    const sonavel::voice::GlottalPulses* Pulses() const { return m_pPulses.get(); }
    // The samples the view holds (for the waveform's close look and the
    // sample under the pointer) and the waveform's pyramid, made by the worker.
    void SetSoundSamples(std::shared_ptr<const CMeasureSound> pSound)
    {
        m_pSoundSamples = std::move(pSound);
        m_bPeakKnown = false;
    }
    sonavel::waveform::HeldSamples Held() const;
    void SetWaveform(std::shared_ptr<const sonavel::waveform::CWaveformPyramid> pPyramid)
    {
        m_pWaveform = std::move(pPyramid);
        m_bPeakKnown = false;
    }
    const sonavel::waveform::CWaveformPyramid* Waveform() const { return m_pWaveform.get(); }
    // The waveform's axis: fixed at full scale (+-1), or fitted to the
    // loudest sample shown; Automatic fits it for a sound whose peak lies
    // below kFitBelowDbfs. A new sound goes back to Automatic.
    enum class EWaveformScale { Automatic, Fixed, Fitted };
    static constexpr double kFitBelowDbfs = -12;
    void SetWaveformScale(EWaveformScale eScale) { m_eWaveformScale = eScale; }
    EWaveformScale WaveformScale() const { return m_eWaveformScale; }
    bool WaveformFitted() const;
    // The top of the waveform's axis, full scale 1: 1 unless fitted, else
    // the loudest sample shown (at least one step of 16 bits).
    double WaveformTop() const;
    // The loudest sample (0-32768) of the whole sound, from the pyramid or
    // the samples held (of a stretch held alone: the stretch's); -1 while
    // neither can say.
    int SoundPeak() const;
    // The loudest sample between Start() and End(); -1 while it is not known.
    int LoudestShown() const;
    // The cursor a plain click sets (seconds); none after a new sound.
    bool HasCursor() const { return m_dCursor >= 0; }
    double Cursor() const { return m_dCursor; }
    void SetCursor(double t);
    void ClearCursor() { m_dCursor = -1; }
    // Why the newest picture could not be made ("not enough memory for the
    // spectrogram"); empty once one is made, and for a new sound.
    void SetPictureFailure(const std::string& strWhy) { m_strPictureFailure = strWhy; }
    const std::string& PictureFailure() const { return m_strPictureFailure; }
    // The pitch scale: the fixed range the axis gives, or the range the
    // voiced frames shown cover (else the whole track's, else the search's),
    // rounded out with a little air; it follows every zoom and scroll.
    void SetPitchAxis(const sonavel::measure::PitchAxis& axis);
    double PitchLow() const { return m_dPitchLow; }
    double PitchHigh() const { return m_dPitchHigh; }
    // The intensity's dB scale: from a little above the loudest frame down
    // to 60 dB below it, or to the quietest frame above silence.
    double IntensityLow() const { return m_dIntensityLow; }
    double IntensityHigh() const { return m_dIntensityHigh; }
    // The frame nearest to t, or -1 when there is no track.
    long NearestFrame(double t) const;
    // Frames from the first at or after a to the last at or before b.
    std::pair<long, long> FramesIn(double a, double b) const;

    struct SpanFacts {
        double dStart = 0, dEnd = 0, dDuration = 0;
        double dMeanPitchHz = 0; // over the voiced frames; 0 when none
        long nVoiced = 0;
        double dMeanFormantHz[3] = {0, 0, 0}; // F1-F3 over the frames that hold each; 0 when none
        double dIntensityDb = 0; bool bIntensity = false; // the energy mean
    };
    SpanFacts Facts(double a, double b) const;

    // What lies under a point of a plot of dWidth x dHeight whose spectrogram
    // runs from 0 Hz (bottom) to dTopHz (top): the level is picture's at that
    // time, read through the picture's own stretch, as the painter draws it
    // (a picture made before a zoom or scroll still shows there).
    struct Readout {
        double dTime = 0, dFrequencyHz = 0;
        bool bFrequency = true; // the point lies over the spectrogram
        double dLevelDb = 0; bool bLevel = false;
        long nFrame = -1; double dFrameTime = 0, dPitchHz = 0;
        double dFormantHz[3] = {0, 0, 0}; bool bFormants = false; // the nearest frame's F1-F3 (0: lacking)
        double dIntensityDb = 0; bool bIntensity = false;         // the nearest frame's
        double dSample = 0; bool bSample = false;                 // the nearest sample, full scale +-1
    };
    // What lies at time t: the pitch, formants, intensity and sample there.
    Readout ReadoutAtTime(double t) const;
    Readout ReadoutAt(const CMeasurePicture* pPicture, double x, double y, double dWidth, double dHeight,
                      double dTopHz) const;

private:
    void FitPitchScale();
    void FitIntensityScale();

    int64_t m_nSamples = 0;
    int m_nRate = 0;
    double m_dStart = 0, m_dEnd = 0;
    double m_dSelStart = 0, m_dSelEnd = 0;
    sonavel::pitch::PitchSettings m_pitchSettings;
    std::shared_ptr<const sonavel::pitch::PitchFrames> m_pPitch;
    sonavel::analysis::EOutcome m_nPitchResult = sonavel::analysis::EOutcome::Done;
    bool m_bTracking = false;
    std::shared_ptr<const sonavel::formants::FormantFrames> m_pFormants;
    std::shared_ptr<const sonavel::formants::FormantFrames> m_pFormantPreview;
    sonavel::analysis::EOutcome m_nFormantResult = sonavel::analysis::EOutcome::Done;
    std::shared_ptr<const sonavel::intensity::IntensityFrames> m_pIntensity;
    sonavel::analysis::EOutcome m_nIntensityResult = sonavel::analysis::EOutcome::Done;
    std::shared_ptr<const sonavel::voice::GlottalPulses> m_pPulses;
    std::shared_ptr<const CMeasureSound> m_pSoundSamples;
    std::shared_ptr<const sonavel::waveform::CWaveformPyramid> m_pWaveform;
    sonavel::measure::PitchAxis m_pitchAxis;
    double m_dIntensityLow = 30, m_dIntensityHigh = 90;
    double m_dCursor = -1;
    EWaveformScale m_eWaveformScale = EWaveformScale::Automatic;
    // SoundPeak's answer for the samples and the pyramid held now.
    mutable bool m_bPeakKnown = false;
    mutable int m_nPeak = -1;
    std::string m_strPictureFailure;
    double m_dPitchLow = 50, m_dPitchHigh = 800;
};
