#pragma once
// The start-up splash: a captionless window with a thin border, centred on the
// screen, showing the browser's picture in a sunken frame.
//
// UI thread only; the application object owns it.
#include <QDialog>

class CSplashDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDlg(QWidget* pParent = nullptr);

    // Shows the window in the middle of the screen and paints it at once.
    void ShowNow();
};
