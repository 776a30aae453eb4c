#include "player/analysis/window/CPictureSizeDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* Side(int nValue, const QString& strName)
{
    auto* p = new QSpinBox;
    // Far beyond the bounds, so a typed side is never clamped behind the user's back.
    p->setRange(0, 1000000);
    p->setSuffix(QStringLiteral(" px"));
    p->setAccessibleName(strName);
    p->setValue(nValue);
    return p;
}

} // namespace

CPictureSizeDlg::CPictureSizeDlg(const QSize& size, QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QStringLiteral("pictureSize"));
    setWindowTitle(QStringLiteral("Picture Size"));
    m_pWidth = Side(size.width(), QStringLiteral("Picture width"));
    m_pHeight = Side(size.height(), QStringLiteral("Picture height"));
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("&Width:"), m_pWidth);
    pForm->addRow(QStringLiteral("&Height:"), m_pHeight);
    m_pProblem = new QLabel(QStringLiteral("Each side must be %1 to %2 pixels.").arg(kMinSide).arg(kMaxSide));
    m_pProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pProblem);
    pLayout->addWidget(m_pButtons);
    for (QSpinBox* p : {m_pWidth, m_pHeight})
        connect(p, &QSpinBox::valueChanged, this, &CPictureSizeDlg::OnChanged);
    OnChanged();
}

QSize CPictureSizeDlg::Size() const { return QSize(m_pWidth->value(), m_pHeight->value()); }

bool CPictureSizeDlg::Takes(const QSize& size)
{
    return size.width() >= kMinSide && size.width() <= kMaxSide && size.height() >= kMinSide
           && size.height() <= kMaxSide;
}

void CPictureSizeDlg::OnChanged()
{
    const bool bTaken = Takes(Size());
    m_pProblem->setVisible(!bTaken);
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(bTaken);
}
