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
class QComboBox;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;

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

    CVelmoraView* ActiveView() const { return m_pView; }
    QComboBox* AddressBox() const { return m_pAddressBox; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    QToolBar* AddressBar() const { return m_pAddressBar; }
    QSplitter* Splitter() const { return m_pSplitter; }
    CVelmoraDoc& Document() { return m_doc; }

    // The menu-bar popup at position 3, emptied: the favourites go in here, and
    // the toolbar's Favorites drop-down shows the same menu.
    QMenu* FavoritesMenu() const { return m_pFavoritesMenu; }
    // The Font drop-down (menu 132).
    QMenu* FontMenu() const { return m_pFontMenu; }
    QToolButton* ToolButton(int nCommandId) const;

    // The splitter's lower row: the lower pane's frame (CFrameLower).
    QWidget* LowerPane() const { return m_pLowerPane; }

    // The action of a command id (menus, toolbar, accelerators), or null.
    QAction* CommandAction(int nId) const;

    // URL of each favourites command; index = command id - kFavoriteFirstId.
    QStringList m_favoriteUrls;

protected:
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
    std::map<int, QToolButton*> m_toolButtons;
    CConnectionThread* m_pConnectionThread = nullptr;
};
