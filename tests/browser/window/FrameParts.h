#pragma once
// The parts of the browser's frame as the user meets them, found by the names
// the frame gives them: the tests reach the address box, the panes and the
// bars through the widget tree, not through accessors of their own.
#include "browser/window/CFrameLower.h"
#include "browser/window/CMainFrame.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/CVelmoraViewLower.h"
#include "tests/support/CommandAction.h"

#include <QComboBox>
#include <QMenu>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>

namespace frameparts {

inline QComboBox* AddressBox(const CMainFrame& frame) { return frame.findChild<QComboBox*>(QStringLiteral("m_addressBox")); }
inline CVelmoraView* UpperView(const CMainFrame& frame) { return frame.findChild<CVelmoraView*>(); }
inline QSplitter* Splitter(const CMainFrame& frame) { return frame.findChild<QSplitter*>(QStringLiteral("m_splitter")); }
inline CFrameLower* LowerPane(const CMainFrame& frame) { return frame.findChild<CFrameLower*>(); }
inline QToolBar* ToolBar(const CMainFrame& frame) { return frame.findChild<QToolBar*>(QStringLiteral("m_toolBar")); }
inline QToolBar* AddressBar(const CMainFrame& frame) { return frame.findChild<QToolBar*>(QStringLiteral("AddressBand")); }
inline QMenu* FavoritesMenu(const CMainFrame& frame) { return frame.findChild<QMenu*>(QStringLiteral("FavoritesMenu")); }
inline QMenu* FontMenu(const CMainFrame& frame) { return frame.findChild<QMenu*>(QStringLiteral("FontMenu")); }

// The main toolbar's button of a command.
inline QToolButton* ToolButton(const CMainFrame& frame, int nCommandId)
{
    return qobject_cast<QToolButton*>(ToolBar(frame)->widgetForAction(testsupport::CommandAction(frame, nCommandId)));
}

} // namespace frameparts
