#include "player/analysis/window/CSpectralSlicePanel.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "player/analysis/measureview/AxisTicks.h"
#include "player/analysis/paint/CMeasurePainter.h"

using namespace sonavel;

namespace {

constexpr double kRangeDb = 80;     // the dB axis spans this much below its top
constexpr int kMostPeaksShown = 10; // readouts of the spectrum's peaks (harmonics, in a vowel)

QString Frequencies(const std::vector<slice::SlicePeak>& peaks, double dTopHz, int nMost)
{
    QStringList list;
    for (const slice::SlicePeak& p : peaks)
        if (p.dHz <= dTopHz && list.size() < nMost)
            list << QString::number(std::lround(p.dHz));
    return list.isEmpty() ? QStringLiteral("none") : list.join(QStringLiteral(", ")) + QStringLiteral(" Hz");
}

} // namespace

// The curves and their axes.
class CSpectralSlicePanel::CPlot : public QWidget {
public:
    CPlot() { setMinimumSize(420, 260); }

    void Set(const slice::SpectralSlice* pSlice, double dTopHz, const QString& strNothing)
    {
        m_pSlice = pSlice;
        m_dTopHz = dTopHz;
        m_strNothing = strNothing;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setFont(CMeasurePainter::ViewFont());
        const QFontMetricsF metrics(painter.font());
        const QRectF plot(metrics.horizontalAdvance(QStringLiteral("-000 dB")) + 14, metrics.height(),
                          width() - metrics.horizontalAdvance(QStringLiteral("-000 dB")) - 30,
                          height() - 3.2 * metrics.height() - 8);
        if (!m_pSlice || m_pSlice->db.empty() || plot.width() < 20 || plot.height() < 20) {
            painter.setPen(Qt::darkGray);
            painter.drawText(rect(), Qt::AlignCenter, m_strNothing);
            return;
        }
        const slice::SpectralSlice& s = *m_pSlice;
        double dMax = slice::kSilenceDb;
        for (size_t k = 0; k < s.db.size() && s.frequency_hz[k] <= m_dTopHz; ++k) {
            dMax = std::max(dMax, s.db[k]);
            if (k < s.lpc_db.size() && std::isfinite(s.lpc_db[k]))
                dMax = std::max(dMax, s.lpc_db[k]);
        }
        const double dHigh = dMax <= slice::kSilenceDb ? 0 : std::ceil((dMax + 5) / 10) * 10;
        const double dLow = dHigh - kRangeDb;
        const auto X = [&](double hz) { return plot.left() + hz / m_dTopHz * plot.width(); };
        const auto Y = [&](double db) { return plot.bottom() - (std::clamp(db, dLow, dHigh) - dLow) / kRangeDb * plot.height(); };

        // Grid and axes.
        painter.setPen(QColor(225, 225, 225));
        const auto hzTicks = axes::LinearTicks(0, m_dTopHz, plot.width(), metrics.horizontalAdvance(QStringLiteral("00000")) * 1.6);
        const auto dbTicks = axes::LinearTicks(dLow, dHigh, plot.height(), metrics.height() * 1.5);
        for (const axes::Tick& t : hzTicks)
            painter.drawLine(QPointF(X(t.dValue), plot.top()), QPointF(X(t.dValue), plot.bottom()));
        for (const axes::Tick& t : dbTicks)
            painter.drawLine(QPointF(plot.left(), Y(t.dValue)), QPointF(plot.right(), Y(t.dValue)));
        painter.setPen(Qt::black);
        painter.drawRect(plot);
        for (const axes::Tick& t : hzTicks)
            painter.drawText(QRectF(X(t.dValue) - 40, plot.bottom() + 2, 80, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                             QString::fromStdString(t.strLabel));
        for (const axes::Tick& t : dbTicks)
            painter.drawText(QRectF(0, Y(t.dValue) - metrics.height() / 2, plot.left() - 4, metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(t.strLabel));
        painter.drawText(QRectF(plot.left(), plot.bottom() + metrics.height() + 2, plot.width(), metrics.height()),
                         Qt::AlignHCenter, QStringLiteral("Frequency (Hz)"));
        painter.drawText(QRectF(0, 0, plot.left() + 60, metrics.height()), Qt::AlignLeft, QStringLiteral("dB"));

        // The curves, clipped to the plot.
        painter.setClipRect(plot);
        painter.setRenderHint(QPainter::Antialiasing);
        const auto Curve = [&](const std::vector<double>& db) {
            QPainterPath path;
            bool bOpen = false;
            for (size_t k = 0; k < db.size() && k < s.frequency_hz.size(); ++k) {
                if (s.frequency_hz[k] > m_dTopHz || !std::isfinite(db[k])) {
                    bOpen = false;
                    if (s.frequency_hz[k] > m_dTopHz)
                        break;
                    continue;
                }
                const QPointF at(X(s.frequency_hz[k]), Y(db[k]));
                bOpen ? path.lineTo(at) : path.moveTo(at);
                bOpen = true;
            }
            painter.drawPath(path);
        };
        painter.setPen(QPen(QColor(90, 90, 90), 1));
        Curve(s.db);
        painter.setPen(QPen(QColor(200, 30, 30), 2));
        Curve(s.lpc_db);
        for (const slice::SlicePeak& p : s.lpcPeaks)
            if (p.dHz <= m_dTopHz)
                painter.drawLine(QPointF(X(p.dHz), Y(p.dDb) - 6), QPointF(X(p.dHz), Y(p.dDb) - 14));
        painter.setClipping(false);
        // The legend, at the top right.
        const QString strSpectrum = QStringLiteral("spectrum"), strEnvelope = QStringLiteral("LPC envelope");
        const double dRight = plot.right() - 6;
        painter.setPen(QColor(200, 30, 30));
        painter.drawText(QPointF(dRight - metrics.horizontalAdvance(strEnvelope), plot.top() + metrics.ascent() + 2), strEnvelope);
        painter.setPen(QColor(90, 90, 90));
        painter.drawText(QPointF(dRight - metrics.horizontalAdvance(strSpectrum), plot.top() + metrics.height() + metrics.ascent() + 2),
                         strSpectrum);
    }

private:
    const slice::SpectralSlice* m_pSlice = nullptr;
    double m_dTopHz = 5000;
    QString m_strNothing;
};

CSpectralSlicePanel::CSpectralSlicePanel(QWidget* pParent) : QWidget(pParent, Qt::Window), m_pPlot(new CPlot)
{
    setObjectName(QStringLiteral("spectralSlice"));
    setWindowTitle(QStringLiteral("Spectral Slice"));
    m_pPlot->setAccessibleName(QStringLiteral("Spectrum and LPC envelope"));
    m_pPeaks = new QLabel;
    m_pPeaks->setObjectName(QStringLiteral("slicePeaks"));
    m_pPeaks->setAccessibleName(QStringLiteral("Peaks"));
    m_pPeaks->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pPeaks->setWordWrap(true);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pPlot, 1);
    pLayout->addWidget(m_pPeaks);
    resize(560, 380);
}

void CSpectralSlicePanel::ShowSlice(const slice::SpectralSlice& slice, double dTimeS, double dWindowS, double dTopHz)
{
    m_slice = slice;
    setWindowTitle(QStringLiteral("Spectral Slice at %1 s").arg(dTimeS, 0, 'f', 3));
    m_pPeaks->setText(QStringLiteral("At %1 s, window %2 ms.\nEnvelope peaks (formants): %3 (up to %4 Hz)\n"
                                     "Spectrum peaks: %5")
                          .arg(dTimeS, 0, 'f', 3)
                          .arg(dWindowS * 1000, 0, 'g', 3)
                          .arg(Frequencies(slice.lpcPeaks, dTopHz, kMostPeaksShown))
                          .arg(std::lround(std::min(dTopHz, slice.dCeilingHz > 0 ? slice.dCeilingHz : dTopHz)))
                          .arg(Frequencies(slice.peaks, dTopHz, kMostPeaksShown)));
    m_pPlot->Set(&m_slice, dTopHz, QString());
}

void CSpectralSlicePanel::ShowNothing(const QString& strWhy)
{
    m_slice = slice::SpectralSlice();
    setWindowTitle(QStringLiteral("Spectral Slice"));
    m_pPeaks->setText(strWhy);
    m_pPlot->Set(nullptr, 5000, strWhy);
}

QString CSpectralSlicePanel::PeaksText() const { return m_pPeaks->text(); }
