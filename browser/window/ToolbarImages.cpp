#include "browser/window/ToolbarImages.h"

#include "browser/startup/VelmoraResource.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace velmora {

namespace {

// Muted colours for the resting state; the hot state takes their bright forms.
QColor Tone(QColor bright, bool bHot)
{
    return bHot ? bright : bright.darker(125).toHsv().toRgb();
}

void DrawArrow(QPainter& p, bool bLeft, const QColor& fill)
{
    // A fat arrow centred in the 22 x 20 cell.
    QPainterPath path;
    path.moveTo(2, 10);
    path.lineTo(10, 2);
    path.lineTo(10, 6.5);
    path.lineTo(19, 6.5);
    path.lineTo(19, 13.5);
    path.lineTo(10, 13.5);
    path.lineTo(10, 18);
    path.closeSubpath();
    if (!bLeft) {
        QTransform mirror(-1, 0, 0, 1, 22, 0);
        path = mirror.map(path);
    }
    p.setPen(QPen(fill.darker(160), 1.0));
    p.setBrush(fill);
    p.drawPath(path);
}

void DrawStop(QPainter& p, const QColor& fill)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal a = qDegreesToRadians(22.5 + 45.0 * i);
        octagon << QPointF(11 + 8.6 * qCos(a), 10 + 8.6 * qSin(a));
    }
    p.setPen(QPen(fill.darker(170), 1.0));
    p.setBrush(fill);
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7.5, 6.5), QPointF(14.5, 13.5));
    p.drawLine(QPointF(14.5, 6.5), QPointF(7.5, 13.5));
}

void DrawRefresh(QPainter& p, const QColor& fill)
{
    p.setPen(QPen(fill, 2.6, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(4, 3, 14, 14);
    p.drawArc(ring, 100 * 16, 250 * 16);
    // Arrow head at the upper end of the arc, pointing clockwise.
    QPolygonF head;
    head << QPointF(10.5, 0.5) << QPointF(15.5, 3.5) << QPointF(10.5, 7.0);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPolygon(head);
}

void DrawHome(QPainter& p, const QColor& roof, const QColor& wall)
{
    QPolygonF house;
    house << QPointF(4, 10) << QPointF(4, 18) << QPointF(18, 18) << QPointF(18, 10);
    p.setPen(QPen(wall.darker(170), 1.0));
    p.setBrush(wall);
    p.drawPolygon(house);
    QPolygonF top;
    top << QPointF(1.5, 10.5) << QPointF(11, 2) << QPointF(20.5, 10.5);
    p.setBrush(roof);
    p.setPen(QPen(roof.darker(160), 1.0));
    p.drawPolygon(top);
    p.setBrush(QColor(120, 72, 40));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(9, 12.5, 4, 5.5));
}

void DrawSearch(QPainter& p, const QColor& rim)
{
    p.setPen(QPen(rim, 2.2));
    p.setBrush(QColor(220, 238, 255));
    p.drawEllipse(QRectF(3, 2, 11, 11));
    p.setPen(QPen(QColor(90, 60, 30), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 12.5), QPointF(18.5, 18));
}

void DrawStar(QPainter& p, const QColor& fill)
{
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? 9.2 : 3.9;
        const qreal a = qDegreesToRadians(-90.0 + 36.0 * i);
        star << QPointF(11 + r * qCos(a), 10.8 + r * qSin(a));
    }
    p.setPen(QPen(fill.darker(170), 1.0));
    p.setBrush(fill);
    p.drawPolygon(star);
}

void DrawPrinter(QPainter& p, const QColor& body)
{
    p.setPen(QPen(QColor(90, 90, 90), 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 1.5, 10, 6));           // paper going in
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2, 7, 18, 8), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 12.5, 10, 6));          // paper coming out
    p.setPen(QPen(QColor(120, 120, 120), 1.0));
    p.drawLine(QPointF(8, 15), QPointF(14, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 60));
    p.drawEllipse(QRectF(16, 9, 2, 2));
}

void DrawFont(QPainter& p, const QColor& ink)
{
    QFont font(QStringLiteral("Serif"));
    font.setBold(true);
    font.setPixelSize(17);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QRectF(0, 0, 14, 20), Qt::AlignCenter, QStringLiteral("A"));
    font.setPixelSize(11);
    p.setFont(font);
    p.drawText(QRectF(12, 5, 10, 15), Qt::AlignCenter, QStringLiteral("A"));
}

}  // namespace

QPixmap DrawToolbarImage(EToolbarImage image, bool bHot, qreal dDevicePixelRatio)
{
    QPixmap pixmap(QSize(kToolbarImageWidth, kToolbarImageHeight) * dDevicePixelRatio);
    pixmap.setDevicePixelRatio(dDevicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case EToolbarImage::Back:
        DrawArrow(p, true, Tone(QColor(40, 170, 60), bHot));
        break;
    case EToolbarImage::Forward:
        DrawArrow(p, false, Tone(QColor(40, 170, 60), bHot));
        break;
    case EToolbarImage::Stop:
        DrawStop(p, Tone(QColor(225, 40, 40), bHot));
        break;
    case EToolbarImage::Refresh:
        DrawRefresh(p, Tone(QColor(30, 120, 220), bHot));
        break;
    case EToolbarImage::Home:
        DrawHome(p, Tone(QColor(210, 60, 40), bHot), Tone(QColor(250, 220, 150), bHot));
        break;
    case EToolbarImage::Search:
        DrawSearch(p, Tone(QColor(30, 100, 200), bHot));
        break;
    case EToolbarImage::Favorites:
        DrawStar(p, Tone(QColor(255, 200, 20), bHot));
        break;
    case EToolbarImage::Print:
        DrawPrinter(p, Tone(QColor(190, 195, 205), bHot));
        break;
    case EToolbarImage::Font:
        DrawFont(p, Tone(QColor(30, 60, 150), bHot));
        break;
    case EToolbarImage::Count:
        break;
    }
    return pixmap;
}

QIcon ToolbarIcon(EToolbarImage image)
{
    QIcon icon;
    for (qreal dRatio : {1.0, 2.0}) {
        icon.addPixmap(DrawToolbarImage(image, false, dRatio), QIcon::Normal);
        icon.addPixmap(DrawToolbarImage(image, true, dRatio), QIcon::Active);
    }
    return icon;
}

}  // namespace velmora
