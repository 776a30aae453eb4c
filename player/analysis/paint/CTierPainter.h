#pragma once
// One TextGrid tier as a strip on the picture's time axis: its name in the
// margin at the left (bold for the tier the keys act on), the time outside
// the tier greyed, an interval tier's boundaries and its labels centred in
// their intervals, a point tier's points with their labels beside them. The
// view's tier strips and the figures (render --view --textgrid, Save Picture)
// paint through it, in the view's font, so a figure shows the tiers as the
// view does.
//
// Paints on the thread that owns the QPainter's device; the tier it is given is the
// caller's and must outlive the call.
#include <QColor>
#include <QFont>
#include <QRect>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/textgrid/TextGrid.h"

class QPainter;

// How a strip is drawn: its colours, what is selected and what is moving.
struct TierLook {
    QColor background = Qt::white;              // the margin
    QColor outside = QColor(238, 238, 238);     // time outside the tier
    QColor inside = Qt::white;                  // the tier's own time
    QColor text = Qt::black;
    QColor edge = QColor(90, 90, 90);           // the line along the strip's top
    bool bSelectedTier = false;                 // the name in bold
    int nSelectedItem = -1;                     // highlighted (intervals) or red (points)
    int nDraggedItem = -1;                      // the boundary or point a drag holds...
    double dDraggedTime = 0;                    // ...drawn here
    double dCursor = -1;                        // a dashed red line; negative: none
};

class CTierPainter {
public:
    // A strip's height for the view's font: two lines of text and a little.
    static int StripHeight(const QFont& font);

    // Paints tier into rcStrip; time runs from x = nLeft over nWidth pixels
    // as the model maps it.
    static void Paint(QPainter& dc, const QRect& rcStrip, int nLeft, int nWidth, const CMeasureModel& model,
                      const sonavel::textgrid::Tier& tier, const TierLook& look);
};
