// Unsaved tier edits outlive the player: the real `sonavel` on an X display
// (Xvfb) is given a label by real keys (xdotool) and sent SIGTERM, as at a
// logout; the next `sonavel` on the same TextGrid offers the edits back, and
// saving them writes them. Run under with-pulse.sh and with-display.sh.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "tests/support/EventBound.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WaitFor.h"
#include "tools/voicesynth/WavFile.h"

using namespace sonavel::textgrid;

namespace {

// xdotool with these arguments; true when it found what it looked for.
bool Xdo(const QStringList& arguments)
{
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), arguments);
    return xdo.waitForFinished(testsupport::kEventBoundMs) && xdo.exitStatus() == QProcess::NormalExit
           && xdo.exitCode() == 0;
}

// Waits until a visible window's title matches the pattern, and gives it the keys.
bool FocusWindow(const QString& strTitlePattern)
{
    return Xdo({"search", "--sync", "--onlyvisible", "--name", strTitlePattern, "windowfocus", "--sync"});
}

void Shot(const char* szName)
{
    if (!qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
        return;
    QProcess import;
    import.start(QStringLiteral("import"), {"-window", "root", QDir(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR")).filePath(szName)});
    import.waitForFinished(testsupport::kEventBoundMs);
}

class PlayerRun {
public:
    PlayerRun(const QString& strState, const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the display's, not the test's offscreen
        env.insert(QStringLiteral("XDG_STATE_HOME"), strState);
        m_player.setProcessEnvironment(env);
        m_player.start(QStringLiteral(SONAVEL_PATH), arguments);
    }
    ~PlayerRun()
    {
        if (m_player.state() != QProcess::NotRunning) {
            m_player.kill();
            m_player.waitForFinished(testsupport::kEventBoundMs);
        }
    }
    QProcess m_player;
};

} // namespace

TEST(PlayerEnd, UnsavedTierEditsOutliveSigtermAndAreOfferedAgain)
{
    QTemporaryDir dir;
    const QString strSound = dir.filePath("take7.wav"), strGrid = dir.filePath("take7.TextGrid");
    const QString strState = dir.filePath("state"), strKept = strState + "/sonavel/recovery";
    const std::vector<uint8_t> wav = WavBytes16(std::vector<int16_t>(16000, 0), 16000);
    ASSERT_TRUE(testsupport::WriteTestFile(strSound, QByteArray(reinterpret_cast<const char*>(wav.data()), wav.size())));
    TextGrid grid{0, 1, {}};
    grid.tiers.push_back(Tier{"words", ETierKind::Interval, 0, 1, {{0, 0.5, "a"}, {0.5, 1, "b"}}, {}});
    ASSERT_TRUE(WriteTextGrid(grid, strGrid.toStdString()).bOk);
    const QStringList arguments{strSound, "--textgrid", strGrid};

    {
        PlayerRun run(strState, arguments);
        ASSERT_TRUE(FocusWindow("take7\\.TextGrid"));
        // The first interval, its label replaced in place.
        ASSERT_TRUE(Xdo({"key", "--clearmodifiers", "alt+Right", "F2"}));
        ASSERT_TRUE(Xdo({"type", "--delay", "5", "kept"}));
        ASSERT_TRUE(Xdo({"key", "--clearmodifiers", "Return"}));
        ASSERT_TRUE(FocusWindow("take7\\.TextGrid\\*"));
        ASSERT_EQ(kill(static_cast<pid_t>(run.m_player.processId()), SIGTERM), 0);
        ASSERT_TRUE(run.m_player.waitForFinished(testsupport::kEventBoundMs));
        // Ended as SIGTERM ends a program, the edits kept on the way out.
        EXPECT_EQ(run.m_player.exitStatus(), QProcess::CrashExit);
    }
    EXPECT_EQ(ReadTextGrid(strGrid.toStdString()).grid.tiers[0].intervals[0].strLabel, "a");
    ASSERT_EQ(QDir(strKept).entryList(QDir::Files).size(), 1);

    PlayerRun again(strState, arguments);
    ASSERT_TRUE(FocusWindow("^Measure$")); // "Restore the unsaved edits of 14:02?"
    Shot("restore-unsaved-edits.png");
    ASSERT_TRUE(Xdo({"key", "--clearmodifiers", "Return"}));
    ASSERT_TRUE(FocusWindow("take7\\.TextGrid\\*"));
    ASSERT_TRUE(Xdo({"key", "--clearmodifiers", "ctrl+s"}));
    EXPECT_TRUE(testsupport::WaitFor(
        [&] { return ReadTextGrid(strGrid.toStdString()).grid.tiers[0].intervals[0].strLabel == "kept"; }));
    EXPECT_TRUE(testsupport::WaitFor([&] { return QDir(strKept).entryList(QDir::Files).isEmpty(); }));
}
