// The favourites scan on real temporary folders.
#include "browser/favorites/CFavoritesFolder.h"
#include "browser/favorites/CFavoritesScan.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

#include <filesystem>
#include <fstream>

using namespace velmora;

// Readable failure messages.
void PrintTo(const QString& strText, std::ostream* pStream) { *pStream << '"' << strText.toStdString() << '"'; }

namespace {

class FavoritesScanTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;

    QString Path(const QString& strRelative) const { return m_dir.path() + QLatin1Char('/') + strRelative; }

    void MakeFolder(const QString& strRelative) const { ASSERT_TRUE(QDir().mkpath(Path(strRelative))); }

    void WriteShortcut(const QString& strRelative, const QByteArray& url) const
    {
        WriteFile(strRelative, "[InternetShortcut]\r\nURL=" + url + "\r\n");
    }

    void WriteFile(const QString& strRelative, const QByteArray& content) const
    {
        ASSERT_TRUE(testsupport::WriteTestFile(Path(strRelative), content));
    }

    // The directory's own listing order, read independently of the scan.
    static std::vector<QString> ListingOrder(const QString& strFolder)
    {
        std::vector<QString> names;
        for (const auto& entry : std::filesystem::directory_iterator(strFolder.toStdString()))
            names.push_back(QString::fromStdString(entry.path().filename().string()));
        return names;
    }

    static std::vector<QString> Titles(const CFavoritesMenuNode& node)
    {
        std::vector<QString> titles;
        for (const auto& item : node.items)
            titles.push_back(item.strTitle);
        return titles;
    }

    static std::vector<QString> FolderNames(const CFavoritesMenuNode& node)
    {
        std::vector<QString> names;
        for (const auto& folder : node.folders)
            names.push_back(folder.strName);
        return names;
    }
};

TEST_F(FavoritesScanTest, ShortcutsSortWithoutRegardToCaseAndKeepTheirUrls)
{
    WriteShortcut("b.url", "http://b.example/");
    WriteShortcut("A.url", "http://a.example/");
    WriteShortcut("c.url", "file:///tmp/c.wav");
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), 3);
    ASSERT_EQ(Titles(menu), (std::vector<QString>{"A", "b", "c"}));
    EXPECT_EQ(menu.items[0].nCommandId, kFavoriteFirstId);
    EXPECT_EQ(menu.items[2].nCommandId, kFavoriteFirstId + 2);
    EXPECT_EQ(scan.UrlForCommand(menu.items[0].nCommandId), "http://a.example/");
    EXPECT_EQ(scan.UrlForCommand(menu.items[1].nCommandId), "http://b.example/");
    EXPECT_EQ(scan.UrlForCommand(menu.items[2].nCommandId), "file:///tmp/c.wav");
}

TEST_F(FavoritesScanTest, OnlyTheLowerCaseEndingCountsAndOtherFilesAreIgnored)
{
    WriteShortcut("upper.URL", "http://upper/");
    WriteShortcut("mixed.Url", "http://mixed/");
    WriteShortcut("notes.txt", "http://notes/");
    WriteShortcut("kept.url", "http://kept/");
    MakeFolder("folder.url");   // a folder is never a shortcut
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), 1);
    EXPECT_EQ(Titles(menu), (std::vector<QString>{"kept"}));
    EXPECT_TRUE(menu.folders.empty());
    EXPECT_EQ(scan.m_favoriteUrls, QStringList{"http://kept/"});
}

TEST_F(FavoritesScanTest, HiddenShortcutSkippedButHiddenFolderSearched)
{
    WriteShortcut(".secret.url", "http://secret/");
    MakeFolder(".stash");
    WriteShortcut(".stash/inner.url", "http://inner/");
    WriteShortcut("visible.url", "http://visible/");
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), 2);
    EXPECT_EQ(Titles(menu), (std::vector<QString>{"visible"}));
    ASSERT_EQ(FolderNames(menu), (std::vector<QString>{".stash"}));
    EXPECT_EQ(Titles(menu.folders[0]), (std::vector<QString>{"inner"}));
    EXPECT_FALSE(scan.m_favoriteUrls.contains("http://secret/"));
}

