#include "player/shell/CSonavelProApp.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "player/shell/CAboutDlg.h"
#include "player/analysis/window/CAnalysisDlg.h"
#include "player/shell/CMainFrame.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/shell/CWaveWnd.h"
#include "player/audio/Messages.h"
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
    // The command line is always an open: no argument opens the empty path,
    // which fails with a message showing that (empty) path.
    OpenDocumentFile(arguments.isEmpty() ? QString() : arguments.first());
    return true;
}

bool CSonavelProApp::OpenDocumentFile(const QString& strPath)
{
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
        doc.OnOpenDocument(QFile::encodeName(strPath).toStdString());
    }
    m_strOpening.clear();
    return m_bFileTaken;
}

void CSonavelProApp::OnDocumentLoaded(const SampleStore& store, const char*)
{
    m_store.byteLength = store.byteLength;
    m_store.sampleCount = store.sampleCount;
    m_store.sampleRate = store.sampleRate;
    m_store.hSamples = store.hSamples;
    m_bFileTaken = true;
    if (!m_strOpening.isEmpty()) {
        m_recentFiles.Add(m_strOpening);
        emit RecentFilesChanged();
    }
    SetLoaded(1);
    if (StartPlayback() != CWaveWnd::PLAY_OK) {
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

int CSonavelProApp::StartPlayback()
{
    auto* pWave = new CWaveWnd;
    pWave->setParent(this);
    pWave->SetAutoDelete(true);
    int nResult = pWave->Play(0, m_store.sampleCount);
    if (nResult != CWaveWnd::PLAY_OK)
        delete pWave; // no notice will come for it
    return nResult;
}

void CSonavelProApp::SetLoaded(int bLoaded)
{
    m_bLoaded = bLoaded;
    emit LoadedChanged();
}

bool CSonavelProApp::IsCommandEnabled(int nId) const
{
    if (nId == ID_PLAY || nId == ID_ANALYSIS)
        return m_bLoaded != 0;
    return true;
}

void CSonavelProApp::OnPlay()
{
    if (!m_bLoaded)
        return;
    if (StartPlayback() != CWaveWnd::PLAY_OK)
        sonavel::SonavelMessageBox(kszErrorInPlay);
}

void CSonavelProApp::OnAnalysis()
{
    if (!m_bLoaded)
        return;
    sonavel::OpenAnalysisWindow(m_store, MainFrame());
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
