#include "player/analysis/window/CTierStrip.h"

#include "player/analysis/window/CTierStripAccess.h"

#include "player/analysis/paint/CMeasurePainter.h"
#include "player/analysis/paint/CTierPainter.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace sonavel::textgrid;

namespace {

QString Seconds(double t) { return QString::number(t, 'f', 3); }

QString Label(const std::string& strLabel) { return QString::fromStdString(strLabel); }

} // namespace

CTierStrip::CTierStrip(const CMeasureModel& model, CTextGridEdit& edit, int nTier, QWidget* pParent)
    : QWidget(pParent), m_model(model), m_edit(edit), m_nTier(nTier)
{
    // Before anything asks for the strip's accessible side, so it has items.
    tierstrip::InstallAccess();
    setObjectName(QStringLiteral("tier%1").arg(nTier + 1));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    // The picture's font, so the labels read as a figure shows them.
    setFont(CMeasurePainter::ViewFont());
    setFixedHeight(CTierPainter::StripHeight(font()));
    Refresh();
}

CTierStrip::~CTierStrip()
{
    // The editor goes with the strip; its last focus change must not reach a
    // strip that is half gone.
    if (m_pEditor)
        m_pEditor->removeEventFilter(this);
}

void CTierStrip::SetTimeAxis(int nLeft, int nWidth)
{
    m_nLeft = nLeft;
    m_nWidth = std::max(1, nWidth);
    update();
}

double CTierStrip::TimeAtX(double x) const { return m_model.TimeAtX(x - m_nLeft, m_nWidth); }
double CTierStrip::XAtTime(double t) const { return m_nLeft + m_model.XAtTime(t, m_nWidth); }

QString CTierStrip::TierText() const
{
    if (m_nTier >= static_cast<int>(m_edit.TierCount()))
        return {};
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    const bool bIntervals = tier.eKind == ETierKind::Interval;
    const size_t nItems = bIntervals ? tier.intervals.size() : tier.points.size();
    return QStringLiteral("Tier %1 \"%2\", %3 tier, %4 %5")
        .arg(m_nTier + 1)
        .arg(QString::fromStdString(tier.strName), bIntervals ? QStringLiteral("interval") : QStringLiteral("point"))
        .arg(nItems)
        .arg(bIntervals ? (nItems == 1 ? "interval" : "intervals") : (nItems == 1 ? "point" : "points"));
}

QString CTierStrip::SelectedText() const
{
    if (m_edit.SelectedTier() != m_nTier || m_edit.SelectedItem() < 0)
        return QStringLiteral("Nothing selected");
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    const int n = m_edit.SelectedItem();
    if (tier.eKind == ETierKind::Interval) {
        const Interval& i = tier.intervals[n];
        return QStringLiteral("Interval %1 of %2, %3 to %4 s: \"%5\"")
            .arg(n + 1)
            .arg(tier.intervals.size())
            .arg(Seconds(i.dStart), Seconds(i.dEnd), Label(i.strLabel));
    }
    const Point& p = tier.points[n];
    return QStringLiteral("Point %1 of %2 at %3 s: \"%4\"").arg(n + 1).arg(tier.points.size()).arg(Seconds(p.dTime), Label(p.strLabel));
}

int CTierStrip::ItemCount() const
{
    if (m_nTier >= static_cast<int>(m_edit.TierCount()))
        return 0;
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    return static_cast<int>(tier.eKind == ETierKind::Interval ? tier.intervals.size() : tier.points.size());
}

QString CTierStrip::ItemText(int nItem) const
{
    if (nItem < 0 || nItem >= ItemCount())
        return {};
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    QString strText;
    std::string strLabel;
    if (tier.eKind == ETierKind::Interval) {
        const Interval& i = tier.intervals[nItem];
        strText = QStringLiteral("interval %1 of %2, %3 to %4 s")
                      .arg(nItem + 1)
                      .arg(tier.intervals.size())
                      .arg(Seconds(i.dStart), Seconds(i.dEnd));
        strLabel = i.strLabel;
    } else {
        const Point& p = tier.points[nItem];
        strText = QStringLiteral("point %1 of %2 at %3 s").arg(nItem + 1).arg(tier.points.size()).arg(Seconds(p.dTime));
        strLabel = p.strLabel;
    }
    // An empty label is left unsaid rather than read as a dangling colon.
    return strLabel.empty() ? strText : strText + QStringLiteral(": ") + Label(strLabel);
}

