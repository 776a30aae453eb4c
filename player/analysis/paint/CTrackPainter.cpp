#include "player/analysis/paint/CTrackPainter.h"

#include <QVector>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "player/analysis/paint/CMeasurePainter.h"
#include "player/analysis/paint/PaintSupport.h"

using namespace sonavel;

namespace {
const QColor kFormant(225, 30, 30);
const QColor kIntensity(0, 150, 60);

// The frames of times (a grid from 0) that fall in the span shown, one frame
// either side: [first, end).
std::pair<size_t, size_t> FramesShown(const std::vector<double>& times, const CMeasureModel& model)
{
    const size_t a = static_cast<size_t>(std::lower_bound(times.begin(), times.end(), model.Start()) - times.begin());
    const size_t b = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), model.End()) - times.begin());
    return {a > 0 ? a - 1 : a, std::min(times.size(), b + 1)};
}

// Per formant frame [a, b): whether it is loud enough to draw, within dRangeDb
// of the loudest intensity frame shown. Silence and breath have resonances
// too; a formant there is no voice's. Without an intensity track every frame
// is drawn.
std::vector<uint8_t> LoudFrames(const formants::FormantFrames& f, size_t a, size_t b, const CMeasureModel& model,
                                double dRangeDb)
{
    std::vector<uint8_t> loud(b - a, 1);
    const intensity::IntensityFrames* pLevel = model.Intensity();
    if (!pLevel || pLevel->time_s.empty())
        return loud;
    const auto [ia, ib] = FramesShown(pLevel->time_s, model);
    if (ia >= ib)
        return loud;
    const double dLoudest = *std::max_element(pLevel->db.begin() + long(ia), pLevel->db.begin() + long(ib));
    size_t k = 0;
    for (size_t i = a; i < b; ++i) {
        // the intensity frame nearest to the formant frame's time
        const double t = f.time_s[i];
        while (k + 1 < pLevel->time_s.size() && pLevel->time_s[k + 1] <= t)
            ++k;
        size_t nNear = k;
        if (k + 1 < pLevel->time_s.size() && pLevel->time_s[k + 1] - t < t - pLevel->time_s[k])
            nNear = k + 1;
        loud[i - a] = pLevel->db[nNear] >= dLoudest - dRangeDb;
    }
    return loud;
}
} // namespace

