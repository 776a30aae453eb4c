#pragma once
// The measuring view's settings: the spectrogram's window length (wide- or
// narrow-band at a click), top frequency and dynamic range, the pitch tracker
// with its range, the pitch axis (fitted to the pitch shown, or fixed), the
// formant ceiling (found per file, or fixed), the intensity range the formant
// dots are drawn within, and the intensity floor. Every
// field takes whatever is typed: a value the view cannot take is said under
// the fields, naming the field, and OK stays grey until it is mended (a field
// that clamped its own value would change it behind the user's back). A
// window longer than the analysis takes at the sound's rate is noted.
//
// A modal dialog made, run and deleted by its caller on the UI thread; it owns its
// widgets.
#include <QDialog>

#include "player/analysis/measureview/MeasureSettings.h"
#include "player/analysis/window/CFieldProblem.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;

class CMeasureSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CMeasureSettingsDlg(const sonavel::measure::MeasureSettings& settings, int nRate, QWidget* pParent = nullptr);

    // The settings given, with the dialog's fields as they are now.
    sonavel::measure::MeasureSettings Settings() const;
    // Why the fields cannot be taken, naming the field; empty when they can.
    QString Problem() const;

private:
    void Show(const sonavel::measure::MeasureSettings& settings);
    void OnChanged();
    void OnFitPitchAxis(bool bFit);

    sonavel::measure::MeasureSettings m_given; // what the dialog has no field for comes back as it was
    int m_nRate;
    QDoubleSpinBox* m_pWindow;
    QDoubleSpinBox* m_pTop;
    QDoubleSpinBox* m_pRange;
    QComboBox* m_pTracker;
    QDoubleSpinBox* m_pFloor;
    QDoubleSpinBox* m_pCeiling;
    QCheckBox* m_pFitAxis;
    QDoubleSpinBox* m_pAxisLow;
    QDoubleSpinBox* m_pAxisHigh;
    QDoubleSpinBox* m_pFormantCeiling;
    QDoubleSpinBox* m_pFormantRange;
    QDoubleSpinBox* m_pIntensityFloor;
    CFieldProblem m_problem;
    QLabel* m_pNote; // the window held to the analysis' bound at this rate
};