void CTierStrip::Refresh()
{
    const QString strName = TierText(), strText = SelectedText();
    if (strName != accessibleName())
        setAccessibleName(strName);
    if (strText != accessibleDescription()) {
        // The reader's "description" of the strip is what is selected in it;
        // said again whenever the selection or its label changes.
        setAccessibleDescription(strText);
        if (QAccessible::isActive()) {
            QAccessibleEvent event(this, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&event);
        }
    }
    // The reader follows the selection from item to item: the newly selected
    // one is announced as selected and, while the window has the keys, focused.
    const int nSelected = m_edit.SelectedTier() == m_nTier && m_edit.SelectedItem() < ItemCount() ? m_edit.SelectedItem() : -1;
    if (nSelected != m_nSaidItem) {
        m_nSaidItem = nSelected;
        if (nSelected >= 0 && QAccessible::isActive()) {
            QAccessibleEvent selection(this, QAccessible::Selection);
            selection.setChild(nSelected);
            QAccessible::updateAccessibility(&selection);
            if (window()->isActiveWindow()) {
                QAccessibleEvent focus(this, QAccessible::Focus);
                focus.setChild(nSelected);
                QAccessible::updateAccessibility(&focus);
            }
        }
    }
    update();
}

QRectF CTierStrip::ItemRect(int nItem) const
{
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    if (tier.eKind == ETierKind::Interval) {
        const Interval& i = tier.intervals[nItem];
        const double x0 = std::max<double>(XAtTime(i.dStart), m_nLeft);
        const double x1 = std::min<double>(XAtTime(i.dEnd), m_nLeft + m_nWidth);
        return QRectF(x0, 0, std::max(x1 - x0, 40.0), height());
    }
    const double x = XAtTime(tier.points[nItem].dTime);
    return QRectF(x + 2, 0, 80, height());
}

void CTierStrip::paintEvent(QPaintEvent*)
{
    if (m_nTier >= static_cast<int>(m_edit.TierCount()))
        return;
    QPainter dc(this);
    TierLook look;
    look.background = palette().color(QPalette::Window);
    look.outside = palette().color(QPalette::Mid);
    look.inside = palette().color(QPalette::Base);
    look.text = palette().color(QPalette::Text);
    look.edge = palette().color(QPalette::Dark);
    look.bSelectedTier = m_edit.SelectedTier() == m_nTier;
    look.nSelectedItem = look.bSelectedTier ? m_edit.SelectedItem() : -1;
    if (m_nDragBoundary >= 0 && m_bDragMoved) {
        look.nDraggedItem = m_nDragBoundary;
        look.dDraggedTime = m_dDragTime;
    }
    look.dCursor = m_model.HasCursor() ? m_model.Cursor() : -1;
    CTierPainter::Paint(dc, rect(), m_nLeft, m_nWidth, m_model, m_edit.Grid().tiers[m_nTier], look);
    if (hasFocus()) {
        dc.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        dc.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

int CTierStrip::BoundaryNear(double x) const
{
    const std::vector<double> times = m_edit.Boundaries(m_nTier);
    int nBest = -1;
    double dBest = kGrabPx;
    for (size_t i = 0; i < times.size(); ++i) {
        const double d = std::abs(XAtTime(times[i]) - x);
        if (d <= dBest) {
            nBest = static_cast<int>(i);
            dBest = d;
        }
    }
    return nBest;
}

double CTierStrip::DragTime(double x) const
{
    const double dPixel = m_model.Span() / m_nWidth;
    double t = m_edit.Snap(m_nTier, TimeAtX(x), kSnapPx * dPixel);
    // Held a pixel inside its neighbours, so the move is never refused.
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    const std::vector<double> times = m_edit.Boundaries(m_nTier);
    const double dLow = m_nDragBoundary > 0 ? times[m_nDragBoundary - 1] : tier.dStart;
    const double dHigh = m_nDragBoundary + 1 < static_cast<int>(times.size()) ? times[m_nDragBoundary + 1] : tier.dEnd;
    const double dGap = std::min(dPixel, (dHigh - dLow) / 4);
    return std::clamp(t, dLow + dGap, dHigh - dGap);
}

void CTierStrip::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton || m_nTier >= static_cast<int>(m_edit.TierCount()))
        return QWidget::mousePressEvent(pEvent);
    setFocus(Qt::MouseFocusReason);
    m_dPressX = pEvent->position().x();
    m_nDragBoundary = BoundaryNear(m_dPressX);
    m_bDragMoved = false;
}

