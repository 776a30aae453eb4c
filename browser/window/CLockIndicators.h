#pragma once
// The status bar's CAP, NUM and SCRL panes and the key filter that keeps them
// true. The filter watches every key event of the application: on X11 each
// key carries the Caps Lock and Num Lock state; Scroll Lock is counted here,
// one toggle per press.
//
// UI thread only; the status bar it is given owns it as a Qt child.
#include <QObject>

class QLabel;
class QStatusBar;

class CLockIndicators : public QObject {
    Q_OBJECT
public:
    // Adds the three panes to pBar and starts watching the keys.
    explicit CLockIndicators(QStatusBar* pBar);
    ~CLockIndicators() override;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void UpdateLockIndicators(quint32 nNativeModifiers);
    static void SetIndicator(QLabel* pLabel, bool bOn);

    QLabel* m_pCapIndicator = nullptr;
    QLabel* m_pNumIndicator = nullptr;
    QLabel* m_pScrlIndicator = nullptr;
    bool m_bScrollLock = false;
    const QEvent* m_pLastPress = nullptr;  // the Scroll Lock press already counted
};
