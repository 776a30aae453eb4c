#pragma once
// The lower row of the main window's splitter: a small frame with a vertical
// toolbar on its left edge and the lower browser view.
#include <QMainWindow>
#include <QPixmap>

class QToolBar;
class CVelmoraViewLower;

namespace velmora {
// Toolbar 129: five buttons of 17 x 15 pixels from one 85 x 15 strip.
inline constexpr int IDR_LOWER_TOOLBAR = 129;
inline constexpr int kLowerImageWidth = 17;
inline constexpr int kLowerImageHeight = 15;
inline constexpr int ID_LOWER_BACK = 32771;
inline constexpr int ID_LOWER_FORWARD = 32772;
inline constexpr int ID_LOWER_REFRESH = 32773;
inline constexpr int ID_LOWER_STOP = 32774;
inline constexpr int ID_LOWER_HOME = 32775;
} // namespace velmora

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