void CTierStrip::mouseMoveEvent(QMouseEvent* pEvent)
{
    const double x = pEvent->position().x();
    if (m_nDragBoundary < 0) {
        setCursor(BoundaryNear(x) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    if (!(pEvent->buttons() & Qt::LeftButton))
        return;
    if (std::abs(x - m_dPressX) >= kDragSlopPx)
        m_bDragMoved = true;
    if (m_bDragMoved) {
        m_dDragTime = DragTime(x);
        update();
        emit Dragging(m_dDragTime);
    }
}

void CTierStrip::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(pEvent);
    const int nBoundary = m_nDragBoundary;
    if (nBoundary >= 0 && m_bDragMoved) {
        const double t = DragTime(pEvent->position().x());
        m_nDragBoundary = -1;
        m_bDragMoved = false;
        const std::string strWhy = m_edit.MoveBoundary(m_nTier, nBoundary, t);
        emit Edited(QString::fromStdString(strWhy));
        if (strWhy.empty()) {
            // The cursor goes with the boundary, so Delete takes it back out.
            m_edit.Select(m_nTier, m_edit.ItemAt(m_nTier, t, kGrabPx * m_model.Span() / m_nWidth));
            emit Clicked(t);
        }
        return;
    }
    m_nDragBoundary = -1;
    m_bDragMoved = false;
    const double t = TimeAtX(pEvent->position().x());
    m_edit.Select(m_nTier, m_edit.ItemAt(m_nTier, t, kGrabPx * m_model.Span() / m_nWidth));
    emit Clicked(t);
}

void CTierStrip::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(pEvent);
    const double t = TimeAtX(pEvent->position().x());
    m_edit.Select(m_nTier, m_edit.ItemAt(m_nTier, t, kGrabPx * m_model.Span() / m_nWidth));
    emit Clicked(t);
    EditLabel();
}

bool CTierStrip::EditLabel()
{
    if (m_pEditor)
        return true;
    if (m_edit.SelectedTier() != m_nTier || m_edit.SelectedItem() < 0)
        return false;
    const Tier& tier = m_edit.Grid().tiers[m_nTier];
    const int nItem = m_edit.SelectedItem();
    const QString strLabel = Label(tier.eKind == ETierKind::Interval ? tier.intervals[nItem].strLabel : tier.points[nItem].strLabel);
    // The line editor holds as much as an int counts; a longer label is left
    // alone rather than cut to what fits.
    constexpr int kMostCharacters = std::numeric_limits<int>::max();
    if (strLabel.size() > kMostCharacters) {
        emit Edited(QStringLiteral("this label has %1 characters, more than the editor holds; it stays as it is")
                        .arg(strLabel.size()));
        return true;
    }
    m_nEditItem = nItem;
    m_pEditor = new QLineEdit(this);
    m_pEditor->setObjectName(QStringLiteral("labelEditor"));
    m_pEditor->setAccessibleName(QStringLiteral("Label"));
    // Qt's own limit (32767) would cut a longer label on the way in.
    m_pEditor->setMaxLength(kMostCharacters);
    m_pEditor->setText(strLabel);
    m_pEditor->selectAll();
    const QRectF rc = ItemRect(m_nEditItem).intersected(QRectF(m_nLeft, 0, m_nWidth, height()));
    m_pEditor->setGeometry(QRect(static_cast<int>(rc.left()), 2, std::max(80, static_cast<int>(rc.width())), height() - 4));
    m_pEditor->installEventFilter(this);
    m_pEditor->show();
    m_pEditor->setFocus(Qt::OtherFocusReason);
    return true;
}

bool CTierStrip::eventFilter(QObject* pObject, QEvent* pEvent)
{
    if (pObject != m_pEditor)
        return QWidget::eventFilter(pObject, pEvent);
    switch (pEvent->type()) {
    case QEvent::ShortcutOverride:
        // Every key is the label's while it is edited: no menu key acts meanwhile.
        pEvent->accept();
        return true;
    case QEvent::KeyPress: {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter || nKey == Qt::Key_Escape) {
            FinishEditing(nKey != Qt::Key_Escape);
            return true;
        }
        break;
    }
    case QEvent::FocusOut:
        // Clicking elsewhere keeps what was typed, as Enter would.
        FinishEditing(true);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(pObject, pEvent);
}

void CTierStrip::FinishEditing(bool bCommit)
{
    if (!m_pEditor)
        return;
    QLineEdit* pEditor = m_pEditor;
    m_pEditor = nullptr; // before anything that moves the focus comes back here
    const std::string strLabel = pEditor->text().toStdString();
    pEditor->removeEventFilter(this);
    pEditor->hide();
    pEditor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    if (bCommit)
        emit Edited(QString::fromStdString(m_edit.SetLabel(m_nTier, m_nEditItem, strLabel)));
    else
        Refresh();
}
