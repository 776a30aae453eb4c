#pragma once
// The lower row of the main window's splitter: a small frame with a vertical
// toolbar on its left edge and the lower browser view.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QMainWindow>
#include <QPixmap>

class QToolBar;
class CVelmoraViewLower;

class CFrameLower : public QMainWindow {
    Q_OBJECT
public:
    // Builds the toolbar and the view; the view goes to its home page at once.
    explicit CFrameLower(QWidget* pParent = nullptr);

    CVelmoraViewLower* GetActiveView() const { return m_pView; }
    QToolBar* ToolBar() const { return m_toolBar; }

    // Bitmap 129: the five button images side by side, drawn by code.
    static QPixmap LoadToolbarBitmap();

private:
    QToolBar* m_toolBar = nullptr;
    CVelmoraViewLower* m_pView = nullptr;
};
