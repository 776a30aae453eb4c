// The measuring view's voice: Analysis > Voice Report (the selection's, else
// the whole sound's) in a panel of text the user can select and copy, and the
// glottal pulses the View menu's Pulses layer marks in the waveform panel.
// Both are made by the worker's threads; the panel says what it waits for.
#include "player/analysis/window/CMeasureView.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "player/analysis/measureview/VoiceText.h"
#include "player/analysis/window/CMeasurePlot.h"

using namespace sonavel;

void CMeasureView::CreateVoiceActions(QMenu* pAnalysis)
{
    pAnalysis->addSeparator();
    connect(AddAction(pAnalysis, "voiceReport", QString::fromUtf8("&Voice Report"),
                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)}),
            &QAction::triggered, this, &CMeasureView::OnVoiceReport);
}

void CMeasureView::ConnectVoice()
{
    m_pWorker->SetVoiceCallbacks(
        [this](std::shared_ptr<const voice::GlottalPulses> p, analysis::EOutcome nResult, unsigned nSerial) {
            QMetaObject::invokeMethod(this, [this, p, nResult, nSerial] { OnPulses(p, nResult, nSerial); },
                                      Qt::QueuedConnection);
        },
        [this](const VoiceResult& result) {
            QMetaObject::invokeMethod(this, [this, result] { OnVoiceReportDone(result); }, Qt::QueuedConnection);
        });
}

QPlainTextEdit* CMeasureView::VoicePanel()
{
    if (m_pVoiceText)
        return m_pVoiceText;
    auto* pPanel = new QDialog(this);
    pPanel->setObjectName(QStringLiteral("voiceReportPanel"));
    pPanel->setWindowTitle(QString::fromUtf8(measure::kszVoiceReportTitle));
    auto* pLayout = new QVBoxLayout(pPanel);
    m_pVoiceText = new QPlainTextEdit;
    m_pVoiceText->setObjectName(QStringLiteral("voiceReportText"));
    m_pVoiceText->setAccessibleName(QString::fromUtf8(measure::kszVoiceReportTitle));
    m_pVoiceText->setReadOnly(true);
    m_pVoiceText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_pVoiceText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pVoiceText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pLayout->addWidget(m_pVoiceText);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* pCopy = pButtons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    pCopy->setObjectName(QStringLiteral("voiceReportCopy"));
    connect(pCopy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_pVoiceText->toPlainText()); });
    connect(pButtons, &QDialogButtonBox::rejected, pPanel, &QDialog::close);
    pLayout->addWidget(pButtons);
    const QFontMetrics metrics(m_pVoiceText->font());
    pPanel->resize(metrics.horizontalAdvance(QLatin1Char('x')) * 80, metrics.lineSpacing() * 36);
    return m_pVoiceText;
}

void CMeasureView::OnVoiceReport()
{
    if (!m_pSound || !m_pWorker)
        return;
    // The selection, else the whole sound (0 .. 0).
    const bool bSelection = m_model.HasSelection();
    // Over the pitch range the view tracks in, where the user set one.
    voice::VoiceSettings settings = measure::ViewVoiceSettings(m_settings.pitch);
    settings.dStartS = bSelection ? m_model.SelectionStart() : 0;
    settings.dEndS = bSelection ? m_model.SelectionEnd() : 0;
    QPlainTextEdit* pText = VoicePanel();
    pText->setPlainText(QString::fromUtf8("Measuring the voice of %1\xE2\x80\xA6")
                            .arg(bSelection ? QStringLiteral("the selection") : QStringLiteral("the whole sound")));
    QWidget* pPanel = pText->window();
    pPanel->show();
    pPanel->raise();
    // The heading names the sound measured, whatever is shown when it comes.
    m_strVoiceName = m_strName;
    m_voiceAsked = settings;
    m_pWorker->RequestVoiceReport(m_pSound, settings, ++m_nVoiceSerial);
}

void CMeasureView::OnVoiceReportDone(const VoiceResult& result)
{
    if (result.nSerial != m_nVoiceSerial || !m_pVoiceText)
        return; // a newer report was asked for since
    const std::string strName = m_strVoiceName.toStdString();
    m_pVoiceText->setPlainText(
        QString::fromStdString(result.outcome.Done()
                                   ? measure::VoiceReportText(result.report, m_voiceAsked, strName)
                                   : analysis::DescribeOutcome(result.outcome, voice::kVoiceWords, strName)));
    emit VoiceReportShown();
}

void CMeasureView::RequestPulses()
{
    const voice::VoiceSettings settings = measure::ViewVoiceSettings(m_settings.pitch);
    if (!m_pSound || !m_pWorker
        || (m_pPulsesAsked == m_pSound && m_pulsesAsked.dFloorHz == settings.dFloorHz
            && m_pulsesAsked.dCeilingHz == settings.dCeilingHz))
        return;
    m_pPulsesAsked = m_pSound;
    m_pulsesAsked = settings;
    m_pWorker->RequestPulses(m_pSound, settings, ++m_nPulseSerial);
}

void CMeasureView::OnPulses(std::shared_ptr<const voice::GlottalPulses> pPulses, analysis::EOutcome nResult,
                            unsigned nSerial)
{
    if (nSerial != m_nPulseSerial)
        return;
    m_model.SetPulses(nResult == analysis::EOutcome::Done ? std::move(pPulses) : nullptr);
    m_pPlot->update();
    emit LayersShown();
}
