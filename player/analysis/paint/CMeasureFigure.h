#pragma once
// A figure of the measuring view for a paper: the picture as CMeasurePainter
// paints it with the TextGrid's tiers under it (CTierPainter, as the view
// shows them), at a FigureSize, as PNG, JPEG, SVG or PDF. SVG and PDF are
// drawings: text as text in the view's font, lines as lines, the spectrogram
// one embedded image at the figure's resolution. Made in memory; the caller
// writes the bytes. Qt GUI only: render --view and the view's Save Picture
// share it.
//
// Answers the figure's bytes by value; the figure's scene and tiers are the caller's.
// Called on one thread at a time (the UI thread in the view, the main thread in sonavel-
// render).
#include <QByteArray>
#include <QSize>
#include <QString>

#include <string>

#include "player/analysis/measureview/FigureSize.h"
#include "player/analysis/paint/CMeasurePainter.h"
#include "player/analysis/textgrid/TextGrid.h"

enum class EFigureFormat { Png, Jpeg, Svg, Pdf };

struct CFigure {
    // What the plot shows: the model's selection and cursor are drawn as
    // they are, so a caller clears them unless they are asked for.
    CMeasureScene scene;
    const sonavel::textgrid::TextGrid* pTiers = nullptr; // drawn under the plot; null: none
    sonavel::measure::FigureSize size;
    EFigureFormat eFormat = EFigureFormat::Png;
    QString strTitle;       // the SVG's title and the PDF's
    QString strDescription; // the SVG's description
};

class CMeasureFigure {
public:
    // The format a file's name asks for: .png (or no extension at all, such
    // as /dev/stdout), .jpg or .jpeg, .svg, .pdf; false for any other.
    static bool FormatFor(const std::string& strName, EFigureFormat& eFormat);
    // The extension of a format, with its dot: ".png".
    static const char* Extension(EFigureFormat eFormat);

    // The figure's size in layout pixels (96 per inch on paper).
    static QSize LayoutSize(const sonavel::measure::FigureSize& size);
    // The plot's part of a figure of layout size with nTiers tiers: the
    // height above the tiers.
    static QSize PlotSize(const QSize& layoutSize, int nTiers);
    // Empty when the figure can be drawn (its size taken, room for the plot
    // above its tiers), else why not.
    static std::string Check(const sonavel::measure::FigureSize& size, int nTiers);

    // The plot and the tiers under it, filling size (layout pixels).
    static void Paint(QPainter& dc, const QSize& size, const CMeasureScene& scene,
                      const sonavel::textgrid::TextGrid* pTiers);

    // The figure in its format; false when it could not be made (too little
    // memory for its pixels, or a size Check refuses).
    static bool Encode(const CFigure& figure, QByteArray& bytes);

    // The figure as an image at its pixel size (PNG and JPEG are this,
    // encoded); null when it cannot be had.
    static QImage Render(const CFigure& figure);
};
