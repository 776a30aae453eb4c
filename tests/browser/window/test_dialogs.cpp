// The Preferences, About and open-address dialogs and the link label, driven
// as a user would.
#include "browser/window/CAboutDlg.h"
#include "browser/window/CLinkLabel.h"
#include "browser/window/COpenAddressDlg.h"
#include "browser/window/CPreferencesDlg.h"
#include "browser/startup/CVelmoraApp.h"
#include "browser/startup/VelmoraMessages.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QSignalSpy>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include "tests/support/QTestHomeMain.h"
#include "tests/support/SaveShot.h"
#include "tests/support/WhenModal.h"
#include <functional>

// Receives what the desktop would have been asked to open.
// The dialog's home-address field, as the user finds it under its label.
QLineEdit* HomeEdit(const CPreferencesDlg* pDialog) { return pDialog->findChild<QLineEdit*>(QStringLiteral("homeAddress")); }
QLineEdit* HomeEdit(const CPreferencesDlg& dialog) { return HomeEdit(&dialog); }

// A label of the open-address dialog as read, its lines joined.
QString Shown(const QDialog& dialog, const char* szName)
{
    return dialog.findChild<QLabel*>(QLatin1String(szName))->text().remove(QLatin1Char('\n'));
}

class CUrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> m_urls;
public slots:
    void Open(const QUrl& url) { m_urls << url; }
};

// A parent that counts the clicks falling through to it.
class CClickCounter : public QWidget {
public:
    int m_nPresses = 0;
protected:
    void mousePressEvent(QMouseEvent*) override { ++m_nPresses; }
};

class TestDialogs : public QObject {
    Q_OBJECT
private:
    template <typename T>
    void WhenModal(std::function<void(T*)> fnAct)
    {
        testsupport::WhenModal<T>(this, std::move(fnAct));
    }

    QString m_strProfileFile;

private slots:
    void initTestCase()
    {
        m_strProfileFile = QSettings("Velmora", "Velmora").fileName();
        QVERIFY(m_strProfileFile.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    }

    void labelIgnoresClicksUntilMadeALink()
    {
        CUrlRecorder recorder;
        QDesktopServices::setUrlHandler("http", &recorder, "Open");
        CClickCounter parent;
        parent.resize(300, 80);
        CLinkLabel label(&parent);
        label.SetCaption("www.velmora.example").setGeometry(10, 10, 200, 30);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));

        QTest::mouseClick(&parent, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(parent.childAt(20, 20), nullptr);   // the click is the parent's
        QVERIFY(recorder.m_urls.isEmpty());

        label.EnableLink(true);
        QCOMPARE(parent.childAt(20, 20), &label);
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(recorder.m_urls, QList<QUrl>{QUrl("http://www.velmora.example")});

        // Tab reaches it, and Enter opens it as a click does.
        QCOMPARE(label.focusPolicy(), Qt::StrongFocus);
        QTest::keyClick(&label, Qt::Key_Return);
        QCOMPARE(recorder.m_urls.size(), 2);

        label.EnableLink(false);
        QCOMPARE(parent.childAt(20, 20), nullptr);
        QDesktopServices::unsetUrlHandler("http");
    }

    void fontChangesKeepOneFontObject()
    {
        const int nBefore = CLinkLabel::LiveFontObjects();
        {
            CLinkLabel label;
            QCOMPARE(CLinkLabel::LiveFontObjects(), nBefore + 1);
            label.SetFontHeight(24).SetFontHeight(30);
            QCOMPARE(CLinkLabel::LiveFontObjects(), nBefore + 1);
            label.SetUnderline(true).SetUnderline(true);
            QCOMPARE(CLinkLabel::LiveFontObjects(), nBefore + 1);
            QCOMPARE(label.font().pixelSize(), 30);
            QVERIFY(label.font().underline());
        }
        QCOMPARE(CLinkLabel::LiveFontObjects(), nBefore);
    }

    void aboutBoxShowsTheLink()
    {
        CAboutDlg dialog;
        QCOMPARE(dialog.size(), QSize(440, 341));
        QCOMPARE(dialog.m_link.text(), QString("www.velmora.example"));
        QVERIFY(!dialog.m_link.testAttribute(Qt::WA_TransparentForMouseEvents));   // it takes clicks
        QCOMPARE(dialog.m_link.cursor().hotSpot(), QPoint(6, 0));
        QStringList texts;
        for (QLabel* pLabel : dialog.findChildren<QLabel*>())
            texts << pLabel->text();
        QVERIFY(texts.contains("Version #3.1"));
        QVERIFY(texts.contains("Release : 8-12-2004"));
        QVERIFY(texts.contains(QString::fromUtf8("\u00A9 2026 Velmora Speech Tools")));
        // Every text fits its place: nothing a user would see cut off.
        for (QLabel* pLabel : dialog.findChildren<QLabel*>())
            if (pLabel->pixmap().isNull())
                QVERIFY2(pLabel->sizeHint().width() <= pLabel->width(),
                         qPrintable(QString("%1: %2 > %3").arg(pLabel->text()).arg(pLabel->sizeHint().width()).arg(pLabel->width())));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.grab().save(QDir::tempPath() + "/velmora-about.png");
    }

