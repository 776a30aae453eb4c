// The measuring view's settings: read from the player's profile when the
// view is given one, written back whenever they change, and applied (a new
// picture, a new track where the pitch settings changed).
#include "player/analysis/window/CMeasureView.h"

#include <QSettings>

#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CMeasureSettingsDlg.h"

using namespace sonavel;

namespace {
const char kszGroup[] = "Measure";
// The highest rate a sound comes at: settings refused even there are nonsense.
const int kAnyRate = 2 * 96000;
} // namespace

void CMeasureView::SetProfile(const QString& strOrganisation, const QString& strApplication)
{
    m_strOrganisation = strOrganisation;
    m_strApplication = strApplication;
    ReadProfile();
}

void CMeasureView::ReadProfile()
{
    if (m_strApplication.isEmpty())
        return;
    QSettings profile(m_strOrganisation, m_strApplication);
    profile.beginGroup(QLatin1String(kszGroup));
    const measure::MeasureSettings defaults;
    measure::MeasureSettings s;
    s.spectrogram.dWindowS = profile.value("WindowLength", defaults.spectrogram.dWindowS).toDouble();
    s.spectrogram.dMaxFrequencyHz = profile.value("MaxFrequency", defaults.spectrogram.dMaxFrequencyHz).toDouble();
    s.spectrogram.dDynamicRangeDb = profile.value("DynamicRange", defaults.spectrogram.dDynamicRangeDb).toDouble();
    pitch::ETracker tracker = defaults.pitch.tracker;
    if (pitch::TrackerFromName(profile.value("Tracker").toString().toStdString(), tracker))
        s.pitch.tracker = tracker;
    s.pitch.dFloorHz = profile.value("PitchFloor", 0.0).toDouble();
    s.pitch.dCeilingHz = profile.value("PitchCeiling", 0.0).toDouble();
    s.layers.bWaveform = profile.value("ShowWaveform", defaults.layers.bWaveform).toBool();
    s.layers.bSpectrogram = profile.value("ShowSpectrogram", defaults.layers.bSpectrogram).toBool();
    s.layers.bPitch = profile.value("ShowPitch", defaults.layers.bPitch).toBool();
    s.layers.bFormants = profile.value("ShowFormants", defaults.layers.bFormants).toBool();
    s.layers.bIntensity = profile.value("ShowIntensity", defaults.layers.bIntensity).toBool();
    s.layers.bPulses = profile.value("ShowPulses", defaults.layers.bPulses).toBool();
    // The pitch axis (0 and 0: fitted to the pitch shown), the formant ceiling
    // (0: found per file) and the intensity floor.
    s.pitchAxis.dLowHz = profile.value("PitchAxisLow", defaults.pitchAxis.dLowHz).toDouble();
    s.pitchAxis.dHighHz = profile.value("PitchAxisHigh", defaults.pitchAxis.dHighHz).toDouble();
    s.formants.dCeilingHz = profile.value("FormantCeiling", defaults.formants.dCeilingHz).toDouble();
    s.dFormantRangeDb = profile.value("FormantRange", defaults.dFormantRangeDb).toDouble();
    s.intensity.dFloorHz = profile.value("IntensityFloor", defaults.intensity.dFloorHz).toDouble();
    // A profile edited by hand (or by another version) cannot break the view:
    // what does not hold for the highest rate there is falls back to the defaults.
    if (measure::CheckSettings(s, kAnyRate))
        s = defaults;
    m_settings = s;
    m_pPlot->SetSettings(measure::FitToRate(m_settings, m_model.Rate()));
    SyncLayerActions();
}

void CMeasureView::WriteProfile()
{
    if (m_strApplication.isEmpty())
        return;
    QSettings profile(m_strOrganisation, m_strApplication);
    profile.beginGroup(QLatin1String(kszGroup));
    profile.setValue("WindowLength", m_settings.spectrogram.dWindowS);
    profile.setValue("MaxFrequency", m_settings.spectrogram.dMaxFrequencyHz);
    profile.setValue("DynamicRange", m_settings.spectrogram.dDynamicRangeDb);
    profile.setValue("Tracker", QString::fromLatin1(pitch::TrackerName(m_settings.pitch.tracker)));
    profile.setValue("PitchFloor", m_settings.pitch.dFloorHz);
    profile.setValue("PitchCeiling", m_settings.pitch.dCeilingHz);
    profile.setValue("ShowWaveform", m_settings.layers.bWaveform);
    profile.setValue("ShowSpectrogram", m_settings.layers.bSpectrogram);
    profile.setValue("ShowPitch", m_settings.layers.bPitch);
    profile.setValue("ShowFormants", m_settings.layers.bFormants);
    profile.setValue("ShowIntensity", m_settings.layers.bIntensity);
    profile.setValue("ShowPulses", m_settings.layers.bPulses);
    profile.setValue("PitchAxisLow", m_settings.pitchAxis.dLowHz);
    profile.setValue("PitchAxisHigh", m_settings.pitchAxis.dHighHz);
    profile.setValue("FormantCeiling", m_settings.formants.dCeilingHz);
    profile.setValue("FormantRange", m_settings.dFormantRangeDb);
    profile.setValue("IntensityFloor", m_settings.intensity.dFloorHz);
    profile.endGroup();
    profile.sync(); // a killed player keeps what the user chose
}

void CMeasureView::ApplySettings(const measure::MeasureSettings& settings)
{
    if (measure::CheckSettings(settings, std::max(m_model.Rate(), kAnyRate)))
        return;
    const bool bPitch = settings.pitch.tracker != m_settings.pitch.tracker
                        || settings.pitch.dFloorHz != m_settings.pitch.dFloorHz
                        || settings.pitch.dCeilingHz != m_settings.pitch.dCeilingHz;
    const bool bColumns = !spectrogram::SameColumns(measure::FitToRate(settings, m_model.Rate()).spectrogram,
                                                    measure::FitToRate(m_settings, m_model.Rate()).spectrogram);
    ApplyLayerSettings(settings);
    m_settings = settings;
    WriteProfile();
    m_pPlot->SetSettings(measure::FitToRate(m_settings, m_model.Rate()));
    if (bColumns)
        ForgetPicturesAskedFor();
    m_bRequested = false;
    if (bPitch)
        RequestPitch();
    RequestPicture();
    UpdateTexts();
    UpdateSlicePanel(); // the spectrogram's window is the slice's
}

void CMeasureView::OnSettings()
{
    // Without a sound the settings are checked for the highest rate there is.
    CMeasureSettingsDlg dlg(m_settings, m_model.Rate() > 0 ? m_model.Rate() : kAnyRate, this);
    if (dlg.exec() == QDialog::Accepted)
        ApplySettings(dlg.Settings());
}
