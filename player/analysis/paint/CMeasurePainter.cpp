#include "player/analysis/paint/CMeasurePainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "player/analysis/measureview/AxisTicks.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/paint/CTrackPainter.h"
#include "player/analysis/paint/CWaveformPainter.h"
#include "player/analysis/paint/PaintSupport.h"

using namespace sonavel::paint;

namespace {

const QColor kBeyondSound(238, 238, 238); // where there is no sound (or no picture yet)
const QColor kPitch(20, 70, 200);
const QColor kSelection(40, 110, 255, 36);
const QColor kSelectionEdge(40, 110, 255);
const QColor kPlayCursor(220, 0, 0);
const QColor kClickCursor(20, 20, 20);

} // namespace

QFont CMeasurePainter::ViewFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica")});
    font.setPointSizeF(9);
    return font;
}

QImage CMeasurePainter::ShadePicture(const CMeasurePicture& picture, int nHeight, double dRangeDb)
{
    const int nWidth = static_cast<int>(picture.pixelColumn.size());
    QImage image(std::max(nWidth, 1), std::max(nHeight, 1), QImage::Format_RGB32);
    image.fill(kBeyondSound);
    if (nWidth <= 0 || nHeight <= 0 || picture.grid.nBins <= 0 || !(dRangeDb > 0))
        return image;
    // Each pixel row's place between two bins, the same in every column (the
    // level straight between them, as CMeasurePicture::LevelAt reads it).
    const double dTop = picture.request.settings.dMaxFrequencyHz;
    const int nLastBin = picture.grid.nBins - 1;
    // Rows run down from the top frequency, so those above the top bin
    // (nothing measured there) are the first nBeyondRows.
    std::vector<int> rowBin(static_cast<size_t>(nHeight), 0), rowNext(static_cast<size_t>(nHeight), 0);
    std::vector<float> rowFraction(static_cast<size_t>(nHeight), 0.0f);
    int nBeyondRows = 0;
    for (int y = 0; y < nHeight; ++y) {
        const double b = dTop * (1.0 - (y + 0.5) / nHeight) / picture.grid.dBinHz;
        if (b > nLastBin + 1e-9) {
            nBeyondRows = y + 1;
            continue;
        }
        const int b0 = std::min(static_cast<int>(b), nLastBin);
        rowBin[static_cast<size_t>(y)] = b0;
        rowNext[static_cast<size_t>(y)] = std::min(b0 + 1, nLastBin);
        rowFraction[static_cast<size_t>(y)] = static_cast<float>(b - b0);
    }
    const float fFloor = static_cast<float>(picture.fTopDb - dRangeDb);
    const float fScale = static_cast<float>(255.0 / dRangeDb);
    const QRgb nBeyond = kBeyondSound.rgb();
    // Every pixel of a picture goes through here. Clamped as a whole number:
    // a float clamp compiles to a branch on the level, which a picture's
    // greys make the processor mispredict half the time. The wide bounds
    // first keep the cast defined (a NaN reads as white) and are never met
    // by a level.
    const auto Shade = [&](const float* v, QRgb* pOut, size_t nStride) {
        for (int y = 0; y < nBeyondRows; ++y)
            pOut[y * nStride] = nBeyond;
        const int* pBin = rowBin.data();
        const int* pNext = rowNext.data();
        const float* pFraction = rowFraction.data();
        for (int y = nBeyondRows; y < nHeight; ++y) {
            const float f0 = v[pBin[y]];
            const float fLevel = f0 + (v[pNext[y]] - f0) * pFraction[y];
            float fDark = (fLevel - fFloor) * fScale + 0.5f;
            fDark = fDark > -1e6f ? fDark : -1e6f;
            fDark = fDark < 1e6f ? fDark : 1e6f;
            const QRgb nGrey = static_cast<QRgb>(255 - std::clamp(static_cast<int>(fDark), 0, 255));
            pOut[y * nStride] = 0xff000000u | nGrey << 16 | nGrey << 8 | nGrey;
        }
    };
    // Shaded a block of pixel columns at a time into a small buffer, then
    // copied row by row: written straight down the image, every pixel would
    // touch another cache line (a 2400-pixel row is 9.6 kB apart at dpr 2).
    constexpr int kBlock = 32;
    std::vector<QRgb> block(static_cast<size_t>(nHeight) * kBlock);
    uchar* pBits = image.bits(); // detaches once, not once per pixel
    const qsizetype nLine = image.bytesPerLine();
    for (int x0 = 0; x0 < nWidth; x0 += kBlock) {
        const int nCount = std::min(kBlock, nWidth - x0);
        int nShaded = -1;
        for (int i = 0; i < nCount; ++i) {
            QRgb* pColumn = block.data() + i;
            const int c = picture.pixelColumn[static_cast<size_t>(x0 + i)];
            if (c < 0) {
                for (int y = 0; y < nHeight; ++y)
                    pColumn[static_cast<size_t>(y) * kBlock] = nBeyond;
            } else if (c == nShaded) {
                for (int y = 0; y < nHeight; ++y)
                    pColumn[static_cast<size_t>(y) * kBlock] = pColumn[static_cast<size_t>(y) * kBlock - 1];
            } else {
                Shade(picture.Column(c), pColumn, kBlock);
            }
            nShaded = c;
        }
        for (int y = 0; y < nHeight; ++y)
            std::copy_n(block.data() + static_cast<size_t>(y) * kBlock, nCount,
                        reinterpret_cast<QRgb*>(pBits + y * nLine) + x0);
    }
    return image;
}

