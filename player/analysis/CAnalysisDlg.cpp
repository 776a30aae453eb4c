#include "player/analysis/CAnalysisDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "player/analysis/AnalysisResource.h"
#include "player/analysis/CSignalMath.h"
#include "player/audio/Messages.h"

CAnalysisDlg* g_pAnalysisDlg = nullptr;

namespace {

// Dialog units to pixels with the base units of the 8-point dialog font at
// 96 DPI: 4 horizontal units are 6 px, 8 vertical units are 13 px.
constexpr int DluX(int n) { return n * 6 / 4; }
constexpr int DluY(int n) { return n * 13 / 8; }

const int kTextStrip = 60;     // fixed text below the panels
const int kScaleMargin = 40;   // scale labels left of the panels
const int kPitchHeight = 100;
const int kPanelGap = 5;
const int kColumnSamples = 74; // a 64-point frame and its pre-emphasis, with room to spare
const double kPreemphasis = 0.98;

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

// Samples the store really holds, whatever its count claims.
int UsableSamples(const SampleStore& store)
{
    if (!store.hSamples || store.sampleCount <= 0)
        return 0;
    const size_t nHeld = store.hSamples->Size() / sizeof(int16_t);
    return static_cast<int>(std::min<size_t>(nHeld, static_cast<size_t>(store.sampleCount)));
}

// The texts are sized for the original dialog font; a wider substitute would
// cut them off. Such a label grows about its centre, within the window, and
// only if that is not enough its font shrinks.
void FitText(QLabel* pLabel, int nDialogWidth)
{
    const int nRoom = nDialogWidth - 4;
    QRect rc = pLabel->geometry();
    int nNeed = pLabel->fontMetrics().horizontalAdvance(pLabel->text()) + 2;
    if (nNeed <= rc.width())
        return;
    QFont font = pLabel->font();
    while (nNeed > nRoom && font.pointSizeF() > 6.0) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        nNeed = QFontMetrics(font).horizontalAdvance(pLabel->text()) + 2;
    }
    pLabel->setFont(font);
    const int nWidth = std::min(nNeed, nRoom);
    const int nLeft = std::clamp(rc.center().x() - nWidth / 2, 2, nDialogWidth - 2 - nWidth);
    pLabel->setGeometry(nLeft, rc.top(), nWidth, rc.height());
}

} // namespace

CAnalysisDlg::CAnalysisDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("analysisDlg%1").arg(sonavel::IDD_ANALYSIS));
    setWindowTitle(QString::fromUtf8(sonavel::STR_ANALYSIS_CAPTION));
    setModal(false);
    setFixedSize(DluX(sonavel::ANALYSIS_DLG_WIDTH_DLU), DluY(sonavel::ANALYSIS_DLG_HEIGHT_DLU));

    // The dialog font, or the closest sans-serif this system has.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    setFont(font);

    struct TextItem {
        const char* szText;
        int x, y, cx, cy; // dialog units
    };
    const TextItem items[3] = {
        {sonavel::STR_ANALYSIS_TEXT1, 17, 140, 290, 8},
        {sonavel::STR_ANALYSIS_TEXT2, 8, 149, 308, 10},
        {sonavel::STR_ANALYSIS_TEXT3, 103, 160, 86, 8},
    };
    for (int i = 0; i < 3; ++i) {
        m_pText[i] = new QLabel(QString::fromUtf8(items[i].szText), this);
        m_pText[i]->setGeometry(DluX(items[i].x), DluY(items[i].y), DluX(items[i].cx),
                                DluY(items[i].cy));
        FitText(m_pText[i], width());
    }
}

CAnalysisDlg::~CAnalysisDlg()
{
    ReleaseResults();
    if (g_pAnalysisDlg == this)
        g_pAnalysisDlg = nullptr;
}

bool CAnalysisDlg::OnInitDialog()
{
    m_rcClient = Rect{0, 0, width(), height()};
    const Rect& rc = m_rcClient;
    m_nColumns = std::min(rc.right - rc.left, kMaxColumns);
    m_nRows = (rc.bottom - rc.top) - kTextStrip;
    m_rcPitch = Rect{rc.left + kScaleMargin, rc.top, rc.right, rc.top + kPitchHeight};
    m_rcSpectrogram = Rect{rc.left + kScaleMargin, rc.top + kPitchHeight + kPanelGap, rc.right,
                           rc.bottom - kTextStrip};
    m_bSpectrogramReady = 0;
    m_bPitchReady = 0;
    m_hPitch.reset();
    m_nPitchCount = 0;
    m_nPitchMin = 50;
    m_nPitchMax = 250;
    m_nFrameLength = 64;
    m_nTopFrequency = 5000;
    m_nDynamicRange = 35;
    m_nColumnLength = std::max(m_nRows, 64) + 50;
    return true;
}

