#include "browser/window/CLockIndicators.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

namespace {

// X11 modifier state bits of the lock keys, as carried by key events.
constexpr quint32 kX11LockMask = 0x02;
constexpr quint32 kX11NumLockMask = 0x10;

}  // namespace

CLockIndicators::CLockIndicators(QStatusBar* pBar) : QObject(pBar)
{
    auto indicator = [pBar](const char* szText) {
        auto* pLabel = new QLabel(QLatin1String(szText), pBar);
        pLabel->setFrameShape(QFrame::Panel);
        pLabel->setFrameShadow(QFrame::Sunken);
        pLabel->setAlignment(Qt::AlignCenter);
        // Wide enough for the text when lit, so the bar never jumps.
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(QLatin1String(szText)) + 12);
        pBar->addPermanentWidget(pLabel);
        SetIndicator(pLabel, false);
        return pLabel;
    };
    m_pCapIndicator = indicator("CAP");
    m_pNumIndicator = indicator("NUM");
    m_pScrlIndicator = indicator("SCRL");
    qApp->installEventFilter(this);
}

CLockIndicators::~CLockIndicators()
{
    qApp->removeEventFilter(this);
}

void CLockIndicators::SetIndicator(QLabel* pLabel, bool bOn)
{
    // An indicator that is off keeps its place with its text greyed.
    pLabel->setEnabled(bOn);
}

void CLockIndicators::UpdateLockIndicators(quint32 nNativeModifiers)
{
    SetIndicator(m_pCapIndicator, nNativeModifiers & kX11LockMask);
    SetIndicator(m_pNumIndicator, nNativeModifiers & kX11NumLockMask);
}

bool CLockIndicators::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        // Only X11 reports the lock state with each key; elsewhere the
        // indicators stay as they are.
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            UpdateLockIndicators(pKey->nativeModifiers());
        // A key nobody takes travels up the widget chain and passes this filter
        // once per widget: the press counts only the first time it is seen.
        if (type == QEvent::KeyRelease)
            m_pLastPress = nullptr;
        else if (pKey->key() == Qt::Key_ScrollLock && !pKey->isAutoRepeat() && pKey != m_pLastPress) {
            m_pLastPress = pKey;
            m_bScrollLock = !m_bScrollLock;
            SetIndicator(m_pScrlIndicator, m_bScrollLock);
        }
    }
    return QObject::eventFilter(pWatched, pEvent);
}
