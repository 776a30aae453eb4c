// The browser window with the real engine: bars, menus, address box, commands.
// Screenshots of the window and its menus go to $VELMORA_SCREENSHOT_DIR when set.
#include "tests/support/QTestHomeMain.h"
#include "tests/support/SaveShot.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WaitFor.h"
#include "browser/window/CMainFrame.h"
#include "tests/browser/window/FrameParts.h"
#include "browser/window/CVelmoraView.h"
#include "browser/window/OpenFileFilter.h"
#include "browser/startup/VelmoraResource.h"

#include "browser/startup/CVelmoraApp.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTcpServer>
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
            QToolButton* pButton = frameparts::ToolButton(frame, ids[i]);
            QVERIFY2(pButton, qPrintable(texts[i]));
            QCOMPARE(pButton->text(), texts[i]);
            QVERIFY(pButton->x() > nLastX);
            QVERIFY(pButton->width() >= kToolbarButtonMinWidth && pButton->width() <= kToolbarButtonMaxWidth);
            QVERIFY(!pButton->icon().isNull());
            nLastX = pButton->x();
        }
        QCOMPARE(frameparts::ToolButton(frame, ID_FAVORITES_DROPDOWN)->menu(), frameparts::FavoritesMenu(frame));
        QCOMPARE(frameparts::ToolButton(frame, ID_FONT_DROPDOWN)->menu(), frameparts::FontMenu(frame));
        // The address box sits on its own row, under the toolbar, with its label.
        QVERIFY(frameparts::AddressBar(frame)->y() >= frameparts::ToolBar(frame)->y() + frameparts::ToolBar(frame)->height());
        QVERIFY(frameparts::AddressBox(frame)->isEditable());
        QVERIFY(frameparts::AddressBar(frame)->findChild<QLabel*>()->text() == "Address");

        // Menu bar: File, Edit, Options, the emptied View popup, Help.
        QStringList titles;
        for (QAction* pAction : frame.menuBar()->actions())
            titles << pAction->text();
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Options", "&View", "&Help"}));
        QCOMPARE(frame.menuBar()->actions().at(kFavoritesMenuPosition)->menu(), frameparts::FavoritesMenu(frame));
        QVERIFY(frameparts::FavoritesMenu(frame)->actions().isEmpty());

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
        QTest::keyClick(frameparts::AddressBox(frame)->lineEdit(), Qt::Key_ScrollLock);
        QVERIFY(pScrl->isEnabled());
        QTest::keyClick(frameparts::AddressBox(frame)->lineEdit(), Qt::Key_ScrollLock);
        QVERIFY(!pScrl->isEnabled());
        QCOMPARE(frameparts::Splitter(frame)->count(), 2);
        QCOMPARE(frameparts::Splitter(frame)->sizes().value(1), 0);
        QVERIFY(frameparts::Splitter(frame)->sizes().value(0) > 0);

        // The title stays ours whatever page is shown.
        frameparts::UpperView(frame)->load(QUrl::fromLocalFile(m_dir.filePath("one.htm")));
        QVERIFY(WaitForLoad(frameparts::UpperView(frame)));
        QCOMPARE(frame.windowTitle(), QString("Velmora"));

        SaveShot(frame.grab(), "window.png");
        for (int i = 0; i < frame.menuBar()->actions().size(); ++i) {
            QMenu* pMenu = frame.menuBar()->actions().at(i)->menu();
            pMenu->popup(frame.mapToGlobal(QPoint(0, 0)));
            SaveShot(pMenu->grab(), qPrintable(QStringLiteral("menu%1.png").arg(i)));
            pMenu->hide();
        }
        frameparts::FontMenu(frame)->popup(frame.mapToGlobal(QPoint(0, 0)));
        SaveShot(frameparts::FontMenu(frame)->grab(), "font-menu.png");
        frameparts::FontMenu(frame)->hide();
    }

    void keysReachTheAddressBoxTheBarsThePanesAndTheZoom()
    {
        CMainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QComboBox* pBox = frameparts::AddressBox(frame);
        CVelmoraView* pView = frameparts::UpperView(frame);
        // The box's text, a list item, is not its current item (the state a
        // sound link leaves it in): the focus leaving the box opens nothing.
        frame.ShowAddress("http://z.example/");
        frame.ShowAddress("http://a.example/");
        QSignalSpy activated(pBox, qOverload<int>(&QComboBox::activated));
        auto press = [&frame](QKeyCombination key) {
            QWidget* pFocus = QApplication::focusWidget();
            QTest::keyClick(pFocus ? pFocus : &frame, key.key(), key.keyboardModifiers());
        };
        auto inView = [pView] { return pView->isAncestorOf(QApplication::focusWidget()) || pView->hasFocus(); };

        // Ctrl+L and Alt+D: the address box, its text selected for typing over.
        // So too from the box itself, its caret at the end, and from its open
        // list of addresses: what is typed next replaces the address.
        for (QKeyCombination key : {Qt::CTRL | Qt::Key_L, Qt::ALT | Qt::Key_D}) {
            for (int nFrom = 0; nFrom < 3; ++nFrom) {
                if (nFrom == 0)
                    pView->setFocus();
                else if (nFrom == 1)
                    pBox->lineEdit()->end(false);
                else
                    pBox->showPopup();
                QVERIFY(nFrom != 2 || testsupport::WaitFor([pBox] { return pBox->view()->hasFocus(); }));
                press(key);
                QVERIFY(!pBox->view()->isVisible());
                QVERIFY(pBox->hasFocus());
                QCOMPARE(pBox->lineEdit()->selectedText(), QString("http://a.example/"));
            }
        }
        QTest::keyClicks(QApplication::focusWidget(), "x");
        QCOMPARE(pBox->currentText(), QString("x"));
        frame.ShowAddress("http://a.example/");
        // F6 and Shift+F6 go round the address box and the upper pane (the lower is closed).
        press(Qt::Key_F6);
        QVERIFY(inView());
        press(Qt::Key_F6);
        QVERIFY(pBox->hasFocus());
        press(Qt::SHIFT | Qt::Key_F6);
        QVERIFY(inView());
        QVERIFY(activated.isEmpty());
        // With the lower pane open, F6 goes on to its page.
        frameparts::Splitter(frame)->setSizes({300, 300});
        press(Qt::Key_F6);
        QVERIFY(frameparts::LowerPane(frame)->GetActiveView()->isAncestorOf(QApplication::focusWidget())
                || frameparts::LowerPane(frame)->GetActiveView()->hasFocus());
        frameparts::Splitter(frame)->setSizes({600, 0});

        // Tab runs through the toolbar's nine buttons to the address box and the page.
        frameparts::ToolButton(frame, ID_GO_BACK)->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < 10 && !pBox->hasFocus(); ++i) {
            if (auto* pButton = qobject_cast<QToolButton*>(QApplication::focusWidget()))
                visited << pButton->text();
            press(Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"Back", "Forward", "Stop", "Refresh", "Home", "Search", "Favorites", "Print", "Font"}));
        QVERIFY(pBox->hasFocus());
        press(Qt::Key_Tab);
        QVERIFY(inView());
        pBox->setFocus(Qt::TabFocusReason);
        press(Qt::SHIFT | Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), frameparts::ToolButton(frame, ID_FONT_DROPDOWN));

        // Ctrl+plus and Ctrl+minus step the Font menu's sizes, Ctrl+0 goes back to Medium.
        const auto checked = [&frame] {
            for (int nId : {ID_FONT_SMALLEST, ID_FONT_SMALLER, ID_FONT_MEDIUM, ID_FONT_LARGER, ID_FONT_LARGEST})
                if (frame.CommandAction(nId)->isChecked())
                    return nId;
            return 0;
        };
        pView->setFocus();
        press(Qt::CTRL | Qt::Key_Plus);
        QCOMPARE(checked(), ID_FONT_LARGER);
        press(Qt::CTRL | Qt::Key_Equal);
        press(Qt::CTRL | Qt::Key_Plus);
        QCOMPARE(checked(), ID_FONT_LARGEST);
        QCOMPARE(pView->zoomFactor(), kZoomFactors[4]);
        press(Qt::CTRL | Qt::Key_0);
        press(Qt::CTRL | Qt::Key_Minus);
        press(Qt::CTRL | Qt::Key_Minus);
        press(Qt::CTRL | Qt::Key_Minus);
        QCOMPARE(checked(), ID_FONT_SMALLEST);
        press(Qt::CTRL | Qt::Key_0);
        QCOMPARE(checked(), ID_FONT_MEDIUM);
        QCOMPARE(pView->zoomFactor(), kZoomFactors[2]);

        // Escape stops a load: a server that takes the request and never answers.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QSignalSpy finished(pView, &QWebEngineView::loadFinished);
        pView->Navigate(QStringLiteral("http://127.0.0.1:%1/never.htm").arg(server.serverPort()));
        QVERIFY(testsupport::WaitFor([&] { return server.hasPendingConnections(); }));
        QVERIFY(finished.isEmpty());
        pBox->setFocus();
        press(Qt::Key_Escape);
        QVERIFY(finished.wait(testsupport::kEventBoundMs));
        QCOMPARE(finished.constFirst().constFirst().toBool(), false);

        // F10 opens the first menu.
        press(Qt::Key_F10);
        QVERIFY(testsupport::WaitFor([&frame] {
            QAction* pActive = frame.menuBar()->activeAction();
            return pActive && pActive->menu() && pActive->menu()->isVisible() && pActive->text() == "&File";
        }));
        while (QWidget* pPopup = QApplication::activePopupWidget())
            pPopup->close();
    }

    void addressBoxKeepsEveryShownAddress()
    {
        CMainFrame frame;
        frame.show();
        QComboBox* pBox = frameparts::AddressBox(frame);
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
        QVERIFY(WaitForLoad(frameparts::UpperView(frame)));
        QCOMPARE(frameparts::UpperView(frame)->url(), QUrl::fromLocalFile(strTwo));
        QCOMPARE(pBox->itemText(0), QUrl::fromLocalFile(strTwo).toString());

        // Choosing a list item navigates to it.
        const QString strOne = QUrl::fromLocalFile(m_dir.filePath("one.htm")).toString();
        frame.ShowAddress(strOne);
        emit pBox->activated(0);
        QVERIFY(WaitForLoad(frameparts::UpperView(frame)));
        QCOMPARE(frameparts::UpperView(frame)->url().toString(), strOne);

        // Enter on an empty box appends an empty item and goes nowhere.
        const int nCount = pBox->count();
        pBox->lineEdit()->clear();
        QTest::keyClick(pBox->lineEdit(), Qt::Key_Return);
        QCOMPARE(pBox->count(), nCount + 1);
        QCOMPARE(pBox->itemText(nCount), QString());
        QCOMPARE(frameparts::UpperView(frame)->url().toString(), strOne);
    }

    void navigationCommands()
    {
        CVelmoraApp app;
        app.m_strHomeAddress = m_dir.filePath("one.htm");
        CMainFrame frame;  // opens the home address at once
        frame.show();
        CVelmoraView* pView = frameparts::UpperView(frame);
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
        const int nBefore = frameparts::AddressBox(frame)->count();
        frame.CommandAction(ID_GO_HOME)->trigger();
        QVERIFY(WaitForLoad(pView));
        QCOMPARE(pView->title(), QString("Page One"));
        QCOMPARE(frameparts::AddressBox(frame)->count(), nBefore + 2);
        QVERIFY(ItemTexts(frameparts::AddressBox(frame)).contains(app.m_strHomeAddress));

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
        CVelmoraView* pView = frameparts::UpperView(frame);
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
        QVERIFY(frameparts::UpperView(frame)->page()->requestedUrl().isEmpty());
        QVERIFY(frameparts::UpperView(frame)->url().isEmpty() || frameparts::UpperView(frame)->url() == QUrl("about:blank"));
        QCOMPARE(frameparts::AddressBox(frame)->count(), 0);
        frame.CommandAction(ID_GO_HOME)->trigger();
        QCOMPARE(ItemTexts(frameparts::AddressBox(frame)), QStringList{QString()});
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
