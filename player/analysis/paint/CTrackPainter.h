#pragma once
// Paints what lies over the measuring view's spectrogram: F1-F5 as dots on
// its frequency scale (only in frames within the settings' formant range of
// the loudest intensity shown), and the intensity as a curve on a dB scale of its own,
// whose axis stands at the panel's right. Where frames crowd (an hour on
// screen) the formants are set as pixels into an image and the intensity as
// each pixel column's range, so the hour draws as fast as a second.
//
// Paints on the thread that owns the QPainter's device; the tracks it is given are the
// caller's.
class QPainter;
struct CMeasureLayout;
struct CMeasureScene;

class CTrackPainter {
public:
    static void PaintFormants(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
    static void PaintIntensity(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
    // The dB axis, right of the spectrogram.
    static void PaintIntensityAxis(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
};
