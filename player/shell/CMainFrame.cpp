#include "player/shell/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>

#include "player/analysis/window/CMeasureView.h"
#include "player/shell/CArtwork.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/CSonavelProView.h"
#include "player/shell/resource.h"

using namespace sonavel::shell;

CMainFrame::CMainFrame(CSonavelProApp* pApp) : m_pApp(pApp)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(kszAppTitle);
    setWindowIcon(sonavel::shell::MainIcon());
    setAcceptDrops(true);

    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setAcceptDrops(false);
    // The bar is only 60 px tall: the document area must not ask for more.
    m_pMdiArea->setMinimumSize(1, 1);
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pMdiArea->setAccessibleName(QString::fromUtf8(kszDocumentArea));
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

    CreateCommands();
    CreateMenus();
    ShowMenu(IDR_MAINFRAME);
    // F10 opens the first menu of whichever menu the bar shows, as Alt+letter
    // opens the one whose letter is marked.
    auto* pMenuKey = new QAction(QString::fromUtf8(kszItemMenuBar), this);
    pMenuKey->setShortcut(QKeySequence(Qt::Key_F10));
    pMenuKey->setShortcutContext(Qt::WindowShortcut);
    connect(pMenuKey, &QAction::triggered, this, [this] {
        if (!menuBar()->actions().isEmpty())
            menuBar()->setActiveAction(menuBar()->actions().constFirst());
    });
    addAction(pMenuKey);
    UpdateCommandUI();
    UpdateRecentFileMenu();

    connect(m_pApp, &CSonavelProApp::LoadedChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pApp, &CSonavelProApp::LoadedChanged, this, &CMainFrame::UpdateTitle);
    connect(m_pApp, &CSonavelProApp::PlayingChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pApp, &CSonavelProApp::RecentFilesChanged, this, &CMainFrame::UpdateRecentFileMenu);

    QScreen* pScreen = QGuiApplication::primaryScreen();
    QRect geometry = InitialGeometry(pScreen ? pScreen->geometry() : QRect(0, 0, 1024, 768));
    resize(geometry.size());
    move(geometry.topLeft());

    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    // Document windows still open close while QWidget tears the frame down;
    // their activation changes must not reach this half-destroyed frame.
    disconnect(m_pMdiArea, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    delete m_pPrinter;
}

QRect CMainFrame::InitialGeometry(const QRect& desktop)
{
    // The desktop's right edge is exclusive (x + width); integer division
    // truncates toward zero, also for a desktop narrower than 200.
    int nRight = desktop.x() + desktop.width();
    return QRect((nRight - kMainFrameCentring) / 2, kMainFrameTop, kMainFrameWidth, kMainFrameHeight);
}

QAction* CMainFrame::AddCommand(int nId, const QString& strText, const QList<QKeySequence>& keys)
{
    auto* pAction = new QAction(strText, this);
    pAction->setData(nId);
    pAction->setShortcuts(keys);
    pAction->setShortcutContext(Qt::WindowShortcut);
    // Added to the frame so the accelerators work whichever menu is shown.
    addAction(pAction);
    m_commands.insert(nId, pAction);
    return pAction;
}

