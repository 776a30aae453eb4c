#include "player/analysis/window/CFieldProblem.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

CFieldProblem::CFieldProblem(QDialog* pDlg, const QString& strObjectName, QDialogButtonBox::StandardButtons more)
    : m_pLine(new QLabel), m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | more))
{
    m_pLine->setObjectName(strObjectName);
    m_pLine->setStyleSheet(QStringLiteral("color: #b00000"));
    m_pLine->setWordWrap(true);
    QObject::connect(m_pButtons, &QDialogButtonBox::accepted, pDlg, &QDialog::accept);
    QObject::connect(m_pButtons, &QDialogButtonBox::rejected, pDlg, &QDialog::reject);
}

void CFieldProblem::Show(const QString& strProblem)
{
    m_pLine->setText(strProblem);
    m_pLine->setVisible(!strProblem.isEmpty());
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(strProblem.isEmpty());
}
