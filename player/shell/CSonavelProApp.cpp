#include "player/shell/CSonavelProApp.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>

#include "player/shell/CAboutDlg.h"
#include "player/analysis/window/CAnalysisDlg.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/window/CMeasureView.h"
#include "player/shell/CMainFrame.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/shell/CWaveWnd.h"
#include "player/analysis/window/Messages.h"
#include "player/shell/resource.h"

using namespace sonavel::shell;

namespace {
CSonavelProApp* g_pTheApp = nullptr;
}

CSonavelProApp::CSonavelProApp()
{
    if (!g_pTheApp)
        g_pTheApp = this;
}

CSonavelProApp::~CSonavelProApp()
{
    // Playbacks still running are children of this object: their destructors
    // stop the device before the samples go.
    qDeleteAll(findChildren<CWaveWnd*>(QString(), Qt::FindDirectChildrenOnly));
    m_pMainFrame.reset();
    if (g_pTheApp == this)
        g_pTheApp = nullptr;
}

CSonavelProApp* CSonavelProApp::Instance() { return g_pTheApp; }

void CSonavelProApp::InstallMessageHandlers()
{
    sonavel::SetMessageBoxHandler([](const std::string& text, unsigned) {
        QWidget* pParent = QApplication::activeWindow();
        if (!pParent && g_pTheApp && g_pTheApp->MainFrame() && g_pTheApp->MainFrame()->isVisible())
            pParent = g_pTheApp->MainFrame();
        // Texts may be file names (a failed open shows the path).
        QMessageBox box(QMessageBox::Warning, kszAppTitle, QFile::decodeName(QByteArray::fromStdString(text)),
                        QMessageBox::Ok, pParent);
        // A file name is never markup.
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Ok ? 1 : 2;
    });
    sonavel::SetMessageBeepHandler([](unsigned) { QApplication::beep(); });
}

bool CSonavelProApp::InitInstance(const QStringList& arguments)
{
    m_pMainFrame = std::make_unique<CMainFrame>(this);
    // The bar comes up first, so a message of the open has it as parent and
    // focus returns to it afterwards: were no window of ours focused when the
    // message closes, the player would count as deactivated and quit.
    m_pMainFrame->show();
    // FILE --select S,E: an unreadable value is told at once; a span that does
    // not fit the sound once it is loaded, then. Either way the view shows and
    // plays the whole sound, and its status line says why.
    // FILE --channel N: an unreadable value is told, and the first channel opens.
    std::vector<std::string> args;
    for (const QString& s : arguments)
        args.push_back(s.toStdString());
    const PlayerOptions options = ReadPlayerOptions(args);
    m_bSelect = options.bSelect;
    m_strSelectValue = options.strSelect;
    m_strSelectRefusal.clear();
    if (m_bSelect && !ParseSelectValue(options.strSelect, m_select))
        m_strSelectRefusal = SelectRefused("not START,END in seconds");
    // FILE --name NAME: the browser's name for its downloaded copy, checked
    // again here; nothing usable left means the file's own name.
    m_strGivenName.clear();
    if (options.bName) {
        m_strGivenName = QString::fromStdString(SafeSoundName(options.strName));
        if (m_strGivenName.isEmpty())
            std::fprintf(stderr, "sonavel: --name: no name is left without its folders and control characters; "
                                 "showing the file's own name\n");
    }
    // FILE --textgrid TG: one that cannot be read is said; the sound opens all the same.
    m_strGivenTextGrid = options.bTextGrid ? QString::fromStdString(options.strTextGrid) : QString();
    int nChannel = 1;
    if (options.bChannel && !ParseChannelValue(options.strChannel, nChannel)) {
        std::fprintf(stderr, "sonavel: --channel %s: not a channel number (1 for the first); opening the first\n",
                     options.strChannel.c_str());
        nChannel = 1;
    }
    // The command line is always an open: no argument opens the empty path,
    // which fails with a message showing that (empty) path.
    OpenDocumentFile(arguments.isEmpty() ? QString() : arguments.first(), nChannel);
    m_bSelect = false;
    m_strGivenName.clear();
    m_strGivenTextGrid.clear();
    return true;
}

bool CSonavelProApp::OpenDocumentFile(const QString& strPath, int nChannel)
{
    // The view's tiers belong to the sound it shows: unsaved edits are asked about first.
    if (m_pMeasureView && !m_pMeasureView->MayDiscardTiers())
        return false;
    m_store.byteLength = m_store.sampleCount = m_store.sampleRate = 0;
    SetLoaded(0);
    // A playback still reading the old block holds its own handle to it.
    m_store.hSamples.reset();

    m_strOpening = strPath;
    m_bFileTaken = false;
    {
        // The document lives for this open only; it always reports failure,
        // the sound stays here.
        CSonavelProDoc doc(this);
        // File names are bytes: hand the readers the name as the system spells it.
        doc.OnOpenDocument(QFile::encodeName(strPath).toStdString(), nChannel);
    }
    m_strOpening.clear();
    return m_bFileTaken;
}