void CMainFrame::CreateCommands()
{
    using QKS = QKeySequence;
    connect(AddCommand(ID_PLAY, kszItemPlay, {QKS(Qt::CTRL | Qt::Key_P)}), &QAction::triggered,
            m_pApp, &CSonavelProApp::OnPlay);
    connect(AddCommand(ID_STOP, kszItemStop, {QKS(Qt::CTRL | Qt::Key_Period)}), &QAction::triggered,
            m_pApp, &CSonavelProApp::OnStop);
    connect(AddCommand(ID_ANALYSIS, kszItemAnalysis, {QKS(Qt::CTRL | Qt::Key_A)}), &QAction::triggered,
            m_pApp, &CSonavelProApp::OnAnalysis);
    connect(AddCommand(ID_MEASURE, kszItemMeasure, {QKS(Qt::CTRL | Qt::Key_M)}), &QAction::triggered,
            m_pApp, &CSonavelProApp::OnMeasure);
    connect(AddCommand(ID_APP_ABOUT, kszItemAbout), &QAction::triggered, m_pApp, &CSonavelProApp::OnAppAbout);
    connect(AddCommand(ID_FILE_NEW, kszItemFileNew, {QKS(Qt::CTRL | Qt::Key_N)}), &QAction::triggered,
            m_pApp, &CSonavelProApp::OnFileNew);
    connect(AddCommand(ID_FILE_OPEN, kszItemFileOpen, {QKS(Qt::CTRL | Qt::Key_O)}), &QAction::triggered,
            m_pApp, &CSonavelProApp::OnFileOpen);
    connect(AddCommand(ID_FILE_CLOSE, kszItemFileClose), &QAction::triggered, m_pMdiArea, &QMdiArea::closeActiveSubWindow);
    // The player never writes files: an empty document has nothing to save.
    AddCommand(ID_FILE_SAVE, kszItemFileSave)->setEnabled(false);
    AddCommand(ID_FILE_SAVE_AS, kszItemFileSaveAs)->setEnabled(false);
    connect(AddCommand(ID_FILE_PRINT, kszItemFilePrint), &QAction::triggered, this, &CMainFrame::OnFilePrint);
    connect(AddCommand(ID_FILE_PRINT_PREVIEW, kszItemFilePrintPreview), &QAction::triggered, this,
            &CMainFrame::OnFilePrintPreview);
    connect(AddCommand(ID_FILE_PRINT_SETUP, kszItemFilePrintSetup), &QAction::triggered, this,
            &CMainFrame::OnFilePrintSetup);
    connect(AddCommand(ID_APP_EXIT, kszItemAppExit), &QAction::triggered, this, &QWidget::close);

    // Editing has no handler anywhere in the player: the commands stay grey.
    AddCommand(ID_EDIT_UNDO, kszItemEditUndo, {QKS(Qt::CTRL | Qt::Key_Z), QKS(Qt::ALT | Qt::Key_Backspace)})->setEnabled(false);
    AddCommand(ID_EDIT_CUT, kszItemEditCut, {QKS(Qt::CTRL | Qt::Key_X), QKS(Qt::SHIFT | Qt::Key_Delete)})->setEnabled(false);
    AddCommand(ID_EDIT_COPY, kszItemEditCopy, {QKS(Qt::CTRL | Qt::Key_C), QKS(Qt::CTRL | Qt::Key_Insert)})->setEnabled(false);
    AddCommand(ID_EDIT_PASTE, kszItemEditPaste, {QKS(Qt::CTRL | Qt::Key_V), QKS(Qt::SHIFT | Qt::Key_Insert)})->setEnabled(false);

    connect(AddCommand(ID_NEXT_PANE, kszItemNextPane, {QKS(Qt::Key_F6)}), &QAction::triggered, m_pMdiArea,
            &QMdiArea::activateNextSubWindow);
    connect(AddCommand(ID_PREV_PANE, kszItemPrevPane, {QKS(Qt::SHIFT | Qt::Key_F6)}), &QAction::triggered,
            m_pMdiArea, &QMdiArea::activatePreviousSubWindow);

    connect(AddCommand(ID_WINDOW_NEW, kszItemWindowNew), &QAction::triggered, this, &CMainFrame::OnNewWindow);
    connect(AddCommand(ID_WINDOW_CASCADE, kszItemWindowCascade), &QAction::triggered, m_pMdiArea,
            &QMdiArea::cascadeSubWindows);
    connect(AddCommand(ID_WINDOW_TILE_HORZ, kszItemWindowTile), &QAction::triggered, m_pMdiArea, &QMdiArea::tileSubWindows);
    connect(AddCommand(ID_WINDOW_ARRANGE, kszItemWindowArrange), &QAction::triggered, this,
            &CMainFrame::OnArrangeIcons);
}

