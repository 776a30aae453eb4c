#include "player/analysis/window/CMeasureView.h"

#include <QAction>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CSpanPlayer.h"
#include "player/analysis/window/CStatusText.h"
#include "player/analysis/window/Messages.h"

using namespace sonavel;

namespace {

const int kPlayTickMs = 30;           // the playback cursor's pace

} // namespace

CMeasureView::CMeasureView(QWidget* pParent) : QMainWindow(pParent)
{
    setObjectName(QStringLiteral("measureView"));
    // A window of its own even with a parent (the parent only takes it along).
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    m_pPlot = new CMeasurePlot(m_model);
    m_pPlot->setAccessibleName(QString::fromUtf8(measure::kszPictureName));
    m_pScrollBar = new QScrollBar(Qt::Horizontal);
    m_pScrollBar->setObjectName(QStringLiteral("timeScrollBar"));
    m_pScrollBar->setAccessibleName(QStringLiteral("Time shown"));
    // The arrows belong to the picture's keys, whoever has the focus.
    m_pScrollBar->setFocusPolicy(Qt::NoFocus);
    auto* pCentre = new QWidget;
    auto* pLayout = new QVBoxLayout(pCentre);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(m_pPlot, 1);
    pLayout->addWidget(m_pScrollBar);
    CreateTiers(pLayout);
    setCentralWidget(pCentre);

    // The pointer's readout and the cursor's (or the selection's) share the
    // line: where both do not fit, each gives way with an ellipsis.
    m_pReadout = new CStatusText;
    m_pReadout->setAccessibleName(QStringLiteral("Readout"));
    m_pSelection = new CStatusText;
    m_pSelection->setAccessibleName(QStringLiteral("Selection"));
    m_pSelection->setContentsMargins(12, 0, 0, 0);
    m_pNote = new QLabel;
    m_pNote->setAccessibleName(QStringLiteral("Note"));
    m_pNote->hide();
    statusBar()->setAccessibleName(QStringLiteral("Status"));
    statusBar()->addWidget(m_pNote);
    statusBar()->addWidget(m_pReadout, 1);
    statusBar()->addPermanentWidget(m_pSelection);

    CreateActions();
    connect(m_pPlot, &CMeasurePlot::SpanChanged, this, &CMeasureView::OnSpanChanged);
    connect(m_pPlot, &CMeasurePlot::Resized, this, &CMeasureView::RequestPicture);
    connect(m_pPlot, &CMeasurePlot::SelectionChanged, this, &CMeasureView::OnSelectionChanged);
    connect(m_pPlot, &CMeasurePlot::PointerMoved, this, &CMeasureView::OnPointer);
    connect(m_pPlot, &CMeasurePlot::PointerLeft, this, [this] { OnPointer(QPointF(-1, -1)); });
    connect(m_pScrollBar, &QScrollBar::valueChanged, this, [this](int nValue) {
        m_model.ScrollTo(nValue * ScrollUnit());
        OnSpanChanged();
    });
    m_playTimer.setInterval(kPlayTickMs);
    connect(&m_playTimer, &QTimer::timeout, this, &CMeasureView::OnPlayTick);

    m_pWorker = std::make_unique<CMeasureWorker>(
        [this](std::shared_ptr<const CMeasurePicture> p) {
            QMetaObject::invokeMethod(this, [this, p] { ShowPicture(p); }, Qt::QueuedConnection);
        },
        [this](std::shared_ptr<const pitch::PitchFrames> p, analysis::EOutcome nResult, unsigned nSerial) {
            QMetaObject::invokeMethod(this, [this, p, nResult, nSerial] { OnPitch(p, nResult, nSerial); },
                                      Qt::QueuedConnection);
        },
        [this](const LayerResults& tracks) {
            QMetaObject::invokeMethod(this, [this, tracks] { OnLayers(tracks); }, Qt::QueuedConnection);
        });
    ConnectVoice();

    setMinimumSize(640, 420);
    const QRect rcScreen = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    resize(std::min(1200, rcScreen.width() * 9 / 10), std::min(760, rcScreen.height() * 9 / 10));
    m_model.SetSound(0, 0);
    UpdateTexts();
    m_pPlot->setFocus();
}

CMeasureView::~CMeasureView()
{
    if (m_pPlayer && IsPlaying())
        m_pPlayer->StopSpan();
    m_pWorker.reset();
}

void CMeasureView::SetHeaderNote(const QString& strNote) { m_pPlot->SetHeaderNote(strNote); }

