#include "browser/window/CVelmoraView.h"
#include "browser/window/OpenFileFilter.h"

#include "browser/window/CMainFrame.h"
#include "browser/handoff/CPlayerLauncher.h"
#include "browser/handoff/CPrivateTempFile.h"
#include "browser/window/CVelmoraPage.h"
#include "browser/startup/VelmoraResource.h"

#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraMessages.h"
#include "browser/startup/VelmoraPaths.h"
#include "browser/startup/StoredAddress.h"

#include "browser/window/COpenAddressDlg.h"
#include "browser/window/CPreferencesDlg.h"

#include <QCoreApplication>

#include <algorithm>
#include <QKeyEvent>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPageSetupDialog>
#include <QProgressDialog>
#include <QWebEngineProfile>

using namespace velmora;

CVelmoraView::CVelmoraView(QWidget* pParent) : QWebEngineView(pParent)
{
    m_pPage = new CVelmoraPage(QWebEngineProfile::defaultProfile(), this);
    setPage(m_pPage);
    m_fnStartPlayer = [](const QStringList& arguments) {
        return CPlayerLauncher(QCoreApplication::applicationDirPath(), QString::fromStdString(g_szStartupDir))
            .Start(arguments);
    };
    // Link targets under the mouse go to the status bar's prompt pane.
    connect(m_pPage, &QWebEnginePage::linkHovered, this, [this](const QString& strUrl) {
        if (CMainFrame* pFrame = Frame())
            pFrame->ShowPrompt(strUrl);
    });
    connect(this, &QWebEngineView::printFinished, this, [this](bool) { m_bPrinting = false; });
    // The user's press belongs to the page it was made in: a page that opens
    // after it starts without one.
    connect(m_pPage, &QWebEnginePage::urlChanged, this, [this] { m_lastInput.invalidate(); });
    // A download cut short by a killed run leaves its partial file behind.
    CPrivateTempFile::RemoveLeftovers(velmora::TempFilePath());
    // The engine's render widget takes the view's input and may be replaced
    // with each page: the user's presses are seen on their way to any of them.
    qApp->installEventFilter(this);
}

CVelmoraView::~CVelmoraView()
{
    // The page must go before the view it calls back into.
    setPage(nullptr);
    delete m_pPage;
}

CMainFrame* CVelmoraView::Frame() const
{
    return qobject_cast<CMainFrame*>(window());
}

QString CVelmoraView::HomeAddress() const
{
    const CVelmoraApp* pApp = CVelmoraApp::Instance();
    return pApp ? pApp->m_strHomeAddress : QString();
}

void CVelmoraView::OnBeforeNavigate2(const QString& strUrl, bool* pbCancel, ENavigationSource source, bool bUserAsked,
                                     const QString& strPageUrl)
{
    // One press opens at most one sound: a frame that reloads itself right
    // after the user's click gets nothing out of it.
    if (bUserAsked && ClassifyLink(strUrl) != ELinkRoute::None)
        m_lastInput.invalidate();
    m_handoff.OnBeforeNavigate2(strUrl, pbCancel, source, bUserAsked, strPageUrl);
}

bool CVelmoraView::HasUserActivation() const
{
    return m_lastInput.isValid() && !m_lastInput.hasExpired(kActivationMs);
}

bool CVelmoraView::IsUsersNavigation(QWebEnginePage::NavigationType type, bool bIsMainFrame, QUrl* pOpener)
{
    switch (type) {
    case QWebEnginePage::NavigationTypeTyped: {
        const bool bUsers = m_bNextLoadUsers;
        if (pOpener)
            *pOpener = m_nextLoadOpener;
        m_bNextLoadUsers = true;
        m_nextLoadOpener.clear();
        return bUsers;
    }
    case QWebEnginePage::NavigationTypeBackForward:
    case QWebEnginePage::NavigationTypeReload:
        if (bIsMainFrame)
            return true;
        break;
    default:
        break;
    }
    return HasUserActivation();
}

