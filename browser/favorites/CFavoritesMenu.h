#pragma once
// The favourites menu of the main frame: fills a QMenu from the favourites scan
// and turns its commands into navigations of the upper pane.
//
// UI thread only (it fills a QMenu the frame owns); the frame owns it as a Qt child.
#include "browser/favorites/CFavoritesScan.h"

#include <QObject>
#include <functional>

class QMenu;

namespace velmora {

class CFavoritesMenu : public QObject {
    Q_OBJECT
public:
    using NavigateFunction = std::function<void(const QString&)>;

    // fnNavigate receives the URL of a chosen favourite (the frame navigates its
    // active view to it, through the same hook as every other navigation).
    explicit CFavoritesMenu(NavigateFunction fnNavigate, QObject* pParent = nullptr);

    // Scans strFolder (and below), appends its tree to pMenu and returns the next
    // free position (nStart when nothing was added).
    int FillFavoritesMenu(const QString& strFolder, int nStart, QMenu* pMenu);

    // The frame's start-up step: the folder named by the profile, from position 0.
    void FillFromProfile(QMenu* pMenu);

    // Command ids kFavoriteFirstId..kFavoriteLastId: navigate to that favourite.
    void OnFavoriteCommand(int nCommandId);

    const QStringList& FavoriteUrls() const { return m_scan.m_favoriteUrls; }

    // Mirrors a scanned tree into pMenu: sub-folders as popups first, then the
    // shortcuts; ids beyond the handled range are added greyed.
    void BuildMenu(const CFavoritesMenuNode& node, QMenu* pMenu);

private:
    CFavoritesScan m_scan;
    NavigateFunction m_fnNavigate;
};

} // namespace velmora
