#pragma once
// Paints the measuring view's waveform panel: the samples' lowest and highest
// per pixel column from the pyramid where a pixel holds a sample or more, a
// line through the samples (with a dot on each once they stand apart) where
// it holds less, and the amplitude axis (full scale +-1) on its left; over it
// the glottal pulses, a thin line at each, where they stand apart.
//
// Paints on the thread that owns the QPainter's device; the pyramid, samples
// and pulses it is given are the caller's.
class QPainter;
struct CMeasureLayout;
struct CMeasureScene;

class CWaveformPainter {
public:
    static void Paint(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
    static void PaintPulses(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene);
};
