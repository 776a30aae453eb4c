#include "browser/window/CAboutDlg.h"

#include "browser/window/CDialogUnits.h"
#include "browser/startup/VelmoraResource.h"

#include "browser/startup/SplashPicture.h"

#include <QFrame>
#include <QPushButton>

using namespace velmora;

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent), m_link(this)
{
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setFont(DialogFont());
    setFixedSize(DluSize(293, 210));

    auto* pFrame = new QLabel(this);
    pFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pFrame->setAlignment(Qt::AlignCenter);
    pFrame->setPixmap(LoadPicture());
    pFrame->setAccessibleName(tr("Velmora picture"));
    pFrame->setGeometry(DluRect(7, 7, 279, 148));

    m_link.setObjectName(QStringLiteral("link"));
    m_link.SetCaption(QStringLiteral("link"));
    m_link.setGeometry(DluRect(57, 160, 170, 20));
    m_link.setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto* pNotice = new QLabel(QString::fromUtf8(kAboutNotice), this);
    // The notice is longer than the 82 units its place in the bottom row had; it
    // takes the line above that row so that nothing is cut or overlapped.
    pNotice->setGeometry(DluRect(7, 183, 220, 8));
    auto* pVersion = new QLabel(QString::fromUtf8(kAboutVersion), this);
    pVersion->setTextFormat(Qt::PlainText);
    pVersion->setGeometry(DluRect(97, 195, 56, 8));
    auto* pRelease = new QLabel(QString::fromUtf8(kAboutRelease), this);
    pRelease->setGeometry(DluRect(155, 195, 78, 8));
    for (QLabel* pLabel : {pNotice, pVersion, pRelease})
        pLabel->setWordWrap(false);

    auto* pOk = new QPushButton(QStringLiteral("OK"), this);
    pOk->setGeometry(DluRect(236, 189, 50, 14));
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    OnInitDialog();
}

void CAboutDlg::OnInitDialog()
{
    m_link.EnableLink(true)
        .SetCaption(QString::fromUtf8(kWebHost))
        .SetFontHeight(kAboutLinkFontHeight)
        .SetTextColor(QColor(0, 0, 255))
        .SetUnderline(true)
        .SetHoverCursor(LoadHandCursor());

    // The place was sized for a narrower face: widen it about its centre until
    // the whole address shows.
    QRect place = m_link.geometry();
    const int nNeeded = m_link.sizeHint().width();
    if (nNeeded > place.width()) {
        const int nCentre = place.center().x();
        place.setLeft(nCentre - nNeeded / 2);
        place.setWidth(nNeeded);
        m_link.setGeometry(place);
    }
}

void CAboutDlg::OnAppAbout(QWidget* pParent)
{
    CAboutDlg dialog(pParent);
    dialog.exec();
}

QPixmap CAboutDlg::LoadPicture()
{
    // The same picture as the splash.
    return QPixmap::fromImage(MakeSplashPicture());
}
