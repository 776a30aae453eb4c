#include "browser/startup/CConnectStatusDlg.h"

#include "browser/startup/VelmoraResource.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

using namespace velmora;

CConnectStatusDlg::CConnectStatusDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ConnectStatusDlg%1").arg(IDD_CONNECT_STATUS));
    setWindowTitle(QString());
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(DluToPxX(204), DluToPxY(65));

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("status%1").arg(IDC_CONNECT_STATUS));
    m_pStatus->setGeometry(DluToPxX(7), DluToPxY(7), DluToPxX(190), DluToPxY(30));
    m_pStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pStatus->setIndent(2);
    m_pStatus->setWordWrap(true);
}

void CConnectStatusDlg::SetStatusText(const QString& strText)
{
    m_strStatus = strText;
    m_pStatus->setText(m_strStatus);
}

void CConnectStatusDlg::CenterOnScreen()
{
    QScreen* pScreen = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!pScreen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(pScreen->availableGeometry().center());
    move(frame.topLeft());
}
