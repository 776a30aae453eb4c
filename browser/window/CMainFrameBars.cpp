// The frame's menus, toolbar and address band: every command gets its action
// here, keyed by its id, and the toolbar's buttons share the menus' actions.
#include "browser/window/CMainFrame.h"

#include "browser/startup/VelmoraResource.h"
#include "browser/window/CAboutDlg.h"
#include "browser/window/CAddressBox.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/ToolbarImages.h"

#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

using namespace velmora;

namespace {

// The address box's list shows about 120 pixels of items.
constexpr int kAddressListItems = 8;

}  // namespace

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

    // The only title without an access key of its own: Alt+O opens it.
    QMenu* pOptions = pBar->addMenu(tr("&Options"));
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

    m_pAddressBox = new CAddressBox(m_pAddressBar);
    m_pAddressBox->setObjectName(QStringLiteral("m_addressBox"));
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
