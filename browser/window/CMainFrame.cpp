#include "browser/window/CMainFrame.h"

#include "browser/favorites/CFavoritesMenu.h"
#include "browser/startup/CConnectionThread.h"
#include "browser/startup/VelmoraResource.h"
#include "browser/window/CDownloadManager.h"
#include "browser/window/CFrameLower.h"
#include "browser/window/CLockIndicators.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/CVelmoraViewLower.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QWebEngineProfile>

using namespace velmora;

CMainFrame::CMainFrame(QWidget* pParent) : QMainWindow(pParent)
{
    m_pConnectionThread = StartConnectionThread();
    g_pConnectionThread = m_pConnectionThread;

    setObjectName(QStringLiteral("CMainFrame"));
    // Toolbar and status bar stay: no menu to hide them, here or on a right click.
    setContextMenuPolicy(Qt::NoContextMenu);
    OnCreateClient();
    OnCreate();
    CreateKeys();
    NameControls();
    OnUpdateFrameTitle();
    new CDownloadManager(QWebEngineProfile::defaultProfile(), this, [this](const QString& strText) { ShowPrompt(strText); });
    m_pView->OnInitialUpdate();
}

CMainFrame::~CMainFrame()
{
    if (m_pConnectionThread) {
        StopConnectionThread(m_pConnectionThread);
        if (g_pConnectionThread == m_pConnectionThread)
            g_pConnectionThread = nullptr;
        m_pConnectionThread = nullptr;
    }
}

void CMainFrame::OnCreateClient()
{
    m_pSplitter = new QSplitter(Qt::Vertical, this);
    m_pSplitter->setObjectName(QStringLiteral("m_splitter"));
    m_pView = new CVelmoraView(m_pSplitter);
    // The lower row: its own frame with a toolbar and the home-page view.
    m_pLowerPane = new CFrameLower(m_pSplitter);
    m_pSplitter->addWidget(m_pView);
    m_pSplitter->addWidget(m_pLowerPane);
    m_pSplitter->setChildrenCollapsible(true);
    // The upper row asks for the whole screen height: the lower row starts
    // closed and the user drags the bar up to show it.
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    const int nHeight = pScreen ? pScreen->availableGeometry().height() : 10000;
    m_pSplitter->setSizes({nHeight, 0});
    setCentralWidget(m_pSplitter);
    // Without a window manager "maximised" means nothing: start screen-sized anyway.
    if (pScreen)
        resize(pScreen->availableGeometry().size());
}

void CMainFrame::OnCreate()
{
    CreateMenus();
    CreateToolBar();
    CreateAddressBar();
    CreateStatusBar();
    // The favourites fill the View popup, which the toolbar's drop-down shows too.
    auto* pFavorites = new CFavoritesMenu([this](const QString& strUrl) { m_pView->NavigateStored(strUrl); }, this);
    pFavorites->FillFromProfile(m_pFavoritesMenu);
    m_favoriteUrls = pFavorites->FavoriteUrls();
}

QAction* CMainFrame::AddCommand(int nId, const QString& strText)
{
    auto* pAction = new QAction(strText, this);
    pAction->setData(nId);
    m_commands[nId] = pAction;
    return pAction;
}

QAction* CMainFrame::AddCommand(int nId, const QString& strText, QObject*, void (CVelmoraView::*pHandler)())
{
    QAction* pAction = AddCommand(nId, strText);
    CVelmoraView* pView = m_pView;
    connect(pAction, &QAction::triggered, pView, [pView, pHandler] { (pView->*pHandler)(); });
    return pAction;
}

QAction* CMainFrame::CommandAction(int nId) const
{
    const auto it = m_commands.find(nId);
    return it == m_commands.end() ? nullptr : it->second;
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* pBar = statusBar();
    pBar->setObjectName(QStringLiteral("m_statusBar"));
    pBar->setSizeGripEnabled(true);
    new CLockIndicators(pBar);
}

void CMainFrame::ShowAddress(const QString& strUrl)
{
    m_pAddressBox->setEditText(strUrl);
    m_pAddressBox->insertItem(0, strUrl);
    // Inserting into an empty list selects the new item; the edit text is the URL either way.
    m_pAddressBox->setEditText(strUrl);
}

void CMainFrame::ShowPrompt(const QString& strText)
{
    if (strText.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(strText);
}

void CMainFrame::OnUpdateFrameTitle()
{
    setWindowTitle(QLatin1String(kFrameTitle));
}

void CMainFrame::OnAddressSelEndOk(int nIndex)
{
    if (nIndex >= 0)
        m_pView->Navigate(m_pAddressBox->itemText(nIndex));
}

void CMainFrame::OnAddressEnter()
{
    const QString strText = m_pAddressBox->currentText();
    m_pView->Navigate(strText);
    m_pAddressBox->addItem(strText);
}

void CMainFrame::OnNextPane(bool bForward)
{
    // F6 and Shift+F6 move the keyboard focus between the address box, the upper
    // view and the lower pane.
    QList<QWidget*> panes{m_pAddressBox, m_pView};
    if (m_pSplitter->sizes().value(1) > 0)
        panes << m_pLowerPane;
    int nCurrent = -1;
    for (int i = 0; i < panes.size(); ++i)
        if (panes[i]->isAncestorOf(QApplication::focusWidget()) || panes[i] == QApplication::focusWidget())
            nCurrent = i;
    const int nNext = nCurrent < 0 ? 0 : (nCurrent + (bForward ? 1 : panes.size() - 1)) % panes.size();
    // The lower pane's keyboard goes to its page, not to the frame around it.
    QWidget* pTarget = panes[nNext] == m_pLowerPane ? LowerView() : panes[nNext];
    pTarget->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::showEvent(QShowEvent* pEvent)
{
    QMainWindow::showEvent(pEvent);
    // The keyboard starts in the address box (type an address at once, Tab on
    // to the page, Shift+Tab back to the toolbar), once the bars are shown and
    // before the window first becomes active.
    if (!m_bShown) {
        m_bShown = true;
        m_pAddressBox->setFocus(Qt::OtherFocusReason);
    }
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    // The upper view is inside its navigation hook (a download or a message box
    // is on screen): closing now would pull the page from under it.
    if (m_pView && m_pView->IsHandoffBusy()) {
        pEvent->ignore();
        return;
    }
    QMainWindow::closeEvent(pEvent);
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pAddressBox && pEvent->type() == QEvent::KeyPress) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (pKey->modifiers() == Qt::NoModifier) {
            switch (pKey->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                OnAddressEnter();
                return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
                // Open the list rather than jump to (and open) a neighbour.
                m_pAddressBox->showPopup();
                return true;
            default:
                break;
            }
        }
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}
