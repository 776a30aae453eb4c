#include "browser/window/CPreferencesDlg.h"
#include "browser/window/OpenFileFilter.h"

#include "browser/window/CDialogUnits.h"
#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraResource.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace velmora;

CPreferencesDlg::CPreferencesDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setFont(DialogFont());
    setFixedSize(DluSize(350, 95));

    auto* pLabel = new QLabel(QStringLiteral("Home address :"), this);
    pLabel->setGeometry(DluRect(7, 9, 60, 8));

    m_pHomeEdit = new QLineEdit(this);
    m_pHomeEdit->setObjectName(QStringLiteral("homeAddress"));
    m_pHomeEdit->setGeometry(DluRect(7, 19, 295, 14));
    pLabel->setBuddy(m_pHomeEdit);

    m_pBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    m_pBrowse->setObjectName(QStringLiteral("browse"));
    m_pBrowse->setGeometry(DluRect(306, 19, 37, 14));
    m_pBrowse->setAutoDefault(false);
    connect(m_pBrowse, &QPushButton::clicked, this, &CPreferencesDlg::OnBrowse);

    auto* pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pCancel->setObjectName(QStringLiteral("cancel"));
    pCancel->setGeometry(DluRect(7, 74, 50, 14));
    pCancel->setAutoDefault(false);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* pOk = new QPushButton(QStringLiteral("OK"), this);
    pOk->setObjectName(QStringLiteral("ok"));
    pOk->setGeometry(DluRect(293, 74, 50, 14));
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(m_pHomeEdit, m_pBrowse);
    setTabOrder(m_pBrowse, pOk);
    setTabOrder(pOk, pCancel);
}

void CPreferencesDlg::UpdateData(bool bSaveAndValidate)
{
    if (bSaveAndValidate)
        m_strHome = m_pHomeEdit->text();
    else
        m_pHomeEdit->setText(m_strHome);
}

int CPreferencesDlg::exec()
{
    UpdateData(false);
    m_pHomeEdit->setFocus();
    const int nResult = QDialog::exec();
    if (nResult == QDialog::Accepted)
        UpdateData(true);
    return nResult;
}

void CPreferencesDlg::OnBrowse()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(velmora::OpenFilterList(QString::fromLatin1(IDS_OPEN_FILTER)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    // The chosen path replaces whatever was typed in the field.
    m_strHome = dialog.selectedFiles().constFirst();
    UpdateData(false);
}

void CPreferencesDlg::OnPreferences(QWidget* pParent)
{
    CVelmoraApp* pApp = CVelmoraApp::Instance();
    if (!pApp)
        return;
    CPreferencesDlg dialog(pParent);
    dialog.m_strHome = pApp->m_strHomeAddress;
    if (dialog.exec() != QDialog::Accepted)
        return;
    // SaveHomeAddress reports its own failure to the user.
    pApp->SaveHomeAddress(dialog.m_strHome);
}
