#include "player/analysis/window/CSavePictureDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using sonavel::measure::ESizeUnit;
using sonavel::measure::FigureSize;

namespace {

struct UnitItem {
    ESizeUnit eUnit;
    const char* szName;
    double dPerInch; // 0: pixels, at the resolution
    int nDecimals;
};

const UnitItem kUnits[] = {
    {ESizeUnit::Pixels, "pixels", 0, 0},
    {ESizeUnit::Centimetres, "cm", 2.54, 2},
    {ESizeUnit::Millimetres, "mm", 25.4, 1},
    {ESizeUnit::Inches, "in", 1, 2},
};

const char* const kszFormats[] = {"PNG image", "JPEG image", "SVG drawing", "PDF document"};
const EFigureFormat kFormats[] = {EFigureFormat::Png, EFigureFormat::Jpeg, EFigureFormat::Svg, EFigureFormat::Pdf};

const UnitItem& Unit(ESizeUnit eUnit)
{
    for (const UnitItem& u : kUnits)
        if (u.eUnit == eUnit)
            return u;
    return kUnits[0];
}

QDoubleSpinBox* Side(const QString& strName)
{
    auto* p = new QDoubleSpinBox;
    // Far beyond the bounds, so a typed side is never clamped behind the user's back.
    p->setRange(0, 1000000);
    p->setAccessibleName(strName);
    return p;
}

} // namespace

CSavePictureDlg::CSavePictureDlg(const QSize& shown, int nTiers, const FigureChoice& last, QWidget* pParent)
    : QDialog(pParent), m_shown(shown), m_nTiers(nTiers), m_problem(this, QStringLiteral("problem"))
{
    setObjectName(QStringLiteral("savePicture"));
    setWindowTitle(QStringLiteral("Save Picture"));
    m_pFormat = new QComboBox;
    m_pFormat->setObjectName(QStringLiteral("format"));
    m_pFormat->setAccessibleName(QStringLiteral("Format"));
    for (const char* sz : kszFormats)
        m_pFormat->addItem(QString::fromUtf8(sz));
    m_pWidth = Side(QStringLiteral("Picture width"));
    m_pHeight = Side(QStringLiteral("Picture height"));
    m_pUnit = new QComboBox;
    m_pUnit->setObjectName(QStringLiteral("unit"));
    m_pUnit->setAccessibleName(QStringLiteral("Unit"));
    for (const UnitItem& u : kUnits)
        m_pUnit->addItem(QString::fromUtf8(u.szName));
    m_pDpi = new QSpinBox;
    m_pDpi->setObjectName(QStringLiteral("dpi"));
    m_pDpi->setAccessibleName(QStringLiteral("Resolution"));
    m_pDpi->setRange(0, 1000000);
    m_pDpi->setSuffix(QStringLiteral(" dpi"));
    m_pSelection = new QCheckBox(QStringLiteral("Include &selection"));
    m_pSelection->setObjectName(QStringLiteral("includeSelection"));
    m_pSelection->setToolTip(QStringLiteral("Draw the selection, the cursor and the playback cursor as the view shows them"));
    m_pPixels = new QLabel;
    m_pPixels->setObjectName(QStringLiteral("pixels"));

    auto* pSize = new QHBoxLayout;
    pSize->addWidget(m_pWidth);
    pSize->addWidget(new QLabel(QString::fromUtf8("\xC3\x97")));
    pSize->addWidget(m_pHeight);
    pSize->addWidget(m_pUnit);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("&Format:"), m_pFormat);
    pForm->addRow(QStringLiteral("&Size:"), pSize);
    pForm->addRow(QStringLiteral("&Resolution:"), m_pDpi);
    pForm->addRow(QString(), m_pPixels);
    static_cast<QLabel*>(pForm->labelForField(pSize))->setBuddy(m_pWidth);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pSelection);
    pLayout->addWidget(m_problem.Line());
    pLayout->addWidget(m_problem.Buttons());

    // The last choice again, or the picture as shown.
    const FigureSize size = last.bAsShown ? FigureSize{double(shown.width()), double(shown.height()), ESizeUnit::Pixels, 0}
                                          : last.size;
    for (int i = 0; i < 4; ++i)
        if (kFormats[i] == last.eFormat)
            m_pFormat->setCurrentIndex(i);
    m_eUnit = size.eUnit;
    m_pUnit->setCurrentIndex(static_cast<int>(&Unit(size.eUnit) - kUnits));
    m_pWidth->setDecimals(Unit(m_eUnit).nDecimals);
    m_pHeight->setDecimals(Unit(m_eUnit).nDecimals);
    m_pWidth->setValue(size.dWidth);
    m_pHeight->setValue(size.dHeight);
    m_pDpi->setValue(static_cast<int>(size.Dpi()));
    m_pSelection->setChecked(last.bSelection);
    connect(m_pUnit, &QComboBox::currentIndexChanged, this, &CSavePictureDlg::OnUnitChanged);
    for (QDoubleSpinBox* p : {m_pWidth, m_pHeight})
        connect(p, &QDoubleSpinBox::valueChanged, this, &CSavePictureDlg::OnChanged);
    connect(m_pDpi, &QSpinBox::valueChanged, this, &CSavePictureDlg::OnChanged);
    OnChanged();
}

FigureSize CSavePictureDlg::Size() const
{
    FigureSize size;
    size.dWidth = m_pWidth->value();
    size.dHeight = m_pHeight->value();
    size.eUnit = m_eUnit;
    size.dDpi = m_pDpi->value();
    return size;
}

FigureChoice CSavePictureDlg::Choice() const
{
    FigureChoice choice;
    choice.eFormat = kFormats[std::clamp(m_pFormat->currentIndex(), 0, 3)];
    choice.size = Size();
    // Untouched, the picture is saved as it is on screen (at the screen's density).
    choice.bAsShown = choice.size.eUnit == ESizeUnit::Pixels && choice.size.PixelWidth() == m_shown.width()
                      && choice.size.PixelHeight() == m_shown.height() && choice.size.Dpi() == FigureSize::kLayoutDpi;
    choice.bSelection = m_pSelection->isChecked();
    return choice;
}

void CSavePictureDlg::OnUnitChanged()
{
    // The size on paper stays: pixels go to and from inches at the resolution.
    const UnitItem& from = Unit(m_eUnit);
    const UnitItem& to = kUnits[std::clamp(m_pUnit->currentIndex(), 0, 3)];
    const double dDpi = std::max(1, m_pDpi->value());
    const double dFromInch = from.dPerInch > 0 ? from.dPerInch : dDpi;
    const double dToInch = to.dPerInch > 0 ? to.dPerInch : dDpi;
    const double w = m_pWidth->value() / dFromInch * dToInch, h = m_pHeight->value() / dFromInch * dToInch;
    m_eUnit = to.eUnit;
    const QSignalBlocker blockWidth(m_pWidth), blockHeight(m_pHeight);
    for (QDoubleSpinBox* p : {m_pWidth, m_pHeight})
        p->setDecimals(to.nDecimals);
    m_pWidth->setValue(w);
    m_pHeight->setValue(h);
    OnChanged();
}

void CSavePictureDlg::OnChanged()
{
    const FigureSize size = Size();
    const std::string strWhy = CMeasureFigure::Check(size, m_nTiers);
    m_pPixels->setText(QString::fromStdString(sonavel::measure::DescribeFigureSize(size)));
    QString strProblem = QString::fromStdString(strWhy);
    if (!strProblem.isEmpty())
        strProblem[0] = strProblem[0].toUpper();
    m_problem.Show(strProblem);
}