void CMainFrame::CreateMenus()
{
    auto menu = [this](const char* szTitle, std::initializer_list<int> ids, QList<QMenu*>& group) {
        auto* pMenu = new QMenu(QString::fromUtf8(szTitle), this);
        pMenu->setAccessibleName(pMenu->title().remove(QLatin1Char('&')));
        for (int nId : ids) {
            if (nId == 0)
                pMenu->addSeparator();
            else
                pMenu->addAction(m_commands.value(nId));
        }
        // Greying is decided again each time a menu opens, as the user sees it.
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        group.append(pMenu);
        return pMenu;
    };
    menu(kszMenuPlay, {ID_PLAY, ID_STOP}, m_mainMenus);
    menu(kszMenuAnalysis, {ID_ANALYSIS, ID_MEASURE}, m_mainMenus);
    menu(kszMenuAbout, {ID_APP_ABOUT}, m_mainMenus);

    m_pFileMenu = menu(kszMenuFile,
                       {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, ID_FILE_PRINT,
                        ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP, 0},
                       m_documentMenus);
    m_pRecentAnchor = m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_commands.value(ID_APP_EXIT));
    menu(kszMenuEdit, {ID_EDIT_UNDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}, m_documentMenus);
    menu(kszMenuWindow, {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}, m_documentMenus);
    QMenu* pHelp = menu(kszMenuHelp, {}, m_documentMenus);
    QAction* pAbout = pHelp->addAction(kszItemHelpAbout);
    connect(pAbout, &QAction::triggered, m_pApp, &CSonavelProApp::OnAppAbout);
}

void CMainFrame::ShowMenu(int nMenuId)
{
    if (nMenuId == m_nMenuId)
        return;
    m_nMenuId = nMenuId;
    menuBar()->clear();
    for (QMenu* pMenu : nMenuId == IDR_MAINFRAME ? m_mainMenus : m_documentMenus)
        menuBar()->addMenu(pMenu);
}

void CMainFrame::UpdateCommandUI()
{
    for (int nId : {ID_PLAY, ID_STOP, ID_ANALYSIS, ID_MEASURE})
        if (QAction* pAction = m_commands.value(nId))
            pAction->setEnabled(m_pApp->IsCommandEnabled(nId));
    bool bDocument = m_pMdiArea->activeSubWindow() != nullptr;
    for (int nId : {ID_FILE_CLOSE, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_WINDOW_NEW})
        m_commands.value(nId)->setEnabled(bDocument);
}

void CMainFrame::UpdateRecentFileMenu()
{
    qDeleteAll(m_recentActions);
    m_recentActions.clear();
    QStringList files = m_pApp->RecentFiles().Files();
    if (files.isEmpty()) {
        auto* pEmpty = new QAction(kszRecentFileEmpty, m_pFileMenu);
        pEmpty->setEnabled(false);
        m_pFileMenu->insertAction(m_pRecentAnchor, pEmpty);
        m_recentActions.append(pEmpty);
        return;
    }
    for (int i = 0; i < files.size(); ++i) {
        QString strLabel = QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName());
        auto* pAction = new QAction(strLabel, m_pFileMenu);
        pAction->setData(ID_FILE_MRU_FILE1 + i);
        pAction->setToolTip(files[i]);
        connect(pAction, &QAction::triggered, m_pApp, [this, i] { m_pApp->OnOpenRecentFile(i); });
        m_pFileMenu->insertAction(m_pRecentAnchor, pAction);
        m_recentActions.append(pAction);
    }
}

QMdiSubWindow* CMainFrame::NewDocumentWindow()
{
    QString strTitle = QStringLiteral("%1%2").arg(kszDocTitleBase).arg(++m_nDocuments);
    auto* pView = new CSonavelProView(strTitle);
    QMdiSubWindow* pWindow = m_pMdiArea->addSubWindow(pView);
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowTitle(strTitle);
    pWindow->setWindowIcon(sonavel::shell::DocumentIcon());
    pWindow->show();
    m_pMdiArea->setActiveSubWindow(pWindow);
    return pWindow;
}

void CMainFrame::OnNewWindow()
{
    QMdiSubWindow* pActive = m_pMdiArea->activeSubWindow();
    auto* pView = pActive ? qobject_cast<CSonavelProView*>(pActive->widget()) : nullptr;
    if (!pView)
        return;
    int nViews = 0;
    for (QMdiSubWindow* p : m_pMdiArea->subWindowList())
        if (auto* v = qobject_cast<CSonavelProView*>(p->widget()); v && v->DocTitle() == pView->DocTitle())
            ++nViews;
    auto* pNewView = new CSonavelProView(pView->DocTitle());
    QMdiSubWindow* pWindow = m_pMdiArea->addSubWindow(pNewView);
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowTitle(QStringLiteral("%1:%2").arg(pView->DocTitle()).arg(nViews + 1));
    pWindow->setWindowIcon(sonavel::shell::DocumentIcon());
    pWindow->show();
}

