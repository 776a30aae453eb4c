#include "browser/window/CMainFrame.h"

#include "browser/window/CVelmoraView.h"
#include "browser/window/ToolbarImages.h"
#include "browser/startup/VelmoraResource.h"

#include "browser/startup/CConnectionThread.h"

#include "browser/favorites/CFavoritesMenu.h"
#include "browser/window/CAboutDlg.h"
#include "browser/window/CFrameLower.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

using namespace velmora;

namespace {

// X11 modifier state bits of the lock keys, as carried by key events.
constexpr quint32 kX11LockMask = 0x02;
constexpr quint32 kX11NumLockMask = 0x10;

// The address box's list shows about 120 pixels of items.
constexpr int kAddressListItems = 8;

}  // namespace

CMainFrame::CMainFrame(QWidget* pParent) : QMainWindow(pParent)
{
    m_pConnectionThread = StartConnectionThread();
    g_pConnectionThread = m_pConnectionThread;

    setObjectName(QStringLiteral("CMainFrame"));
    // Toolbar and status bar stay: no menu to hide them, here or on a right click.
    setContextMenuPolicy(Qt::NoContextMenu);
    OnCreateClient();
    OnCreate();
    OnUpdateFrameTitle();
    qApp->installEventFilter(this);
    connect(QWebEngineProfile::defaultProfile(), &QWebEngineProfile::downloadRequested, this,
            &CMainFrame::OnDownloadRequested);
    m_pView->OnInitialUpdate();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
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

QToolButton* CMainFrame::ToolButton(int nCommandId) const
{
    const auto it = m_toolButtons.find(nCommandId);
    return it == m_toolButtons.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* pBar = menuBar();

    // Commands without a handler are greyed, as are their accelerators.
    auto disabled = [this](int nId, const QString& strText, const QList<QKeySequence>& keys = {}) {
        QAction* pAction = AddCommand(nId, strText);
        pAction->setShortcuts(keys);
        pAction->setEnabled(false);
        return pAction;
    };

    QMenu* pFile = pBar->addMenu(tr("&File"));
    QAction* pNew = AddCommand(ID_FILE_NEW, tr("&New"), m_pView, &CVelmoraView::OnInitialUpdate);
    pNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    pFile->addAction(pNew);
    QAction* pOpen = AddCommand(ID_FILE_OPEN, tr("&Open..."), m_pView, &CVelmoraView::OnFileOpen);
    pOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    pFile->addAction(pOpen);
    // The document holds nothing, so there is nothing to save.
    pFile->addAction(disabled(ID_FILE_SAVE, tr("&Save"), {QKeySequence(Qt::CTRL | Qt::Key_S)}));
    pFile->addAction(disabled(ID_FILE_SAVE_AS, tr("Save &As...")));
    pFile->addSeparator();
    QAction* pPrint = AddCommand(ID_FILE_PRINT, tr("&Print..."), m_pView, &CVelmoraView::OnFilePrint);
    pPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    pFile->addAction(pPrint);
    pFile->addAction(AddCommand(ID_FILE_PAGE_SETUP, tr("P&rint Setup..."), m_pView, &CVelmoraView::OnFilePageSetup));
    pFile->addSeparator();
    // The browser opens no documents of its own, so the recent-file list stays empty.
    pFile->addAction(disabled(ID_FILE_MRU_FILE1, tr("Recent File")));
    pFile->addSeparator();
    QAction* pExit = AddCommand(ID_APP_EXIT, tr("E&xit"));
    connect(pExit, &QAction::triggered, this, &QWidget::close);
    pFile->addAction(pExit);

    QMenu* pEdit = pBar->addMenu(tr("&Edit"));
    pEdit->addAction(disabled(ID_EDIT_UNDO, tr("&Undo"),
                              {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}));
    pEdit->addSeparator();
    pEdit->addAction(disabled(ID_EDIT_CUT, tr("Cu&t"),
                              {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}));
    pEdit->addAction(disabled(ID_EDIT_COPY, tr("&Copy"),
                              {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}));
    pEdit->addAction(disabled(ID_EDIT_PASTE, tr("&Paste"),
                              {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}));

    QMenu* pOptions = pBar->addMenu(tr("Options"));
    QAction* pPreferences =
        AddCommand(ID_OPTIONS_PREFERENCES, tr("Preferences..."), m_pView, &CVelmoraView::OnOptionsPreferences);
    pOptions->addAction(pPreferences);

    // Position 3: its Toolbar and Status Bar items are gone; the favourites fill it.
    m_pFavoritesMenu = pBar->addMenu(tr("&View"));
    m_pFavoritesMenu->setObjectName(QStringLiteral("FavoritesMenu"));

    QMenu* pHelp = pBar->addMenu(tr("&Help"));
    pHelp->addAction(disabled(ID_HELP_FINDER, tr("&Help Topics")));
    pHelp->addSeparator();
    QAction* pAbout = AddCommand(ID_APP_ABOUT, tr("&About Velmora..."));
    connect(pAbout, &QAction::triggered, this, [this] { CAboutDlg::OnAppAbout(this); });
    pHelp->addAction(pAbout);

    // Accelerators that have no menu item.
    QAction* pNextPane = AddCommand(ID_NEXT_PANE, tr("Next Pane"));
    pNextPane->setShortcut(QKeySequence(Qt::Key_F6));
    connect(pNextPane, &QAction::triggered, this, [this] { OnNextPane(true); });
    QAction* pPrevPane = AddCommand(ID_PREV_PANE, tr("Previous Pane"));
    pPrevPane->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(pPrevPane, &QAction::triggered, this, [this] { OnNextPane(false); });
    addAction(pNextPane);
    addAction(pPrevPane);
    addAction(disabled(ID_CONTEXT_HELP, tr("Help"), {QKeySequence(Qt::SHIFT | Qt::Key_F1)}));
    addAction(disabled(ID_HELP, tr("Help"), {QKeySequence(Qt::Key_F1)}));

    // Menu 132: the Font drop-down, largest first.
    m_pFontMenu = new QMenu(this);
    m_pFontMenu->setObjectName(QStringLiteral("FontMenu"));
    auto* pZoomGroup = new QActionGroup(this);
    const struct {
        int nId;
        const char* szText;
        int nLevel;
    } fonts[] = {
        {ID_FONT_LARGEST, "Lar&gest", 4}, {ID_FONT_LARGER, "&Larger", 3},   {ID_FONT_MEDIUM, "&Medium", 2},
        {ID_FONT_SMALLER, "&Smaller", 1}, {ID_FONT_SMALLEST, "Sm&allest", 0},
    };
    for (const auto& font : fonts) {
        QAction* pAction = AddCommand(font.nId, tr(font.szText));
        pAction->setCheckable(true);
        pAction->setChecked(font.nLevel == m_pView->ZoomLevel());
        pZoomGroup->addAction(pAction);
        const int nLevel = font.nLevel;
        connect(pAction, &QAction::triggered, m_pView, [this, nLevel] { m_pView->SetZoomLevel(nLevel); });
        m_pFontMenu->addAction(pAction);
    }
}

void CMainFrame::CreateToolBar()
{
    m_pToolBar = new QToolBar(tr("Toolbar"), this);
    m_pToolBar->setObjectName(QStringLiteral("m_toolBar"));
    // Both bands keep a gripper: they can be rearranged along the top, never hidden or floated.
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(false);
    m_pToolBar->setAllowedAreas(Qt::TopToolBarArea);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_pToolBar->setIconSize(QSize(kToolbarImageWidth, kToolbarImageHeight));
    m_pToolBar->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, m_pToolBar);

    auto addButton = [this](QAction* pAction, EToolbarImage image) {
        pAction->setIcon(ToolbarIcon(image));
        m_pToolBar->addAction(pAction);
        auto* pButton = qobject_cast<QToolButton*>(m_pToolBar->widgetForAction(pAction));
        if (pButton) {
            pButton->setMinimumWidth(kToolbarButtonMinWidth);
            pButton->setMaximumWidth(kToolbarButtonMaxWidth);
            pButton->setAutoRaise(true);
            m_toolButtons[pAction->data().toInt()] = pButton;
        }
        return pButton;
    };
    addButton(AddCommand(ID_GO_BACK, QLatin1String(IDS_BACK), m_pView, &CVelmoraView::OnGoBack), EToolbarImage::Back);
    addButton(AddCommand(ID_GO_FORWARD, QLatin1String(IDS_FORWARD), m_pView, &CVelmoraView::OnGoForward),
              EToolbarImage::Forward);
    addButton(AddCommand(ID_GO_STOP, QLatin1String(IDS_STOP), m_pView, &CVelmoraView::OnGoStop), EToolbarImage::Stop);
    addButton(AddCommand(ID_GO_REFRESH, QLatin1String(IDS_REFRESH), m_pView, &CVelmoraView::OnGoRefresh),
              EToolbarImage::Refresh);
    addButton(AddCommand(ID_GO_HOME, QLatin1String(IDS_HOME), m_pView, &CVelmoraView::OnGoHome), EToolbarImage::Home);
    addButton(AddCommand(ID_GO_SEARCH, QLatin1String(IDS_SEARCH), m_pView, &CVelmoraView::OnGoSearch),
              EToolbarImage::Search);
    // The drop-downs: the arrow opens the menu, the button itself does nothing.
    QToolButton* pFavorites = addButton(AddCommand(ID_FAVORITES_DROPDOWN, QLatin1String(IDS_FAVORITES)),
                                        EToolbarImage::Favorites);
    pFavorites->setMenu(m_pFavoritesMenu);
    pFavorites->setPopupMode(QToolButton::MenuButtonPopup);
    // The toolbar button uses the File menu's Print command.
    QAction* pPrint = CommandAction(ID_FILE_PRINT);
    QToolButton* pPrintButton = addButton(pPrint, EToolbarImage::Print);
    pPrint->setIconVisibleInMenu(false);
    // The button shows the short text; the menu keeps its own.
    pPrintButton->setText(QLatin1String(IDS_PRINT));
    connect(pPrint, &QAction::changed, pPrintButton, [pPrintButton] { pPrintButton->setText(QLatin1String(IDS_PRINT)); });
    QToolButton* pFont = addButton(AddCommand(ID_FONT_DROPDOWN, QLatin1String(IDS_FONT)), EToolbarImage::Font);
    pFont->setMenu(m_pFontMenu);
    pFont->setPopupMode(QToolButton::MenuButtonPopup);
}

