#pragma once
// A window's command as the user reaches it: the action whose data is the
// command id, among the window's own (menus, toolbars, accelerators).
#include <QAction>
#include <QObject>

namespace testsupport {

inline QAction* CommandAction(const QObject& window, int nId)
{
    for (QAction* pAction : window.findChildren<QAction*>())
        if (pAction->data().toInt() == nId)
            return pAction;
    return nullptr;
}

} // namespace testsupport