void CSonavelProApp::OnChannelChosen(int nChannel)
{
    if (nChannel == m_nChannel || m_strLoadedPath.isEmpty() || !m_bLoaded)
        return;
    m_bReloading = true;
    {
        CSonavelProDoc doc(this);
        doc.OnOpenDocument(QFile::encodeName(m_strLoadedPath).toStdString(), nChannel);
    }
    m_bReloading = false;
    // After a failure the view goes back to the channel it shows.
    if (m_pMeasureView)
        m_pMeasureView->SetChannels(m_nChannel, m_nChannels);
}

QString CSonavelProApp::ViewName() const
{
    if (m_nChannels <= 1)
        return m_strLoadedName;
    return QString::fromStdString(
        sonavel::measure::ChannelName(m_strLoadedName.toStdString(), m_nChannel, m_nChannels));
}

void CSonavelProApp::OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult& result)
{
    m_store.byteLength = store.byteLength;
    m_store.sampleCount = store.sampleCount;
    m_store.sampleRate = store.sampleRate;
    m_store.hSamples = store.hSamples;
    m_nChannels = result.nChannels;
    m_nChannel = result.nChannel;
    if (m_bReloading) {
        // Another channel of the same file: the view keeps its span and
        // selection; nothing plays until the user asks.
        if (m_pMeasureView) {
            m_measureStore = m_store;
            m_pMeasureView->SetSound(CMeasureSound::FromStore(m_store), ViewName(), true);
        }
        emit LoadedChanged(); // the bar names the channel now held
        return;
    }
    m_bFileTaken = true;
    if (!m_strOpening.isEmpty()) {
        m_recentFiles.Add(m_strOpening);
        emit RecentFilesChanged();
    }
    // A file's own name is shown as --name's is: no bidirectional control of it is obeyed.
    m_strLoadedName = m_strGivenName.isEmpty() ? QString::fromStdString(sonavel::measure::WithoutBidiControls(
                                                     QFileInfo(m_strOpening).fileName().toStdString()))
                                               : m_strGivenName;
    m_strLoadedPath = m_strOpening;
    m_strTextGrid = m_strGivenTextGrid.isEmpty() ? TextGridBesideSound() : m_strGivenTextGrid;
    // A file cut short opens with what it holds, and says so: on stderr, in
    // the bar's title and in the view's header.
    m_strShortNote = ShortFileNote(result);
    if (!m_strShortNote.isEmpty())
        std::fprintf(stderr, "sonavel: %s\n", m_strShortNote.toLocal8Bit().constData());
    if (m_pMainFrame)
        m_pMainFrame->SetSoundNote(m_strShortNote);
    SetLoaded(1);
    // An open view follows the player to the new sound.
    if (m_pMeasureView) {
        ShowSoundInView();
    }
    if (m_bSelect) {
        PlaySelectedSpan();
        return;
    }
    if (!m_strGivenTextGrid.isEmpty())
        OpenMeasureView();
    if (StartPlayback(m_store, 0, m_store.sampleCount, false) != CWaveWnd::PLAY_OK) {
        sonavel::SonavelMessageBox(kszErrorInPlay);
        SetLoaded(0);
    }
}

void CSonavelProApp::OnDocumentFailed(const sonavel::audio::CLoadResult& result)
{
    if (result.bBeep)
        sonavel::SonavelMessageBeep(0);
    if (result.HasBox())
        sonavel::SonavelMessageBox(result.strMessage, sonavel::MB_OK);
}

CWaveWnd::EPlayResult CSonavelProApp::StartPlayback(const SampleStore& store, int32_t nStart, int32_t nEnd, bool bSpan)
{
    // One sound at a time: what plays stops before the next starts, so Play
    // pressed again starts the sound over instead of adding a second stream.
    delete m_pWave.data(); // its destructor stops the device before the samples go
    auto* pWave = new CWaveWnd;
    pWave->setParent(this);
    pWave->SetAutoDelete(true);
    connect(pWave, &CWaveWnd::Ended, this, &CSonavelProApp::PlayingChanged);
    const CWaveWnd::EPlayResult nResult = pWave->Play(store, nStart, nEnd);
    if (nResult != CWaveWnd::PLAY_OK) {
        delete pWave; // no notice will come for it
    } else {
        m_pWave = pWave;
        m_bWaveIsSpan = bSpan;
    }
    emit PlayingChanged();
    return nResult;
}