double CMeasurePainter::DeviceRatio(const QPainter& dc, const CMeasureScene& scene)
{
    if (scene.dDeviceRatio > 0)
        return scene.dDeviceRatio;
    return dc.device() ? dc.device()->devicePixelRatioF() : 1.0;
}

void CMeasurePainter::Paint(QPainter& dc, const QSize& size, const CMeasureScene& scene)
{
    if (!scene.pModel)
        return;
    dc.save();
    dc.setFont(ViewFont());
    const CMeasureLayout layout = CMeasureLayout::For(size, dc.font(), scene.settings.layers);
    dc.fillRect(QRect(QPoint(0, 0), size), Qt::white);

    // The header: the file, then what is shown and how.
    const CMeasureModel& model = *scene.pModel;
    dc.setPen(Qt::black);
    QFont bold = dc.font();
    bold.setBold(true);
    dc.setFont(bold);
    const QRect rcLine1(layout.rcHeader.left(), layout.rcHeader.top(), layout.rcHeader.width(), layout.nLineHeight);
    dc.drawText(rcLine1, Qt::AlignLeft | Qt::AlignVCenter,
                dc.fontMetrics().elidedText(QString::fromStdString(sonavel::measure::HeaderLine(scene.strName.toStdString(),
                                                                                   model.Duration(), model.Rate(),
                                                                                   scene.strNote.toStdString())),
                                            Qt::ElideMiddle, rcLine1.width()));
    dc.setFont(ViewFont());
    const QRect rcLine2 = rcLine1.translated(0, layout.nLineHeight + 2);
    dc.drawText(rcLine2, Qt::AlignLeft | Qt::AlignVCenter,
                dc.fontMetrics().elidedText(QString::fromStdString(sonavel::measure::SettingsLine(scene.settings, model)),
                                            Qt::ElideRight, rcLine2.width()));

    const sonavel::measure::MeasureLayers& layers = scene.settings.layers;
    PaintSpectrogram(dc, layout, scene);
    if (layers.bFormants)
        CTrackPainter::PaintFormants(dc, layout, scene);
    if (layers.bIntensity)
        CTrackPainter::PaintIntensity(dc, layout, scene);
    if (layers.bWaveform)
        CWaveformPainter::Paint(dc, layout, scene);
    if (layers.bPulses)
        CWaveformPainter::PaintPulses(dc, layout, scene);
    if (layers.bPitch)
        PaintPitch(dc, layout, scene);
    PaintMarks(dc, layout, scene);
    PaintAxes(dc, layout, scene);
    if (layers.bIntensity && model.Intensity())
        CTrackPainter::PaintIntensityAxis(dc, layout, scene);
    dc.restore();
}

