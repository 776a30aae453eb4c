#pragma once
// Velmora's icon, drawn by code at any size: a white globe on a teal-to-navy
// tile with a yellow sound wave through it. The menu entry's icon
// (packaging/icons/velmora.svg) is the same drawing on a 256-unit grid.
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace velmora {

inline QPixmap ProgramIconPixmap(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(nSize / 256.0, nSize / 256.0);

    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, QColor(0x00, 0x80, 0x80));
    tile.setColorAt(1, QColor(0x00, 0x00, 0x80));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(15.36, 15.36, 225.28, 225.28), 46.08, 46.08);

    p.setPen(QPen(Qt::white, 8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(128, 128), 80, 80);
    p.drawEllipse(QPointF(128, 128), 34, 80);
    p.drawLine(QPointF(48, 128), QPointF(208, 128));

    // Two and a half cycles under a rising and falling loudness.
    constexpr double kPi = 3.14159265358979323846;
    QPainterPath wave;
    for (int i = 0; i <= 96; ++i) {
        const double t = i / 96.0;
        const QPointF pt(40.96 + t * 174.08, 148.48 - std::sin(kPi * t) * std::sin(5 * kPi * t) * 46.08);
        if (i == 0)
            wave.moveTo(pt);
        else
            wave.lineTo(pt);
    }
    p.setPen(QPen(QColor(0xFF, 0xFF, 0x00), 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wave);
    return pixmap;
}

inline QIcon ProgramIcon()
{
    QIcon icon;
    for (int n : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(ProgramIconPixmap(n));
    return icon;
}

}  // namespace velmora
