#pragma once
// The browser's one window: the toolbar and the address box on two rows at
// the top, the status bar, and a two-row splitter with the upper web view
// (CVelmoraView) over the lower pane. The frame owns the connection-check
// thread for as long as it exists.
#include "browser/window/CVelmoraDoc.h"

#include <QMainWindow>
#include <QStringList>

#include <map>

class CConnectionThread;
class CVelmoraView;
class CVelmoraViewLower;
class QComboBox;
class QMenu;
class QSplitter;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // Puts strUrl into the address box's edit field and as a new first item of
    // its list (duplicates too).
    void ShowAddress(const QString& strUrl);

    // Text for the status bar's prompt pane (empty: clear it).
    void ShowPrompt(const QString& strText);

    // The title never shows a document name.
    void OnUpdateFrameTitle();

    // The action of a command id (menus, toolbar, accelerators), or null.
    QAction* CommandAction(int nId) const;

    // URL of each favourites command; index = command id - kFavoriteFirstId.
    QStringList m_favoriteUrls;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void OnCreate();
    void OnCreateClient();
    void CreateMenus();
    void CreateToolBar();
    void CreateAddressBar();
    void CreateStatusBar();
    QAction* AddCommand(int nId, const QString& strText, QObject* pReceiver, void (CVelmoraView::*pHandler)());
    QAction* AddCommand(int nId, const QString& strText);
    void OnAddressSelEndOk(int nIndex);
    void OnAddressEnter();
    void OnNextPane(bool bForward);
    // Keys beyond the accelerator table, the tab chain and the accessible names
    // (CMainFrameKeys.cpp).
    void CreateKeys();
    void NameControls();
    CVelmoraViewLower* LowerView() const;
    // Ctrl+L, Alt+D: the address box takes the focus with its text selected.
    void OnFocusAddress();
    // Ctrl+plus, Ctrl+minus: the Font menu's next larger or smaller size.
    void OnZoomStep(int nStep);
    // Escape while a pane loads: stops it.
    void OnStopLoad();

    CVelmoraDoc m_doc;
    CVelmoraView* m_pView = nullptr;
    QSplitter* m_pSplitter = nullptr;
    QWidget* m_pLowerPane = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pAddressBar = nullptr;
    QComboBox* m_pAddressBox = nullptr;
    QMenu* m_pFavoritesMenu = nullptr;
    QMenu* m_pFontMenu = nullptr;
    std::map<int, QAction*> m_commands;
    QAction* m_pStopLoad = nullptr;
    bool m_bUpperLoading = false;
    bool m_bLowerLoading = false;
    bool m_bShown = false;
    CConnectionThread* m_pConnectionThread = nullptr;
};
