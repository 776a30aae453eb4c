// The measuring view's layers: the waveform, intensity and formants the
// worker makes once per sound (and again when their settings change), and
// the View menu's items that show or hide each layer, kept in the profile.
#include "player/analysis/window/CMeasureView.h"

#include <QAction>
#include <QMenu>

#include "player/analysis/window/CMeasurePlot.h"

using namespace sonavel;

namespace {

struct LayerItem {
    const char* szName;
    const char* szText;
    QKeyCombination key;
    bool measure::MeasureLayers::*pbShown;
};

// Ctrl+Shift and a letter of the layer's name: plain letters stay free for typing.
const LayerItem kLayerItems[] = {
    {"showWaveform", "&Waveform", Qt::CTRL | Qt::SHIFT | Qt::Key_W, &measure::MeasureLayers::bWaveform},
    {"showSpectrogram", "Spectro&gram", Qt::CTRL | Qt::SHIFT | Qt::Key_G, &measure::MeasureLayers::bSpectrogram},
    {"showPitch", "P&itch", Qt::CTRL | Qt::SHIFT | Qt::Key_P, &measure::MeasureLayers::bPitch},
    {"showFormants", "&Formants", Qt::CTRL | Qt::SHIFT | Qt::Key_F, &measure::MeasureLayers::bFormants},
    {"showIntensity", "I&ntensity", Qt::CTRL | Qt::SHIFT | Qt::Key_I, &measure::MeasureLayers::bIntensity},
};

} // namespace

void CMeasureView::CreateLayerActions(QMenu* pView)
{
    for (const LayerItem& item : kLayerItems) {
        QAction* pAction = AddAction(pView, item.szName, QString::fromUtf8(item.szText), {QKeySequence(item.key)});
        pAction->setCheckable(true);
        pAction->setChecked(m_settings.layers.*item.pbShown);
        connect(pAction, &QAction::triggered, this, [this, pbShown = item.pbShown](bool bChecked) {
            measure::MeasureSettings s = m_settings;
            s.layers.*pbShown = bChecked;
            ApplySettings(s);
        });
    }
}

void CMeasureView::SyncLayerActions()
{
    for (const LayerItem& item : kLayerItems)
        if (QAction* pAction = Action(item.szName))
            pAction->setChecked(m_settings.layers.*item.pbShown);
}

void CMeasureView::RequestLayers()
{
    if (!m_pSound || !m_pWorker)
        return;
    m_pWorker->RequestLayers(m_pSound, m_settings.formants, m_settings.intensity, ++m_nLayerSerial);
}

void CMeasureView::OnLayers(const LayerResults& tracks)
{
    if (tracks.nSerial != m_nLayerSerial)
        return; // another sound, or the settings changed since
    m_model.SetWaveform(tracks.pWaveform);
    if (tracks.bIntensityDone)
        m_model.SetIntensity(tracks.pIntensity, tracks.nIntensity);
    if (tracks.bFormantsDone)
        m_model.SetFormants(tracks.pFormants, tracks.nFormants);
    UpdateTexts();
    m_pPlot->update();
    emit LayersShown();
}

// Called by ApplySettings before the settings change: the pitch axis at once,
// new tracks where their settings changed, the menu's checks.
void CMeasureView::ApplyLayerSettings(const measure::MeasureSettings& settings)
{
    const measure::MeasureSettings old = m_settings;
    m_settings = settings;
    m_model.SetPitchAxis(settings.pitchAxis);
    SyncLayerActions();
    const formants::FormantSettings& f = settings.formants;
    const intensity::IntensitySettings& i = settings.intensity;
    if (f.nFormants != old.formants.nFormants || f.dCeilingHz != old.formants.dCeilingHz
        || f.dStepS != old.formants.dStepS || i.dFloorHz != old.intensity.dFloorHz || i.dStepS != old.intensity.dStepS)
        RequestLayers();
}
