#include "player/analysis/window/CMeasureSettingsDlg.h"

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

QDoubleSpinBox* Spin(double lo, double hi, int nDecimals, const QString& strSuffix, const QString& strName)
{
    auto* p = new QDoubleSpinBox;
    p->setRange(lo, hi);
    p->setDecimals(nDecimals);
    p->setSuffix(strSuffix);
    p->setAccessibleName(strName);
    return p;
}

} // namespace

CMeasureSettingsDlg::CMeasureSettingsDlg(const measure::MeasureSettings& settings, int nRate, QWidget* pParent)
    : QDialog(pParent), m_nRate(nRate)
{
    setObjectName(QStringLiteral("measureSettings"));
    setWindowTitle(QStringLiteral("Measure Settings"));
    m_pWindow = Spin(spectrogram::kMinWindowS * 1000, spectrogram::kMaxWindowS * 1000, 1, QStringLiteral(" ms"),
                     QStringLiteral("Window length"));
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

    m_pTop = Spin(spectrogram::kMinFrequencyHz, std::max(nRate / 2.0, spectrogram::kMinFrequencyHz), 0,
                  QStringLiteral(" Hz"), QStringLiteral("Top frequency"));
    m_pRange = Spin(spectrogram::kMinDynamicRangeDb, spectrogram::kMaxDynamicRangeDb, 0, QStringLiteral(" dB"),
                    QStringLiteral("Dynamic range"));
    m_pTracker = new QComboBox;
    m_pTracker->setAccessibleName(QStringLiteral("Pitch tracker"));
    m_pTracker->addItem(QStringLiteral("Research tracker"), static_cast<int>(pitch::ETracker::Nccf));
    m_pTracker->addItem(QStringLiteral("AMDF (the player's own)"), static_cast<int>(pitch::ETracker::Amdf));
    m_pFloor = Spin(0, 2000, 0, QStringLiteral(" Hz"), QStringLiteral("Pitch floor"));
    m_pCeiling = Spin(0, 2000, 0, QStringLiteral(" Hz"), QStringLiteral("Pitch ceiling"));
    m_pFloor->setSpecialValueText(QStringLiteral("the tracker's own"));
    m_pCeiling->setSpecialValueText(QStringLiteral("the tracker's own"));

    // Each label names its field for the keyboard (Alt+letter) and a screen reader.
    auto* pForm = new QFormLayout;
    auto* pWindowLabel = new QLabel(QStringLiteral("Window &length:"));
    pWindowLabel->setBuddy(m_pWindow);
    pForm->addRow(pWindowLabel, pWindowRow);
    pForm->addRow(QStringLiteral("&Top frequency:"), m_pTop);
    pForm->addRow(QStringLiteral("&Dynamic range:"), m_pRange);
    pForm->addRow(QStringLiteral("Pitch trac&ker:"), m_pTracker);
    pForm->addRow(QStringLiteral("Pitch &floor:"), m_pFloor);
    pForm->addRow(QStringLiteral("Pitch &ceiling:"), m_pCeiling);

    m_pProblem = new QLabel;
    m_pProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_pNote = new QLabel;
    m_pNote->setWordWrap(true);
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pButtons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { Show(measure::FitToRate(measure::MeasureSettings(), m_nRate)); });

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pProblem);
    pLayout->addWidget(m_pNote);
    pLayout->addWidget(m_pButtons);

    Show(settings);
    for (QDoubleSpinBox* p : {m_pWindow, m_pTop, m_pRange, m_pFloor, m_pCeiling})
        connect(p, &QDoubleSpinBox::valueChanged, this, &CMeasureSettingsDlg::OnChanged);
    connect(m_pTracker, &QComboBox::currentIndexChanged, this, &CMeasureSettingsDlg::OnChanged);
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
}

measure::MeasureSettings CMeasureSettingsDlg::Settings() const
{
    measure::MeasureSettings s;
    s.spectrogram.dWindowS = m_pWindow->value() / 1000;
    s.spectrogram.dMaxFrequencyHz = m_pTop->value();
    s.spectrogram.dDynamicRangeDb = m_pRange->value();
    s.pitch.tracker = static_cast<pitch::ETracker>(m_pTracker->currentData().toInt());
    s.pitch.dFloorHz = m_pFloor->value();
    s.pitch.dCeilingHz = m_pCeiling->value();
    return s;
}

void CMeasureSettingsDlg::OnChanged()
{
    const std::string strWhy = measure::CheckSettings(Settings(), m_nRate);
    m_pProblem->setText(QString::fromStdString(strWhy));
    m_pProblem->setVisible(!strWhy.empty());
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(strWhy.empty());
    const std::string strHeld = measure::WindowHeld(Settings().spectrogram, m_nRate);
    m_pNote->setText(QString::fromStdString("At " + std::to_string(m_nRate) + " Hz the window is " + strHeld + "."));
    m_pNote->setVisible(!strHeld.empty());
}
