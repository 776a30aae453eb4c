#pragma once
// The player's main bar: a small window at the top of the screen with the
// menus Play, Analysis and About. It takes dropped files, carries the
// accelerators, hosts the (rare) document windows of File New, and ends the
// program as soon as another application is activated.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QMainWindow>
#include <QMap>
#include <QRect>

class CSonavelProApp;
class CSonavelProView;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CSonavelProApp* pApp);
    ~CMainFrame() override;

    // Where the bar goes on a desktop: 220 x 60 at top 30, left edge
    // (desktop right - 200) / 2.
    static QRect InitialGeometry(const QRect& desktop);

    // Enables or greys every command as the application says.
    void UpdateCommandUI();

    // What the title says of the loaded sound after the program's name (a
    // download cut short); empty: the title is the program's name alone.
    void SetSoundNote(const QString& strNote);

    QMdiSubWindow* NewDocumentWindow();
    void OnActivateApp(bool bActive);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
    // The bar takes the measuring view with it: unsaved tiers are asked about first.
    void closeEvent(QCloseEvent* pEvent) override;

private:
    QAction* AddCommand(int nId, const QString& strText, const QList<QKeySequence>& keys = {});
    void CreateCommands();
    void CreateMenus();
    void ShowMenu(int nMenuId);
    void UpdateRecentFileMenu();
    void UpdateTitle();
    void OnSubWindowActivated(QMdiSubWindow* pWindow);
    void OnNewWindow();
    void OnArrangeIcons();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    // The active document window's view, or null; the one printer, made at first use.
    CSonavelProView* ActiveView() const;
    QPrinter* Printer();

    CSonavelProApp* m_pApp;
    QMdiArea* m_pMdiArea;
    QMap<int, QAction*> m_commands;
    QList<QMenu*> m_mainMenus;       // menu 128
    QList<QMenu*> m_documentMenus;   // menu 129
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentAnchor = nullptr;
    QList<QAction*> m_recentActions;
    int m_nMenuId = 0;               // the menu on the bar: 128, or 129 while a document window is active
    int m_nDocuments = 0;
    QString m_strSoundNote;
    bool m_bAppActive = false;
    QPrinter* m_pPrinter = nullptr;
};
