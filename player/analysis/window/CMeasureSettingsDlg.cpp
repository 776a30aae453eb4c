#include "player/analysis/window/CMeasureSettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace sonavel;

namespace {

// Far above anything the view takes, so a field never clamps (or refuses the
// last digit of) what is typed: CheckSettings says what is wrong with it.
constexpr double kFieldMaxHz = 1e6;
constexpr double kFieldMaxMs = 1e4;
constexpr double kFieldMaxDb = 1e4;

QDoubleSpinBox* Spin(double hi, int nDecimals, const QString& strSuffix, const QString& strName)
{
    auto* p = new QDoubleSpinBox;
    p->setRange(0, hi);
    p->setDecimals(nDecimals);
    p->setSuffix(strSuffix);
    p->setAccessibleName(strName);
    return p;
}

QLabel* Label(const QString& strText, QWidget* pBuddy)
{
    auto* p = new QLabel(strText);
    p->setBuddy(pBuddy);
    return p;
}

} // namespace

CMeasureSettingsDlg::CMeasureSettingsDlg(const measure::MeasureSettings& settings, int nRate, QWidget* pParent)
    : QDialog(pParent), m_given(settings), m_nRate(nRate), m_problem(this, QStringLiteral("settingsProblem"), QDialogButtonBox::RestoreDefaults)
{
    setObjectName(QStringLiteral("measureSettings"));
    setWindowTitle(QStringLiteral("Measure Settings"));
    const QString strHz = QStringLiteral(" Hz");
    m_pWindow = Spin(kFieldMaxMs, 1, QStringLiteral(" ms"), QStringLiteral("Window length"));
    auto* pWide = new QPushButton(QStringLiteral("&Wide-band"));
    auto* pNarrow = new QPushButton(QStringLiteral("&Narrow-band"));
    pWide->setAutoDefault(false);
    pNarrow->setAutoDefault(false);
    connect(pWide, &QPushButton::clicked, this, [this] { m_pWindow->setValue(measure::kWideBandWindowS * 1000); });
    connect(pNarrow, &QPushButton::clicked, this, [this] { m_pWindow->setValue(measure::kNarrowBandWindowS * 1000); });
    auto* pWindowRow = new QHBoxLayout;
    pWindowRow->addWidget(m_pWindow, 1);
    pWindowRow->addWidget(pWide);
    pWindowRow->addWidget(pNarrow);

    m_pTop = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Top frequency"));
    m_pRange = Spin(kFieldMaxDb, 0, QStringLiteral(" dB"), QStringLiteral("Dynamic range"));
    m_pTracker = new QComboBox;
    m_pTracker->setAccessibleName(QStringLiteral("Pitch tracker"));
    m_pTracker->addItem(QStringLiteral("Research tracker"), static_cast<int>(pitch::ETracker::Nccf));
    m_pTracker->addItem(QStringLiteral("AMDF (the player's own)"), static_cast<int>(pitch::ETracker::Amdf));
    m_pFloor = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Pitch floor"));
    m_pCeiling = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Pitch ceiling"));
    m_pFloor->setSpecialValueText(QStringLiteral("the tracker's own"));
    m_pCeiling->setSpecialValueText(QStringLiteral("the tracker's own"));

    m_pFitAxis = new QCheckBox(QStringLiteral("Fit to the pitch &shown"));
    m_pFitAxis->setObjectName(QStringLiteral("fitPitchAxis"));
    m_pAxisLow = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Pitch axis from"));
    m_pAxisHigh = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Pitch axis to"));
    auto* pAxisRow = new QHBoxLayout;
    pAxisRow->addWidget(m_pFitAxis);
    pAxisRow->addWidget(m_pAxisLow, 1);
    pAxisRow->addWidget(new QLabel(QStringLiteral("to")));
    pAxisRow->addWidget(m_pAxisHigh, 1);
    m_pFormantCeiling = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Formant ceiling"));
    m_pFormantCeiling->setSpecialValueText(QStringLiteral("found per file"));
    m_pFormantRange = Spin(kFieldMaxDb, 0, QStringLiteral(" dB"), QStringLiteral("Formants' dynamic range"));
    m_pIntensityFloor = Spin(kFieldMaxHz, 0, strHz, QStringLiteral("Intensity floor"));

    // Each label names its field for the keyboard (Alt+letter) and a screen reader.
    auto* pForm = new QFormLayout;
    pForm->addRow(Label(QStringLiteral("Window &length:"), m_pWindow), pWindowRow);
    pForm->addRow(QStringLiteral("&Top frequency:"), m_pTop);
    pForm->addRow(QStringLiteral("&Dynamic range:"), m_pRange);
    pForm->addRow(QStringLiteral("Pitch trac&ker:"), m_pTracker);
    pForm->addRow(QStringLiteral("Pitch &floor:"), m_pFloor);
    pForm->addRow(QStringLiteral("Pitch &ceiling:"), m_pCeiling);
    pForm->addRow(Label(QStringLiteral("Pitch a&xis:"), m_pAxisLow), pAxisRow);
    pForm->addRow(QStringLiteral("F&ormant ceiling:"), m_pFormantCeiling);
    pForm->addRow(QStringLiteral("Formants' d&ynamic range:"), m_pFormantRange);
    pForm->addRow(QStringLiteral("&Intensity floor:"), m_pIntensityFloor);

    m_pNote = new QLabel;
    m_pNote->setWordWrap(true);
    connect(m_problem.Buttons()->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { Show(measure::FitToRate(measure::MeasureSettings(), m_nRate)); });

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_problem.Line());
    pLayout->addWidget(m_pNote);
    pLayout->addWidget(m_problem.Buttons());

    // The top frequency as the view shows it: at most half this sound's rate.
    Show(measure::FitToRate(settings, m_nRate));
    for (QDoubleSpinBox* p : {m_pWindow, m_pTop, m_pRange, m_pFloor, m_pCeiling, m_pAxisLow, m_pAxisHigh,
                              m_pFormantCeiling, m_pFormantRange, m_pIntensityFloor})
        connect(p, &QDoubleSpinBox::valueChanged, this, &CMeasureSettingsDlg::OnChanged);
    connect(m_pTracker, &QComboBox::currentIndexChanged, this, &CMeasureSettingsDlg::OnChanged);
    connect(m_pFitAxis, &QCheckBox::toggled, this, &CMeasureSettingsDlg::OnFitPitchAxis);
    OnChanged();
}