TEST_F(FavoritesScanTest, FoldersWithoutShortcutsAtAnyDepthAreAbsent)
{
    MakeFolder("empty/deeper/deepest");
    MakeFolder("papers");
    WriteShortcut("papers/readme.txt", "http://no/");
    MakeFolder("deep/a/b");
    WriteShortcut("deep/a/b/found.url", "http://found/");
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), 1);
    ASSERT_EQ(FolderNames(menu), (std::vector<QString>{"deep"}));
    ASSERT_EQ(FolderNames(menu.folders[0]), (std::vector<QString>{"a"}));
    ASSERT_EQ(FolderNames(menu.folders[0].folders[0]), (std::vector<QString>{"b"}));
    EXPECT_EQ(Titles(menu.folders[0].folders[0].folders[0]), (std::vector<QString>{"found"}));
}

TEST_F(FavoritesScanTest, EqualTitlesKeepTheListingOrder)
{
    for (const char* name : {"same.url", "SAME.url", "Same.url", "sAmE.url", "saME.url"})
        WriteShortcut(name, QByteArray("http://") + name);
    WriteShortcut("aaa.url", "http://aaa.url");
    std::vector<QString> expected{"aaa"};
    for (const QString& strName : ListingOrder(m_dir.path()))
        if (strName.compare("aaa.url") != 0)
            expected.push_back(strName.chopped(4));

    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    scan.FillFavoritesMenu(m_dir.path(), 0, menu);
    EXPECT_EQ(Titles(menu), expected);
    for (const auto& item : menu.items)
        EXPECT_EQ(scan.UrlForCommand(item.nCommandId), "http://" + item.strTitle + ".url");
}

TEST_F(FavoritesScanTest, PositionsFollowTheWalkWhileMenusAreSorted)
{
    WriteShortcut("own.url", "http://own/");
    for (const char* folder : {"b", "A", "c"}) {
        MakeFolder(folder);
        WriteShortcut(QString(folder) + "/x.url", QByteArray("http://") + folder);
    }
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), 4);
    ASSERT_EQ(FolderNames(menu), (std::vector<QString>{"A", "b", "c"}));
    // The folder's own shortcut takes the first position; each sub-folder's tree
    // follows in the order the listing produced the sub-folders.
    EXPECT_EQ(menu.items[0].nCommandId, kFavoriteFirstId);
    int nNextId = kFavoriteFirstId + 1;
    for (const QString& strName : ListingOrder(m_dir.path())) {
        if (strName == "own.url")
            continue;
        const auto folder = std::find_if(menu.folders.begin(), menu.folders.end(),
            [&](const CFavoritesMenuNode& n) { return n.strName == strName; });
        ASSERT_NE(folder, menu.folders.end());
        EXPECT_EQ(folder->items[0].nCommandId, nNextId);
        EXPECT_EQ(scan.UrlForCommand(nNextId), "http://" + strName);
        ++nNextId;
    }
}

TEST_F(FavoritesScanTest, BeyondTheCommandRangeEntriesExistButHaveNoUrlForCommands)
{
    const int nCount = 600;
    for (int i = 0; i < nCount; ++i)
        WriteShortcut(QString("s%1.url").arg(i, 4, 10, QLatin1Char('0')), "http://s/" + QByteArray::number(i));
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), nCount);
    ASSERT_EQ(menu.items.size(), size_t(nCount));
    EXPECT_EQ(menu.items.back().nCommandId, kFavoriteFirstId + nCount - 1);
    EXPECT_EQ(scan.UrlForCommand(kFavoriteLastId), "http://s/511");
    EXPECT_EQ(scan.UrlForCommand(kFavoriteLastId + 1), QString());
    EXPECT_EQ(scan.m_favoriteUrls.size(), nCount);
}

