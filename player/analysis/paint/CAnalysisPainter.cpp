#include "player/analysis/paint/CAnalysisPainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "player/analysis/model/AnalysisResource.h"

namespace {

// The texts are sized for the original dialog font; a wider substitute would
// cut them off. Such a text grows about its centre, within the window, and
// only if that is not enough its font shrinks.
void FitText(CAnalysisPainter::CText& text, int nDialogWidth)
{
    const int nRoom = nDialogWidth - 4;
    const QRect rc = text.rect;
    int nNeed = QFontMetrics(text.font).horizontalAdvance(text.strText) + 2;
    if (nNeed <= rc.width())
        return;
    QFont font = text.font;
    while (nNeed > nRoom && font.pointSizeF() > 6.0) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        nNeed = QFontMetrics(font).horizontalAdvance(text.strText) + 2;
    }
    text.font = font;
    const int nWidth = std::min(nNeed, nRoom);
    const int nLeft = std::clamp(rc.center().x() - nWidth / 2, 2, nDialogWidth - 2 - nWidth);
    text.rect = QRect(nLeft, rc.top(), nWidth, rc.height());
}

} // namespace

QFont CAnalysisPainter::WindowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    return font;
}

QSize CAnalysisPainter::WindowSize()
{
    return QSize(sonavel::DluToPixelsX(sonavel::ANALYSIS_DLG_WIDTH_DLU),
                 sonavel::DluToPixelsY(sonavel::ANALYSIS_DLG_HEIGHT_DLU));
}

std::vector<CAnalysisPainter::CText> CAnalysisPainter::Texts(const QFont& font, int nWidth)
{
    struct TextItem {
        const char* szText;
        int x, y, cx, cy; // dialog units
    };
    const TextItem items[3] = {
        {sonavel::STR_ANALYSIS_TEXT1, 17, 140, 290, 8},
        {sonavel::STR_ANALYSIS_TEXT2, 8, 149, 308, 10},
        {sonavel::STR_ANALYSIS_TEXT3, 103, 160, 86, 8},
    };
    std::vector<CText> texts;
    for (const TextItem& item : items) {
        CText text{QString::fromUtf8(item.szText),
                   QRect(sonavel::DluToPixelsX(item.x), sonavel::DluToPixelsY(item.y),
                         sonavel::DluToPixelsX(item.cx), sonavel::DluToPixelsY(item.cy)),
                   font};
        FitText(text, nWidth);
        texts.push_back(text);
    }
    return texts;
}

QImage CAnalysisPainter::Render(const QColor& background, const QColor& textColour) const
{
    const QSize size = WindowSize();
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter dc(&image);
    const QFont font = WindowFont();
    dc.setFont(font);
    DrawPitch(dc);
    DrawSpectrogram(dc);
    // As a label draws its text: left-aligned, centred vertically in its box.
    dc.setPen(textColour);
    for (const CText& text : Texts(font, size.width())) {
        dc.setFont(text.font);
        dc.drawText(text.rect, Qt::AlignLeft | Qt::AlignVCenter, text.strText);
    }
    return image;
}

void CAnalysisPainter::DrawPitch(QPainter& dc) const
{
    if (!m_model.IsPitchReady())
        return;
    const CAnalysisModel::Rect& rc = m_model.PitchRect();
    dc.fillRect(rc.left, rc.top, rc.Width(), rc.Height(), Qt::white);
    DrawPitchDots(dc, 1, rc.left, rc.bottom, rc.Height(), rc.Width());
    DrawScale(dc, rc.left, rc.bottom, rc.Height(), rc.Width(), 50, 250, 50);
}

void CAnalysisPainter::DrawPitchDots(QPainter& dc, int nDotSize, int nLeft, int nBottom, int nHeight,
                                     int nWidth) const
{
    const int nCount = m_model.PitchCount();
    const int nMin = m_model.PitchMin(), nMax = m_model.PitchMax();
    const int16_t* pitch = m_model.Pitch();
    if (!pitch || nCount <= 0 || nMax <= nMin)
        return;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setBrush(Qt::black);
    dc.setPen(QPen(Qt::black, 0));
    const double yscale = static_cast<double>(nHeight) / (nMax - nMin);
    const double xscale = static_cast<double>(nWidth) / nCount;
    const int nBox = 4 * nDotSize;

    // A long sound puts thousands of values on one pixel column; a dot lands
    // on each place once (the same opaque dot again would change no pixel).
    const int nSpanX = std::max(nWidth, 0) + 1, nSpanY = std::max(nHeight, 0) + 2;
    std::vector<uint8_t> drawn(static_cast<size_t>(nSpanX) * nSpanY, 0);
    for (int i = 0; i < nCount; ++i) {
        const int v = pitch[i];
        if (v <= nMin || v >= nMax)
            continue;
        const int x = nLeft + static_cast<int>(i * xscale);
        const int y = nBottom - static_cast<int>((v - nMin) * yscale);
        const int dx = x - nLeft, dy = nBottom - y;
        if (dx >= 0 && dx < nSpanX && dy >= 0 && dy < nSpanY) {
            uint8_t& bDrawn = drawn[static_cast<size_t>(dy) * nSpanX + dx];
            if (bDrawn)
                continue;
            bDrawn = 1;
        }
        // The dot fills the box from (x, y) to (x + 4a, y + 4a), right and
        // bottom edges excluded: a QPainter ellipse with a pen covers its
        // rectangle's far edges, so the rectangle is one pixel smaller.
        dc.drawEllipse(QRect(x, y, nBox - 1, nBox - 1));
    }
    dc.restore();
}

void CAnalysisPainter::DrawSpectrogram(QPainter& dc) const
{
    if (!m_model.IsSpectrogramReady())
        return;
    const CAnalysisModel::Rect& rc = m_model.SpectrogramRect();
    if (rc.Width() <= 0 || rc.Height() <= 0)
        return;

    // The panel is built as an image and drawn in one go: for each column a
    // vertical segment per row, from the panel's bottom upwards, each segment
    // ending at its row's height in its row's grey (later rows and columns
    // drawing over earlier ones on a shared pixel).
    QImage panel(rc.Width(), rc.Height(), QImage::Format_RGB32);
    panel.fill(Qt::white);
    const int nColumns = m_model.Columns(), nModelRows = m_model.Rows();
    if (nColumns > 0 && nModelRows > 0) {
        const double colw = static_cast<double>(rc.Width()) / nColumns;
        const double rowh = static_cast<double>(rc.Height()) / nModelRows;
        const double g = 255.0 / m_model.DynamicRange();
        QRgb grey[256];
        for (int i = 0; i < 256; ++i)
            grey[i] = qRgb(i, i, i);
        const int yBase = rc.Height() - 1; // the panel's last pixel row, image coordinates
        const int nRows = std::min(nModelRows, m_model.ColumnLength());
        for (int c = 0; c < nColumns; ++c) {
            const double* v = m_model.Column(c);
            if (!v)
                continue;
            const int x = static_cast<int>(c * colw);
            if (x >= rc.Width())
                break;
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

void CAnalysisPainter::DrawScale(QPainter& dc, int nLeft, int nBottom, int nHeight, int nWidth,
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