void CTrackPainter::PaintFormants(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const QRect rc = layout.rcSpectrogram;
    const CMeasureModel& model = *scene.pModel;
    const formants::FormantFrames* pFrames = model.FormantsShown();
    const double dTop = scene.settings.spectrogram.dMaxFrequencyHz;
    if (rc.isEmpty() || !pFrames || pFrames->time_s.size() < 2 || !(dTop > 0))
        return;
    const auto [a, b] = FramesShown(pFrames->time_s, model);
    const std::vector<uint8_t> loud = LoudFrames(*pFrames, a, b, model, scene.settings.dFormantRangeDb);
    const double dPixelsPerFrame = (pFrames->time_s[1] - pFrames->time_s[0]) / model.Span() * rc.width();
    const double dScale = rc.width() / model.Span();
    dc.save();
    dc.setClipRect(rc);
    if (dPixelsPerFrame >= 2) {
        // Few enough frames: a round dot each.
        const double dRadius = dPixelsPerFrame >= 6 ? 2.2 : 1.5;
        dc.setRenderHint(QPainter::Antialiasing, true);
        dc.setPen(Qt::NoPen);
        dc.setBrush(kFormant);
        for (size_t i = a; i < b; ++i)
            for (int j = 0; j < pFrames->nFormants && loud[i - a]; ++j)
                if (const double f = pFrames->Hz(i, j); f > 0 && f <= dTop)
                    dc.drawEllipse(QPointF(rc.left() + (pFrames->time_s[i] - model.Start()) * dScale,
                                           paint::YOf(f, 0, dTop, rc)),
                                   dRadius, dRadius);
    } else {
        // Crowded: each pixel a formant falls in, once (an hour's 1.8 million
        // values fall in a few thousand), drawn two pixels square.
        const int w = rc.width(), h = rc.height();
        std::vector<uint8_t> taken(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
        QVector<QPoint> points;
        const double dRows = h / dTop;
        for (size_t i = a; i < b; ++i) {
            const int x = static_cast<int>((pFrames->time_s[i] - model.Start()) * dScale);
            if (x < 0 || x >= w || !loud[i - a])
                continue;
            const double* pHz = &pFrames->hz[i * static_cast<size_t>(pFrames->nFormants)];
            for (int j = 0; j < pFrames->nFormants; ++j) {
                if (!(pHz[j] > 0) || pHz[j] > dTop)
                    continue;
                const int y = std::min(static_cast<int>((dTop - pHz[j]) * dRows), h - 1);
                uint8_t& bTaken = taken[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
                if (!bTaken) {
                    bTaken = 1;
                    points.push_back(QPoint(rc.left() + x, rc.top() + y));
                }
            }
        }
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(QPen(kFormant, 2, Qt::SolidLine, Qt::SquareCap));
        dc.drawPoints(points.constData(), static_cast<int>(points.size()));
    }
    dc.restore();
}

void CTrackPainter::PaintIntensity(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const QRect rc = layout.rcSpectrogram;
    const CMeasureModel& model = *scene.pModel;
    const intensity::IntensityFrames* pFrames = model.Intensity();
    if (rc.isEmpty() || !pFrames || pFrames->time_s.size() < 2)
        return;
    const double lo = model.IntensityLow(), hi = model.IntensityHigh();
    const auto Y = [&](double db) { return paint::YOf(std::clamp(db, lo, hi), lo, hi, rc); };
    const auto [a, b] = FramesShown(pFrames->time_s, model);
    const double dPixelsPerFrame = (pFrames->time_s[1] - pFrames->time_s[0]) / model.Span() * rc.width();
    const double dScale = rc.width() / model.Span();
    dc.save();
    dc.setClipRect(rc);
    if (dPixelsPerFrame < 1) {
        // Many frames to a pixel: the loudest of each pixel column, joined
        // (its whole range, pauses and all, would fill the panel with an hour).
        const int w = rc.width();
        std::vector<double> high(static_cast<size_t>(w), -1e300);
        for (size_t i = a; i < b; ++i) {
            const double dx = (pFrames->time_s[i] - model.Start()) * dScale;
            if (dx >= 0 && dx < w)
                high[static_cast<size_t>(dx)] = std::max(high[static_cast<size_t>(dx)], pFrames->db[i]);
        }
        // Each column a stroke from its neighbour's level to its own: no
        // path to stroke, which an hour's zigzag of speech and pauses makes slow.
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(Qt::NoPen);
        dc.setBrush(kIntensity);
        for (int x = 0; x < w; ++x) {
            const double db = high[static_cast<size_t>(x)];
            if (db < lo)
                continue; // a pixel of silence breaks the curve
            const double dPrevious = x > 0 && high[static_cast<size_t>(x - 1)] >= lo ? high[static_cast<size_t>(x - 1)] : db;
            const double yTop = Y(std::max(db, dPrevious)), yFoot = Y(std::min(db, dPrevious));
            dc.drawRect(QRectF(rc.left() + x, yTop - 0.75, 1, yFoot - yTop + 1.5));
        }
    } else {
        QPainterPath path;
        for (size_t i = a; i < b; ++i) {
            const QPointF at(rc.left() + (pFrames->time_s[i] - model.Start()) * dScale, Y(pFrames->db[i]));
            if (i == a)
                path.moveTo(at);
            else
                path.lineTo(at);
        }
        dc.setRenderHint(QPainter::Antialiasing, true);
        dc.setPen(QPen(kIntensity, 1.5));
        dc.setBrush(Qt::NoBrush);
        dc.drawPath(path);
    }
    dc.restore();
}

void CTrackPainter::PaintIntensityAxis(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const CMeasureModel& model = *scene.pModel;
    const QRect rc = layout.rcSpectrogram;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(QPen(kIntensity, 1));
    const int xTitle = rc.right() + 1 + paint::kTick + 3 + dc.fontMetrics().horizontalAdvance(QStringLiteral("000")) + 4;
    paint::VerticalScale(dc, rc, model.IntensityLow(), model.IntensityHigh(), layout.nLineHeight, true, xTitle,
                         QStringLiteral("Intensity (dB)"));
    dc.restore();
}
