#pragma once
// The size a picture of the measuring view is saved at: width and height in
// pixels, each from 200 to 8000 as render --view takes them. The fields take
// whatever is typed; a side out of range is said under them and OK stays grey.
#include <QDialog>
#include <QSize>

class QDialogButtonBox;
class QLabel;
class QSpinBox;

class CPictureSizeDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinSide = 200, kMaxSide = 8000;

    CPictureSizeDlg(const QSize& size, QWidget* pParent = nullptr);
    QSize Size() const;
    static bool Takes(const QSize& size);

private:
    void OnChanged();

    QSpinBox* m_pWidth;
    QSpinBox* m_pHeight;
    QLabel* m_pProblem;
    QDialogButtonBox* m_pButtons;
};
