#pragma once
// The question before a page on this computer opens a web address. The site it
// leads to (scheme and host as the address's parser reads them, so a name
// before an "@" never passes for the host) stands whole in bold on a line of
// its own, the address below it shortened in the middle; Show Full Address
// reveals all of it (whatever the page read could ride along in it). Cancel,
// the default, keeps everything on this computer. The dialog opens at once for
// an address of any length: nothing it lays out grows with the address.
//
// UI thread only; the view opens it window-modal, and it deletes itself when
// closed. It owns its widgets.
#include <QDialog>
#include <QUrl>

class CAddressText;
class QLabel;
class QPushButton;

class COpenAddressDlg : public QDialog {
    Q_OBJECT
public:
    COpenAddressDlg(const QUrl& url, QWidget* pParent = nullptr);

    // The question with the whole address as it will be sent.
    QString Text() const;

private:
    void OnShowFullAddress(bool bShow);

    QString m_strAddress;
    QLabel* m_pShortAddress = nullptr;
    QPushButton* m_pShowFull = nullptr;
    CAddressText* m_pFullAddress = nullptr;
};
