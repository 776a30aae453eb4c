// The player's side of the measuring view: the one view it opens, the sound
// and TextGrid it shows there, and the note of a file cut short.
#include "player/shell/CSonavelProApp.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>

#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/window/CMeasureView.h"
#include "player/shell/CMainFrame.h"
#include "player/shell/resource.h"

using namespace sonavel::shell;

CMeasureView* CSonavelProApp::OpenMeasureView()
{
    if (!m_pMeasureView) {
        // A window of its own, which goes with the main bar.
        m_pMeasureView = new CMeasureView(MainFrame());
        m_pMeasureView->SetProfile(kszRegistryKey, kszProfileApp);
        m_pMeasureView->SetPlayer(this);
        connect(m_pMeasureView, &CMeasureView::ChannelChosen, this, &CSonavelProApp::OnChannelChosen);
        // The view's Stop follows the player's one playback, whoever started it.
        CMeasureView* pView = m_pMeasureView;
        connect(this, &CSonavelProApp::PlayingChanged, pView, [this, pView] { pView->SetPlaybackRunning(IsPlaying()); });
        pView->SetPlaybackRunning(IsPlaying());
        ShowSoundInView();
        if (QScreen* pScreen = QGuiApplication::primaryScreen()) {
            QRect rc = m_pMeasureView->frameGeometry();
            rc.moveCenter(pScreen->availableGeometry().center());
            m_pMeasureView->move(rc.topLeft());
        }
        m_pMeasureView->show();
    }
    m_pMeasureView->raise();
    m_pMeasureView->activateWindow();
    return m_pMeasureView;
}

void CSonavelProApp::ShowSoundInView()
{
    m_measureStore = m_store;
    m_pMeasureView->SetSound(CMeasureSound::FromStore(m_store), ViewName());
    m_pMeasureView->SetHeaderNote(m_strShortNote);
    m_pMeasureView->SetSoundFile(m_strLoadedPath);
    m_pMeasureView->SetChannels(m_nChannel, m_nChannels);
    OpenTextGridInView();
}

void CSonavelProApp::OpenTextGridInView()
{
    if (m_pMeasureView && !m_strTextGrid.isEmpty() && !m_pMeasureView->OpenTextGrid(m_strTextGrid)
        && m_strTextGrid == m_strGivenTextGrid)
        std::fprintf(stderr, "sonavel: --textgrid: %s\n", m_pMeasureView->Note().toLocal8Bit().constData());
}

namespace {

// The browser's cache folder, where its copy of a sound is.
QString BrowserCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/velmora";
}

} // namespace

QString CSonavelProApp::TextGridBesideSound() const
{
    // A sound in the browser's cache has a name that says nothing of it.
    if (IsBrowserCopy())
        return QString();
    return QFile::decodeName(
        sonavel::textgrid::TextGridBeside(QFile::encodeName(m_strLoadedPath).toStdString()).c_str());
}

bool CSonavelProApp::IsBrowserCopy() const
{
    return QFileInfo(m_strLoadedPath).absolutePath() == QFileInfo(BrowserCacheFolder()).absoluteFilePath();
}

QString CSonavelProApp::ShortFileNote(const sonavel::audio::CLoadResult& result) const
{
    if (result.nDeclaredFrames < 0 || m_store.sampleRate <= 0)
        return QString();
    const double dArrived = static_cast<double>(m_store.sampleCount) / m_store.sampleRate;
    const double dDeclared = static_cast<double>(result.nDeclaredFrames) / m_store.sampleRate;
    // Tenths, unless they would make the two look alike.
    const int nDecimals = QString::number(dArrived, 'f', 1) == QString::number(dDeclared, 'f', 1) ? 3 : 1;
    const QString strArrived = QString::number(dArrived, 'f', nDecimals);
    if (IsBrowserCopy())
        return result.nDeclaredFrames > 0
                   ? QStringLiteral("the download ended at %1 s of the %2 s the file declares")
                         .arg(strArrived, QString::number(dDeclared, 'f', nDecimals))
                   : QStringLiteral("the download ended at %1 s, before the end the file declares").arg(strArrived);
    return result.nDeclaredFrames > 0
               ? QStringLiteral("the file ends at %1 s of the %2 s its header declares")
                     .arg(strArrived, QString::number(dDeclared, 'f', nDecimals))
               : QStringLiteral("the file ends at %1 s, before the end its header declares").arg(strArrived);
}

CMeasureView* CSonavelProApp::MeasureView() const { return m_pMeasureView.data(); }

void CSonavelProApp::OnMeasure()
{
    if (m_bLoaded)
        OpenMeasureView();
}
