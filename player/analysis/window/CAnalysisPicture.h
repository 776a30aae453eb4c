#pragma once
// What a screen reader is told of the analysis window's two panels: a graphic
// over both, named after the window and described in words (the dialog paints
// the panels; this widget paints nothing and lets the mouse through).
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QWidget>

class CAnalysisPicture : public QWidget {
    Q_OBJECT
public:
    explicit CAnalysisPicture(QWidget* pParent);
};