QImage CMeasurePainter::Render(const QSize& size, const CMeasureScene& scene, double dDevicePixelRatio)
{
    QImage image(size * dDevicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(dDevicePixelRatio);
    image.fill(Qt::white);
    QPainter dc(&image);
    Paint(dc, size, scene);
    return image;
}

void CMeasurePainter::PaintSpectrogram(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const QRect rc = layout.rcSpectrogram;
    if (rc.isEmpty())
        return;
    if (!scene.settings.layers.bSpectrogram) {
        dc.fillRect(rc, Qt::white);
        return;
    }
    dc.fillRect(rc, kBeyondSound);
    const CMeasurePicture* pPicture = scene.pPicture;
    if (!pPicture) {
        dc.setPen(Qt::darkGray);
        dc.drawText(rc, Qt::AlignCenter,
                    scene.strNoPicture.isEmpty() ? QString::fromUtf8("Computing the spectrogram\xE2\x80\xA6")
                                                 : scene.strNoPicture);
        return;
    }
    QImage shaded;
    const QImage* pImage = scene.pShaded;
    if (!pImage) {
        shaded = ShadePicture(*pPicture, static_cast<int>(std::lround(rc.height() * DeviceRatio(dc, scene))),
                              scene.settings.spectrogram.dDynamicRangeDb);
        pImage = &shaded;
    }
    // A picture made for another stretch (the user is zooming) is shown where
    // its stretch now lies until the new one arrives.
    const CMeasureModel& model = *scene.pModel;
    const double x0 = rc.left() + model.XAtTime(pPicture->request.dStart, rc.width());
    const double x1 = rc.left() + model.XAtTime(pPicture->request.dEnd, rc.width());
    dc.save();
    dc.setClipRect(rc);
    dc.drawImage(QRectF(x0, rc.top(), x1 - x0, rc.height()), *pImage);
    dc.restore();
}

void CMeasurePainter::PaintPitch(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const QRect rc = layout.rcPitch;
    const CMeasureModel& model = *scene.pModel;
    if (rc.isEmpty())
        return;
    const double lo = model.PitchLow(), hi = model.PitchHigh();
    // Grid lines at the scale's ticks, then the track over them.
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(QPen(kGrid, 1));
    for (const sonavel::axes::Tick& t : VerticalTicks(lo, hi, rc.height(), layout.nLineHeight)) {
        const int y = static_cast<int>(std::floor(YOf(t.dValue, lo, hi, rc)));
        if (y > rc.top() && y < rc.bottom())
            dc.drawLine(rc.left() + 1, y, rc.right() - 1, y);
    }
    dc.restore();

    const sonavel::pitch::PitchFrames* pFrames = model.Pitch();
    if (!pFrames || pFrames->time_s.size() < 2 || !(hi > lo)) {
        dc.setPen(Qt::darkGray);
        const QString strWhy = model.IsTracking() ? QString::fromUtf8("Tracking pitch\xE2\x80\xA6")
                               : model.PitchResult() != sonavel::analysis::EOutcome::Done
                                   ? QStringLiteral("No pitch: ") + QString::fromStdString(sonavel::measure::TrackFailure(model.PitchResult()))
                                   : QString();
        dc.drawText(rc, Qt::AlignCenter, strWhy);
        return;
    }
    const double dFrameStep = pFrames->time_s[1] - pFrames->time_s[0];
    const auto [nFirst, nLast] = model.FramesIn(model.Start() - dFrameStep, model.End() + dFrameStep);
    if (nLast < nFirst)
        return;
    const double dPixelsPerFrame = dFrameStep / model.Span() * rc.width();
    dc.save();
    dc.setClipRect(rc.adjusted(-3, -3, 3, 3));
    dc.setRenderHint(QPainter::Antialiasing, true);
    const auto X = [&](size_t i) { return rc.left() + model.XAtTime(pFrames->time_s[i], rc.width()); };
    const auto Y = [&](size_t i) { return YOf(pFrames->pitch_hz[i], lo, hi, rc); };
    if (dPixelsPerFrame < 1.0) {
        // Many frames to a pixel: the range of each pixel's voiced frames.
        // An hour holds over a million frames: the loop only sorts pitches into pixels.
        const int nWidth = rc.width();
        std::vector<double> highest(static_cast<size_t>(nWidth), 0.0), lowest(static_cast<size_t>(nWidth), 1e300);
        const double* pTime = pFrames->time_s.data();
        const double* pHz = pFrames->pitch_hz.data();
        const double dStart = model.Start(), dScale = nWidth / model.Span();
        for (long i = nFirst; i <= nLast; ++i) {
            const double f = pHz[i];
            const double dx = (pTime[i] - dStart) * dScale;
            if (f <= 0 || dx < 0 || dx >= nWidth)
                continue;
            const size_t x = static_cast<size_t>(dx);
            highest[x] = std::max(highest[x], f);
            lowest[x] = std::min(lowest[x], f);
        }
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(Qt::NoPen);
        dc.setBrush(kPitch);
        for (int x = 0; x < nWidth; ++x) {
            const size_t k = static_cast<size_t>(x);
            if (highest[k] <= 0)
                continue;
            const double yTop = YOf(highest[k], lo, hi, rc), yBottom = YOf(lowest[k], lo, hi, rc);
            dc.drawRect(QRectF(rc.left() + x, yTop - 1, 1, yBottom - yTop + 2));
        }
    } else {
        // Neighbouring voiced frames joined; each frame a dot once they stand apart.
        dc.setPen(QPen(kPitch, 1.5));
        for (long i = nFirst; i < nLast; ++i) {
            const size_t a = static_cast<size_t>(i), b = a + 1;
            if (pFrames->pitch_hz[a] > 0 && pFrames->pitch_hz[b] > 0)
                dc.drawLine(QPointF(X(a), Y(a)), QPointF(X(b), Y(b)));
        }
        const double dRadius = dPixelsPerFrame >= 6 ? 2.5 : 1.2;
        dc.setPen(Qt::NoPen);
        dc.setBrush(kPitch);
        for (long i = nFirst; i <= nLast; ++i)
            if (pFrames->pitch_hz[static_cast<size_t>(i)] > 0)
                dc.drawEllipse(QPointF(X(static_cast<size_t>(i)), Y(static_cast<size_t>(i))), dRadius, dRadius);
    }
    dc.restore();
}

void CMeasurePainter::PaintMarks(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const CMeasureModel& model = *scene.pModel;
    const QRect rcSpectrogram = layout.rcSpectrogram;
    std::vector<QRect> panels;
    for (const QRect& rc : {layout.rcWaveform, layout.rcPitch, rcSpectrogram})
        if (rc.height() > 0)
            panels.push_back(rc);
    const auto X = [&](double t) { return rcSpectrogram.left() + model.XAtTime(t, rcSpectrogram.width()); };
    const auto Across = [&](double x) {
        for (const QRect& rc : panels)
            dc.drawLine(QPointF(x, rc.top()), QPointF(x, rc.bottom() + 1));
    };
    dc.save();
    dc.setClipRect(layout.Panels());
    if (model.HasSelection()) {
        const double x0 = X(model.SelectionStart()), x1 = X(model.SelectionEnd());
        for (const QRect& rc : panels)
            dc.fillRect(QRectF(x0, rc.top(), std::max(x1 - x0, 1.0), rc.height()), kSelection);
        dc.setPen(QPen(kSelectionEdge, 1));
        Across(x0);
        Across(x1);
    }
    if (model.HasCursor()) {
        dc.setPen(QPen(kClickCursor, 1, Qt::DashLine));
        Across(X(model.Cursor()));
    }
    if (scene.dPlayTime >= 0) {
        dc.setPen(QPen(kPlayCursor, 1.5));
        Across(X(scene.dPlayTime));
    }
    dc.restore();
}

void CMeasurePainter::PaintAxes(QPainter& dc, const CMeasureLayout& layout, const CMeasureScene& scene)
{
    const CMeasureModel& model = *scene.pModel;
    const QRect rcPitch = layout.rcPitch, rcSpectrogram = layout.rcSpectrogram, rcWaveform = layout.rcWaveform;
    const int lh = layout.nLineHeight;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(QPen(kFrame, 1));
    dc.setBrush(Qt::NoBrush);
    for (const QRect& rc : {rcWaveform, rcPitch, rcSpectrogram})
        if (!rc.isEmpty())
            dc.drawRect(rc.adjusted(0, 0, -1, -1));

    // Frequency and pitch: ticks left of each panel, labels centred on them.
    struct Scale {
        QRect rc;
        double lo, hi;
        QString strTitle;
    };
    // A fitted waveform says so, in as many words as its panel has room for.
    const double dWaveTop = model.WaveformTop();
    QString strWaveTitle = QStringLiteral("Amplitude");
    if (model.WaveformFitted()) {
        strWaveTitle = QStringLiteral("Amplitude (fitted)");
        if (dc.fontMetrics().horizontalAdvance(strWaveTitle) > rcWaveform.height())
            strWaveTitle = QStringLiteral("Fitted");
    }
    const Scale scales[] = {
        {rcWaveform, -dWaveTop, dWaveTop, strWaveTitle},
        {rcPitch, model.PitchLow(), model.PitchHigh(), QStringLiteral("Pitch (Hz)")},
        {rcSpectrogram, 0.0, scene.settings.spectrogram.dMaxFrequencyHz, QStringLiteral("Frequency (Hz)")},
    };
    for (const Scale& s : scales)
        VerticalScale(dc, s.rc, s.lo, s.hi, lh, false, 4, s.strTitle);

    // Time: ticks below the spectrogram, labels centred under them, the unit below.
    const int nWidth = rcSpectrogram.width();
    const int nAxisTop = rcSpectrogram.bottom() + 1;
    const auto ticks = sonavel::axes::TimeTicks(model.Start(), model.End(), nWidth, layout.dDigitWidth);
    for (const sonavel::axes::Tick& t : ticks) {
        const int x = rcSpectrogram.left() + std::min(static_cast<int>(std::floor(model.XAtTime(t.dValue, nWidth))), nWidth - 1);
        dc.setPen(QPen(kFrame, 1));
        dc.drawLine(x, nAxisTop, x, nAxisTop + kTick - 1);
        dc.setPen(QPen(kGrid, 1, Qt::DotLine));
        for (const QRect& rc : {rcWaveform, rcPitch})
            if (rc.height() > 2 && x > rc.left() && x < rc.right())
                dc.drawLine(x, rc.top() + 1, x, rc.bottom() - 1);
        dc.setPen(Qt::black);
        const QString strLabel = QString::fromStdString(t.strLabel);
        const int nLabel = dc.fontMetrics().horizontalAdvance(strLabel);
        dc.drawText(QRectF(x + 0.5 - nLabel / 2.0, nAxisTop + kTick + lh / 2, nLabel, lh), Qt::AlignCenter, strLabel);
    }
    dc.setPen(Qt::black);
    dc.drawText(QRect(rcSpectrogram.left(), nAxisTop + kTick + lh / 2 + lh + 2, nWidth, lh), Qt::AlignHCenter | Qt::AlignTop,
                QStringLiteral("Time (s)"));
    dc.restore();
}
