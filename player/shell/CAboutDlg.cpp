#include "player/shell/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "player/shell/CArtwork.h"
#include "player/shell/resource.h"

using namespace sonavel::shell;

namespace {

// A control's rectangle in dialog units, as the template places it.
QRect DluRect(int x, int y, int cx, int cy)
{
    return QRect(sonavel::DluToPixelsX(x), sonavel::DluToPixelsY(y), sonavel::DluToPixelsX(cx), sonavel::DluToPixelsY(cy));
}

QLabel* StaticText(QWidget* pParent, const char* szText, const QRect& rect)
{
    auto* pLabel = new QLabel(QString::fromUtf8(szText), pParent);
    pLabel->setWordWrap(true);
    pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pLabel->setGeometry(rect);
    return pLabel;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(kszAboutCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(sonavel::DluToPixelsX(kAboutWidthDlu), sonavel::DluToPixelsY(kAboutHeightDlu));

    QRect picture = DluRect(11, 11, 110, 150);
    m_pPicture = new QLabel(this);
    m_pPicture->setObjectName(QStringLiteral("Picture"));
    m_pPicture->setGeometry(picture);
    m_pPicture->setFrameShape(QFrame::Panel);
    m_pPicture->setFrameShadow(QFrame::Sunken);
    m_pPicture->setPixmap(AboutPicture(picture.size() - QSize(2, 2)));
    m_pPicture->setAlignment(Qt::AlignCenter);
    m_pPicture->setAccessibleName(QString::fromUtf8(kszAboutPictureName));

    StaticText(this, kszAboutVersion, DluRect(134, 14, 156, 10));
    StaticText(this, kszAboutPurpose, DluRect(134, 34, 156, 20));
    StaticText(this, kszAboutVisit, DluRect(134, 62, 156, 10));
    StaticText(this, kszAboutNotice, DluRect(134, 82, 156, 10));

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setGeometry(DluRect(240, 180, 50, 14));
    m_pOk->setDefault(true);
    m_pOk->setFocus();
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
}
