#pragma once
// The About box: the picture, the version, the program's purpose, a pointer to
// the web site, the notice and OK.
//
// A modal dialog made, run and deleted by its caller on the UI thread; it owns its
// widgets.
#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);

private:
    QLabel* m_pPicture;
    QPushButton* m_pOk;
};
