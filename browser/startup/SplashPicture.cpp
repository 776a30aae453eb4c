#include "browser/startup/SplashPicture.h"

#include "browser/startup/VelmoraResource.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace velmora {
namespace {

// The classic 16-colour palette; the picture uses nothing else, and text and
// lines are drawn without smoothing so no in-between shades appear.
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kTeal(0x00, 0x80, 0x80);
const QColor kCyan(0x00, 0xFF, 0xFF);
const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kLime(0x00, 0xFF, 0x00);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kWhite(0xFF, 0xFF, 0xFF);

QFont PictureFont(int nPixelSize, bool bBold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(nPixelSize);
    font.setBold(bBold);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// A voiced-speech-like wave: glottal pulses ringing through two resonances,
// with a slow rise and fall of loudness across the picture.
double WaveAt(double dT)
{
    const double dPeriod = 31.0;
    const double dPhase = std::fmod(dT, dPeriod);
    const double dRing = std::exp(-dPhase / 11.0)
                         * (std::sin(dPhase * 0.42) + 0.35 * std::sin(dPhase * 1.15));
    const double dEnvelope = std::sin(M_PI * dT / 373.0);
    return dRing * dEnvelope;
}

void DrawWave(QPainter& painter, int nLeft, int nRight, int nMid, int nAmplitude)
{
    painter.setPen(QPen(kTeal, 1));
    painter.drawLine(nLeft, nMid, nRight, nMid);
    QPolygon wave;
    for (int x = nLeft; x <= nRight; ++x)
        wave << QPoint(x, nMid - static_cast<int>(std::lround(nAmplitude * WaveAt(x - nLeft))));
    painter.setPen(QPen(kYellow, 1));
    painter.drawPolyline(wave);
}

// A row of pitch dots falling and rising like an intonation contour.
void DrawPitch(QPainter& painter, int nLeft, int nRight, int nTop, int nHeight)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLime);
    for (int x = nLeft; x <= nRight; x += 6) {
        const double dU = double(x - nLeft) / (nRight - nLeft);
        const double dF = 0.55 + 0.3 * std::sin(dU * 2.6 + 0.4) - 0.2 * dU;
        const int y = nTop + nHeight - static_cast<int>(dF * nHeight);
        painter.drawRect(x, y, 2, 2);
    }
}

} // namespace

QImage MakeSplashPicture()
{
    QImage image(kSplashPictureWidth, kSplashPictureHeight, QImage::Format_RGB32);
    image.fill(kNavy);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);

    // A blue band behind the name, edged in cyan.
    painter.fillRect(0, 14, kSplashPictureWidth, 58, kBlue);
    painter.setPen(kCyan);
    painter.drawLine(0, 14, kSplashPictureWidth, 14);
    painter.drawLine(0, 71, kSplashPictureWidth, 71);

    painter.setFont(PictureFont(40, true));
    painter.setPen(kWhite);
    painter.drawText(QRect(20, 14, 260, 58), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Velmora"));
    painter.setFont(PictureFont(12, false));
    painter.setPen(kCyan);
    painter.drawText(QRect(200, 14, 196, 58), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Browse, listen,\nlook at speech"));

    DrawPitch(painter, 24, 388, 82, 28);
    DrawWave(painter, 20, 392, 150, 34);

    painter.setPen(kTeal);
    painter.drawLine(20, 200, 392, 200);
    painter.setFont(PictureFont(12, true));
    painter.setPen(kSilver);
    painter.drawText(QRect(20, 204, 373, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Velmora Speech Tools"));
    painter.setFont(PictureFont(11, false));
    painter.drawText(QRect(20, 204, 373, 22), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("\u00A9 2026"));
    painter.end();
    return image;
}

} // namespace velmora
