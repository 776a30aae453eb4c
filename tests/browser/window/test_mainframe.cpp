// The browser window with the real engine: bars, menus, address box, commands.
// Screenshots of the window and its menus go to $VELMORA_SCREENSHOT_DIR when set.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/SaveShot.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WaitFor.h"
#include "browser/window/CMainFrame.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/OpenFileFilter.h"
#include "browser/startup/VelmoraResource.h"

#include "browser/startup/CVelmoraApp.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineHistory>

using namespace velmora;
using testsupport::SaveShot;

namespace {

bool WaitForLoad(CVelmoraView* pView, int nTimeoutMs = testsupport::kEventBoundMs)
{
    QSignalSpy spy(pView, &QWebEngineView::loadFinished);
    return spy.wait(nTimeoutMs);
}

QStringList ItemTexts(const QComboBox* pBox)
{
    QStringList texts;
    for (int i = 0; i < pBox->count(); ++i)
        texts << pBox->itemText(i);
    return texts;
}

}  // namespace

class TestMainFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        WriteFile("one.htm", "<html><head><title>Page One</title></head><body><h1>One</h1>"
                             "<p>Some text to zoom.</p></body></html>");
        WriteFile("two.htm", "<html><head><title>Page Two</title></head><body><h1>Two</h1></body></html>");
    }

    void barsMenusAndLayout()
    {
        CMainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        // Nine text buttons in order; Favorites and Font carry drop-downs.
        const QList<int> ids{ID_GO_BACK, ID_GO_FORWARD, ID_GO_STOP,   ID_GO_REFRESH,   ID_GO_HOME,
                             ID_GO_SEARCH, ID_FAVORITES_DROPDOWN, ID_FILE_PRINT, ID_FONT_DROPDOWN};
        const QStringList texts{"Back", "Forward", "Stop", "Refresh", "Home", "Search", "Favorites", "Print", "Font"};
        int nLastX = -1;
        for (int i = 0; i < ids.size(); ++i) {
            QToolButton* pButton = frame.ToolButton(ids[i]);
            QVERIFY2(pButton, qPrintable(texts[i]));
            QCOMPARE(pButton->text(), texts[i]);
            QVERIFY(pButton->x() > nLastX);
            QVERIFY(pButton->width() >= kToolbarButtonMinWidth && pButton->width() <= kToolbarButtonMaxWidth);
            QVERIFY(!pButton->icon().isNull());
            nLastX = pButton->x();
        }
        QCOMPARE(frame.ToolButton(ID_FAVORITES_DROPDOWN)->menu(), frame.FavoritesMenu());
        QCOMPARE(frame.ToolButton(ID_FONT_DROPDOWN)->menu(), frame.FontMenu());
        // The address box sits on its own row, under the toolbar, with its label.
        QVERIFY(frame.AddressBar()->y() >= frame.ToolBar()->y() + frame.ToolBar()->height());
        QVERIFY(frame.AddressBox()->isEditable());
        QVERIFY(frame.AddressBar()->findChild<QLabel*>()->text() == "Address");

        // Menu bar: File, Edit, Options, the emptied View popup, Help.
        QStringList titles;
        for (QAction* pAction : frame.menuBar()->actions())
            titles << pAction->text();
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "Options", "&View", "&Help"}));
        QCOMPARE(frame.menuBar()->actions().at(kFavoritesMenuPosition)->menu(), frame.FavoritesMenu());
        QVERIFY(frame.FavoritesMenu()->actions().isEmpty());

        // Accelerators reach their commands; commands without a handler are greyed.
        QCOMPARE(frame.CommandAction(ID_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(frame.CommandAction(ID_FILE_PRINT)->shortcut(), QKeySequence("Ctrl+P"));
        QVERIFY(frame.CommandAction(ID_EDIT_UNDO)->shortcuts().contains(QKeySequence("Alt+Backspace")));
        QVERIFY(frame.CommandAction(ID_EDIT_PASTE)->shortcuts().contains(QKeySequence("Shift+Ins")));
        QVERIFY(!frame.CommandAction(ID_EDIT_COPY)->isEnabled());
        QVERIFY(frame.CommandAction(ID_FILE_OPEN)->isEnabled());

        // Status bar indicators; the lower row of the splitter starts closed.
        QStringList indicators;
        for (QLabel* pLabel : frame.statusBar()->findChildren<QLabel*>())
            indicators << pLabel->text();
        for (const char* sz : {"CAP", "NUM", "SCRL"})
            QVERIFY2(indicators.contains(sz), sz);
        // Scroll Lock lights SCRL once per press, wherever the key lands first.
        QLabel* pScrl = nullptr;
        for (QLabel* pLabel : frame.statusBar()->findChildren<QLabel*>())
            if (pLabel->text() == "SCRL")
                pScrl = pLabel;
        QVERIFY(!pScrl->isEnabled());
        QTest::keyClick(frame.AddressBox()->lineEdit(), Qt::Key_ScrollLock);
        QVERIFY(pScrl->isEnabled());
        QTest::keyClick(frame.AddressBox()->lineEdit(), Qt::Key_ScrollLock);
        QVERIFY(!pScrl->isEnabled());
        QCOMPARE(frame.Splitter()->count(), 2);
        QCOMPARE(frame.Splitter()->sizes().value(1), 0);
        QVERIFY(frame.Splitter()->sizes().value(0) > 0);

        // The title stays ours whatever page is shown.
        frame.ActiveView()->load(QUrl::fromLocalFile(m_dir.filePath("one.htm")));
        QVERIFY(WaitForLoad(frame.ActiveView()));
        QCOMPARE(frame.windowTitle(), QString("Velmora"));

        SaveShot(frame.grab(), "window.png");
        for (int i = 0; i < frame.menuBar()->actions().size(); ++i) {
            QMenu* pMenu = frame.menuBar()->actions().at(i)->menu();
            pMenu->popup(frame.mapToGlobal(QPoint(0, 0)));
            SaveShot(pMenu->grab(), qPrintable(QStringLiteral("menu%1.png").arg(i)));
            pMenu->hide();
        }
        frame.FontMenu()->popup(frame.mapToGlobal(QPoint(0, 0)));
        SaveShot(frame.FontMenu()->grab(), "font-menu.png");
        frame.FontMenu()->hide();
    }

    void addressBoxKeepsEveryShownAddress()
    {
        CMainFrame frame;
        frame.show();
        QComboBox* pBox = frame.AddressBox();
        frame.ShowAddress("http://a.example/");
        frame.ShowAddress("http://b.example/");
        frame.ShowAddress("http://b.example/");
        QCOMPARE(pBox->currentText(), QString("http://b.example/"));
        QCOMPARE(ItemTexts(pBox), (QStringList{"http://b.example/", "http://b.example/", "http://a.example/"}));

        // Enter navigates to the typed text and appends it; the hook then shows
        // the engine's form of the address at the top.
        const QString strTwo = m_dir.filePath("two.htm");
        pBox->lineEdit()->setText(strTwo);
        QTest::keyClick(pBox->lineEdit(), Qt::Key_Return);
        QCOMPARE(pBox->itemText(pBox->count() - 1), strTwo);
        QVERIFY(WaitForLoad(frame.ActiveView()));
        QCOMPARE(frame.ActiveView()->url(), QUrl::fromLocalFile(strTwo));
        QCOMPARE(pBox->itemText(0), QUrl::fromLocalFile(strTwo).toString());

        // Choosing a list item navigates to it.
        const QString strOne = QUrl::fromLocalFile(m_dir.filePath("one.htm")).toString();
        frame.ShowAddress(strOne);
        emit pBox->activated(0);
        QVERIFY(WaitForLoad(frame.ActiveView()));
        QCOMPARE(frame.ActiveView()->url().toString(), strOne);

        // Enter on an empty box appends an empty item and goes nowhere.
        const int nCount = pBox->count();
        pBox->lineEdit()->clear();
        QTest::keyClick(pBox->lineEdit(), Qt::Key_Return);
        QCOMPARE(pBox->count(), nCount + 1);
        QCOMPARE(pBox->itemText(nCount), QString());
        QCOMPARE(frame.ActiveView()->url().toString(), strOne);
    }

    void navigationCommands()
    {
        CVelmoraApp app;
        app.m_strHomeAddress = m_dir.filePath("one.htm");
        CMainFrame frame;  // opens the home address at once
        frame.show();
        CVelmoraView* pView = frame.ActiveView();
        QVERIFY(WaitForLoad(pView));
        QCOMPARE(pView->url(), QUrl::fromLocalFile(app.m_strHomeAddress));

        // Back with nothing behind changes nothing: once the next page has
        // loaded, the history holds just the two pages.
        frame.CommandAction(ID_GO_BACK)->trigger();
        pView->Navigate(m_dir.filePath("two.htm"));
        QVERIFY(WaitForLoad(pView));
        QCOMPARE(pView->history()->count(), 2);
        QCOMPARE(pView->history()->backItem().url(), QUrl::fromLocalFile(app.m_strHomeAddress));
        frame.CommandAction(ID_GO_BACK)->trigger();
        QVERIFY(WaitForLoad(pView));
        QCOMPARE(pView->title(), QString("Page One"));
        frame.CommandAction(ID_GO_FORWARD)->trigger();
        QVERIFY(WaitForLoad(pView));
        QCOMPARE(pView->title(), QString("Page Two"));

        // Home shows its address itself, and the hook shows it again.
        const int nBefore = frame.AddressBox()->count();
        frame.CommandAction(ID_GO_HOME)->trigger();
        QVERIFY(WaitForLoad(pView));
        QCOMPARE(pView->title(), QString("Page One"));
        QCOMPARE(frame.AddressBox()->count(), nBefore + 2);
        QVERIFY(ItemTexts(frame.AddressBox()).contains(app.m_strHomeAddress));

        // Font sizes: largest to smallest grow and shrink the page around medium.
        QList<qreal> factors;
        for (int nId : {ID_FONT_SMALLEST, ID_FONT_SMALLER, ID_FONT_MEDIUM, ID_FONT_LARGER, ID_FONT_LARGEST}) {
            frame.CommandAction(nId)->trigger();
            factors << pView->zoomFactor();
        }
        QCOMPARE(factors.at(2), 1.0);
        for (int i = 1; i < factors.size(); ++i)
            QVERIFY(factors.at(i) > factors.at(i - 1));
    }

    void printsThePageShown()
    {
        CMainFrame frame;
        frame.show();
        CVelmoraView* pView = frame.ActiveView();
        pView->Navigate(m_dir.filePath("one.htm"));
        QVERIFY(WaitForLoad(pView));
        const QString strPdf = m_dir.filePath("printed.pdf");
        pView->Printer().setOutputFormat(QPrinter::PdfFormat);
        pView->Printer().setOutputFileName(strPdf);
        QSignalSpy finished(pView, &QWebEngineView::printFinished);
        QVERIFY(pView->PrintPage());
        QVERIFY(!pView->PrintPage());  // one at a time
        QVERIFY(finished.wait(testsupport::kEventBoundMs));
        QCOMPARE(finished.first().first().toBool(), true);
        QFile pdf(strPdf);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-" && pdf.size() > 1000);
        QVERIFY(pView->PrintPage());  // free again
        QVERIFY(finished.wait(testsupport::kEventBoundMs));
    }

    void emptyHomeStartsBlank()
    {
        CVelmoraApp app;  // m_strHomeAddress empty
        CMainFrame frame;
        frame.show();
        // A home page would have been asked for inside the constructor.
        QVERIFY(frame.ActiveView()->page()->requestedUrl().isEmpty());
        QVERIFY(frame.ActiveView()->url().isEmpty() || frame.ActiveView()->url() == QUrl("about:blank"));
        QCOMPARE(frame.AddressBox()->count(), 0);
        frame.CommandAction(ID_GO_HOME)->trigger();
        QCOMPARE(ItemTexts(frame.AddressBox()), QStringList{QString()});
    }

    void openFilterBecomesNameFilters()
    {
        const QStringList filters = velmora::OpenFilterList(QLatin1String(IDS_OPEN_FILTER));
        QCOMPARE(filters.size(), 8);
        QCOMPARE(filters.first(), QString("HTML Files (*.htm *.html)"));
        QCOMPARE(filters.at(5), QString("AIFF Files (*.aif *.aiff)"));
        QCOMPARE(filters.last(), QString("All Files (*)"));  // files without a dot too
    }

private:
    void WriteFile(const char* szName, const char* szText)
    {
        QVERIFY(testsupport::WriteTestFile(m_dir.filePath(QLatin1String(szName)), szText));
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN_WITH_HOME(TestMainFrame, PrivateRuntime)

#include "test_mainframe.moc"
