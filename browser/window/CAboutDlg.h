#pragma once
// The About box (dialog 100): the program's picture, version, release, notice
// and the maker's web address as a clickable link.
//
// A modal dialog made, run and deleted by its caller on the UI thread; it owns its
// widgets.
#include "browser/window/CLinkLabel.h"

#include <QDialog>
#include <QPixmap>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);

    // The About command: runs the box modally; the answer does not matter.
    static void OnAppAbout(QWidget* pParent);

    // Picture 104 (413 x 235 pixels), shared with the splash.
    static QPixmap LoadPicture();

    CLinkLabel m_link;

private:
    void OnInitDialog();
};
