// The frame's keyboard and the names a screen reader announces: the keys a
// Linux desktop user expects on top of the accelerator table (the address box,
// zoom, Escape, F10), the tab chain through the bars and the panes, and an
// accessible name for every part that has no visible text of its own.
#include "browser/window/CMainFrame.h"

#include "browser/startup/VelmoraResource.h"
#include "browser/window/CFrameLower.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/CVelmoraViewLower.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <functional>

using namespace velmora;

namespace {

// The Font menu's commands from the smallest text (level 0) to the largest.
constexpr int kFontIds[5] = {ID_FONT_SMALLEST, ID_FONT_SMALLER, ID_FONT_MEDIUM, ID_FONT_LARGER, ID_FONT_LARGEST};

// A menu is announced by the words of the item that opens it.
void NameMenus(const QList<QAction*>& actions)
{
    for (QAction* pAction : actions) {
        QMenu* pMenu = pAction->menu();
        if (!pMenu)
            continue;
        if (pMenu->accessibleName().isEmpty())
            pMenu->setAccessibleName(QString(pAction->text()).remove(QLatin1Char('&')));
        NameMenus(pMenu->actions());
    }
}

// Whether pWidget is part of pFrame: inside it, or in a popup of something
// inside it (the address list, a menu). A dialog is a window of its own.
bool BelongsTo(const QWidget* pWidget, const QWidget* pFrame)
{
    for (; pWidget; pWidget = pWidget->parentWidget()) {
        if (pWidget == pFrame)
            return true;
        if (pWidget->isWindow() && pWidget->windowType() != Qt::Popup)
            return false;
    }
    return false;
}

// Ctrl+L and Alt+D reach the address box whatever has the keyboard. The
// frame's own shortcut serves most places; a key it does not see comes here
// as a key press: one in an open list or menu (a popup is a window of its
// own, outside the shortcut's window), or one a page or field took for itself.
class CAddressKeyFilter : public QObject {
public:
    CAddressKeyFilter(QWidget* pFrame, std::function<void()> fnFocusAddress)
        : QObject(pFrame), m_pFrame(pFrame), m_fnFocusAddress(std::move(fnFocusAddress))
    {
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() != QEvent::KeyPress || !pWatched->isWidgetType()
            || !BelongsTo(static_cast<QWidget*>(pWatched), m_pFrame))
            return false;
        const auto* pKey = static_cast<QKeyEvent*>(pEvent);
        const Qt::KeyboardModifiers modifiers = pKey->modifiers() & ~Qt::KeypadModifier;
        if (!(modifiers == Qt::ControlModifier && pKey->key() == Qt::Key_L)
            && !(modifiers == Qt::AltModifier && pKey->key() == Qt::Key_D))
            return false;
        // The list or menu that had the keyboard goes first; a combo box's
        // list is put away by its box, which keeps count of it.
        while (QWidget* pPopup = QApplication::activePopupWidget()) {
            if (auto* pCombo = qobject_cast<QComboBox*>(pPopup->parentWidget()))
                pCombo->hidePopup();
            else
                pPopup->close();
            if (pPopup == QApplication::activePopupWidget())
                break;
        }
        m_pFrame->activateWindow();
        m_fnFocusAddress();
        return true;
    }

private:
    QWidget* m_pFrame;
    std::function<void()> m_fnFocusAddress;
};

}  // namespace

