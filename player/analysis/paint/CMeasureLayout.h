#pragma once
// Where the parts of the measuring view's picture lie for a size, a font and
// the layers shown: the header, then the waveform, pitch and spectrogram
// panels one above the other (a hidden waveform or pitch takes no room), the
// time axis below them, the intensity's dB axis at the spectrogram's right.
//
// A value: panels' rectangles for a size; any thread.
#include <QFont>
#include <QRect>
#include <QSize>

#include "player/analysis/measureview/MeasureSettings.h"

struct CMeasureLayout {
    QRect rcHeader;
    QRect rcWaveform;    // the waveform panel; empty when hidden
    QRect rcPitch;       // the pitch panel; empty when hidden
    QRect rcSpectrogram; // the spectrogram panel, with the formants and the intensity over it
    QRect rcTimeAxis;    // labels below the panels
    int nLineHeight = 0;
    double dDigitWidth = 0;

    static CMeasureLayout For(const QSize& size, const QFont& font,
                              const sonavel::measure::MeasureLayers& layers = sonavel::measure::MeasureLayers());
    // The panels' common left edge and width: where time runs.
    int PlotLeft() const { return rcSpectrogram.left(); }
    int PlotWidth() const { return rcSpectrogram.width(); }
    // From the top of the highest panel shown to the foot of the spectrogram.
    QRect Panels() const;
};
