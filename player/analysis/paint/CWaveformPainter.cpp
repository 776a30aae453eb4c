#include "player/analysis/paint/CWaveformPainter.h"

#include <QPainter>
#include <QPaintEngine>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "player/analysis/paint/CMeasurePainter.h"
#include "player/analysis/paint/PaintSupport.h"

using namespace sonavel;

namespace {
const QColor kWave(30, 30, 30);
const QColor kPulse(30, 90, 220);
// Pulses closer than this many pixels on average are not drawn: they would
// fill the panel.
constexpr double kLeastPulseSpacingPx = 3.0;
// A pixel holding fewer samples than this shows the line through them.
constexpr double kLineBelowSamplesPerPixel = 1.0;
} // namespace

void CWaveformPainter::Paint(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const QRect rc = layout.rcWaveform;
    if (rc.height() <= 0 || rc.width() <= 0 || !scene.pModel)
        return;
    const CMeasureModel& model = *scene.pModel;
    const double dTop = model.WaveformTop();
    const auto Y = [&](double dSample) { return paint::YOf(dSample / 32768.0, -dTop, dTop, rc); };
    dc.save();
    dc.setClipRect(rc);
    dc.setPen(QPen(paint::kGrid, 1));
    dc.drawLine(QPointF(rc.left(), Y(0)), QPointF(rc.right() + 1, Y(0)));
    const int nRate = model.Rate();
    const double dSamplesPerPixel = model.Span() * nRate / rc.width();
    const waveform::HeldSamples held = model.Held();
    const int64_t nFirst = std::max<int64_t>(0, static_cast<int64_t>(std::floor(model.Start() * nRate)) - 1);
    const int64_t nEnd = std::min<int64_t>(model.Samples(), static_cast<int64_t>(std::ceil(model.End() * nRate)) + 2);
    if (dSamplesPerPixel < kLineBelowSamplesPerPixel && nEnd > nFirst && held.Holds(nFirst, nEnd)) {
        // A close look: the samples themselves, joined.
        const auto X = [&](int64_t i) { return rc.left() + model.XAtTime(static_cast<double>(i) / nRate, rc.width()); };
        QPainterPath path;
        for (int64_t i = nFirst; i < nEnd; ++i) {
            const QPointF at(X(i), Y(held.pSamples[i - held.nFirst]));
            if (i == nFirst)
                path.moveTo(at);
            else
                path.lineTo(at);
        }
        dc.setRenderHint(QPainter::Antialiasing, true);
        dc.setPen(QPen(kWave, 1.2));
        dc.drawPath(path);
        const double dPixelsPerSample = 1 / dSamplesPerPixel;
        if (dPixelsPerSample >= 4) {
            const double dRadius = dPixelsPerSample >= 10 ? 2.2 : 1.5;
            dc.setPen(Qt::NoPen);
            dc.setBrush(kWave);
            for (int64_t i = nFirst; i < nEnd; ++i)
                dc.drawEllipse(QPointF(X(i), Y(held.pSamples[i - held.nFirst])), dRadius, dRadius);
        }
    } else if (const waveform::CWaveformPyramid* pPyramid = model.Waveform()) {
        // Each column from its lowest to its highest sample, reaching to its
        // neighbour's so a steep stretch draws as one stroke.
        // One column per device pixel: at a ratio of 2 a logical pixel's
        // column would draw the hour's peaks twice as coarse as the screen can.
        const double dRatio = std::max(1.0, CMeasurePainter::DeviceRatio(dc, scene));
        const int nColumns = static_cast<int>(std::lround(rc.width() * dRatio));
        const std::vector<waveform::MinMax> columns =
            waveform::PixelColumns(*pPyramid, held, model.Start(), model.End(), nColumns, nRate);
        // A drawing (SVG, PDF) gets the envelope as one outlined shape per
        // stretch of sound, not a thin rectangle per column.
        const QPaintEngine* pEngine = dc.paintEngine();
        const bool bDrawing = pEngine && (pEngine->type() == QPaintEngine::SVG || pEngine->type() == QPaintEngine::Pdf);
        QPainterPath envelope;
        std::vector<QPointF> top, bottom;
        const auto CloseStretch = [&] {
            if (top.empty())
                return;
            envelope.moveTo(top.front());
            for (const QPointF& p : top)
                envelope.lineTo(p);
            for (auto it = bottom.rbegin(); it != bottom.rend(); ++it)
                envelope.lineTo(*it);
            envelope.closeSubpath();
            top.clear();
            bottom.clear();
        };
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(Qt::NoPen);
        dc.setBrush(kWave);
        for (size_t x = 0; x < columns.size(); ++x) {
            const waveform::MinMax& c = columns[x];
            if (c.Empty()) {
                CloseStretch();
                continue;
            }
            double lo = c.nMin, hi = c.nMax;
            if (x > 0 && !columns[x - 1].Empty()) {
                lo = std::min(lo, static_cast<double>(columns[x - 1].nMax));
                hi = std::max(hi, static_cast<double>(columns[x - 1].nMin));
            }
            const double yTop = Y(hi), yBottom = Y(lo);
            const double xLeft = rc.left() + static_cast<double>(x) / dRatio;
            if (bDrawing) {
                for (const double xAt : {xLeft, xLeft + 1 / dRatio}) {
                    top.emplace_back(xAt, yTop);
                    bottom.emplace_back(xAt, yBottom);
                }
                continue;
            }
            dc.drawRect(QRectF(xLeft, yTop, 1 / dRatio, std::max(1 / dRatio, yBottom - yTop)));
        }
        CloseStretch();
        if (bDrawing) {
            // The outline keeps a silent stretch a line of its own.
            dc.setRenderHint(QPainter::Antialiasing, true);
            dc.setPen(QPen(kWave, 0.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
            dc.drawPath(envelope);
        }
    } else {
        dc.setPen(Qt::darkGray);
        dc.drawText(rc, Qt::AlignCenter, QString::fromUtf8("Reading the waveform\xE2\x80\xA6"));
    }
    dc.restore();
}

void CWaveformPainter::PaintPulses(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const QRect rc = layout.rcWaveform;
    if (rc.height() <= 0 || rc.width() <= 0 || !scene.pModel || !scene.pModel->Pulses())
        return;
    const CMeasureModel& model = *scene.pModel;
    const std::vector<double>& times = model.Pulses()->time_s;
    const auto first = std::lower_bound(times.begin(), times.end(), model.Start());
    const auto last = std::upper_bound(first, times.end(), model.End());
    if (first == last || double(last - first) * kLeastPulseSpacingPx > rc.width())
        return;
    dc.save();
    dc.setClipRect(rc);
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(QPen(kPulse, 1));
    for (auto it = first; it != last; ++it) {
        const double x = rc.left() + model.XAtTime(*it, rc.width());
        dc.drawLine(QPointF(x, rc.top()), QPointF(x, rc.bottom()));
    }
    dc.restore();
}
