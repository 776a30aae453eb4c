#include "player/analysis/paint/PaintSupport.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace sonavel::paint {

std::vector<axes::Tick> VerticalTicks(double dLow, double dHigh, int nHeight, int nLineHeight)
{
    auto ticks = axes::LinearTicks(dLow, dHigh, nHeight, nLineHeight * 1.6);
    if (ticks.size() < 2)
        ticks = axes::LinearTicks(dLow, dHigh, nHeight, nLineHeight * 1.1);
    return ticks;
}

void LabelLeftOf(QPainter& dc, int xRight, double y, const QString& strText, int nLineHeight)
{
    const int nWidth = dc.fontMetrics().horizontalAdvance(strText);
    dc.drawText(QRectF(xRight - nWidth, y - nLineHeight / 2.0, nWidth, nLineHeight), Qt::AlignRight | Qt::AlignVCenter,
                strText);
}

void LabelRightOf(QPainter& dc, int xLeft, double y, const QString& strText, int nLineHeight)
{
    const int nWidth = dc.fontMetrics().horizontalAdvance(strText);
    dc.drawText(QRectF(xLeft, y - nLineHeight / 2.0, nWidth, nLineHeight), Qt::AlignLeft | Qt::AlignVCenter, strText);
}

void VerticalTitle(QPainter& dc, const QRect& rc, int x, const QString& strText)
{
    const QFontMetrics fm = dc.fontMetrics();
    if (fm.horizontalAdvance(strText) > rc.height())
        return; // too short a panel to name
    dc.save();
    dc.translate(x, rc.center().y() + 0.5);
    dc.rotate(-90);
    dc.drawText(QRectF(-rc.height() / 2.0, 0, rc.height(), fm.height()), Qt::AlignHCenter | Qt::AlignTop, strText);
    dc.restore();
}

void VerticalScale(QPainter& dc, const QRect& rc, double dLow, double dHigh, int nLineHeight, bool bRight, int xTitle,
                   const QString& strTitle)
{
    if (rc.height() < nLineHeight || !(dHigh > dLow))
        return;
    const auto ticks = VerticalTicks(dLow, dHigh, rc.height(), nLineHeight);
    const auto Y = [&](double v) { return std::min(static_cast<int>(std::floor(YOf(v, dLow, dHigh, rc))), rc.bottom()); };
    dc.setPen(QPen(kFrame, 1));
    for (const axes::Tick& t : ticks) {
        if (bRight)
            dc.drawLine(rc.right() + 1, Y(t.dValue), rc.right() + kTick, Y(t.dValue));
        else
            dc.drawLine(rc.left() - kTick, Y(t.dValue), rc.left() - 1, Y(t.dValue));
    }
    dc.setPen(Qt::black);
    for (const axes::Tick& t : ticks) {
        const QString strLabel = QString::fromStdString(t.strLabel);
        if (bRight)
            LabelRightOf(dc, rc.right() + kTick + 3, Y(t.dValue) + 0.5, strLabel, nLineHeight);
        else
            LabelLeftOf(dc, rc.left() - kTick - 3, Y(t.dValue) + 0.5, strLabel, nLineHeight);
    }
    VerticalTitle(dc, rc, xTitle, strTitle);
}

} // namespace sonavel::paint
