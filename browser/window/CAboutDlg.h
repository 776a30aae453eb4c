#pragma once
// The About box (dialog 100): the program's picture, version, release, notice
// and the maker's web address as a clickable link.
#include "browser/window/CLinkLabel.h"

#include <QDialog>
#include <QPixmap>

namespace velmora {
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDB_ABOUT_PICTURE = 104;     // 413 x 235, shared with the splash
inline constexpr int IDC_ABOUT_LINK = 1003;
inline constexpr int IDC_HAND_CURSOR = 130;
inline constexpr const char* kAboutCaption = "About Velmora";
inline constexpr const char* kAboutVersion = "Version #3.1";
inline constexpr const char* kAboutRelease = "Release : 8-12-2004";
inline constexpr const char* kAboutNotice = "\u00A9 2026 Velmora Speech Tools";
inline constexpr const char* kAboutLinkHost = "www.velmora.example";
inline constexpr int kAboutLinkFontHeight = 24;
} // namespace velmora

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