void CMainFrame::OnArrangeIcons()
{
    // Minimised document windows line up along the bottom edge.
    int nX = 0;
    for (QMdiSubWindow* p : m_pMdiArea->subWindowList()) {
        if (!p->isMinimized())
            continue;
        p->move(nX, m_pMdiArea->viewport()->height() - p->height());
        nX += p->width();
    }
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* pWindow)
{
    ShowMenu(pWindow ? IDR_SONAVTYPE : IDR_MAINFRAME);
    UpdateTitle();
    UpdateCommandUI();
}

void CMainFrame::SetSoundNote(const QString& strNote)
{
    m_strSoundNote = strNote;
    UpdateTitle();
}

void CMainFrame::UpdateTitle()
{
    // The document window shown, else the sound loaded, after the program's
    // name; the bar alone is named by the program.
    QMdiSubWindow* pActive = m_pMdiArea->activeSubWindow();
    const QString strName = pActive ? pActive->windowTitle() : m_pApp->SoundName();
    QString strTitle = strName.isEmpty() ? QString(kszAppTitle) : QStringLiteral("%1 - %2").arg(kszAppTitle, strName);
    if (!m_strSoundNote.isEmpty())
        strTitle += QString::fromUtf8(" \xE2\x80\x94 ") + m_strSoundNote;
    setWindowTitle(strTitle);
}

CSonavelProView* CMainFrame::ActiveView() const
{
    QMdiSubWindow* pActive = m_pMdiArea->activeSubWindow();
    return pActive ? qobject_cast<CSonavelProView*>(pActive->widget()) : nullptr;
}

QPrinter* CMainFrame::Printer()
{
    if (!m_pPrinter)
        m_pPrinter = new QPrinter;
    return m_pPrinter;
}

void CMainFrame::OnFilePrint()
{
    CSonavelProView* pView = ActiveView();
    if (!pView)
        return;
    QPrintDialog dlg(Printer(), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    QPainter painter(Printer());
    pView->OnDraw(painter);
}

void CMainFrame::OnFilePrintPreview()
{
    CSonavelProView* pView = ActiveView();
    if (!pView)
        return;
    QPrintPreviewDialog dlg(Printer(), this);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [pView](QPrinter* pPrinter) {
        QPainter painter(pPrinter);
        pView->OnDraw(painter);
    });
    dlg.exec();
}

void CMainFrame::OnFilePrintSetup()
{
    QPageSetupDialog dlg(Printer(), this);
    dlg.exec();
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    if (CMeasureView* pView = m_pApp->MeasureView(); pView && !pView->MayDiscardTiers())
        return pEvent->ignore();
    QMainWindow::closeEvent(pEvent);
}

void CMainFrame::OnActivateApp(bool bActive)
{
    // Another application came to the front: the player ends, also in the
    // middle of a playback (the playbacks stop as the application object goes).
    // The measuring view is the user's work: while it is on screen the player
    // stays. A view just closed is hidden at once but deleted a moment later,
    // and one may open between the request and its turn, so both ask the
    // view's state on screen, and the request asks again when it runs.
    const auto bViewShown = [this] { return m_pApp->MeasureView() && m_pApp->MeasureView()->isVisible(); };
    if (!bActive && !bViewShown())
        QMetaObject::invokeMethod(this, [this, bViewShown] {
            if (!m_bAppActive && !bViewShown())
                QCoreApplication::exit(0);
        }, Qt::QueuedConnection);
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == qApp && pEvent->type() == QEvent::ApplicationStateChange) {
        // Only a change away from the front counts: the program starts inactive.
        bool bActive = static_cast<QApplicationStateChangeEvent*>(pEvent)->applicationState() == Qt::ApplicationActive;
        if (bActive != m_bAppActive) {
            m_bAppActive = bActive;
            OnActivateApp(bActive);
        }
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}
