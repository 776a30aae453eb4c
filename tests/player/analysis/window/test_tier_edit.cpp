// The measuring view's tiers as a user edits them with real keys and mouse:
// a click selects an interval and sets the cursor, Enter adds a boundary
// there, a drag moves a point onto a boundary of the tier above, F2 edits a
// label in place (every key typed goes into it; Escape cancels), Ctrl+Z and
// Ctrl+Shift+Z undo and redo, Ctrl+S saves, and the file reads back; closing
// with unsaved edits asks first.
#include <QAction>
#include <QLineEdit>
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
#include "tests/support/SaveShot.h"
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
    void OpenView()
    {
        m_pView = std::make_unique<CMeasureView>();
        m_pView->setAttribute(Qt::WA_DeleteOnClose, false);
        m_pView->SetPlayer(&m_player);
        m_pView->SetSound(CMeasureSound::FromStore(m_store), QStringLiteral("take7.wav"));
        QVERIFY(m_pView->OpenTextGrid(m_strGrid));
        m_pView->show();
        m_pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pView.get()));
    }

private slots:
    void init()
    {
        m_strGrid = m_dir.filePath(QStringLiteral("take7.TextGrid"));
        QVERIFY(WriteTextGrid(TwoTiers(), m_strGrid.toStdString()).bOk);
        OpenView();
    }
    void cleanup() { m_pView.reset(); }

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
};

QTEST_MAIN(TestTierEdit)
#include "test_tier_edit.moc"