void CMainFrame::CreateAddressBar()
{
    // The address box starts a row of its own under the toolbar.
    addToolBarBreak(Qt::TopToolBarArea);
    m_pAddressBar = new QToolBar(QLatin1String(IDS_ADDRESS), this);
    m_pAddressBar->setObjectName(QStringLiteral("AddressBand"));
    m_pAddressBar->setMovable(true);
    m_pAddressBar->setFloatable(false);
    m_pAddressBar->setAllowedAreas(Qt::TopToolBarArea);
    m_pAddressBar->toggleViewAction()->setEnabled(false);
    auto* pLabel = new QLabel(QLatin1String(IDS_ADDRESS), m_pAddressBar);
    pLabel->setContentsMargins(4, 0, 6, 0);
    m_pAddressBar->addWidget(pLabel);

    m_pAddressBox = new QComboBox(m_pAddressBar);
    m_pAddressBox->setObjectName(QStringLiteral("m_addressBox"));
    m_pAddressBox->setEditable(true);
    // The frame decides what enters the list: no automatic insertion, and no
    // completion that could turn a typed address into another one.
    m_pAddressBox->setInsertPolicy(QComboBox::NoInsert);
    m_pAddressBox->setCompleter(nullptr);
    m_pAddressBox->setMaxVisibleItems(kAddressListItems);
    m_pAddressBox->setMinimumWidth(200);
    m_pAddressBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    pLabel->setBuddy(m_pAddressBox);
    m_pAddressBar->addWidget(m_pAddressBox);
    addToolBar(Qt::TopToolBarArea, m_pAddressBar);

    connect(m_pAddressBox, qOverload<int>(&QComboBox::activated), this, &CMainFrame::OnAddressSelEndOk);
    // Enter is taken from the box's key events (see eventFilter): the edit
    // field's returnPressed also fires for a key that then reaches the box.
    m_pAddressBox->installEventFilter(this);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* pBar = statusBar();
    pBar->setObjectName(QStringLiteral("m_statusBar"));
    pBar->setSizeGripEnabled(true);
    auto indicator = [pBar](const char* szText) {
        auto* pLabel = new QLabel(QLatin1String(szText), pBar);
        pLabel->setFrameShape(QFrame::Panel);
        pLabel->setFrameShadow(QFrame::Sunken);
        pLabel->setAlignment(Qt::AlignCenter);
        // Wide enough for the text when lit, so the bar never jumps.
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(QLatin1String(szText)) + 12);
        pBar->addPermanentWidget(pLabel);
        return pLabel;
    };
    m_pCapIndicator = indicator("CAP");
    m_pNumIndicator = indicator("NUM");
    m_pScrlIndicator = indicator("SCRL");
    SetIndicator(m_pCapIndicator, false);
    SetIndicator(m_pNumIndicator, false);
    SetIndicator(m_pScrlIndicator, false);
}

