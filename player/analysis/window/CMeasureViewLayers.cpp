// The measuring view's layers: the waveform, intensity and formants the
// worker makes once per sound (and again when their settings change), and
// the View menu's items that show or hide each layer, kept in the profile.
#include "player/analysis/window/CMeasureView.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <algorithm>
#include <cmath>

#include "player/analysis/window/CMeasurePlot.h"

using namespace sonavel;

namespace {

struct LayerItem {
    const char* szName;
    const char* szText;
    QKeyCombination key;
    bool measure::MeasureLayers::*pbShown;
};

// The preview's columns where the plot is not laid out yet (the view opens at 1200 px).
constexpr int kLeastPreviewColumns = 1024;

// Ctrl+Shift and a letter of the layer's name: plain letters stay free for typing.
const LayerItem kLayerItems[] = {
    {"showWaveform", "&Waveform", Qt::CTRL | Qt::SHIFT | Qt::Key_W, &measure::MeasureLayers::bWaveform},
    {"showSpectrogram", "Spectro&gram", Qt::CTRL | Qt::SHIFT | Qt::Key_G, &measure::MeasureLayers::bSpectrogram},
    {"showPitch", "P&itch", Qt::CTRL | Qt::SHIFT | Qt::Key_P, &measure::MeasureLayers::bPitch},
    {"showFormants", "&Formants", Qt::CTRL | Qt::SHIFT | Qt::Key_F, &measure::MeasureLayers::bFormants},
    {"showIntensity", "I&ntensity", Qt::CTRL | Qt::SHIFT | Qt::Key_I, &measure::MeasureLayers::bIntensity},
    {"showPulses", "P&ulses", Qt::CTRL | Qt::SHIFT | Qt::Key_U, &measure::MeasureLayers::bPulses},
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

void CMeasureView::CreateWaveformScaleActions(QMenu* pView)
{
    // The waveform's axis, per sound: a quiet sound starts fitted, any
    // other at full scale, until one of these is chosen.
    auto* pGroup = new QActionGroup(this);
    const struct {
        const char* szName;
        const char* szText;
        QKeyCombination key;
        CMeasureModel::EWaveformScale eScale;
    } kItems[] = {
        {"waveformFixed", "Waveform A&xis Fixed at \xC2\xB1" "1", Qt::CTRL | Qt::SHIFT | Qt::Key_X,
         CMeasureModel::EWaveformScale::Fixed},
        {"waveformFitted", "Waveform Axis Fitted to the &Loudest Sample", Qt::CTRL | Qt::SHIFT | Qt::Key_L,
         CMeasureModel::EWaveformScale::Fitted},
    };
    for (const auto& item : kItems) {
        QAction* pAction = AddAction(pView, item.szName, QString::fromUtf8(item.szText), {QKeySequence(item.key)});
        pAction->setCheckable(true);
        pGroup->addAction(pAction);
        connect(pAction, &QAction::triggered, this, [this, eScale = item.eScale] {
            m_model.SetWaveformScale(eScale);
            SyncLayerActions();
            m_pPlot->update();
        });
    }
}

void CMeasureView::SyncLayerActions()
{
    for (const LayerItem& item : kLayerItems)
        if (QAction* pAction = Action(item.szName))
            pAction->setChecked(m_settings.layers.*item.pbShown);
    // The axis in effect: chosen, or the sound's own once its peak is known.
    const bool bFitted = m_model.WaveformFitted();
    if (QAction* pAction = Action(bFitted ? "waveformFitted" : "waveformFixed"))
        pAction->setChecked(true);
}

void CMeasureView::RequestLayers()
{
    if (!m_pSound || !m_pWorker)
        return;
    // The formants of a picture as wide as the screen come first (of an
    // hour, within a second), then the whole track.
    const int nColumns = static_cast<int>(std::lround(m_pPlot->Layout().PlotWidth() * m_pPlot->devicePixelRatioF()));
    m_pWorker->RequestLayers(m_pSound, m_settings.formants, m_settings.intensity, ++m_nLayerSerial,
                             std::max(nColumns, kLeastPreviewColumns));
    if (m_settings.layers.bPulses)
        RequestPulses();
}

void CMeasureView::OnLayers(const LayerResults& tracks)
{
    if (tracks.nSerial != m_nLayerSerial)
        return; // another sound, or the settings changed since
    m_model.SetWaveform(tracks.pWaveform);
    m_model.SetFormantPreview(tracks.pFormantPreview);
    if (tracks.bIntensityDone)
        m_model.SetIntensity(tracks.pIntensity, tracks.nIntensity);
    if (tracks.bFormantsDone)
        m_model.SetFormants(tracks.pFormants, tracks.nFormants);
    UpdateTexts();
    if (tracks.bFormantsDone)
        UpdateSlicePanel(); // its envelope under the ceiling the formants were found under
    SyncLayerActions();
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
    else if (settings.layers.bPulses)
        RequestPulses();
}
