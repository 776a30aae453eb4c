#pragma once
// What the measuring view's painters share: where a value lies on a vertical
// scale, the ticks of such a scale, labels beside it and its title.
//
// Helpers over a QPainter the caller owns; its thread.
#include <QColor>
#include <QRect>
#include <QString>

#include <vector>

#include "player/analysis/measureview/AxisTicks.h"

class QPainter;

namespace sonavel::paint {

inline constexpr int kTick = 4; // tick marks outside the panels
inline const QColor kFrame(90, 90, 90);
inline const QColor kGrid(220, 220, 220);

// The panel's top pixel row is the top of the scale, its bottom row the foot.
inline double YOf(double dValue, double dLow, double dHigh, const QRect& rc)
{
    return rc.top() + (dHigh - dValue) / (dHigh - dLow) * rc.height();
}

// Ticks for a vertical scale: a line and a half apart, or, on a panel too low
// for two such, just clear of each other.
std::vector<axes::Tick> VerticalTicks(double dLow, double dHigh, int nHeight, int nLineHeight);

// A label centred vertically on y, right-aligned at xRight (or left-aligned at xLeft).
void LabelLeftOf(QPainter& dc, int xRight, double y, const QString& strText, int nLineHeight);
void LabelRightOf(QPainter& dc, int xLeft, double y, const QString& strText, int nLineHeight);

// Text turned a quarter to the left, centred on the vertical span of rc, its
// top at x.
void VerticalTitle(QPainter& dc, const QRect& rc, int x, const QString& strText);

// A vertical scale's ticks and labels on the left of rc (bRight: its right)
// and its title beyond them at xTitle.
void VerticalScale(QPainter& dc, const QRect& rc, double dLow, double dHigh, int nLineHeight, bool bRight, int xTitle,
                   const QString& strTitle);

} // namespace sonavel::paint