    void openAddressNamesTheSiteAndShowsTheWholeAddressOnRequest()
    {
        // A name before "@" that could pass for the host, letters that could
        // pass for others, and a query far longer than the screen: the site as
        // the address goes out, the address shortened, and all of it on request.
        const QString strQuery(5000, QLatin1Char('x'));
        const QUrl url(QStringLiteral("http://good.example@b\u0430nk.example/p?d=") + strQuery + QStringLiteral("&end=1"));
        const QString strSent = "http://good.example@xn--bnk-6cd.example/p?d=" + strQuery + "&end=1";
        COpenAddressDlg dialog(url);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        testsupport::SaveShot(dialog.grab(), "open-address-long.png");
        QCOMPARE(dialog.Text(), "A page on this computer wants to open " + strSent + ". Open it?");
        QCOMPARE(Shown(dialog, "site"), QString("http://xn--bnk-6cd.example"));
        const QString strShort = Shown(dialog, "address");
        QVERIFY2(strShort.size() < 200 && strShort.startsWith("http://good.example@xn--bnk-6cd.example/p?d=xx")
                     && strShort.contains(QChar(0x2026)) && strShort.endsWith("xx&end=1"), qPrintable(strShort));
        QCOMPARE(QApplication::focusWidget(), dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));

        auto* pFull = dialog.findChild<QPlainTextEdit*>("fullAddress");
        QVERIFY(!pFull->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(pFull->isVisible());
        QVERIFY(pFull->verticalScrollBar()->maximum() > 0);
        QVERIFY(dialog.height() < 600);
        pFull->selectAll();
        pFull->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), strSent);
        testsupport::SaveShot(dialog.grab(), "open-address-full.png");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void hugeAddressAsksAtOnceAndEscapeCancels()
    {
        // 2 MB, opened as the view opens it (window-modal, not waited for):
        // nothing shown grows with it, and Escape answers Cancel, also with the
        // whole address shown.
        const QString strAddress = "http://evil.example/?" + QString(2 * 1024 * 1024, QLatin1Char('y'));
        QWidget parent;
        parent.show();
        auto* pDialog = new COpenAddressDlg(QUrl(strAddress), &parent);
        pDialog->setAttribute(Qt::WA_DeleteOnClose);
        QSignalSpy finished(pDialog, &QDialog::finished);
        pDialog->open();
        QVERIFY(QTest::qWaitForWindowActive(pDialog));
        QCOMPARE(Shown(*pDialog, "site"), QString("http://evil.example"));
        QVERIFY(Shown(*pDialog, "address").size() < 200);
        QVERIFY(pDialog->width() < 800);
        testsupport::SaveShot(pDialog->grab(), "open-address-huge.png");
        pDialog->findChild<QPushButton*>("showFullAddress")->click();
        QCOMPARE(pDialog->findChild<QPlainTextEdit*>("fullAddress")->toPlainText().remove('\n'), strAddress);
        testsupport::SaveShot(pDialog->grab(), "open-address-huge-full.png");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    }

    void browseThenCancelKeepsTheTypedAddress()
    {
        QTemporaryDir dir;
        const QString strPage = dir.path() + "/page.htm";
        QFile page(strPage);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();

        CPreferencesDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClicks(HomeEdit(dialog), "typed.example");

        bool bCancelled = false;
        WhenModal<QFileDialog>([&](QFileDialog* pFile) { bCancelled = true; pFile->reject(); });
        dialog.OnBrowse();
        QVERIFY(bCancelled);
        QCOMPARE(HomeEdit(dialog)->text(), QString("typed.example"));

        bool bAccepted = false;
        QStringList filters;
        WhenModal<QFileDialog>([&](QFileDialog* pFile) {
            filters = pFile->nameFilters();
            // As a user would: the path typed into the name field, then Open.
            pFile->setDirectory(dir.path());
            pFile->findChild<QLineEdit*>("fileNameEdit")->setText(strPage);
            bAccepted = true;
            static_cast<QDialog*>(pFile)->accept();
        });
        dialog.OnBrowse();
        QVERIFY(bAccepted);
        QVERIFY2(filters.contains("AIFF Files (*.aif *.aiff)"), qPrintable(filters.join(";;")));
        QCOMPARE(HomeEdit(dialog)->text(), strPage);
        QCOMPARE(dialog.m_strHome, strPage);
        dialog.grab().save(QDir::tempPath() + "/velmora-preferences.png");
    }

    void preferencesCancelWritesNothingAndOkStores()
    {
        CVelmoraApp app;
        app.m_strHomeAddress = "old.example";
        QFile::remove(m_strProfileFile);

        WhenModal<CPreferencesDlg>([](CPreferencesDlg* pDialog) {
            QCOMPARE(HomeEdit(pDialog)->text(), QString("old.example"));
            HomeEdit(pDialog)->setText("changed.example");
            pDialog->findChild<QPushButton*>("cancel")->click();
        });
        CPreferencesDlg::OnPreferences(nullptr);
        QCOMPARE(app.m_strHomeAddress, QString("old.example"));
        QVERIFY(!QFile::exists(m_strProfileFile));

        WhenModal<CPreferencesDlg>([](CPreferencesDlg* pDialog) {
            HomeEdit(pDialog)->setText("/data/site/index.htm");
            QTest::keyClick(HomeEdit(pDialog), Qt::Key_Return);   // the default button
        });
        CPreferencesDlg::OnPreferences(nullptr);
        QCOMPARE(app.m_strHomeAddress, QString("/data/site/index.htm"));
        QCOMPARE(QSettings("Velmora", "Velmora").value("Home Page/Local").toString(),
                 QString("/data/site/index.htm"));
    }
};

QTEST_MAIN_WITH_HOME(TestDialogs, PrivateRuntime)
#include "test_dialogs.moc"
