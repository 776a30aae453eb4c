// The favourites menu as the user sees it: folders as sub-menus before the
// shortcuts, titles shown as written, commands that navigate, and greyed
// entries beyond the command range.
#include "browser/favorites/CFavoritesMenu.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TestFiles.h"

class TestFavoritesMenu : public QObject {
    Q_OBJECT
private:
    static void WriteShortcut(const QString& strPath, const QByteArray& url)
    {
        QVERIFY(testsupport::WriteTestFile(strPath, "[InternetShortcut]\nURL=" + url + "\n"));
    }

private slots:
    void menuMirrorsTheFolderAndNavigates()
    {
        QTemporaryDir dir;
        WriteShortcut(dir.filePath("Tom & Jerry.url"), "http://cartoon/");
        WriteShortcut(dir.filePath("alpha.url"), "http://alpha/");
        WriteShortcut(dir.filePath("Lab/inner.url"), "http://inner/");
        QStringList navigated;
        velmora::CFavoritesMenu favorites([&](const QString& strUrl) { navigated << strUrl; });
        QMenu menu;
        QCOMPARE(favorites.FillFavoritesMenu(dir.path(), 0, &menu), 3);

        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 3);
        QVERIFY(actions[0]->menu());
        QCOMPARE(actions[0]->text(), QString("Lab"));
        QCOMPARE(actions[1]->text(), QString("alpha"));
        QCOMPARE(actions[2]->text(), QString("Tom && Jerry"));   // an ampersand, not a mnemonic

        actions[2]->trigger();
        actions[0]->menu()->actions().value(0)->trigger();
        QCOMPARE(navigated, (QStringList{"http://cartoon/", "http://inner/"}));

        // Ids outside the range, or beyond the list, navigate nowhere.
        favorites.OnFavoriteCommand(velmora::kFavoriteFirstId - 1);
        favorites.OnFavoriteCommand(velmora::kFavoriteFirstId + 3);
        QCOMPARE(navigated.size(), 2);
    }

    void entriesBeyondTheCommandRangeAreGreyed()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 520; ++i)
            WriteShortcut(dir.filePath(QString("s%1.url").arg(i, 3, 10, QLatin1Char('0'))), "http://s/" + QByteArray::number(i));
        QStringList navigated;
        velmora::CFavoritesMenu favorites([&](const QString& strUrl) { navigated << strUrl; });
        QMenu menu;
        QCOMPARE(favorites.FillFavoritesMenu(dir.path(), 0, &menu), 520);
        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 520);
        QVERIFY(actions[511]->isEnabled());
        QVERIFY(!actions[512]->isEnabled());
        QVERIFY(!actions[519]->isEnabled());
        actions[511]->trigger();
        actions[512]->trigger();   // a greyed entry does nothing
        QCOMPARE(navigated, QStringList{"http://s/511"});
    }
};

QTEST_MAIN(TestFavoritesMenu)
#include "test_favorites_menu.moc"
