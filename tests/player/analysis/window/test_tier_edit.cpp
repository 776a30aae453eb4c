// The measuring view's tiers as a user edits them with real keys and mouse:
// a click selects an interval and sets the cursor, Enter adds a boundary
// there, a drag moves a point onto a boundary of the tier above, F2 edits a
// label in place (every key typed goes into it; Escape cancels), Ctrl+Z and
// Ctrl+Shift+Z undo and redo, Ctrl+S saves, and the file reads back; closing
// with unsaved edits asks first. A label of any length is edited whole; a
// save over a file that changed on disk or became a link asks; unsaved edits
// are kept in a recovery file and offered when the TextGrid opens again; the
// file dialogs open where the sound is.
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "player/analysis/window/CMeasureView.h"
#include "player/analysis/window/CTierStrip.h"
#include "tests/player/analysis/window/MeasureTestSupport.h"
#include "player/analysis/window/EditRecovery.h"
#include "tests/support/SaveShot.h"
#include "tests/support/WaitFor.h"
#include "tests/support/WhenModal.h"

using namespace measuretest;
using namespace sonavel::textgrid;
using testsupport::SaveShot;

namespace {
const int kRate = 16000;

// words: [0,1] "a", [1,2] "", [2,3] "c"; tones: a point at 0.5 "H".
TextGrid TwoTiers()
{
    TextGrid grid{0, 3, {}};
    grid.tiers.push_back(Tier{"words", ETierKind::Interval, 0, 3, {{0, 1, "a"}, {1, 2, ""}, {2, 3, "c"}}, {}});
    grid.tiers.push_back(Tier{"tones", ETierKind::Point, 0, 3, {}, {{0.5, "H"}}});
    return grid;
}
} // namespace

class TestTierEdit : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strGrid;
    std::unique_ptr<CMeasureView> m_pView;
    CRecordingSpanPlayer m_player;
    SampleStore m_store = Store(Voice(kRate), kRate);

    const Tier& GridTier(int n) { return m_pView->Tiers().Grid().tiers[n]; }
    QPoint At(int nTier, double t)
    {
        CTierStrip* pStrip = m_pView->Strip(nTier);
        return QPoint(static_cast<int>(std::lround(pStrip->XAtTime(t))), pStrip->height() / 2);
    }
    // Keys as the user types them: to whatever has the focus, shortcuts first.
    void Type(int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(nKey), modifiers);
    }
    // A view of the sound take7.wav beside m_strGrid, with that TextGrid.
    std::unique_ptr<CMeasureView> NewView()
    {
        auto pView = std::make_unique<CMeasureView>();
        pView->setAttribute(Qt::WA_DeleteOnClose, false);
        pView->SetPlayer(&m_player);
        pView->SetSound(CMeasureSound::FromStore(m_store), QStringLiteral("take7.wav"));
        pView->SetSoundFile(m_dir.filePath(QStringLiteral("take7.wav")));
        pView->OpenTextGrid(m_strGrid);
        return pView;
    }
    void OpenView()
    {
        m_pView = NewView();
        QCOMPARE(m_pView->TextGridPath(), m_strGrid);
        m_pView->show();
        m_pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pView.get()));
    }
    // Answers the next message box with the button of that text; returns what the box said.
    std::shared_ptr<QString> Answer(const QString& strButton)
    {
        auto pText = std::make_shared<QString>();
        testsupport::WhenModal<QMessageBox>(this, [strButton, pText](QMessageBox* p) {
            *pText = p->text() + QLatin1Char('\n') + p->informativeText();
            SaveShot(p->grab(), qPrintable(QStringLiteral("question-%1.png").arg(strButton.left(4))));
            for (QAbstractButton* pButton : p->buttons())
                if (pButton->text() == strButton)
                    return pButton->click();
            p->reject();
        });
        return pText;
    }
    // The folder the next file dialog opens in; the dialog is cancelled.
    QString DialogFolder(const char* szAction)
    {
        auto pFolder = std::make_shared<QString>(QStringLiteral("(no dialog)"));
        testsupport::WhenModal<QFileDialog>(this, [pFolder](QFileDialog* p) {
            *pFolder = p->directory().absolutePath();
            SaveShot(p->grab(), "file-dialog.png");
            p->reject();
        });
        m_pView->Action(szAction)->trigger();
        return *pFolder;
    }
    std::string FirstLabel(const QString& strPath) { return ReadTextGrid(strPath.toStdString()).grid.tiers[0].intervals[0].strLabel; }