bool CVelmoraView::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress) && pWatched->isWidgetType()) {
        auto* pWidget = static_cast<QWidget*>(pWatched);
        const bool bRepeat = type == QEvent::KeyPress && static_cast<QKeyEvent*>(pEvent)->isAutoRepeat();
        if (!bRepeat && (pWidget == this || isAncestorOf(pWidget)))
            m_lastInput.start();
    }
    return QWebEngineView::eventFilter(pWatched, pEvent);
}

void CVelmoraView::OnInitialUpdate()
{
    const QString strHome = HomeAddress();
    if (!strHome.isEmpty())
        NavigateStored(strHome);
}

bool CVelmoraView::NavigateStored(const QString& strAddress)
{
    const QUrl url = StoredAddressUrl(strAddress);
    if (url.isEmpty()) {
        if (!strAddress.trimmed().isEmpty())
            ShowPrompt(tr("Not opened: %1 (only web and file addresses open from here)").arg(strAddress.trimmed()));
        return false;
    }
    NavigateUrl(url);
    return true;
}

void CVelmoraView::Navigate(const QString& strTarget)
{
    const QString strTrimmed = strTarget.trimmed();
    if (strTrimmed.isEmpty())
        return;
    NavigateUrl(QUrl::fromUserInput(strTrimmed));
}

void CVelmoraView::NavigateUrl(const QUrl& url)
{
    if (url.isValid()) {
        m_bNextLoadUsers = true;
        m_nextLoadOpener.clear();
        load(url);
    }
}

void CVelmoraView::NavigateForPage(const QUrl& url, bool bUserAsked, const QUrl& opener)
{
    if (url.isValid()) {
        m_bNextLoadUsers = bUserAsked;
        m_nextLoadOpener = opener;
        load(url);
    }
}

void CVelmoraView::SetZoomLevel(int nLevel)
{
    if (nLevel < 0 || nLevel > 4)
        return;
    m_nZoomLevel = nLevel;
    setZoomFactor(kZoomFactors[nLevel]);
}

void CVelmoraView::OnGoBack()
{
    back();  // nothing to go back to: the engine ignores it
}

void CVelmoraView::OnGoForward()
{
    forward();
}

void CVelmoraView::OnGoStop()
{
    stop();
}

void CVelmoraView::OnGoRefresh()
{
    reload();
}

void CVelmoraView::OnGoHome()
{
    const QString strHome = HomeAddress();
    // An empty home opens nothing and still shows in the address box.
    if (strHome.trimmed().isEmpty() || NavigateStored(strHome))
        ShowAddress(strHome);
}

void CVelmoraView::OnGoSearch()
{
    Navigate(QLatin1String(kSearchPage));
}

void CVelmoraView::OnFilePrint()
{
    if (m_bPrinting)
        return;  // the engine prints one page at a time; the printer stays busy until then
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() == QDialog::Accepted)
        PrintPage();
}

bool CVelmoraView::PrintPage()
{
    if (m_bPrinting)
        return false;
    // The engine prints asynchronously into m_printer, which lives as long as the view.
    m_bPrinting = true;
    print(&m_printer);
    return true;
}

void CVelmoraView::OnFilePageSetup()
{
    QPageSetupDialog dialog(&m_printer, this);
    dialog.exec();
}

