#include "player/analysis/window/CMeasurePlot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {
// One notch of the wheel comes a quarter closer: four notches halve the span.
const double kZoomPerNotch = std::pow(2.0, 0.25);
// A press that moves less than this is a click, not a selection.
const int kDragSlopPx = 3;
} // namespace

CMeasurePlot::CMeasurePlot(CMeasureModel& model, QWidget* pParent) : QWidget(pParent), m_model(model)
{
    setObjectName(QStringLiteral("measurePlot"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(360, 260);
    setCursor(Qt::CrossCursor);
}

void CMeasurePlot::SetPicture(std::shared_ptr<const CMeasurePicture> pPicture)
{
    m_pPicture = std::move(pPicture);
    // The new picture may lie where the old one lay: shaded afresh, never by address.
    m_pShadedFor = nullptr;
    update();
}

void CMeasurePlot::SetSettings(const sonavel::measure::MeasureSettings& settings)
{
    m_settings = settings;
    m_pShadedFor = nullptr;
    update();
}

void CMeasurePlot::SetName(const QString& strName)
{
    m_strName = strName;
    update();
}

void CMeasurePlot::SetHeaderNote(const QString& strNote)
{
    m_strHeaderNote = strNote;
    update();
}

void CMeasurePlot::SetPlayTime(double dSeconds)
{
    if (dSeconds != m_dPlayTime) {
        m_dPlayTime = dSeconds;
        update();
    }
}

void CMeasurePlot::SetNoPicture(const QString& strWhy)
{
    m_strNoPicture = strWhy;
    update();
}

CMeasureLayout CMeasurePlot::Layout() const
{
    return CMeasureLayout::For(size(), CMeasurePainter::ViewFont(), m_settings.layers);
}

CMeasureScene CMeasurePlot::Scene() const
{
    CMeasureScene scene;
    scene.pModel = &m_model;
    scene.pPicture = m_pPicture.get();
    scene.settings = m_settings;
    scene.strName = m_strName;
    scene.strNote = m_strHeaderNote;
    scene.dPlayTime = m_dPlayTime;
    scene.strNoPicture = m_strNoPicture;
    return scene;
}

const QImage* CMeasurePlot::Shaded()
{
    if (!m_pPicture)
        return nullptr;
    const int nHeight = static_cast<int>(std::lround(Layout().rcSpectrogram.height() * devicePixelRatioF()));
    const double dRange = m_settings.spectrogram.dDynamicRangeDb;
    if (m_pShadedFor != m_pPicture.get() || nHeight != m_nShadedHeight || dRange != m_dShadedRange) {
        m_shaded = CMeasurePainter::ShadePicture(*m_pPicture, nHeight, dRange);
        m_pShadedFor = m_pPicture.get();
        m_nShadedHeight = nHeight;
        m_dShadedRange = dRange;
    }
    return &m_shaded;
}

void CMeasurePlot::paintEvent(QPaintEvent*)
{
    QPainter dc(this);
    CMeasureScene scene = Scene();
    scene.pShaded = Shaded();
    CMeasurePainter::Paint(dc, size(), scene);
    if (hasFocus()) {
        // The keyboard goes to the picture: say so, as a control would.
        dc.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        dc.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void CMeasurePlot::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    emit Resized();
}

double CMeasurePlot::TimeAtX(double x) const
{
    const CMeasureLayout layout = Layout();
    return m_model.TimeAtX(x - layout.PlotLeft(), layout.PlotWidth());
}

bool CMeasurePlot::ReadoutAt(const QPointF& at, CMeasureModel::Readout& readout) const
{
    const CMeasureLayout layout = Layout();
    if (!layout.Panels().contains(at.toPoint()))
        return false;
    const QRect rc = layout.rcSpectrogram;
    const double x = at.x() - rc.left();
    // Over the waveform and the pitch the frequency says nothing: only the time counts.
    const bool bOverSpectrogram = rc.contains(at.toPoint());
    const double y = bOverSpectrogram ? at.y() - rc.top() : rc.height();
    readout = m_model.ReadoutAt(bOverSpectrogram && m_settings.layers.bSpectrogram ? m_pPicture.get() : nullptr, x, y,
                                rc.width(), rc.height(), m_settings.spectrogram.dMaxFrequencyHz);
    readout.bFrequency = bOverSpectrogram;
    return true;
}

void CMeasurePlot::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(pEvent);
    m_bDragging = true;
    m_dDragFrom = TimeAtX(pEvent->position().x());
    if (pEvent->modifiers() & Qt::ShiftModifier && m_model.HasSelection()) {
        // Shift+click moves the nearer edge of the selection.
        const double t = m_dDragFrom;
        m_dDragFrom = std::abs(t - m_model.SelectionStart()) < std::abs(t - m_model.SelectionEnd())
                          ? m_model.SelectionEnd() : m_model.SelectionStart();
        m_model.SetSelection(m_dDragFrom, t);
        emit SelectionChanged();
        update();
    }
}

void CMeasurePlot::mouseMoveEvent(QMouseEvent* pEvent)
{
    emit PointerMoved(pEvent->position());
    if (!m_bDragging)
        return;
    const double dPixel = m_model.Span() / std::max(1, Layout().PlotWidth());
    const double t = TimeAtX(pEvent->position().x());
    if (std::abs(t - m_dDragFrom) < kDragSlopPx * dPixel && !m_model.HasSelection())
        return;
    m_model.SetSelection(m_dDragFrom, t);
    emit SelectionChanged();
    update();
}

void CMeasurePlot::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton || !m_bDragging)
        return QWidget::mouseReleaseEvent(pEvent);
    m_bDragging = false;
    const double dPixel = m_model.Span() / std::max(1, Layout().PlotWidth());
    const double t = TimeAtX(pEvent->position().x());
    if (std::abs(t - m_dDragFrom) < kDragSlopPx * dPixel && !(pEvent->modifiers() & Qt::ShiftModifier)) {
        // A click drops the selection and sets the cursor.
        m_model.ClearSelection();
        m_model.SetCursor(t);
        emit SelectionChanged();
        update();
    }
}

void CMeasurePlot::wheelEvent(QWheelEvent* pEvent)
{
    const QPoint angle = pEvent->angleDelta();
    // Sideways (a touchpad, or Shift with a wheel) scrolls; up and down zoom
    // about the pointer, with or without Ctrl.
    const bool bScroll = (pEvent->modifiers() & Qt::ShiftModifier) || std::abs(angle.x()) > std::abs(angle.y());
    if (bScroll) {
        const int nDelta = angle.x() != 0 ? angle.x() : angle.y();
        m_model.ScrollBy(-nDelta / 120.0 * 0.1);
    } else {
        m_model.ZoomBy(std::pow(kZoomPerNotch, angle.y() / 120.0), TimeAtX(pEvent->position().x()));
    }
    pEvent->accept();
    emit SpanChanged();
    update();
}

void CMeasurePlot::leaveEvent(QEvent* pEvent)
{
    QWidget::leaveEvent(pEvent);
    emit PointerLeft();
}
