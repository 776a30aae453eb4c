#pragma once
// The connection check's small status window: a caption bar with an empty
// title, no close button, one sunken text. Lives on the user-interface thread.
#include <QDialog>
#include <QString>

class QLabel;

class CConnectStatusDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConnectStatusDlg(QWidget* pParent = nullptr);

    void SetStatusText(const QString& strText);

    // Puts the window in the middle of the screen it is on.
    void CenterOnScreen();

    QString m_strStatus;

private:
    QLabel* m_pStatus = nullptr;  // control 1002
};
