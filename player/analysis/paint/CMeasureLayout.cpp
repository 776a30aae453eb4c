#include "player/analysis/paint/CMeasureLayout.h"

#include <QFontMetrics>

#include <algorithm>

#include "player/analysis/paint/PaintSupport.h"

CMeasureLayout CMeasureLayout::For(const QSize& size, const QFont& font, const sonavel::measure::MeasureLayers& layers)
{
    using sonavel::paint::kTick;
    CMeasureLayout l;
    const QFontMetrics fm(font);
    l.nLineHeight = fm.height();
    l.dDigitWidth = fm.horizontalAdvance(QStringLiteral("0000000000")) / 10.0;
    const int lh = l.nLineHeight;
    const int w = size.width(), h = size.height();
    l.rcHeader = QRect(8, 4, std::max(0, w - 16), 2 * lh + 2);
    // Left: the axis' title on its side, then labels of up to five digits, then the ticks.
    const int nLeft = lh + 6 + fm.horizontalAdvance(QStringLiteral("00000")) + kTick + 4;
    // Right: room for half of a long time label centred on the last tick, or
    // for the intensity's labels and title.
    int nRight = std::max(12, fm.horizontalAdvance(QStringLiteral("0000.000")) / 2 + 6);
    if (layers.bIntensity)
        nRight = std::max(nRight, kTick + 3 + fm.horizontalAdvance(QStringLiteral("000")) + 4 + lh + 4);
    const int nBottom = kTick + lh / 2 + 2 + lh + 2 + lh + 4;
    const int nTop = l.rcHeader.bottom() + 1 + lh / 2 + 6;
    const int nPlotHeight = std::max(0, h - nTop - nBottom);
    const int nGap = lh + 4; // the labels at two panels' facing edges do not meet
    const int nWidth = std::max(0, w - nLeft - nRight);
    // The spectrogram keeps at least half of the height; the others share the rest.
    const auto Share = [&](bool bShown, int nPercent, int nLeast) {
        return bShown ? std::max(0, std::min(std::max(nLeast, nPlotHeight * nPercent / 100), nPlotHeight / 4 - nGap)) : 0;
    };
    const int nWave = Share(layers.bWaveform, 20, 50);
    const int nPitch = Share(layers.bPitch, 24, 60);
    int y = nTop;
    l.rcWaveform = QRect(nLeft, y, nWidth, nWave);
    y += nWave > 0 ? nWave + nGap : 0;
    l.rcPitch = QRect(nLeft, y, nWidth, nPitch);
    y += nPitch > 0 ? nPitch + nGap : 0;
    l.rcSpectrogram = QRect(nLeft, y, nWidth, std::max(0, nTop + nPlotHeight - y));
    l.rcTimeAxis = QRect(nLeft, l.rcSpectrogram.bottom() + 1, nWidth, nBottom);
    return l;
}

QRect CMeasureLayout::Panels() const
{
    QRect rc = rcSpectrogram;
    for (const QRect& r : {rcWaveform, rcPitch})
        if (r.height() > 0)
            rc = rc.united(r);
    return rc;
}
