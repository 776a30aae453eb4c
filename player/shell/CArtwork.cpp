#include "player/shell/CArtwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

// The main icon is the menu entry's SVG (packaging/icons/sonavel.qrc), which
// this library carries: its resources are registered on first use.
static void InitIconResource()
{
    Q_INIT_RESOURCE(sonavel);
}

namespace sonavel {
namespace shell {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A voiced stretch: a few harmonics under a swelling and fading envelope.
// nCycles: few for an icon, where more would blur into a blob.
double VoiceWave(double t, int nCycles)
{
    double envelope = std::sin(kPi * t) * (0.75 + 0.25 * std::sin(6 * kPi * t));
    double wave = std::sin(2 * kPi * nCycles * t) + 0.5 * std::sin(2 * kPi * 2 * nCycles * t + 0.6)
        + 0.25 * std::sin(2 * kPi * 3 * nCycles * t + 1.1);
    return envelope * wave / 1.75;
}

void DrawWave(QPainter& p, const QRectF& r, const QColor& color, double penWidth, int nCycles = 9)
{
    QPainterPath path;
    int n = std::max(32, static_cast<int>(r.width() * 2));
    for (int i = 0; i <= n; ++i) {
        double t = static_cast<double>(i) / n;
        QPointF pt(r.left() + t * r.width(), r.center().y() - VoiceWave(t, nCycles) * r.height() / 2);
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    p.setPen(QPen(color, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

// A sheet with a folded corner and a wave on it, for document windows.
QPixmap DocumentPixmap(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    double s = nSize;
    QRectF body(s * 0.16, s * 0.06, s * 0.68, s * 0.88);
    QPainterPath sheet;
    double fold = s * 0.2;
    sheet.moveTo(body.topLeft());
    sheet.lineTo(body.right() - fold, body.top());
    sheet.lineTo(body.right(), body.top() + fold);
    sheet.lineTo(body.bottomRight());
    sheet.lineTo(body.bottomLeft());
    sheet.closeSubpath();
    p.setPen(QPen(QColor(60, 70, 90), std::max(1.0, s / 32)));
    p.setBrush(QColor(250, 250, 245));
    p.drawPath(sheet);
    DrawWave(p, body.adjusted(s * 0.06, s * 0.25, -s * 0.06, -s * 0.25), QColor(20, 110, 160), std::max(1.0, s / 24), 3);
    return pixmap;
}

} // namespace

QPixmap AboutPicture(const QSize& size)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r(0, 0, size.width(), size.height());

    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(22, 60, 98));
    sky.setColorAt(1, QColor(8, 26, 46));
    p.fillRect(r, sky);

    // Lower half: a grey-scale spectrogram of a rising voice.
    QRectF panel(r.left() + r.width() * 0.08, r.top() + r.height() * 0.52, r.width() * 0.84, r.height() * 0.38);
    int nCols = 48, nRows = 20;
    double cw = panel.width() / nCols, rh = panel.height() / nRows;
    for (int c = 0; c < nCols; ++c) {
        double t = static_cast<double>(c) / (nCols - 1);
        double f0 = 2.0 + 1.5 * t;  // harmonic spacing in rows, rising
        for (int row = 0; row < nRows; ++row) {
            double harmonic = std::fmod(row / f0, 1.0);
            double energy = std::exp(-std::pow((harmonic - 0.0) * 4, 2)) + std::exp(-std::pow((harmonic - 1.0) * 4, 2));
            energy *= std::sin(kPi * t) * std::exp(-row / 14.0);
            int grey = 255 - static_cast<int>(std::clamp(energy, 0.0, 1.0) * 200);
            p.fillRect(QRectF(panel.left() + c * cw, panel.bottom() - (row + 1) * rh, cw + 0.5, rh + 0.5), QColor(grey, grey, grey));
        }
    }
    p.setPen(QPen(QColor(200, 215, 230), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(panel);

    // Upper half: the waveform, and pitch dots above it.
    QRectF wave(panel.left(), r.top() + r.height() * 0.2, panel.width(), r.height() * 0.28);
    DrawWave(p, wave, QColor(255, 214, 90), std::max(1.5, r.width() / 90));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 220, 160));
    for (int i = 2; i < 22; ++i) {
        double t = i / 24.0;
        QPointF pt(wave.left() + t * wave.width(), r.top() + r.height() * (0.15 - 0.07 * t));
        p.drawEllipse(pt, r.width() / 80, r.width() / 80);
    }
    return pixmap;
}

QIcon MainIcon()
{
    InitIconResource();
    return QIcon(QStringLiteral(":/icons/sonavel.svg"));
}

QIcon DocumentIcon()
{
    QIcon icon;
    for (int n : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(DocumentPixmap(n));
    return icon;
}

} // namespace shell
} // namespace sonavel
