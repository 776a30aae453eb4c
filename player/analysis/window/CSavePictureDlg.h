#pragma once
// How a picture of the measuring view is saved: its format (PNG, JPEG, SVG,
// PDF), its size in pixels or on paper (cm, mm, in) at a resolution in dots
// per inch, and whether the selection, the cursor and the playback cursor are
// drawn ("Include selection"; by default a figure shows none of them). The
// fields take whatever is typed; a size that cannot be drawn is said under
// them and OK stays grey. A change of unit keeps the size on paper.
//
// A modal dialog made, run and deleted by its caller on the UI thread; it owns its
// widgets.
#include <QDialog>
#include <QSize>

#include "player/analysis/measureview/FigureSize.h"
#include "player/analysis/paint/CMeasureFigure.h"
#include "player/analysis/window/CFieldProblem.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// What the dialog chose; the default is the picture as shown, as a PNG.
struct FigureChoice {
    EFigureFormat eFormat = EFigureFormat::Png;
    bool bAsShown = true;               // the size on screen, at the screen's density
    sonavel::measure::FigureSize size;  // otherwise this
    bool bSelection = false;            // the selection and the cursors drawn too
};

class CSavePictureDlg : public QDialog {
    Q_OBJECT
public:
    // shown: the picture's size on screen (with its tiers); nTiers: the
    // tiers drawn under it; last: the choice made last time, if any.
    CSavePictureDlg(const QSize& shown, int nTiers, const FigureChoice& last, QWidget* pParent = nullptr);
    FigureChoice Choice() const;

private:
    sonavel::measure::FigureSize Size() const;
    void OnUnitChanged();
    void OnChanged();

    QSize m_shown;
    int m_nTiers;
    sonavel::measure::ESizeUnit m_eUnit = sonavel::measure::ESizeUnit::Pixels;
    QComboBox* m_pFormat;
    QDoubleSpinBox* m_pWidth;
    QDoubleSpinBox* m_pHeight;
    QComboBox* m_pUnit;
    QSpinBox* m_pDpi;
    QCheckBox* m_pSelection;
    QLabel* m_pPixels;
    CFieldProblem m_problem;
};
