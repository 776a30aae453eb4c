#include "browser/window/COpenAddressDlg.h"

#include "browser/startup/VelmoraResource.h"
#include "browser/window/CAddressText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Lines of the shortened address; the site's lines hold the longest host name
// a name server answers for (253 characters) with its scheme and port, and a
// longer one is shortened as the address is.
constexpr int kAddressLines = 3;
constexpr int kSiteLines = 6;

QLabel* AddLabel(QVBoxLayout* pLayout, const QString& strText, const QString& strName)
{
    auto* pLabel = new QLabel(strText);
    pLabel->setObjectName(strName);
    pLabel->setTextFormat(Qt::PlainText);
    pLayout->addWidget(pLabel);
    return pLabel;
}

}  // namespace

COpenAddressDlg::COpenAddressDlg(const QUrl& url, QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QLatin1String(velmora::kFrameTitle));
    // The address as it goes out (percent-encoded, the host in ASCII), so no
    // look-alike letter or hidden character can pass for another.
    m_strAddress = url.toString(QUrl::FullyEncoded);
    QString strSite = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                          .toString(QUrl::FullyEncoded);
    if (strSite.isEmpty())
        strSite = m_strAddress;

    auto* pLayout = new QVBoxLayout(this);
    // The dialog takes the size of what it shows, and grows with the full address.
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
    AddLabel(pLayout, tr("A page on this computer wants to open an address on"), QStringLiteral("question"));

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QFont bold = fixed;
    bold.setBold(true);
    if (fixed.pointSizeF() > 0)
        bold.setPointSizeF(fixed.pointSizeF() * 1.25);
    else
        bold.setPixelSize(fixed.pixelSize() * 5 / 4);
    const int nWidth = QFontMetrics(fixed).horizontalAdvance(QString(CAddressText::kLineChars, QLatin1Char('0')));
    const int nSiteChars = std::max(16, nWidth / std::max(1, QFontMetrics(bold).horizontalAdvance(QLatin1Char('0'))));
    QLabel* pSite = AddLabel(pLayout, velmora::BreakAddress(strSite, nSiteChars, kSiteLines), QStringLiteral("site"));
    pSite->setFont(bold);
    pSite->setAccessibleDescription(tr("The site the address leads to"));

    m_pShortAddress = AddLabel(pLayout, velmora::BreakAddress(m_strAddress, CAddressText::kLineChars, kAddressLines),
                                QStringLiteral("address"));
    m_pShortAddress->setFont(fixed);
    m_pShortAddress->setAccessibleDescription(m_strAddress.size() > CAddressText::kLineChars * kAddressLines
                                                  ? tr("The address, shortened in the middle")
                                                  : tr("The address"));

    // Filled when first asked for: only then is the whole address laid out.
    m_pFullAddress = new CAddressText(this);
    m_pFullAddress->setObjectName(QStringLiteral("fullAddress"));
    m_pFullAddress->setAccessibleName(tr("Full address"));
    m_pFullAddress->hide();
    // The dialog keeps its width when the full address appears.
    m_pShortAddress->setMinimumWidth(m_pFullAddress->width());
    pLayout->addWidget(m_pFullAddress);

    AddLabel(pLayout, tr("Open it?"), QStringLiteral("openIt"));

    // The toggle stands apart from the answer buttons, on the left.
    auto* pRow = new QHBoxLayout;
    m_pShowFull = new QPushButton(tr("&Show Full Address"), this);
    m_pShowFull->setObjectName(QStringLiteral("showFullAddress"));
    m_pShowFull->setCheckable(true);
    m_pShowFull->setAutoDefault(false);
    connect(m_pShowFull, &QPushButton::toggled, this, &COpenAddressDlg::OnShowFullAddress);
    pRow->addWidget(m_pShowFull);
    pRow->addStretch();
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pButtons->button(QDialogButtonBox::Open)->setAutoDefault(false);
    QPushButton* pCancel = pButtons->button(QDialogButtonBox::Cancel);
    pCancel->setDefault(true);
    pCancel->setFocus();
    pRow->addWidget(pButtons);
    pLayout->addLayout(pRow);

    setAccessibleDescription(tr("A page on this computer wants to open an address on %1. Open it?")
                                 .arg(pSite->text().remove(QLatin1Char('\n'))));
}

void COpenAddressDlg::OnShowFullAddress(bool bShow)
{
    if (bShow && m_pFullAddress->Address().isEmpty())
        m_pFullAddress->SetAddress(m_strAddress);
    // The full address starts with the lines the shortened one shows.
    m_pShortAddress->setVisible(!bShow);
    m_pFullAddress->setVisible(bShow);
    m_pShowFull->setText(bShow ? tr("&Hide Full Address") : tr("&Show Full Address"));
}

QString COpenAddressDlg::Text() const
{
    return tr("A page on this computer wants to open %1. Open it?").arg(m_strAddress);
}
