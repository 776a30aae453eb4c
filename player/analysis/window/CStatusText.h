#pragma once
// A line of the status bar that gives way in a narrow window: it asks for the
// width of its whole text, takes what the bar can give, and shows what does
// not fit as an ellipsis, so two readouts side by side never run into each
// other mid-number. The whole text stays its text() (and what a screen
// reader hears).
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QLabel>

class CStatusText : public QLabel {
    Q_OBJECT
public:
    explicit CStatusText(QWidget* pParent = nullptr);

    // The text as it is shown at the label's present width.
    QString ShownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
};