void CMeasureView::SetSound(std::shared_ptr<const CMeasureSound> pSound, const QString& strName, bool bKeepSpan)
{
    if (m_pPlayer && IsPlaying())
        m_pPlayer->StopSpan();
    const CMeasureModel kept = m_model;
    m_pSound = std::move(pSound);
    m_strName = strName;
    if (!bKeepSpan) {
        ShowNote(QString());
        m_pPlot->SetHeaderNote(QString());
    }
    m_model.SetSound(m_pSound ? m_pSound->Count() : 0, m_pSound ? m_pSound->Rate() : 0);
    m_model.SetSoundSamples(m_pSound);
    m_model.SetPitchAxis(m_settings.pitchAxis);
    if (!bKeepSpan)
        ForgetTiers();
    if (bKeepSpan) {
        m_model.SetSpan(kept.Start(), kept.End());
        if (kept.HasSelection())
            m_model.SetSelection(kept.SelectionStart(), kept.SelectionEnd());
        m_model.SetWaveformScale(kept.WaveformScale());
    }
    SyncLayerActions();
    m_pPlot->SetName(strName);
    m_pPlot->SetSettings(measure::FitToRate(m_settings, m_model.Rate()));
    ForgetPicturesAskedFor();
    UpdateTitle();
    RequestPitch();
    RequestLayers();
    OnSpanChanged();
    UpdateSlicePanel();
}

void CMeasureView::SetPlayer(CSpanPlayer* pPlayer)
{
    m_pPlayer = pPlayer;
    Action("play")->setEnabled(m_pPlayer != nullptr);
}

void CMeasureView::ShowSelected(double dStart, double dEnd)
{
    // A tenth of the span either side, so its edges are seen against what surrounds them.
    const double dMargin = (dEnd - dStart) / 10;
    m_model.SetSpan(dStart - dMargin, dEnd + dMargin);
    m_model.SetSelection(dStart, dEnd);
    OnSpanChanged();
    OnSelectionChanged();
}

void CMeasureView::RequestPicture()
{
    if (!m_pSound || !m_pWorker)
        return;
    const CMeasureLayout layout = m_pPlot->Layout();
    PictureRequest request;
    request.dStart = m_model.Start();
    request.dEnd = m_model.End();
    request.nPixels = static_cast<int>(std::lround(layout.PlotWidth() * m_pPlot->devicePixelRatioF()));
    request.settings = measure::FitToRate(m_settings, m_model.Rate()).spectrogram;
    // A rate the settings cannot serve (a broken header's few hertz) gets words, not a wait.
    const analysis::SettingRefusal refusal = spectrogram::CheckSettings(request.settings, m_model.Rate());
    m_pPlot->SetNoPicture(refusal ? QString::fromStdString("No spectrogram: " + refusal.strWhy) : QString());
    if (refusal)
        return;
    if (m_bRequested && request.dStart == m_lastRequest.dStart && request.dEnd == m_lastRequest.dEnd
        && request.nPixels == m_lastRequest.nPixels)
        return;
    request.nSerial = m_lastRequest.nSerial + 1;
    m_lastRequest = request;
    m_bRequested = true;
    m_pWorker->RequestPicture(m_pSound, request);
}

void CMeasureView::ForgetPicturesAskedFor()
{
    m_nFirstUsableSerial = m_lastRequest.nSerial + 1;
    m_bRequested = false;
    m_pPlot->SetPicture(nullptr);
}

void CMeasureView::RequestPitch()
{
    if (!m_pSound || !m_pWorker)
        return;
    m_model.SetTracking(m_settings.pitch);
    m_pWorker->RequestPitch(m_pSound, m_settings.pitch, ++m_nPitchSerial);
    m_pPlot->update();
}

void CMeasureView::ShowPicture(std::shared_ptr<const CMeasurePicture> pPicture)
{
    if (!pPicture || pPicture->request.nSerial < m_nFirstUsableSerial)
        return;
    const bool bNewest = pPicture->request.nSerial == m_lastRequest.nSerial;
    if (!bNewest) {
        // Nearer to what is shown than the picture on screen; a failure may
        // not be the newest request's.
        if (pPicture->strFailure.empty())
            m_pPlot->SetPicture(std::move(pPicture));
        return;
    }
    m_model.SetPictureFailure(pPicture->strFailure); // the header says it; the last picture stays
    if (pPicture->strFailure.empty())
        m_pPlot->SetPicture(std::move(pPicture));
    else
        m_pPlot->SetNoPicture(QString::fromStdString("No spectrogram: " + pPicture->strFailure));
    emit PictureShown();
}

