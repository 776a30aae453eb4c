#pragma once
// The analysis behind the "Pitch / Spectrogram" window, without the window: for
// a sound and a panel size it holds the pitch track, the spectrogram columns
// and their scaling, ready to be painted by the window or into an image. Plain
// C++; every buffer, the FFT's working arrays included, belongs to the model,
// so two models never share anything. One thread at a time.
#include <cstdint>
#include <vector>

#include "player/analysis/model/CSignalMath.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

class CAnalysisModel {
public:
    // A rectangle as the layout sees it: right and bottom are exclusive.
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
        int Width() const { return right - left; }
        int Height() const { return bottom - top; }
    };

    CAnalysisModel() = default;
    ~CAnalysisModel() { Release(); }
    CAnalysisModel(const CAnalysisModel&) = delete;
    CAnalysisModel& operator=(const CAnalysisModel&) = delete;

    // Panels and defaults for a client area of nWidth x nHeight pixels; drops
    // any results.
    void Layout(int nWidth, int nHeight);

    // The pitch track: Done; NoMemory when its block cannot be had (the
    // panel is then not ready: IsPitchReady); or the tracker's own failure,
    // when the panel is drawn without dots (the track stays zero). Telling
    // the user is the caller's part.
    sonavel::analysis::EOutcome ComputePitch(const SampleStore& store);
    // The spectrogram: Done, or NoMemory when its columns cannot be had (not
    // ready). A column whose spline's scratch cannot be had is drawn with
    // straight lines, and HadMathError says so.
    sonavel::analysis::EOutcome ComputeSpectrogram(const SampleStore& store);

    // The last ComputeSpectrogram could not have a spline's scratch for some
    // column: the math error is the caller's to show.
    bool HadMathError() const { return m_bMathError; }

    // A track computed elsewhere, shown as it is: Done, or NoMemory.
    sonavel::analysis::EOutcome SetPitchTrack(const std::vector<int16_t>& values);

    void Release();

    // Threads the pitch tracker may use (0: one per core).
    void SetThreads(int nThreads) { m_math.SetThreads(nThreads); }

    // Columns the model keeps at most, whatever the width.
    static constexpr int kMaxColumns = 3000;

    int Columns() const { return m_nColumns; }
    int Rows() const { return m_nRows; }
    int ColumnLength() const { return m_nColumnLength; }
    int DynamicRange() const { return m_nDynamicRange; }
    int PitchMin() const { return m_nPitchMin; }
    int PitchMax() const { return m_nPitchMax; }
    const Rect& PitchRect() const { return m_rcPitch; }
    const Rect& SpectrogramRect() const { return m_rcSpectrogram; }
    bool IsPitchReady() const { return m_bPitchReady; }
    bool IsSpectrogramReady() const { return m_bSpectrogramReady; }
    int PitchCount() const { return m_nPitchCount; }
    // PitchCount() values in whole Hz, or null.
    const int16_t* Pitch() const { return m_pPitch; }
    // ColumnLength() values of column c (0 .. Columns()-1), scaled to 0 ..
    // DynamicRange(), of which the first Rows() are drawn; null when not ready.
    const double* Column(int c) const
    {
        return m_pColumns ? m_pColumns + static_cast<size_t>(c) * m_nColumnLength : nullptr;
    }

private:
    void ReleasePitch();
    void ReleaseColumns();
    // Grid points of a column that lie within the frame's bins at this rate.
    int HeldGridPoints(int nPoints, int nSampleRate) const;

    CSignalMath m_math;
    int m_nColumns = 0;
    int m_nRows = 0;
    int m_nFrameLength = 64;
    int m_nTopFrequency = 5000;
    int m_nDynamicRange = 35;
    int m_nColumnLength = 0;
    int m_nPitchMin = 50;
    int m_nPitchMax = 250;
    bool m_bSpectrogramReady = false;
    bool m_bPitchReady = false;
    bool m_bMathError = false;
    Rect m_rcSpectrogram;
    Rect m_rcPitch;
    // Each block stays locked while the model holds it.
    CSampleBlockHandle m_hColumns;
    double* m_pColumns = nullptr;
    int m_nPitchCount = 0;
    CSampleBlockHandle m_hPitch;
    int16_t* m_pPitch = nullptr;
};