void CVelmoraView::OnFileOpen()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(velmora::OpenFilterList(QLatin1String(IDS_OPEN_FILTER)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString strPath = dialog.selectedFiles().constFirst();
    ShowAddress(strPath);
    Navigate(strPath);
}

void CVelmoraView::OnOptionsPreferences()
{
    CPreferencesDlg::OnPreferences(this);
}

int CVelmoraView::HandoffMessageBox(const QString& strText, int nButtons)
{
    const int nAnswer = VelmoraMessageBox(strText, nButtons == kHandoffMbYesNo ? MB_YESNO : MB_OK);
    switch (nAnswer) {
    case IDYES:
        return kHandoffIdYes;
    case IDNO:
        return kHandoffIdNo;
    default:
        return kHandoffIdOk;
    }
}

bool CVelmoraView::StartPlayer(const QStringList& arguments)
{
    return m_fnStartPlayer && m_fnStartPlayer(arguments);
}

void CVelmoraView::ShowPrompt(const QString& strText)
{
    if (CMainFrame* pFrame = Frame())
        pFrame->ShowPrompt(strText);
}

void CVelmoraView::OnSoundRefused(const QString& strUrl, ESoundRefusal reason)
{
    switch (reason) {
    case ESoundRefusal::NotAsked:
        ShowPrompt(tr("Not played: %1 (the page opened this sound by itself)").arg(strUrl));
        break;
    case ESoundRefusal::WebSoundFromLocalPage:
        ShowPrompt(tr("Not played: %1 (a page on this computer asked for a sound on the web)").arg(strUrl));
        break;
    case ESoundRefusal::OutsidePageFolder:
        ShowPrompt(tr("Not played: %1 (a page on this computer asked for a sound outside its folder)").arg(strUrl));
        break;
    }
}

void CVelmoraView::OnWebAddressFromLocalPage(const QString& strUrl)
{
    // One question at a time: what the page asks meanwhile is dropped.
    if (m_bAskingToOpen)
        return;
    m_bAskingToOpen = true;
    const QUrl url(strUrl);
    // Not run in a loop of its own: the engine is still inside the page's
    // request, and the view may go while the question is open.
    auto* pDialog = new COpenAddressDlg(url, this);
    pDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(pDialog, &QDialog::finished, this, [this, url](int nResult) {
        m_bAskingToOpen = false;
        if (nResult == QDialog::Accepted)
            NavigateUrl(url);
    });
    pDialog->open();
}

void CVelmoraView::ShowAddress(const QString& strUrl)
{
    if (CMainFrame* pFrame = Frame())
        pFrame->ShowAddress(strUrl);
}

QString CVelmoraView::TempFilePath()
{
    // The hand-off makes the folder private again (or says why it cannot)
    // each time it writes.
    return velmora::TempFilePath();
}

void CVelmoraView::OnDownloadSlow(const QString& strUrl)
{
    auto* pDialog = new QProgressDialog(this);
    m_bDownloadCancelled = false;
    // Cancel, Escape and closing the dialog all count as Cancel.
    connect(pDialog, &QProgressDialog::canceled, this, [this] { m_bDownloadCancelled = true; });
    pDialog->setWindowTitle(QLatin1String(kFrameTitle));
    // The whole address can be far wider than the screen: name the file and host.
    const QUrl url(strUrl, QUrl::TolerantMode);
    const QString strName = url.fileName().isEmpty() ? strUrl : url.fileName();
    const QString strLabel = url.host().isEmpty() ? tr("Downloading %1").arg(strName)
                                                  : tr("Downloading %1 from %2").arg(strName, url.host());
    pDialog->setLabelText(pDialog->fontMetrics().elidedText(strLabel, Qt::ElideMiddle, 420));
    pDialog->setCancelButtonText(tr("Cancel"));
    // Application-modal: while the hook waits, the user can press Cancel but
    // can neither click in the page nor start another navigation.
    pDialog->setWindowModality(Qt::ApplicationModal);
    pDialog->setAutoClose(false);
    pDialog->setAutoReset(false);
    pDialog->setMinimumDuration(0);
    pDialog->setMinimumWidth(360);
    pDialog->setRange(0, 0);
    pDialog->show();
    m_pProgress = pDialog;
}

void CVelmoraView::OnDownloadProgress(qint64 nReceived, qint64 nTotal)
{
    if (!m_pProgress)
        return;
    if (nTotal > 0) {
        // Tenths of a per cent: an int range whatever the length.
        m_pProgress->setRange(0, 1000);
        m_pProgress->setValue(int(std::min(1000.0, 1000.0 * double(nReceived) / double(nTotal))));
    }
}

bool CVelmoraView::IsDownloadCancelled()
{
    return m_bDownloadCancelled;
}

void CVelmoraView::OnDownloadEnded()
{
    if (m_pProgress) {
        m_pProgress->hide();
        m_pProgress->deleteLater();
    }
}