void CMeasureView::OnPitch(std::shared_ptr<const pitch::PitchFrames> pFrames, analysis::EOutcome nResult,
                           unsigned nSerial)
{
    if (nSerial != m_nPitchSerial)
        return; // the settings changed since
    m_model.SetPitch(std::move(pFrames), nResult);
    UpdateTexts();
    m_pPlot->update();
    emit PitchShown();
}

void CMeasureView::OnSpanChanged()
{
    UpdateScrollBar();
    UpdateStrips();
    RequestPicture();
    UpdateTexts();
    m_pPlot->update();
}

void CMeasureView::OnSelectionChanged()
{
    UpdateTexts();
    UpdateSlicePanel();
    m_pPlot->update();
}

void CMeasureView::OnPointer(const QPointF& at)
{
    CMeasureModel::Readout readout;
    if (m_pPlot->ReadoutAt(at, readout))
        m_pReadout->setText(QString::fromStdString(measure::ReadoutText(readout)));
    else
        m_pReadout->setText(QString::fromUtf8("Drag to select \xC2\xB7 Space plays \xC2\xB7 + and \xE2\x88\x92 zoom "
                                           "\xC2\xB7 arrows scroll"));
}

void CMeasureView::MoveSelectionEdge(bool bEnd, double dFraction)
{
    const double dStep = dFraction * m_model.Span();
    if (!m_model.HasSelection()) {
        // The first step opens a selection at the middle of what is shown.
        const double dMiddle = (m_model.Start() + m_model.End()) / 2;
        m_model.SetSelection(dMiddle, dMiddle + std::abs(dStep));
    } else if (bEnd) {
        m_model.SetSelection(m_model.SelectionStart(), m_model.SelectionEnd() + dStep);
    } else {
        m_model.SetSelection(m_model.SelectionStart() + dStep, m_model.SelectionEnd());
    }
    OnSelectionChanged();
}

void CMeasureView::OnPlay()
{
    if (IsPlaying()) {
        m_pPlayer->StopSpan();
        OnPlayTick();
        return;
    }
    Play();
}

bool CMeasureView::Play()
{
    if (!m_pPlayer || !m_pSound)
        return false;
    const auto [nFirst, nEnd] = m_model.PlaySpan();
    if (!(nEnd > nFirst) || !m_pPlayer->PlaySpan(nFirst, nEnd))
        return false;
    Action("stop")->setEnabled(true);
    m_playTimer.start();
    OnPlayTick();
    return true;
}

void CMeasureView::SetPlaybackRunning(bool bRunning)
{
    Action("stop")->setEnabled(bRunning);
    // Another playback may have taken the sound from the view's.
    if (IsPlaying())
        OnPlayTick();
}

void CMeasureView::ShowNote(const QString& strNote)
{
    m_pNote->setText(strNote);
    m_pNote->setVisible(!strNote.isEmpty());
}

QString CMeasureView::Note() const { return m_pNote->text(); }

void CMeasureView::OnPlayTick()
{
    const int64_t nSample = m_pPlayer ? m_pPlayer->PlayingSample() : -1;
    if (nSample < 0) {
        m_playTimer.stop();
        m_pPlot->SetPlayTime(-1);
        return;
    }
    m_pPlot->SetPlayTime(static_cast<double>(nSample) / std::max(m_model.Rate(), 1));
}

double CMeasureView::ScrollUnit() const
{
    // A thousandth of the span, coarser only where an int could not count them.
    return std::max(m_model.Span() / 1000, m_model.Duration() / 1e9);
}

void CMeasureView::UpdateScrollBar()
{
    const double dUnit = ScrollUnit();
    const QSignalBlocker block(m_pScrollBar);
    m_pScrollBar->setRange(0, static_cast<int>(std::max(0.0, std::floor((m_model.Duration() - m_model.Span()) / dUnit + 0.5))));
    m_pScrollBar->setPageStep(static_cast<int>(m_model.Span() / dUnit));
    m_pScrollBar->setSingleStep(std::max(1, static_cast<int>(m_model.Span() * kArrowScroll / dUnit)));
    m_pScrollBar->setValue(static_cast<int>(std::lround(m_model.Start() / dUnit)));
}

void CMeasureView::UpdateTexts()
{
    m_pSelection->setText(QString::fromStdString(measure::SelectionText(m_model)));
    m_pPlot->setAccessibleDescription(QString::fromStdString(measure::PictureDescription(m_strName.toStdString(), m_model)));
    Action("savePitch")->setEnabled(m_model.Pitch() || m_model.Formants() || m_model.Intensity());
    Action("zoomSelection")->setEnabled(m_model.HasSelection());
    if (m_pReadout->text().isEmpty())
        OnPointer(QPointF(-1, -1));
}