void CMainFrame::SetIndicator(QLabel* pLabel, bool bOn)
{
    // An indicator that is off keeps its place with its text greyed.
    pLabel->setEnabled(bOn);
}

void CMainFrame::UpdateLockIndicators(quint32 nNativeModifiers)
{
    SetIndicator(m_pCapIndicator, nNativeModifiers & kX11LockMask);
    SetIndicator(m_pNumIndicator, nNativeModifiers & kX11NumLockMask);
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
    panes[nNext]->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::OnDownloadRequested(QWebEngineDownloadRequest* pDownload)
{
    // What the engine itself downloads (a page's <a download>, an attachment,
    // a type it cannot show) is saved only where the user says, once the user
    // agrees: nothing is written before the answer and Cancel writes nothing.
    // The engine drops a request that is not accepted while this signal runs,
    // so the question is asked here, modally. The status bar says what became
    // of it.
    if (pDownload->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    QString strDir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (strDir.isEmpty() || !QDir().mkpath(strDir))
        strDir = QDir::homePath();
    const QPointer<QWebEngineDownloadRequest> pGuard(pDownload);
    QFileDialog dialog(this, tr("Save As"));
    dialog.setObjectName(QStringLiteral("SaveDownloadDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(strDir);
    dialog.selectFile(pDownload->downloadFileName());
    ShowPrompt(tr("Save %1?").arg(pDownload->downloadFileName()));
    const bool bAccepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (!pGuard)
        return;  // the page went away while the question was open
    if (!bAccepted) {
        ShowPrompt(tr("Not saved: %1").arg(pDownload->downloadFileName()));
        pDownload->cancel();
        return;
    }
    const QFileInfo target(dialog.selectedFiles().constFirst());
    pDownload->setDownloadDirectory(target.absolutePath());
    pDownload->setDownloadFileName(target.fileName());
    connect(pDownload, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, pDownload] {
        if (!pDownload->isFinished())
            return;
        const QString strPath = QDir(pDownload->downloadDirectory()).filePath(pDownload->downloadFileName());
        if (pDownload->state() == QWebEngineDownloadRequest::DownloadCompleted)
            ShowPrompt(tr("Saved %1").arg(QDir::toNativeSeparators(strPath)));
        else
            ShowPrompt(tr("Could not save %1: %2").arg(pDownload->downloadFileName(), pDownload->interruptReasonString()));
    });
    pDownload->accept();
    ShowPrompt(tr("Saving %1...").arg(pDownload->downloadFileName()));
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
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        // Only X11 reports the lock state with each key; elsewhere the
        // indicators stay as they are.
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            UpdateLockIndicators(pKey->nativeModifiers());
        if (type == QEvent::KeyPress && pKey->key() == Qt::Key_ScrollLock && !pKey->isAutoRepeat()) {
            m_bScrollLock = !m_bScrollLock;
            SetIndicator(m_pScrlIndicator, m_bScrollLock);
        }
        if (pWatched == m_pAddressBox && type == QEvent::KeyPress && pKey->modifiers() == Qt::NoModifier) {
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