std::string CSonavelProApp::SelectRefused(const std::string& strWhy) const
{
    std::fprintf(stderr, "sonavel: --select %s: %s; showing and playing the whole sound\n", m_strSelectValue.c_str(),
                 strWhy.c_str());
    return "--select " + m_strSelectValue + ": " + strWhy + "; the whole sound is shown";
}

void CSonavelProApp::PlaySelectedSpan()
{
    m_bSelect = false;
    const double dDuration = m_store.sampleRate > 0 ? static_cast<double>(m_store.sampleCount) / m_store.sampleRate : 0;
    std::string strNote = m_strSelectRefusal;
    if (strNote.empty()) {
        const std::string strWhy = FitSelectSpan(m_select, dDuration);
        if (!strWhy.empty())
            strNote = SelectRefused(strWhy);
    }
    CMeasureView* pView = OpenMeasureView();
    if (strNote.empty())
        pView->ShowSelected(m_select.dStart, m_select.dEnd);
    else
        pView->ShowNote(QString::fromStdString(strNote));
    // As for the whole sound: a playback that cannot start was reported and
    // greys Play until the next open. An empty sound has nothing to play.
    if (!pView->Play() && m_store.sampleCount > 0)
        SetLoaded(0);
}

bool CSonavelProApp::PlaySpan(int64_t nFirst, int64_t nEnd)
{
    if (StartPlayback(m_measureStore, static_cast<int32_t>(std::clamp<int64_t>(nFirst, 0, INT32_MAX)),
                      static_cast<int32_t>(std::clamp<int64_t>(nEnd, 0, INT32_MAX)), true)
        != CWaveWnd::PLAY_OK) {
        sonavel::SonavelMessageBox(kszErrorInPlay);
        return false;
    }
    return true;
}

void CSonavelProApp::StopSpan()
{
    if (m_bWaveIsSpan)
        StopPlayback();
}

void CSonavelProApp::StopPlayback()
{
    if (!m_pWave)
        return;
    delete m_pWave.data();
    emit PlayingChanged();
}

int64_t CSonavelProApp::PlayingSample() const { return m_pWave && m_bWaveIsSpan ? m_pWave->PlayingSample() : -1; }

bool CSonavelProApp::IsPlaying() const { return m_pWave && m_pWave->m_hWaveOut != 0; }

void CSonavelProApp::SetLoaded(int bLoaded)
{
    m_bLoaded = bLoaded;
    emit LoadedChanged();
}

bool CSonavelProApp::IsCommandEnabled(int nId) const
{
    if (nId == ID_PLAY || nId == ID_ANALYSIS || nId == ID_MEASURE)
        return m_bLoaded != 0;
    if (nId == ID_STOP)
        return IsPlaying();
    return true;
}

void CSonavelProApp::OnPlay()
{
    if (!m_bLoaded)
        return;
    if (StartPlayback(m_store, 0, m_store.sampleCount, false) != CWaveWnd::PLAY_OK)
        sonavel::SonavelMessageBox(kszErrorInPlay);
}

void CSonavelProApp::OnAnalysis()
{
    if (!m_bLoaded)
        return;
    sonavel::OpenAnalysisWindow(m_store, MainFrame(), m_strLoadedName);
}

void CSonavelProApp::OnAppAbout()
{
    CAboutDlg dlg(m_pMainFrame.get());
    dlg.exec();
}

void CSonavelProApp::OnFileNew()
{
    if (m_pMainFrame)
        m_pMainFrame->NewDocumentWindow();
}

void CSonavelProApp::OnFileOpen()
{
    // Qt's own dialog: a native one from another toolkit would count as
    // another application being activated, which ends the player.
    QString strPath = QFileDialog::getOpenFileName(m_pMainFrame.get(), QStringLiteral("Open"), QString(),
                                                   QStringLiteral("All Files (*)"), nullptr,
                                                   QFileDialog::DontUseNativeDialog);
    if (!strPath.isEmpty())
        OpenDocumentFile(strPath);
}

void CSonavelProApp::OnOpenRecentFile(int nIndex)
{
    QStringList files = m_recentFiles.Files();
    if (nIndex < 0 || nIndex >= files.size())
        return;
    // A recent file that no longer loads leaves the list.
    if (!OpenDocumentFile(files[nIndex])) {
        m_recentFiles.Remove(nIndex);
        emit RecentFilesChanged();
    }
}
