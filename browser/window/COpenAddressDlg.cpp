#include "browser/window/COpenAddressDlg.h"

#include "browser/startup/VelmoraResource.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Text lines shown before the question scrolls.
constexpr int kMaxLines = 12;
}  // namespace

COpenAddressDlg::COpenAddressDlg(const QUrl& url, QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QLatin1String(velmora::kFrameTitle));
    auto* pLayout = new QVBoxLayout(this);

    // The address as it goes out (percent-encoded, the host in ASCII), so no
    // look-alike letter or hidden character can pass for another; broken
    // anywhere, since a long query has no spaces to wrap at.
    m_pText = new QPlainTextEdit(this);
    m_pText->setObjectName(QStringLiteral("question"));
    m_pText->setReadOnly(true);
    m_pText->setAccessibleName(tr("Question"));
    m_pText->setFrameShape(QFrame::NoFrame);
    m_pText->viewport()->setAutoFillBackground(false);
    m_pText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_pText->setPlainText(tr("A page on this computer wants to open %1. Open it?").arg(url.toString(QUrl::FullyEncoded)));
    m_pText->setFixedWidth(m_pText->fontMetrics().averageCharWidth() * 60);
    pLayout->addWidget(m_pText);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pButtons->button(QDialogButtonBox::Open)->setAutoDefault(false);
    QPushButton* pCancel = pButtons->button(QDialogButtonBox::Cancel);
    pCancel->setDefault(true);
    pCancel->setFocus();
    pLayout->addWidget(pButtons);

    // Tall enough for the whole question up to kMaxLines, then it scrolls.
    const int nMargin = int(m_pText->document()->documentMargin());
    QTextLayout layout(m_pText->toPlainText(), m_pText->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    int nLines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid() && nLines <= kMaxLines; line = layout.createLine()) {
        line.setLineWidth(m_pText->width() - 2 * nMargin - m_pText->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        ++nLines;
    }
    layout.endLayout();
    m_pText->setFixedHeight(std::min(nLines, kMaxLines) * m_pText->fontMetrics().lineSpacing() + 2 * nMargin + 2);
}

QString COpenAddressDlg::Text() const
{
    return m_pText->toPlainText();
}
