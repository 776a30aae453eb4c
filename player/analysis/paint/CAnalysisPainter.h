#pragma once
// Paints an analysis model as the "Pitch / Spectrogram" window shows it: pitch
// dots on a fixed 50-250 Hz scale above a grey-scale spectrogram of 0-5000 Hz,
// and the three lines of text below. Qt GUI only (QPainter), so the window and
// the command-line renderer draw the very same pixels.
//
// Paints on the thread that owns the QPainter's device (the UI thread in the window, the
// main thread in sonavel-render); it keeps a reference to the model, which must outlive
// it.
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <vector>

#include "player/analysis/model/CAnalysisModel.h"

class QPainter;

class CAnalysisPainter {
public:
    explicit CAnalysisPainter(const CAnalysisModel& model) : m_model(model) {}

    // Both panels from the model's results (a panel that is not ready is left alone).
    void DrawPitch(QPainter& dc) const;
    void DrawSpectrogram(QPainter& dc) const;
    void DrawPitchDots(QPainter& dc, int nDotSize, int nLeft, int nBottom, int nHeight, int nWidth) const;
    static void DrawScale(QPainter& dc, int nLeft, int nBottom, int nHeight, int nWidth, int nStep,
                          int nTop, int nBase);

    // One line of the window's text, where and in which font it is drawn.
    struct CText {
        QString strText;
        QRect rect;
        QFont font;
    };
    // The window's font: the dialog font, or the closest sans-serif this system has.
    static QFont WindowFont();
    // The window's size in pixels.
    static QSize WindowSize();
    // The three texts for a window nWidth wide in font.
    static std::vector<CText> Texts(const QFont& font, int nWidth);

    // The whole client area as the window shows it, on the given background.
    QImage Render(const QColor& background, const QColor& textColour) const;

private:
    const CAnalysisModel& m_model;
};
