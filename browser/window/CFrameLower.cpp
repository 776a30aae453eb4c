#include "browser/window/CFrameLower.h"

#include "browser/window/CVelmoraViewLower.h"
#include "browser/startup/VelmoraResource.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>

using namespace velmora;

namespace {

struct LowerButton {
    int nId;
    const char* szText;   // status prompt, "\n", tooltip
    void (CVelmoraViewLower::*pHandler)();
};

const LowerButton kButtons[] = {
    {ID_LOWER_BACK, "Back\nBack", &CVelmoraViewLower::OnGoBack},
    {ID_LOWER_FORWARD, "Go forward\nForward", &CVelmoraViewLower::OnGoForward},
    {ID_LOWER_REFRESH, "Reload and refresh\nRefresh", &CVelmoraViewLower::OnGoRefresh},
    {ID_LOWER_STOP, "Stop\nStop", &CVelmoraViewLower::OnGoStop},
    {ID_LOWER_HOME, "Home\nHome", &CVelmoraViewLower::OnGoHome},
};

void DrawArrow(QPainter& painter, int x0, bool bLeft)
{
    const double dTip = bLeft ? x0 + 2 : x0 + 15;
    const double dBack = bLeft ? x0 + 9 : x0 + 8;
    const double dTail = bLeft ? x0 + 15 : x0 + 2;
    QPainterPath arrow;
    arrow.moveTo(dTip, 7.5);
    arrow.lineTo(dBack, 1.5);
    arrow.lineTo(dBack, 5);
    arrow.lineTo(dTail, 5);
    arrow.lineTo(dTail, 10);
    arrow.lineTo(dBack, 10);
    arrow.lineTo(dBack, 13.5);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0, 96, 0), 1));
    painter.setBrush(QColor(40, 170, 40));
    painter.drawPath(arrow);
}

} // namespace

QPixmap CFrameLower::LoadToolbarBitmap()
{
    QPixmap strip(5 * kLowerImageWidth, kLowerImageHeight);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);

    DrawArrow(painter, 0, true);
    DrawArrow(painter, kLowerImageWidth, false);

    // Refresh: an open circle with an arrow head.
    const int xRefresh = 2 * kLowerImageWidth;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 64, 160), 2));
    painter.drawArc(QRectF(xRefresh + 3, 2.5, 11, 11), 100 * 16, 290 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 64, 160));
    const QPointF head[] = {{xRefresh + 8.0, 0.0}, {xRefresh + 12.5, 3.0}, {xRefresh + 8.0, 6.0}};
    painter.drawPolygon(head, 3);

    // Stop: a red octagon with a white bar.
    const int xStop = 3 * kLowerImageWidth;
    const QPointF octagon[] = {{xStop + 5.5, 1.0}, {xStop + 11.5, 1.0}, {xStop + 15.5, 5.0}, {xStop + 15.5, 10.0},
                               {xStop + 11.5, 14.0}, {xStop + 5.5, 14.0}, {xStop + 1.5, 10.0}, {xStop + 1.5, 5.0}};
    painter.setPen(QPen(QColor(128, 0, 0), 1));
    painter.setBrush(QColor(210, 30, 30));
    painter.drawPolygon(octagon, 8);
    painter.fillRect(QRectF(xStop + 4.5, 6.5, 8, 2), Qt::white);

    // Home: a house.
    const int xHome = 4 * kLowerImageWidth;
    const QPointF roof[] = {{xHome + 8.5, 1.0}, {xHome + 16.0, 7.5}, {xHome + 1.0, 7.5}};
    painter.setPen(QPen(QColor(120, 30, 0), 1));
    painter.setBrush(QColor(200, 60, 20));
    painter.drawPolygon(roof, 3);
    painter.setBrush(QColor(240, 220, 160));
    painter.drawRect(QRectF(xHome + 3.5, 7.5, 10, 6.5));
    painter.setBrush(QColor(120, 70, 20));
    painter.drawRect(QRectF(xHome + 7.5, 9.5, 3, 4.5));
    return strip;
}

CFrameLower::CFrameLower(QWidget* pParent) : QMainWindow(pParent)
{
    // A frame inside the splitter, not a window of its own.
    setWindowFlags(Qt::Widget);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("lowerToolBar"));
    m_toolBar->setOrientation(Qt::Vertical);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(kLowerImageWidth, kLowerImageHeight));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::LeftToolBarArea, m_toolBar);
    setContextMenuPolicy(Qt::NoContextMenu);

    m_pView = new CVelmoraViewLower(this);
    setCentralWidget(m_pView);

    const QPixmap strip = LoadToolbarBitmap();
    int nImage = 0;
    for (const LowerButton& button : kButtons) {
        const QStringList parts = QString::fromLatin1(button.szText).split(QLatin1Char('\n'));
        QAction* pAction = m_toolBar->addAction(
            QIcon(strip.copy(nImage * kLowerImageWidth, 0, kLowerImageWidth, kLowerImageHeight)), parts.value(1));
        pAction->setData(button.nId);
        pAction->setToolTip(parts.value(1));
        pAction->setStatusTip(parts.value(0));
        const auto pHandler = button.pHandler;
        connect(pAction, &QAction::triggered, m_pView, [this, pHandler] { (m_pView->*pHandler)(); });
        ++nImage;
    }

    m_pView->OnInitialUpdate();
}
