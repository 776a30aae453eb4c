#pragma once
// The measuring view's settings: the spectrogram's window length (wide- or
// narrow-band at a click), top frequency and dynamic range, and the pitch
// tracker with its range. OK stays grey while the values do not fit the sound;
// a window longer than the analysis takes at the sound's rate is noted.
#include <QDialog>

#include "player/analysis/measure/MeasureSettings.h"

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;

class CMeasureSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CMeasureSettingsDlg(const sonavel::measure::MeasureSettings& settings, int nRate, QWidget* pParent = nullptr);

    sonavel::measure::MeasureSettings Settings() const;

private:
    void Show(const sonavel::measure::MeasureSettings& settings);
    void OnChanged();

    int m_nRate;
    QDoubleSpinBox* m_pWindow;
    QDoubleSpinBox* m_pTop;
    QDoubleSpinBox* m_pRange;
    QComboBox* m_pTracker;
    QDoubleSpinBox* m_pFloor;
    QDoubleSpinBox* m_pCeiling;
    QLabel* m_pProblem;
    QLabel* m_pNote; // the window held to the analysis' bound at this rate
    QDialogButtonBox* m_pButtons;
};
