#include "player/analysis/paint/CTierPainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

using namespace sonavel::textgrid;

namespace {

const QColor kBoundary(30, 60, 200);
const QColor kSelectedInterval(255, 236, 140);
const double kPointLabelWidth = 120;

} // namespace

int CTierPainter::StripHeight(const QFont& font) { return 2 * QFontMetrics(font).height() + 8; }

void CTierPainter::Paint(QPainter& dc, const QRect& rcStrip, int nLeft, int nWidth, const CMeasureModel& model,
                         const Tier& tier, const TierLook& look)
{
    const auto X = [&](double t) { return nLeft + model.XAtTime(t, nWidth); };
    const QRectF rcTime(nLeft, rcStrip.top(), nWidth, rcStrip.height());
    const double top = rcStrip.top(), h = rcStrip.height();
    dc.save();
    dc.fillRect(rcStrip, look.background);
    dc.fillRect(rcTime, look.outside);
    const double xStart = std::max(X(tier.dStart), rcTime.left());
    const double xEnd = std::min(X(tier.dEnd), rcTime.right());
    if (xEnd > xStart)
        dc.fillRect(QRectF(xStart, top, xEnd - xStart, h), look.inside);
    const bool bIntervals = tier.eKind == ETierKind::Interval;
    const int nItems = static_cast<int>(bIntervals ? tier.intervals.size() : tier.points.size());
    if (bIntervals && look.nSelectedItem >= 0 && look.nSelectedItem < nItems) {
        const Interval& i = tier.intervals[static_cast<size_t>(look.nSelectedItem)];
        const double x0 = std::max(X(i.dStart), rcTime.left()), x1 = std::min(X(i.dEnd), rcTime.right());
        dc.fillRect(QRectF(x0, top, std::max(x1 - x0, 40.0), h).intersected(rcTime), kSelectedInterval);
    }

    QFont font = dc.font();
    font.setBold(look.bSelectedTier);
    dc.setFont(font);
    dc.setPen(look.text);
    const QRect rcName(rcStrip.left() + 4, rcStrip.top(), std::max(0, nLeft - rcStrip.left() - 8), rcStrip.height());
    dc.drawText(rcName, Qt::AlignRight | Qt::AlignVCenter,
                dc.fontMetrics().elidedText(QString::fromStdString(tier.strName), Qt::ElideMiddle, rcName.width()));
    font.setBold(false);
    dc.setFont(font);

    dc.setClipRect(rcTime, Qt::IntersectClip);
    for (int n = 0; n < nItems; ++n) {
        const bool bDragged = n == look.nDraggedItem;
        if (bIntervals) {
            const Interval& i = tier.intervals[static_cast<size_t>(n)];
            const double x0 = X(i.dStart), x1 = X(i.dEnd);
            if (x1 < rcTime.left() || x0 > rcTime.right())
                continue;
            // Each interval draws its end; the tier's own end is no boundary.
            if (n + 1 < nItems) {
                const double x = bDragged ? X(look.dDraggedTime) : x1;
                dc.setPen(QPen(kBoundary, 2));
                dc.drawLine(QPointF(x, top), QPointF(x, top + h));
            }
            dc.setPen(look.text);
            const QRectF rc = QRectF(x0, top, x1 - x0, h).intersected(rcTime);
            dc.drawText(rc, Qt::AlignCenter,
                        dc.fontMetrics().elidedText(QString::fromStdString(i.strLabel), Qt::ElideRight,
                                                    static_cast<int>(rc.width())));
        } else {
            const Point& p = tier.points[static_cast<size_t>(n)];
            const double x = bDragged ? X(look.dDraggedTime) : X(p.dTime);
            if (x + kPointLabelWidth < rcTime.left() || x > rcTime.right())
                continue;
            dc.setPen(QPen(n == look.nSelectedItem ? QColor(Qt::red) : kBoundary, 2));
            dc.drawLine(QPointF(x, top), QPointF(x, top + h));
            // The label beside its point, clear of the line.
            dc.setPen(look.text);
            dc.drawText(QRectF(x + 4, top, kPointLabelWidth, h), Qt::AlignLeft | Qt::AlignVCenter,
                        QString::fromStdString(p.strLabel));
        }
    }
    if (look.dCursor >= 0) {
        dc.setPen(QPen(Qt::red, 1, Qt::DashLine));
        const double x = X(look.dCursor);
        dc.drawLine(QPointF(x, top), QPointF(x, top + h));
    }
    dc.setClipping(false);
    dc.setPen(look.edge);
    dc.drawLine(rcStrip.left(), rcStrip.top(), rcStrip.right() + 1, rcStrip.top());
    dc.restore();
}
