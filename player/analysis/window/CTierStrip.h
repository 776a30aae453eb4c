#pragma once
// One tier of the measuring view's TextGrid as a strip under the picture: its
// name at the left, in the margin beside the axes, its intervals or points on
// the picture's time axis. A click selects the interval (or the point near it)
// and says where; a drag moves a boundary, snapping to one of the tier above
// when near; a double click or EditLabel (F2) edits the label in place, where
// every key goes to the label until Enter commits or Escape cancels. The edits
// go to the view's CTextGridEdit; the strip only paints it. A screen reader
// hears the tier by name and each interval or point as an item of its own
// (CTierStripAccess), the selected one focused.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes. The
// model and the edit it is given are the view's and outlive it.
#include <QWidget>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/textgrid/CTextGridEdit.h"

class QLineEdit;

class CTierStrip : public QWidget {
    Q_OBJECT
public:
    CTierStrip(const CMeasureModel& model, sonavel::textgrid::CTextGridEdit& edit, int nTier,
               QWidget* pParent = nullptr);
    ~CTierStrip() override;

    // Where time runs across the strip: the picture's panels' left edge and width.
    void SetTimeAxis(int nLeft, int nWidth);
    // The grid changed (an edit, undo, another grid): repaint and tell the
    // screen reader.
    void Refresh();

    // Edits the selected interval's or point's label in place; false when this
    // tier has none selected.
    bool EditLabel();
    bool IsEditing() const { return m_pEditor != nullptr; }
    QLineEdit* Editor() const { return m_pEditor; }

    // The x of time t in the strip, and the strip's middle height (for tests
    // that click and drag).
    double XAtTime(double t) const;

    // Words for the screen reader: the tier, and its selected item.
    QString TierText() const;
    QString SelectedText() const;
    // The tier's intervals (or points), each said with its place, time and
    // label, and where it lies in the strip.
    int ItemCount() const;
    QString ItemText(int nItem) const;
    QRectF ItemRect(int nItem) const;
    bool IsSelected(int nItem) const { return m_edit.SelectedTier() == m_nTier && m_edit.SelectedItem() == nItem; }

signals:
    // A click at time t selected what lies there (the view sets the cursor and
    // the selection to it).
    void Clicked(double t);
    // An edit was made ("") or refused (why not).
    void Edited(const QString& strWhyNot);
    // A boundary or point the mouse holds is at time t now (before the drop).
    void Dragging(double t);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    static constexpr int kGrabPx = 5;  // a press this near a boundary takes it
    static constexpr int kSnapPx = 8;  // a drag this near a boundary above lands on it
    static constexpr int kDragSlopPx = 3;

    double TimeAtX(double x) const;
    // The boundary (CTextGridEdit's index) within kGrabPx of x, or -1.
    int BoundaryNear(double x) const;
    // Where a dragged boundary would land: snapped, and a pixel clear of its neighbours.
    double DragTime(double x) const;
    void FinishEditing(bool bCommit);

    const CMeasureModel& m_model;
    sonavel::textgrid::CTextGridEdit& m_edit;
    int m_nTier;
    int m_nLeft = 0, m_nWidth = 1;
    int m_nDragBoundary = -1; // the boundary the mouse holds
    double m_dPressX = 0;
    double m_dDragTime = 0;
    bool m_bDragMoved = false;
    QLineEdit* m_pEditor = nullptr;
    int m_nEditItem = -1;
    int m_nSaidItem = -1; // the item a screen reader was last told is selected
};