void CMeasureSettingsDlg::Show(const measure::MeasureSettings& s)
{
    m_pWindow->setValue(s.spectrogram.dWindowS * 1000);
    m_pTop->setValue(s.spectrogram.dMaxFrequencyHz);
    m_pRange->setValue(s.spectrogram.dDynamicRangeDb);
    m_pTracker->setCurrentIndex(std::max(0, m_pTracker->findData(static_cast<int>(s.pitch.tracker))));
    m_pFloor->setValue(s.pitch.dFloorHz);
    m_pCeiling->setValue(s.pitch.dCeilingHz);
    m_pAxisLow->setValue(s.pitchAxis.dLowHz);
    m_pAxisHigh->setValue(s.pitchAxis.dHighHz);
    m_pFitAxis->setChecked(s.pitchAxis.Fitted());
    m_pAxisLow->setEnabled(!s.pitchAxis.Fitted());
    m_pAxisHigh->setEnabled(!s.pitchAxis.Fitted());
    m_pFormantCeiling->setValue(s.formants.dCeilingHz);
    m_pFormantRange->setValue(s.dFormantRangeDb);
    m_pIntensityFloor->setValue(s.intensity.dFloorHz);
}

void CMeasureSettingsDlg::OnFitPitchAxis(bool bFit)
{
    m_pAxisLow->setEnabled(!bFit);
    m_pAxisHigh->setEnabled(!bFit);
    // A fixed axis starts from the range the tracker searches.
    if (!bFit && m_pAxisLow->value() <= 0 && m_pAxisHigh->value() <= 0) {
        const measure::PitchRange range = measure::SearchRange(Settings().pitch);
        m_pAxisLow->setValue(range.dLowHz);
        m_pAxisHigh->setValue(range.dHighHz);
    }
    OnChanged();
}

measure::MeasureSettings CMeasureSettingsDlg::Settings() const
{
    measure::MeasureSettings s = m_given;
    s.spectrogram.dWindowS = m_pWindow->value() / 1000;
    s.spectrogram.dMaxFrequencyHz = m_pTop->value();
    s.spectrogram.dDynamicRangeDb = m_pRange->value();
    s.pitch.tracker = static_cast<pitch::ETracker>(m_pTracker->currentData().toInt());
    s.pitch.dFloorHz = m_pFloor->value();
    s.pitch.dCeilingHz = m_pCeiling->value();
    s.pitchAxis = m_pFitAxis->isChecked() ? measure::PitchAxis() : measure::PitchAxis{m_pAxisLow->value(), m_pAxisHigh->value()};
    s.formants.dCeilingHz = m_pFormantCeiling->value();
    s.dFormantRangeDb = m_pFormantRange->value();
    s.intensity.dFloorHz = m_pIntensityFloor->value();
    return s;
}

QString CMeasureSettingsDlg::Problem() const
{
    const analysis::SettingRefusal refusal = measure::CheckSettings(Settings(), m_nRate);
    if (!refusal)
        return QString();
    QString str = QString::fromStdString(refusal.strWhy);
    if (!str.isEmpty())
        str[0] = str[0].toUpper();
    return str + QLatin1Char('.');
}

void CMeasureSettingsDlg::OnChanged()
{
    const QString strProblem = Problem();
    m_problem.Show(strProblem);
    const std::string strHeld = measure::WindowHeld(Settings().spectrogram, m_nRate);
    m_pNote->setText(QString::fromStdString("At " + std::to_string(m_nRate) + " Hz the window is " + strHeld + "."));
    m_pNote->setVisible(!strHeld.empty());
}
