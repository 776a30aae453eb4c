#pragma once
// Paints the measuring view: a header with the file and the settings, the
// waveform (CWaveformPainter) and the pitch panels above the spectrogram with
// the formants and the intensity over it (CTrackPainter), each layer as the
// settings show or hide it, their axes and the time axis in seconds, the
// selection, the cursor a click sets and the playback cursor. Draws into any QPainter in
// logical pixels (the view at any device-pixel ratio, a PNG, an SVG), so the
// window and render --view show the very same picture.
//
// Paints on the thread that owns the QPainter's device; the scene's model and picture
// are the caller's and must outlive the painter.
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/MeasureSettings.h"
#include "player/analysis/paint/CMeasureLayout.h"

class QPainter;

// What one picture shows.
struct CMeasureScene {
    const CMeasureModel* pModel = nullptr;
    const CMeasurePicture* pPicture = nullptr; // null: the spectrogram is not ready
    // The picture shaded for the spectrogram panel (ShadePicture); painted
    // scaled to its span. Null: shaded here.
    const QImage* pShaded = nullptr;
    sonavel::measure::MeasureSettings settings;
    QString strName;        // the file's name
    QString strNote;        // said of the sound after its name (a download cut short)
    double dPlayTime = -1;  // the playback cursor, seconds; negative: none
    QString strNoPicture;   // why there is no spectrogram (none: it is on its way)
    // Device pixels to a logical pixel for what is drawn by the pixel column
    // (the shading, the waveform's columns) where the device cannot say: a
    // drawing at a figure's resolution. 0: the device's own.
    double dDeviceRatio = 0;
};

class CMeasurePainter {
public:
    // The view's font: the system's sans-serif at a readable size.
    static QFont ViewFont();

    // The picture's spectrogram as grey levels (white quiet, black loud) for
    // a panel nHeight device pixels tall: one pixel column per picture pixel.
    static QImage ShadePicture(const CMeasurePicture& picture, int nHeight, double dRangeDb);

    // The device pixels to a logical pixel the scene is drawn at on dc.
    static double DeviceRatio(const QPainter& dc, const CMeasureScene& scene);

    // Everything, filling size (logical pixels) from the painter's origin.
    static void Paint(QPainter& dc, const QSize& size, const CMeasureScene& scene);

    // The whole picture as an image of size at the given device-pixel ratio.
    static QImage Render(const QSize& size, const CMeasureScene& scene, double dDevicePixelRatio = 1.0);

private:
    static void PaintSpectrogram(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
    static void PaintPitch(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
    static void PaintAxes(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
    static void PaintMarks(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
};
