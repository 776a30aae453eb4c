#include "browser/favorites/CFavoritesMenu.h"

#include "browser/favorites/CFavoritesFolder.h"

#include <QAction>
#include <QMenu>

namespace velmora {

namespace {

// A title is shown as written: an ampersand in a file name is not a mnemonic.
QString MenuText(const QString& strTitle)
{
    QString strText = strTitle;
    return strText.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

CFavoritesMenu::CFavoritesMenu(NavigateFunction fnNavigate, QObject* pParent)
    : QObject(pParent), m_fnNavigate(std::move(fnNavigate))
{
}

int CFavoritesMenu::FillFavoritesMenu(const QString& strFolder, int nStart, QMenu* pMenu)
{
    CFavoritesMenuNode tree;
    const int nNext = m_scan.FillFavoritesMenu(strFolder, nStart, tree);
    if (pMenu)
        BuildMenu(tree, pMenu);
    return nNext;
}

void CFavoritesMenu::FillFromProfile(QMenu* pMenu)
{
    FillFavoritesMenu(CFavoritesFolder::Locate(), 0, pMenu);
}

void CFavoritesMenu::BuildMenu(const CFavoritesMenuNode& node, QMenu* pMenu)
{
    for (const CFavoritesMenuNode& folder : node.folders) {
        QMenu* pSub = pMenu->addMenu(MenuText(folder.strName));
        BuildMenu(folder, pSub);
    }
    for (const CFavoritesMenuNode::Item& item : node.items) {
        QAction* pAction = pMenu->addAction(MenuText(item.strTitle));
        const int nId = item.nCommandId;
        pAction->setData(nId);
        if (nId > kFavoriteLastId) {
            pAction->setEnabled(false);   // no handler serves it
            continue;
        }
        connect(pAction, &QAction::triggered, this, [this, nId] { OnFavoriteCommand(nId); });
    }
}

void CFavoritesMenu::OnFavoriteCommand(int nCommandId)
{
    if (nCommandId < kFavoriteFirstId || nCommandId > kFavoriteLastId)
        return;
    if (nCommandId - kFavoriteFirstId >= m_scan.m_favoriteUrls.size())
        return;
    if (m_fnNavigate)
        m_fnNavigate(m_scan.UrlForCommand(nCommandId));
}

} // namespace velmora
