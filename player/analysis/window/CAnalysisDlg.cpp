#include "player/analysis/window/CAnalysisDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "player/analysis/paint/CAnalysisPainter.h"
#include "player/analysis/window/CAnalysisPicture.h"
#include "player/analysis/window/Messages.h"
#include "player/analysis/model/AnalysisResource.h"
#include "player/audio/AudioResource.h"

CAnalysisDlg* g_pAnalysisDlg = nullptr;

namespace {

// The busy cursor for the span of one computation, restored on every way out.
class CWaitCursor {
public:
    CWaitCursor()
        : m_bActive(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_bActive)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~CWaitCursor() { End(); }
    void End()
    {
        if (m_bActive)
            QApplication::restoreOverrideCursor();
        m_bActive = false;
    }

private:
    bool m_bActive;
};

} // namespace

CAnalysisDlg::CAnalysisDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("analysisDlg%1").arg(sonavel::IDD_ANALYSIS));
    setWindowTitle(QString::fromUtf8(sonavel::STR_ANALYSIS_CAPTION));
    setModal(false);
    setFixedSize(CAnalysisPainter::WindowSize());
    setFont(CAnalysisPainter::WindowFont());

    const auto texts = CAnalysisPainter::Texts(font(), width());
    for (int i = 0; i < 3; ++i) {
        m_pText[i] = new QLabel(texts[i].strText, this);
        m_pText[i]->setFont(texts[i].font);
        m_pText[i]->setGeometry(texts[i].rect);
    }

    m_pPicture = new CAnalysisPicture(this);
    m_pPicture->setAccessibleName(QString::fromUtf8(sonavel::STR_ANALYSIS_CAPTION));
}

CAnalysisDlg::~CAnalysisDlg()
{
    if (g_pAnalysisDlg == this)
        g_pAnalysisDlg = nullptr;
}

bool CAnalysisDlg::OnInitDialog()
{
    m_model.Layout(width(), height());
    const auto& pitch = m_model.PitchRect();
    const auto& spectrogram = m_model.SpectrogramRect();
    // From the pitch panel's top down to the spectrogram's bottom, the scales' margin included.
    m_pPicture->setGeometry(0, pitch.top, width(), spectrogram.bottom - pitch.top);
    return true;
}

void CAnalysisDlg::DescribePicture(const QString& strName, const SampleStore& store)
{
    m_pPicture->setAccessibleDescription(sonavel::AnalysisPictureDescription(strName, store, m_model));
}

int CAnalysisDlg::ComputePitch(const SampleStore& store)
{
    CWaitCursor wait;
    m_model.ComputePitch(store);
    wait.End();
    // Only a panel that cannot be had is the design's failure; a track that
    // failed is drawn without dots.
    if (!m_model.IsPitchReady()) {
        sonavel::SonavelMessageBeep(0);
        sonavel::SonavelMessageBox(sonavel::STR_NOT_ENOUGH_MEMORY);
        return sonavel::IDS_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

int CAnalysisDlg::ComputeSpectrogram(const SampleStore& store)
{
    CWaitCursor wait;
    const int nResult = m_model.ComputeSpectrogram(store) == sonavel::analysis::EOutcome::Done
                            ? 0
                            : sonavel::IDS_NOT_ENOUGH_MEMORY;
    wait.End();
    // Once for the picture: a box for each of its columns would hold the
    // user through hundreds of them.
    if (m_model.HadMathError()) {
        sonavel::SonavelMessageBeep(0);
        sonavel::SonavelMessageBox(sonavel::STR_MATH_ERROR);
    }
    return nResult;
}

void CAnalysisDlg::paintEvent(QPaintEvent*)
{
    QPainter dc(this);
    const CAnalysisPainter painter(m_model);
    painter.DrawPitch(dc);
    painter.DrawSpectrogram(dc);
}

void CAnalysisDlg::done(int nResult)
{
    // Both the close button (through reject) and Escape end here: the window goes
    // for good, with its results, so the next command opens a fresh one.
    m_model.Release();
    if (g_pAnalysisDlg == this)
        g_pAnalysisDlg = nullptr;
    QDialog::done(nResult);
    deleteLater();
}

namespace sonavel {

QString AnalysisPictureDescription(const QString& strName, const SampleStore& store, const CAnalysisModel& model)
{
    const double dSeconds = store.sampleRate > 0 ? double(store.sampleCount) / store.sampleRate : 0.0;
    int nLow = 0;
    int nHigh = 0;
    if (model.IsPitchReady() && model.Pitch())
        for (int i = 0; i < model.PitchCount(); ++i) {
            const int nHz = model.Pitch()[i];
            if (nHz <= 0)
                continue;
            nLow = nLow == 0 ? nHz : std::min(nLow, nHz);
            nHigh = std::max(nHigh, nHz);
        }
    const QString strDuration = QString::number(dSeconds, 'f', dSeconds < 10 ? 1 : 0);
    const QString strPitch = nHigh > 0 ? QStringLiteral("pitch %1\u2013%2 Hz over %3 s").arg(nLow).arg(nHigh).arg(strDuration)
                                       : QStringLiteral("no pitch found over %1 s").arg(strDuration);
    return strName.isEmpty() ? strPitch : QStringLiteral("%1: %2").arg(strName, strPitch);
}

void OpenAnalysisWindow(const SampleStore& store, QWidget* pParent, const QString& strName)
{
    if (!g_pAnalysisDlg) {
        auto* pDlg = new CAnalysisDlg(pParent);
        pDlg->OnInitDialog();
        g_pAnalysisDlg = pDlg;
        // Centred on the screen, not over the small main bar it belongs to.
        if (QScreen* pScreen = pParent ? pParent->screen() : QGuiApplication::primaryScreen()) {
            QRect rc = pDlg->frameGeometry();
            rc.moveCenter(pScreen->availableGeometry().center());
            pDlg->move(rc.topLeft());
        }
        pDlg->show();
    }
    CAnalysisDlg* pDlg = g_pAnalysisDlg;
    // The pitch panel is painted before the spectrogram is computed, so the
    // user sees the first result at once.
    pDlg->ComputePitch(store);
    pDlg->repaint();
    pDlg->ComputeSpectrogram(store);
    pDlg->repaint();
    pDlg->DescribePicture(strName, store);
}

} // namespace sonavel
