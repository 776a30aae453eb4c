#pragma once
// Helpers of the measuring view's tests: a voice with pauses in a store, a
// player that records what the view asks it to play, and the mouse and wheel
// as a user moves them over the picture.
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <utility>
#include <vector>

#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CSavePictureDlg.h"
#include "player/analysis/window/CSpanPlayer.h"
#include "player/audio/SampleStore.h"
#include "tools/voicesynth/CVoiceSynth.h"

namespace measuretest {

// Two voiced stretches (120-180 Hz, then 200-130 Hz) around a pause.
inline std::vector<int16_t> Voice(int nRate, double dSeconds = 3.0)
{
    VoiceSynthParams p;
    p.nSampleRate = nRate;
    p.dSeconds = dSeconds;
    p.contour = {{0.0, 120}, {1.0, 180}, {1.2, 0}, {1.6, 0}, {1.7, 200}, {dSeconds, 130}};
    return SynthesizeVoice(p);
}

inline SampleStore Store(const std::vector<int16_t>& samples, int nRate)
{
    SampleStore store;
    store.sampleCount = static_cast<int32_t>(samples.size());
    store.byteLength = 2 * store.sampleCount;
    store.sampleRate = nRate;
    store.hSamples = CSampleBlock::Alloc(std::max<size_t>(samples.size(), 1) * 2);
    CSampleLock lock(store.hSamples);
    std::copy(samples.begin(), samples.end(), lock.Samples());
    return store;
}

// A picture saved at a size in pixels (or on paper at a resolution).
inline FigureChoice PixelSize(double w, double h, sonavel::measure::ESizeUnit eUnit = sonavel::measure::ESizeUnit::Pixels,
                              double dDpi = 0)
{
    FigureChoice choice;
    choice.bAsShown = false;
    choice.size = sonavel::measure::FigureSize{w, h, eUnit, dDpi};
    return choice;
}

class CRecordingSpanPlayer : public CSpanPlayer {
public:
    bool PlaySpan(int64_t nFirst, int64_t nEnd) override
    {
        m_played.emplace_back(nFirst, nEnd);
        m_nPlaying = nFirst;
        return true;
    }
    void StopSpan() override { m_nPlaying = -1; }
    int64_t PlayingSample() const override { return m_nPlaying; }

    std::vector<std::pair<int64_t, int64_t>> m_played;
    int64_t m_nPlaying = -1;
};

// The point over the spectrogram at time t and a height fraction from its foot.
inline QPointF PointAt(const CMeasurePlot& plot, const CMeasureModel& model, double t, double dHeight = 0.5)
{
    const CMeasureLayout layout = plot.Layout();
    const QRect rc = layout.rcSpectrogram;
    return QPointF(rc.left() + model.XAtTime(t, rc.width()), rc.bottom() - dHeight * rc.height());
}

inline void Drag(QWidget* pWidget, const QPointF& from, const QPointF& to)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, pWidget->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(pWidget, &press);
    for (int i = 1; i <= 4; ++i) {
        const QPointF at = from + (to - from) * (i / 4.0);
        QMouseEvent move(QEvent::MouseMove, at, pWidget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(pWidget, &move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, to, pWidget->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(pWidget, &release);
}

// One notch of a wheel (angle 120 up or down; a sideways one with bSideways).
inline void Wheel(QWidget* pWidget, const QPointF& at, int nAngle, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  bool bSideways = false)
{
    const QPoint angle = bSideways ? QPoint(nAngle, 0) : QPoint(0, nAngle);
    QWheelEvent wheel(at, pWidget->mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(pWidget, &wheel);
}

} // namespace measuretest