TEST_F(FavoritesScanTest, MissingFolderAndLinkLoopsEndCleanly)
{
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(Path("absent"), 7, menu), 7);
    EXPECT_TRUE(menu.IsEmpty());
    EXPECT_EQ(scan.FillFavoritesMenu(QString(), 0, menu), 0);

    MakeFolder("loop");
    WriteShortcut("loop/here.url", "http://here/");
    ASSERT_TRUE(QFile::link(m_dir.path(), Path("loop/back")));
    ASSERT_TRUE(QFile::link(Path("nowhere"), Path("dangling.url")));
    CFavoritesMenuNode looped;
    const int nNext = scan.FillFavoritesMenu(m_dir.path(), 0, looped);
    EXPECT_EQ(nNext, 1);
    ASSERT_EQ(FolderNames(looped), (std::vector<QString>{"loop"}));
    EXPECT_TRUE(looped.items.empty());
}

TEST_F(FavoritesScanTest, ShortcutFileReading)
{
    WriteFile("plain.url", "[InternetShortcut]\nURL=http://plain/\n");
    WriteFile("crlf.url", "\xEF\xBB\xBF[DEFAULT]\r\nBASEURL=http://base/\r\n[internetshortcut]\r\n url = http://crlf/page?a=b \r\nURL=http://second/\r\n");
    WriteFile("quoted.url", "[InternetShortcut]\nURL=\"http://quoted/\"\n");
    WriteFile("other.url", "[Other]\nURL=http://other/\n[InternetShortcut]\nIconIndex=0\n");
    WriteFile("empty.url", "");
    EXPECT_EQ(CFavoritesScan::ReadShortcutUrl(Path("plain.url")), "http://plain/");
    EXPECT_EQ(CFavoritesScan::ReadShortcutUrl(Path("crlf.url")), "http://crlf/page?a=b");
    EXPECT_EQ(CFavoritesScan::ReadShortcutUrl(Path("quoted.url")), "http://quoted/");
    EXPECT_EQ(CFavoritesScan::ReadShortcutUrl(Path("other.url")), QString());
    EXPECT_EQ(CFavoritesScan::ReadShortcutUrl(Path("empty.url")), QString());
    EXPECT_EQ(CFavoritesScan::ReadShortcutUrl(Path("absent.url")), QString());

    // A shortcut without a URL still becomes a command, with an empty address.
    CFavoritesScan scan;
    CFavoritesMenuNode menu;
    EXPECT_EQ(scan.FillFavoritesMenu(m_dir.path(), 0, menu), 5);
    EXPECT_EQ(scan.m_favoriteUrls.count(QString()), 2);
}

TEST(FavoritesFolderTest, EnvironmentReferencesAndProfileSetting)
{
    qputenv("VELMORA_FAV_TEST", "/data/x");
    qunsetenv("VELMORA_FAV_UNSET");
    EXPECT_EQ(CFavoritesFolder::ExpandEnvironmentReferences("$VELMORA_FAV_TEST/Favs"), "/data/x/Favs");
    EXPECT_EQ(CFavoritesFolder::ExpandEnvironmentReferences("${VELMORA_FAV_TEST}Favs"), "/data/xFavs");
    EXPECT_EQ(CFavoritesFolder::ExpandEnvironmentReferences("/a/$VELMORA_FAV_UNSET/${VELMORA_FAV_UNSET}"),
              "/a/$VELMORA_FAV_UNSET/${VELMORA_FAV_UNSET}");
    EXPECT_EQ(CFavoritesFolder::ExpandEnvironmentReferences("cost $5 ${ $ ${unclosed"), "cost $5 ${ $ ${unclosed");

    QTemporaryDir configDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir.path());
    qputenv("XDG_DATA_HOME", "/xdg/data");
    EXPECT_EQ(CFavoritesFolder::Locate(), "/xdg/data/Velmora/Favorites");
    qputenv("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(CFavoritesFolder::Locate(), QDir::homePath() + "/.local/share/Velmora/Favorites");
    {
        QSettings settings("Velmora", "Velmora");
        settings.setValue("User Shell Folders/Favorites", "${VELMORA_FAV_TEST}/Favorites");
    }
    EXPECT_EQ(CFavoritesFolder::Locate(), "/data/x/Favorites");
    {
        QSettings settings("Velmora", "Velmora");
        settings.setValue("User Shell Folders/Favorites", "");
    }
    EXPECT_EQ(CFavoritesFolder::Locate(), QDir::homePath() + "/.local/share/Velmora/Favorites");
}

} // namespace
