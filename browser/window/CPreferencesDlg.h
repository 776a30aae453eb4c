#pragma once
// The Preferences dialog (dialog 130): edits the upper pane's home address,
// with Browse to pick a local file for it.
//
// A modal dialog made, run and deleted by its caller on the UI thread; it owns its
// widgets.
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

class CPreferencesDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPreferencesDlg(QWidget* pParent = nullptr);

    // Shows m_strHome in the field, runs the dialog; on OK m_strHome holds the
    // field's text, on Cancel it is unchanged.
    int exec() override;

    // The Preferences command: edits the application's home address and, on OK,
    // stores it in the profile. The new address is used by the next Home and the
    // next start; it is not opened at once.
    static void OnPreferences(QWidget* pParent);

    QString m_strHome;


public slots:
    void OnBrowse();

private:
    void UpdateData(bool bSaveAndValidate);

    QLineEdit* m_pHomeEdit = nullptr;
    QPushButton* m_pBrowse = nullptr;
};
