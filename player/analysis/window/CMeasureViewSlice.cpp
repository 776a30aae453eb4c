// The measuring view's spectral slice at the cursor, and its selection saved
// as a sound.
#include "player/analysis/window/CMeasureView.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <new>

#include "common/OutputFile.h"
#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/measureview/CMeasureSound.h"
#include "player/audio/WaveWriter.h"
#include "player/analysis/window/CSpectralSlicePanel.h"
#include "player/analysis/window/Messages.h"

using namespace sonavel;

namespace {
// The slice's envelope is found on one thread: the user-interface thread
// waits for one short frame only once the ceiling is known.
const int kSliceThreads = 1;
} // namespace

CSpectralSlicePanel* CMeasureView::SlicePanel() const { return m_pSlicePanel.data(); }

double CMeasureView::SliceTime() const
{
    if (m_model.HasCursor())
        return m_model.Cursor();
    if (m_model.HasSelection())
        return (m_model.SelectionStart() + m_model.SelectionEnd()) / 2;
    return (m_model.Start() + m_model.End()) / 2;
}

void CMeasureView::OnSpectralSlice()
{
    if (!m_pSlicePanel) {
        m_pSlicePanel = new CSpectralSlicePanel(this);
        // The view's keys work from the slice's window too (Ctrl+2 narrows both).
        m_pSlicePanel->addActions(actions());
    }
    m_pSlicePanel->show();
    m_pSlicePanel->raise();
    UpdateSlicePanel();
}

void CMeasureView::UpdateSlicePanel()
{
    if (!m_pSlicePanel || !m_pSlicePanel->isVisible())
        return;
    if (!m_pSound || m_pSound->Count() == 0 || !m_pSound->HoldsAll() || m_pSound->Count() > INT32_MAX) {
        m_pSlicePanel->ShowNothing(QStringLiteral("No sound to take a slice of"));
        return;
    }
    slice::SliceSettings settings;
    settings.dTimeS = SliceTime();
    // The window the spectrogram shows (wide- or narrow-band), and the
    // formants' settings and ceiling the formant layer uses.
    const measure::MeasureSettings fitted = measure::FitToRate(m_settings, m_pSound->Rate());
    settings.dWindowS = fitted.spectrogram.dWindowS;
    settings.bEnvelope = true;
    settings.formants = m_settings.formants;
    // The preview's ceiling is the whole track's (found once per sound), so
    // the slice need not seek it again on this thread.
    if (const formants::FormantFrames* pFormants = m_model.FormantsShown(); pFormants && pFormants->dCeilingHz > 0)
        settings.formants.dCeilingHz = pFormants->dCeilingHz;
    const int nCount = static_cast<int>(m_pSound->Count());
    const CMemorySamples samples(m_pSound->HeldSamples(), nCount);
    slice::SpectralSlice result;
    analysis::SoundOutcome outcome;
    try {
        outcome = slice::SliceSound(analysis::CSoundInput::Samples(samples, nCount, m_pSound->Rate()), settings,
                                    kSliceThreads, result);
    } catch (const std::bad_alloc&) {
        outcome.nOutcome = analysis::EOutcome::NoMemory;
    }
    if (!outcome.Done()) {
        m_pSlicePanel->ShowNothing(
            QString::fromStdString(analysis::DescribeOutcome(outcome, slice::kSliceWords, m_strName.toStdString())));
        return;
    }
    m_pSlicePanel->ShowSlice(result, settings.dTimeS, settings.dWindowS, fitted.spectrogram.dMaxFrequencyHz);
}

bool CMeasureView::WriteSelectionSound(const QString& strPath, QString* pstrWhy) const
{
    const auto Fail = [&](const std::string& strWhy) {
        if (pstrWhy)
            *pstrWhy = QString::fromStdString(strWhy);
        return false;
    };
    const std::string strFile = QFile::encodeName(strPath).toStdString();
    if (!m_pSound || !m_pSound->HoldsAll() || m_pSound->Count() == 0)
        return Fail("cannot write " + strFile + ": there is no sound to save");
    // The sound's own file would lose all but the selection.
    const FileStamp own = StampOf(m_strSoundFile), target = StampOf(strPath);
    if (!m_strSoundFile.isEmpty() && own.bKnown && target.bKnown && own.nDevice == target.nDevice
        && own.nInode == target.nInode)
        return Fail("cannot write " + strFile + ": it is the sound's own file");
    const auto [nFirst, nEnd] =
        m_model.HasSelection()
            ? audio::SamplesOfSpan(m_model.SelectionStart(), m_model.SelectionEnd(), m_pSound->Rate(), m_pSound->Count())
            : std::pair<int64_t, int64_t>(0, m_pSound->Count());
    if (nEnd <= nFirst)
        return Fail("cannot write " + strFile + ": the selection holds no sample");
    int nErrno = 0;
    if (!audio::SaveWaveFile(strFile, m_pSound->HeldSamples() + nFirst, nEnd - nFirst, m_pSound->Rate(), nErrno))
        return Fail(files::DescribeWriteFailure(strFile, nErrno));
    return true;
}

void CMeasureView::OnSaveSelectionAsSound()
{
    QString strName = SuggestedFileName(m_model.HasSelection() ? QStringLiteral("-selection.wav") : QStringLiteral(".wav"));
    const QDir folder(ExportFolder());
    if (QFileInfo(folder.filePath(strName)).absoluteFilePath() == m_strSoundFile)
        strName = SuggestedFileName(QStringLiteral("-copy.wav"));
    QString strPath = QFileDialog::getSaveFileName(this, QStringLiteral("Save Selection As Sound"), folder.filePath(strName),
                                                   QStringLiteral("WAV sound (*.wav)"), nullptr,
                                                   QFileDialog::DontUseNativeDialog);
    if (strPath.isEmpty())
        return;
    if (QFileInfo(strPath).suffix().isEmpty())
        strPath += QStringLiteral(".wav");
    QString strWhy;
    if (!WriteSelectionSound(strPath, &strWhy))
        SonavelMessageBox(strWhy.toStdString());
}