int CAnalysisDlg::ComputePitch(const SampleStore& store)
{
    m_bPitchReady = 0;
    CWaitCursor wait;
    m_nPitchCount = std::max(store.sampleCount, 0) / 100 + 1;
    m_hPitch.reset();
    m_hPitch = CSampleBlock::Alloc(sizeof(int16_t) * static_cast<size_t>(m_nPitchCount));
    if (!m_hPitch) {
        wait.End();
        sonavel::SonavelMessageBeep(0);
        sonavel::SonavelMessageBox(sonavel::STR_NOT_ENOUGH_MEMORY);
        return sonavel::IDS_NOT_ENOUGH_MEMORY;
    }
    // A store whose block is shorter than its count is tracked as far as it goes.
    const int nSamples = UsableSamples(store);
    SampleStore usable = store;
    usable.sampleCount = nSamples;
    // When the tracker cannot get its buffers the block stays zero: no dots.
    CSignalMath().TrackPitch(usable, m_hPitch, 0, nSamples);
    wait.End();
    m_bPitchReady = 1;
    return 0;
}

void CAnalysisDlg::FreeColumns()
{
    for (auto& h : m_hColumns)
        h.reset();
}

int CAnalysisDlg::AllocColumns()
{
    FreeColumns();
    for (int c = 0; c < m_nColumns; ++c) {
        m_hColumns[c] = CSampleBlock::Alloc(sizeof(double) * static_cast<size_t>(m_nColumnLength));
        if (!m_hColumns[c]) {
            FreeColumns();
            return sonavel::IDS_NOT_ENOUGH_MEMORY;
        }
    }
    return 0;
}

int CAnalysisDlg::HeldGridPoints(int nPoints, int nSampleRate) const
{
    if (nSampleRate <= 0 || nPoints <= 0)
        return std::max(nPoints, 0);
    // The same grid step the frame routine uses, in bins per point.
    const double step = (m_nTopFrequency / (nSampleRate * 0.5)) * (m_nFrameLength * 0.5) / nPoints;
    const double lastBin = m_nFrameLength / 2 - 1;
    int n = 0;
    while (n < nPoints && n * step <= lastBin)
        ++n;
    return n;
}

int CAnalysisDlg::ComputeSpectrogram(const SampleStore& store)
{
    CWaitCursor wait;
    if (AllocColumns() != 0) {
        m_bSpectrogramReady = 0;
        return sonavel::IDS_NOT_ENOUGH_MEMORY;
    }
    m_bSpectrogramReady = 0;
    if (m_nColumns <= 0 || m_nRows <= 0) {
        m_bSpectrogramReady = 1;
        return 0;
    }

    const int nSamples = UsableSamples(store);
    CSampleLock samples(store.hSamples);
    const int16_t* s = samples.Samples();
    const double step = static_cast<double>(nSamples) / m_nColumns;
    const int nPoints = std::min(m_nRows, m_nColumnLength);
    // Below a 10 kHz rate the top of the scale lies past the frame's last bin;
    // the spline's extrapolation there is no measurement, and its swings could
    // outshout the whole sound and leave the picture blank (every 8 kHz
    // recording did). Those rows take no part in the scaling and stay white.
    const int nHeld = HeldGridPoints(nPoints, store.sampleRate);
    double dMax = -1000.0;
    for (int c = 0; c < m_nColumns; ++c) {
        CSampleLock column(m_hColumns[c]);
        double* v = static_cast<double*>(column.Data());
        const int d = static_cast<int>(c * step);
        const int nTake = std::max(0, std::min(kColumnSamples, nSamples - d));
        for (int k = 0; k < nTake; ++k)
            v[k] = s[d + k];
        if (CSignalMath().FrameSpectrum(v, m_nFrameLength, kPreemphasis, nPoints, m_nTopFrequency,
                                        store.sampleRate)
            != 0) {
            // No frequency grid without a sample rate: the column reads as silence.
            std::fill(v, v + nPoints, 0.0);
        }
        for (int j = 0; j < nHeld; ++j) {
            if (!std::isfinite(v[j]))
                v[j] = 0.0;
            dMax = std::max(dMax, v[j]);
        }
    }
    // The loudest point of the picture is the dynamic range, anything that far
    // or further below it is 0.
    for (int c = 0; c < m_nColumns; ++c) {
        CSampleLock column(m_hColumns[c]);
        double* v = static_cast<double*>(column.Data());
        for (int j = 0; j < nHeld; ++j)
            v[j] = std::max(0.0, v[j] - dMax + m_nDynamicRange);
        std::fill(v + nHeld, v + nPoints, 0.0);
    }
    m_bSpectrogramReady = 1;
    return 0;
}

void CAnalysisDlg::ReleaseResults()
{
    FreeColumns();
    m_hPitch.reset();
    m_bSpectrogramReady = 0;
    m_bPitchReady = 0;
}

void CAnalysisDlg::paintEvent(QPaintEvent*)
{
    QPainter dc(this);
    DrawPitch(dc);
    DrawSpectrogram(dc);
}

void CAnalysisDlg::done(int nResult)
{
    // Both the close button (through reject) and Escape end here: the window goes
    // for good, with its results, so the next command opens a fresh one.
    ReleaseResults();
    if (g_pAnalysisDlg == this)
        g_pAnalysisDlg = nullptr;
    QDialog::done(nResult);
    deleteLater();
}

namespace sonavel {

void OpenAnalysisWindow(const SampleStore& store, QWidget* pParent)
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
}

} // namespace sonavel
