#pragma once
// The question before a page on this computer opens a web address: the whole
// address is shown (whatever the page read could ride along in it), and
// Cancel, the default, keeps everything on this computer.
#include <QDialog>
#include <QUrl>

class QPlainTextEdit;

class COpenAddressDlg : public QDialog {
    Q_OBJECT
public:
    COpenAddressDlg(const QUrl& url, QWidget* pParent = nullptr);

    // The question as shown, with the address as it will be sent.
    QString Text() const;

private:
    QPlainTextEdit* m_pText = nullptr;
};