private slots:
    void init()
    {
        m_strGrid = m_dir.filePath(QStringLiteral("take7.TextGrid"));
        QFile::remove(m_strGrid); // a link an earlier case left stays no link
        QVERIFY(WriteTextGrid(TwoTiers(), m_strGrid.toStdString()).bOk);
        OpenView();
    }
    void cleanup()
    {
        m_pView.reset();
        QDir(editrecovery::Folder()).removeRecursively();
    }

    void EditsByKeysAndMouseAndSaves()
    {
        QCOMPARE(m_pView->windowTitle(), QStringLiteral("take7.wav + take7.TextGrid \u2014 Measure"));
        // A click in the words' second interval selects it (Space plays it) and sets the cursor.
        QTest::mouseClick(m_pView->Strip(0), Qt::LeftButton, Qt::NoModifier, At(0, 1.5));
        QCOMPARE(m_pView->Tiers().SelectedItem(), 1);
        QVERIFY(m_pView->Model().HasSelection());
        QCOMPARE(m_pView->Model().SelectionStart(), 1.0);
        QCOMPARE(m_pView->Model().SelectionEnd(), 2.0);
        const double dCursor = m_pView->Model().Cursor();
        QVERIFY(std::abs(dCursor - 1.5) < 0.01);
        Type(Qt::Key_Return);
        QCOMPARE(GridTier(0).intervals.size(), size_t(4));
        QCOMPARE(GridTier(0).intervals[2].dStart, dCursor);
        QCOMPARE(m_pView->windowTitle(), QStringLiteral("take7.wav + take7.TextGrid* \u2014 Measure"));

        // The point at 0.5 dragged to a few pixels short of 1.0 lands on the words' boundary there.
        CTierStrip* pTones = m_pView->Strip(1);
        QTest::mousePress(pTones, Qt::LeftButton, Qt::NoModifier, At(1, 0.5));
        QTest::mouseMove(pTones, At(1, 0.75));
        QTest::mouseMove(pTones, At(1, 1.0) - QPoint(4, 0));
        QTest::mouseRelease(pTones, Qt::LeftButton, Qt::NoModifier, At(1, 1.0) - QPoint(4, 0));
        QCOMPARE(GridTier(1).points.size(), size_t(1));
        QCOMPARE(GridTier(1).points[0].dTime, 1.0);

        // F2 on the new interval: Space, digits and Z are the label's, not the view's keys.
        QTest::mouseClick(m_pView->Strip(0), Qt::LeftButton, Qt::NoModifier, At(0, 1.8));
        QCOMPARE(m_pView->Tiers().SelectedItem(), 2);
        const double dSpanBefore = m_pView->Model().Span();
        Type(Qt::Key_F2);
        QLineEdit* pEditor = m_pView->Strip(0)->Editor();
        QVERIFY(pEditor);
        QTest::keyClicks(pEditor, QStringLiteral("b z0"));
        SaveShot(m_pView->grab(), "tier-label-editing.png");
        Type(Qt::Key_Return);
        QCOMPARE(GridTier(0).intervals[2].strLabel, std::string("b z0"));
        QCOMPARE(m_pView->Model().Span(), dSpanBefore);
        QVERIFY(m_player.m_played.empty());
        // Escape leaves the label as it was.
        Type(Qt::Key_F2);
        QTest::keyClicks(m_pView->Strip(0)->Editor(), QStringLiteral("x"));
        Type(Qt::Key_Escape);
        QVERIFY(!m_pView->Strip(0)->IsEditing());
        QCOMPARE(GridTier(0).intervals[2].strLabel, std::string("b z0"));
        SaveShot(m_pView->grab(), "tiers-interval-selected.png");

        // Undo the label and the move, redo the move.
        Type(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridTier(0).intervals[2].strLabel, std::string());
        Type(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridTier(1).points[0].dTime, 0.5);
        Type(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(GridTier(1).points[0].dTime, 1.0);

        // Delete with the cursor at the new boundary takes it away again.
        QTest::mouseClick(m_pView->Strip(0), Qt::LeftButton, Qt::NoModifier, At(0, dCursor) + QPoint(2, 0));
        Type(Qt::Key_Delete);
        QCOMPARE(GridTier(0).intervals.size(), size_t(3));
        // Keys reach every interval and point, and the reader hears which.
        Type(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(m_pView->Strip(0)->accessibleDescription(), QStringLiteral("Interval 3 of 3, 2.000 to 3.000 s: \"c\""));
        Type(Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), m_pView->Strip(1));
        QCOMPARE(m_pView->Tiers().SelectedTier(), 1);

        Type(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!m_pView->Tiers().IsModified());
        const ReadResult back = ReadTextGrid(m_strGrid.toStdString());
        QVERIFY2(back.Ok(), back.strWhat.c_str());
        QCOMPARE(back.grid.tiers[0].intervals.size(), size_t(3));
        QCOMPARE(back.grid.tiers[0].intervals[1].dEnd, 2.0);
        QCOMPARE(back.grid.tiers[1].points[0].dTime, 1.0);
        QCOMPARE(back.grid.tiers[1].points[0].strLabel, std::string("H"));
    }

    // After Enter and Delete the selection and the status line show the
    // interval the tier has selected now; a dragged boundary says where it is.
    void TheSelectionFollowsAnEditAndADragSaysWhere()
    {
        CMeasureModel& model = m_pView->Model();
        const auto Status = [&](const char* szName) {
            for (QLabel* p : m_pView->findChildren<QLabel*>())
                if (p->accessibleName() == QLatin1String(szName))
                    return p->text();
            return QString();
        };
        QTest::mouseClick(m_pView->Strip(0), Qt::LeftButton, Qt::NoModifier, At(0, 1.5));
        const double dCursor = model.Cursor();
        Type(Qt::Key_Return);
        QCOMPARE(model.SelectionStart(), dCursor);
        QCOMPARE(model.SelectionEnd(), 2.0);
        QVERIFY2(Status("Selection").startsWith(QStringLiteral("Selection 1.5")), qPrintable(Status("Selection")));
        Type(Qt::Key_Delete);
        QCOMPARE(model.SelectionStart(), 1.0);
        QCOMPARE(model.SelectionEnd(), 2.0);
        QVERIFY2(Status("Selection").startsWith(QStringLiteral("Selection 1.000")), qPrintable(Status("Selection")));

        CTierStrip* pWords = m_pView->Strip(0);
        QTest::mousePress(pWords, Qt::LeftButton, Qt::NoModifier, At(0, 1.0));
        QTest::mouseMove(pWords, At(0, 1.1));
        QTest::mouseMove(pWords, At(0, 1.25));
        QVERIFY2(Status("Readout").startsWith(QStringLiteral("Boundary at 1.2")), qPrintable(Status("Readout")));
        QTest::mouseRelease(pWords, Qt::LeftButton, Qt::NoModifier, At(0, 1.25));
        QVERIFY(std::abs(GridTier(0).intervals[0].dEnd - 1.25) < 0.01);
    }

    void ClosingWithUnsavedEditsAsks()
    {
        QTest::mouseClick(m_pView->Strip(1), Qt::LeftButton, Qt::NoModifier, At(1, 2.0));
        Type(Qt::Key_Return); // a point at the cursor
        QVERIFY(m_pView->Tiers().IsModified());
        testsupport::WhenModal<QMessageBox>(this, [](QMessageBox* p) { p->button(QMessageBox::Cancel)->click(); });
        QVERIFY(!m_pView->close());
        QVERIFY(m_pView->isVisible());
        testsupport::WhenModal<QMessageBox>(this, [](QMessageBox* p) { p->button(QMessageBox::Save)->click(); });
        QVERIFY(m_pView->close());
        QCOMPARE(ReadTextGrid(m_strGrid.toStdString()).grid.tiers[1].points.size(), size_t(2));
    }

    void UnreadableTextGridIsSaidAndTheTiersStay()
    {
        QFile file(m_dir.filePath(QStringLiteral("broken.TextGrid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\nxmin = 0\nxmax = oops\n");
        file.close();
        QVERIFY(!m_pView->OpenTextGrid(file.fileName()));
        QVERIFY(m_pView->Note().contains(QStringLiteral("broken.TextGrid:")));
        QCOMPARE(m_pView->Tiers().TierCount(), size_t(2));
    }
    void ALabelOfAMillionCharactersIsEditedWhole()
    {
        TextGrid grid = TwoTiers();
        grid.tiers[0].intervals[0].strLabel = std::string(1000000, 'w');
        QVERIFY(WriteTextGrid(grid, m_strGrid.toStdString()).bOk);
        OpenView();
        QTest::mouseClick(m_pView->Strip(0), Qt::LeftButton, Qt::NoModifier, At(0, 0.5));
        Type(Qt::Key_F2);
        QVERIFY(m_pView->Strip(0)->IsEditing());
        Type(Qt::Key_Return);
        QCOMPARE(GridTier(0).intervals[0].strLabel.size(), size_t(1000000));
        QVERIFY(!m_pView->Tiers().IsModified());
        QVERIFY(!m_pView->windowTitle().contains(QLatin1Char('*')));
        // A letter typed at its end is one more, not the end cut off.
        Type(Qt::Key_F2);
        Type(Qt::Key_End);
        QTest::keyClicks(m_pView->Strip(0)->Editor(), QStringLiteral("!"));
        Type(Qt::Key_Return);
        QCOMPARE(GridTier(0).intervals[0].strLabel, std::string(1000000, 'w') + "!");
    }

    void ASaveAsksWhenTheFileChangedOnDiskOrBecameALink()
    {
        // A second window on the same TextGrid saves first; this one's save asks.
        std::unique_ptr<CMeasureView> pOther = NewView();
        QCOMPARE(pOther->Tiers().SetLabel(0, 0, "other"), std::string());
        QVERIFY(pOther->SaveTextGrid(m_strGrid));
        QCOMPARE(m_pView->Tiers().SetLabel(0, 0, "mine"), std::string());
        std::shared_ptr<QString> pText = Answer(QStringLiteral("Cancel"));
        m_pView->Action("saveTextGrid")->trigger();
        QVERIFY2(pText->contains(QStringLiteral("take7.TextGrid was changed on disk since it was read")), qPrintable(*pText));
        QCOMPARE(FirstLabel(m_strGrid), std::string("other"));
        Answer(QStringLiteral("Overwrite"));
        m_pView->Action("saveTextGrid")->trigger();
        QCOMPARE(FirstLabel(m_strGrid), std::string("mine"));
        // Its own save is what it read now: no question.
        QCOMPARE(m_pView->Tiers().SetLabel(0, 0, "mine again"), std::string());
        m_pView->Action("saveTextGrid")->trigger();
        QCOMPARE(FirstLabel(m_strGrid), std::string("mine again"));

        // The TextGrid replaced by a link to another file: asked, and Save As offered.
        const QString strTarget = m_dir.filePath(QStringLiteral("elsewhere.TextGrid"));
        QVERIFY(WriteTextGrid(TwoTiers(), strTarget.toStdString()).bOk);
        QVERIFY(QFile::remove(m_strGrid));
        QVERIFY(QFile::link(strTarget, m_strGrid));
        QCOMPARE(m_pView->Tiers().SetLabel(0, 0, "through the link"), std::string());
        pText = Answer(QString::fromUtf8("Save As\xE2\x80\xA6"));
        const QString strFolder = DialogFolder("saveTextGrid");
        QVERIFY2(pText->contains(QStringLiteral("is now a symbolic link to ") + strTarget), qPrintable(*pText));
        QCOMPARE(strFolder, m_dir.path());
        QCOMPARE(FirstLabel(strTarget), std::string("a"));
        QVERIFY(QFileInfo(m_strGrid).isSymLink());
        QVERIFY(m_pView->Tiers().IsModified());
        // Written through it once agreed, later saves go through it unasked.
        Answer(QStringLiteral("Overwrite"));
        m_pView->Action("saveTextGrid")->trigger();
        QCOMPARE(FirstLabel(m_strGrid), std::string("through the link"));
        QCOMPARE(m_pView->Tiers().SetLabel(0, 0, "again"), std::string());
        m_pView->Action("saveTextGrid")->trigger();
        QCOMPARE(FirstLabel(m_strGrid), std::string("again"));
    }

    void UnsavedEditsAreKeptAndOfferedWhenTheTextGridOpensAgain()
    {
        const QString strKept = editrecovery::FileFor(editrecovery::KeyFor(m_strGrid, QString()));
        QTest::mouseClick(m_pView->Strip(0), Qt::LeftButton, Qt::NoModifier, At(0, 1.5));
        Type(Qt::Key_Return);
        QVERIFY(m_pView->Tiers().IsModified());
        // Within seconds of the edit, without any save.
        QVERIFY(testsupport::WaitFor([&] { return QFile::exists(strKept); }));
        QVERIFY(!(QFileInfo(editrecovery::Folder()).permissions() & (QFile::ReadOther | QFile::ReadGroup)));

        // The same TextGrid opened again (the first window gone without saving) offers them.
        const TextGrid edited = m_pView->Tiers().Grid();
        m_pView->KeepUnsavedEdits();
        m_pView.reset();
        const QString strWhen = QFileInfo(strKept).lastModified().toString(QStringLiteral("HH:mm"));
        std::shared_ptr<QString> pText = Answer(QStringLiteral("Restore"));
        OpenView();
        QCOMPARE(pText->section(QLatin1Char('\n'), 0, 0), QStringLiteral("Restore the unsaved edits of %1?").arg(strWhen));
        QCOMPARE(GridTier(0).intervals.size(), edited.tiers[0].intervals.size());
        QVERIFY(m_pView->windowTitle().contains(QStringLiteral("take7.TextGrid*")));
        // Restoring is one step: undone, the tiers are the file's again.
        Type(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridTier(0).intervals.size(), size_t(3));
        Type(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        // Saved, nothing is kept; discarded, neither.
        Type(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadTextGrid(m_strGrid.toStdString()).grid.tiers[0].intervals.size(), edited.tiers[0].intervals.size());
        QVERIFY(!QFile::exists(strKept));
        QCOMPARE(m_pView->Tiers().SetLabel(0, 0, "dropped"), std::string());
        m_pView->KeepUnsavedEdits();
        QVERIFY(QFile::exists(strKept));
        testsupport::WhenModal<QMessageBox>(this, [](QMessageBox* p) { p->button(QMessageBox::Discard)->click(); });
        QVERIFY(m_pView->close());
        m_pView->KeepUnsavedEdits(); // as when the player ends next
        QVERIFY(!QFile::exists(strKept));

        // New tiers of a sound without a TextGrid: offered when its view opens again.
        auto NewTake8 = [this] {
            auto pView = std::make_unique<CMeasureView>();
            pView->setAttribute(Qt::WA_DeleteOnClose, false);
            pView->SetSound(CMeasureSound::FromStore(m_store), QStringLiteral("take8.wav"));
            pView->SetSoundFile(m_dir.filePath(QStringLiteral("take8.wav")));
            return pView;
        };
        std::unique_ptr<CMeasureView> pNew = NewTake8();
        QCOMPARE(pNew->Tiers().AddTier(0, "words", ETierKind::Interval), std::string());
        pNew->KeepUnsavedEdits();
        pNew.reset();
        pText = Answer(QStringLiteral("Restore"));
        pNew = NewTake8();
        QVERIFY(testsupport::WaitFor([&] { return pNew->Tiers().TierCount() == 1; }));
        QVERIFY2(pText->contains(QStringLiteral("The new tiers of take8.wav had edits")), qPrintable(*pText));
    }

    void FileDialogsOpenWhereTheSoundIsWhereverThePlayerStarted()
    {
        QDir::setCurrent(QStringLiteral("/"));
        QCOMPARE(DialogFolder("openTextGrid"), m_dir.path());
        // New tiers for a sound without a TextGrid: saved beside the sound
        // (in a folder of the build tree: one under /tmp counts as temporary).
        const QTemporaryDir corpus(QCoreApplication::applicationDirPath() + QStringLiteral("/corpus-XXXXXX"));
        m_pView->SetSound(CMeasureSound::FromStore(m_store), QStringLiteral("take8.wav"));
        m_pView->SetSoundFile(corpus.filePath(QStringLiteral("take8.wav")));
        QCOMPARE(DialogFolder("openTextGrid"), corpus.path());
        QCOMPARE(m_pView->Tiers().AddTier(0, "words", ETierKind::Interval), std::string());
        QCOMPARE(DialogFolder("saveTextGrid"), corpus.path());
        QCOMPARE(DialogFolder("saveTextGridAs"), corpus.path());
        // The browser's downloaded copy lies in a cache: the home folder instead.
        m_pView->SetSoundFile(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                              + QStringLiteral("/velmora/tempFile"));
        QCOMPARE(DialogFolder("saveTextGrid"), QDir::homePath());
        QCOMPARE(DialogFolder("openTextGrid"), QDir::homePath());
    }
};

QTEST_MAIN(TestTierEdit)
#include "test_tier_edit.moc"
