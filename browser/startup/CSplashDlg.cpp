#include "browser/startup/CSplashDlg.h"

#include "browser/startup/SplashPicture.h"
#include "browser/startup/VelmoraResource.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

using namespace velmora;

CSplashDlg::CSplashDlg(QWidget* pParent)
    : QDialog(pParent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("SplashDlg%1").arg(IDD_SPLASH));
    setFixedSize(DluToPxX(293), DluToPxY(161));
    // The thin border of a captionless pop-up.
    setStyleSheet(QStringLiteral("CSplashDlg { border: 1px solid #404040; }"));
    setAttribute(Qt::WA_StyledBackground);
    // A screen reader meets the splash while the frame is built: it names the
    // program, as the About box's picture does.
    setAccessibleName(QStringLiteral("Velmora"));

    auto* pPicture = new QLabel(this);
    pPicture->setObjectName(QStringLiteral("picture%1").arg(IDB_SPLASH));
    pPicture->setGeometry(DluToPxX(7), DluToPxY(7), DluToPxX(279), DluToPxY(148));
    pPicture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pPicture->setLineWidth(1);
    pPicture->setAlignment(Qt::AlignCenter);
    pPicture->setPixmap(QPixmap::fromImage(MakeSplashPicture()));
    pPicture->setAccessibleName(QStringLiteral("Velmora picture"));
}

void CSplashDlg::ShowNow()
{
    if (QScreen* pScreen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(pScreen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    repaint();
    // Let the window system map and draw it before the main frame is built.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