void CMainFrame::CreateKeys()
{
    auto addKey = [this](const QString& strText, const QList<QKeySequence>& keys, auto fnHandler) {
        auto* pAction = new QAction(strText, this);
        pAction->setShortcuts(keys);
        pAction->setShortcutContext(Qt::WindowShortcut);
        connect(pAction, &QAction::triggered, this, fnHandler);
        addAction(pAction);
        return pAction;
    };
    addKey(tr("Go to Address"), {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::ALT | Qt::Key_D)},
           [this] { OnFocusAddress(); });
    qApp->installEventFilter(new CAddressKeyFilter(this, [this] { OnFocusAddress(); }));
    // Ctrl+= is Ctrl+plus without Shift on most layouts.
    addKey(tr("Larger Text"),
           {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)},
           [this] { OnZoomStep(+1); });
    addKey(tr("Smaller Text"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { OnZoomStep(-1); });
    addKey(tr("Medium Text"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { CommandAction(ID_FONT_MEDIUM)->trigger(); });
    addKey(tr("Menu Bar"), {QKeySequence(Qt::Key_F10)}, [this] {
        if (!menuBar()->actions().isEmpty())
            menuBar()->setActiveAction(menuBar()->actions().constFirst());
    });

    // Escape belongs to the page and the address box except while a pane loads.
    m_pStopLoad = addKey(tr("Stop Loading"), {QKeySequence(Qt::Key_Escape)}, [this] { OnStopLoad(); });
    m_pStopLoad->setEnabled(false);
    auto follow = [this](QWebEngineView* pView, bool* pbLoading) {
        connect(pView, &QWebEngineView::loadStarted, this, [this, pbLoading] {
            *pbLoading = true;
            m_pStopLoad->setEnabled(true);
        });
        connect(pView, &QWebEngineView::loadFinished, this, [this, pbLoading] {
            *pbLoading = false;
            m_pStopLoad->setEnabled(m_bUpperLoading || m_bLowerLoading);
        });
    };
    follow(m_pView, &m_bUpperLoading);
    follow(LowerView(), &m_bLowerLoading);

    // The tab chain runs from the toolbar's buttons to the address box, the
    // upper page and the lower pane; the bars' buttons take Tab, not clicks.
    QWidget* pPrevious = nullptr;
    auto chain = [&pPrevious](QWidget* pWidget) {
        if (pPrevious)
            QWidget::setTabOrder(pPrevious, pWidget);
        pPrevious = pWidget;
    };
    for (QAction* pAction : m_pToolBar->actions())
        if (auto* pButton = qobject_cast<QToolButton*>(m_pToolBar->widgetForAction(pAction))) {
            pButton->setFocusPolicy(Qt::TabFocus);
            chain(pButton);
        }
    chain(m_pAddressBox);
    chain(m_pView);
    auto* pLower = static_cast<CFrameLower*>(m_pLowerPane);
    for (QAction* pAction : pLower->ToolBar()->actions())
        if (auto* pButton = qobject_cast<QToolButton*>(pLower->ToolBar()->widgetForAction(pAction))) {
            pButton->setFocusPolicy(Qt::TabFocus);
            chain(pButton);
        }
    chain(LowerView());
}

void CMainFrame::NameControls()
{
    m_pAddressBox->lineEdit()->setAccessibleName(QLatin1String(IDS_ADDRESS));
    m_pAddressBox->view()->setAccessibleName(tr("Addresses visited"));
    m_pSplitter->setAccessibleName(tr("Panes"));
    for (int i = 0; i < m_pSplitter->count(); ++i)
        m_pSplitter->handle(i)->setAccessibleName(tr("Pane divider"));
    m_pView->setAccessibleName(tr("Upper pane"));
    m_pLowerPane->setAccessibleName(tr("Lower pane"));
    static_cast<CFrameLower*>(m_pLowerPane)->ToolBar()->setAccessibleName(tr("Lower pane toolbar"));
    LowerView()->setAccessibleName(tr("Lower pane page"));
    statusBar()->setAccessibleName(tr("Status"));
    // A bar too narrow for its buttons shows the rest behind an arrow button.
    for (QToolBar* pBar : findChildren<QToolBar*>())
        for (QToolButton* pMore : pBar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            pMore->setAccessibleName(tr("More buttons"));
    NameMenus(menuBar()->actions());
    m_pFontMenu->setAccessibleName(QLatin1String(IDS_FONT));
}

CVelmoraViewLower* CMainFrame::LowerView() const
{
    return static_cast<CFrameLower*>(m_pLowerPane)->GetActiveView();
}

void CMainFrame::OnFocusAddress()
{
    m_pAddressBox->setFocus(Qt::ShortcutFocusReason);
    m_pAddressBox->lineEdit()->selectAll();
}

void CMainFrame::OnZoomStep(int nStep)
{
    const int nLevel = std::clamp(m_pView->ZoomLevel() + nStep, 0, 4);
    CommandAction(kFontIds[nLevel])->trigger();
}

void CMainFrame::OnStopLoad()
{
    if (m_bUpperLoading)
        m_pView->OnGoStop();
    if (m_bLowerLoading)
        LowerView()->OnGoStop();
}
