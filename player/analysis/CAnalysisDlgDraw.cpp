// The analysis window's drawing: pitch dots, spectrogram and scales. Everything
// goes through the QPainter it is given, on the window or on an image alike.
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

#include "player/analysis/CAnalysisDlg.h"

void CAnalysisDlg::DrawPitch(QPainter& dc)
{
    if (!m_bPitchReady)
        return;
    const Rect& rc = m_rcPitch;
    dc.fillRect(rc.left, rc.top, rc.Width(), rc.Height(), Qt::white);
    DrawPitchDots(dc, 1, rc.left, rc.bottom, rc.Height(), rc.Width());
    DrawScale(dc, rc.left, rc.bottom, rc.Height(), rc.Width(), 50, 250, 50);
}

void CAnalysisDlg::DrawPitchDots(QPainter& dc, int nDotSize, int nLeft, int nBottom, int nHeight,
                                 int nWidth)
{
    if (!m_hPitch || m_nPitchCount <= 0 || m_nPitchMax <= m_nPitchMin)
        return;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setBrush(Qt::black);
    dc.setPen(QPen(Qt::black, 0));
    const double yscale = static_cast<double>(nHeight) / (m_nPitchMax - m_nPitchMin);
    const double xscale = static_cast<double>(nWidth) / m_nPitchCount;
    const int nBox = 4 * nDotSize;

    CSampleLock lock(m_hPitch);
    const int16_t* pitch = lock.Samples();
    // A long sound puts hundreds of values on one pixel column; a dot that
    // would land exactly on the previous one is not drawn twice.
    int xLast = -1, yLast = -1;
    for (int i = 0; i < m_nPitchCount; ++i) {
        const int v = pitch[i];
        if (v <= m_nPitchMin || v >= m_nPitchMax)
            continue;
        const int x = nLeft + static_cast<int>(i * xscale);
        const int y = nBottom - static_cast<int>((v - m_nPitchMin) * yscale);
        if (x == xLast && y == yLast)
            continue;
        xLast = x;
        yLast = y;
        // The dot fills the box from (x, y) to (x + 4a, y + 4a), right and
        // bottom edges excluded: a QPainter ellipse with a pen covers its
        // rectangle's far edges, so the rectangle is one pixel smaller.
        dc.drawEllipse(QRect(x, y, nBox - 1, nBox - 1));
    }
    dc.restore();
}

void CAnalysisDlg::DrawSpectrogram(QPainter& dc)
{
    if (!m_bSpectrogramReady)
        return;
    const Rect& rc = m_rcSpectrogram;
    if (rc.Width() <= 0 || rc.Height() <= 0)
        return;

    // The panel is built as an image and drawn in one go: for each column a
    // vertical segment per row, from the panel's bottom upwards, each segment
    // ending at its row's height in its row's grey (later rows and columns
    // drawing over earlier ones on a shared pixel).
    QImage panel(rc.Width(), rc.Height(), QImage::Format_RGB32);
    panel.fill(Qt::white);
    if (m_nColumns > 0 && m_nRows > 0) {
        const double colw = static_cast<double>(rc.Width()) / m_nColumns;
        const double rowh = static_cast<double>(rc.Height()) / m_nRows;
        const double g = 255.0 / m_nDynamicRange;
        QRgb grey[256];
        for (int i = 0; i < 256; ++i)
            grey[i] = qRgb(i, i, i);
        const int yBase = rc.Height() - 1; // the panel's last pixel row, image coordinates
        const int nRows = std::min(m_nRows, m_nColumnLength);
        for (int c = 0; c < m_nColumns; ++c) {
            if (!m_hColumns[c])
                continue;
            const int x = static_cast<int>(c * colw);
            if (x >= rc.Width())
                break;
            CSampleLock lock(m_hColumns[c]);
            const double* v = static_cast<const double*>(lock.Data());
            int yFrom = yBase;
            for (int j = 0; j < nRows; ++j) {
                const int yTo = std::max(0, yBase - static_cast<int>(j * rowh));
                double dShade = 255.0 - g * v[j];
                if (!(dShade >= 0.0))
                    dShade = 0.0;
                const QRgb colour = grey[std::min(255, static_cast<int>(dShade))];
                for (int y = yTo; y <= yFrom; ++y)
                    reinterpret_cast<QRgb*>(panel.scanLine(y))[x] = colour;
                yFrom = yTo;
            }
        }
    }
    dc.drawImage(rc.left, rc.top, panel);
    DrawScale(dc, rc.left, rc.bottom, rc.Height(), rc.Width(), 1000, 5000, 0);
}

void CAnalysisDlg::DrawScale(QPainter& dc, int nLeft, int nBottom, int nHeight, int nWidth,
                             int nStep, int nTop, int nBase)
{
    const int nRange = nTop - nBase;
    if (nRange <= 0 || nStep <= 0)
        return;
    const double yscale = static_cast<double>(nHeight) / nRange;
    const int n = nRange / nStep;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(QPen(Qt::black, 0));
    for (int k = 1; k <= n; ++k) {
        const int y = static_cast<int>(k * nStep * yscale);
        // A line on the panel's top edge is left out; its label stays.
        if (y != nHeight)
            dc.drawLine(nLeft + 2, nBottom - y, nLeft + nWidth - 3, nBottom - y);
    }
    const QFontMetrics fm = dc.fontMetrics();
    for (int k = 1; k <= n; ++k) {
        const int y = static_cast<int>(k * nStep * yscale);
        const QString text = QString::number(nBase + k * nStep);
        dc.drawText(0, nBottom - y + fm.ascent(), text);
    }
    dc.restore();
}
