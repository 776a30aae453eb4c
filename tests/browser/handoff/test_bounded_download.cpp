// Downloads a hostile server cannot make unbounded: the body must start as a
// sound, ends where the sound's header says, stays under the cap and above a
// trickle; and the partial files of a killed run go.
#include "browser/handoff/CAudioHandoff.h"
#include "browser/handoff/CPrivateTempFile.h"
#include "browser/handoff/CSoundDownload.h"
#include "common/SoundDeclaredLength.h"
#include "tests/browser/handoff/CRecordingHost.h"
#include "tests/browser/handoff/TestSoundServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace velmora;

namespace {

int64_t Declared(const QByteArray& head)
{
    return sonavel::format::DeclaredSoundLength(reinterpret_cast<const uint8_t*>(head.constData()),
                                                std::size_t(head.size()));
}

QByteArray Le32(uint32_t n) { return QByteArray(reinterpret_cast<const char*>(&n), 4); }

TEST(DeclaredSoundLength, ReadsEachContainerAndIgnoresUnknownSizes)
{
    EXPECT_EQ(Declared(ServedWav(1000, 1)), 1044);
    QByteArray rf64 = "RF64" + Le32(0xFFFFFFFF) + "WAVEds64" + Le32(28) + Le32(5000000) + Le32(1);
    EXPECT_EQ(Declared(rf64), 0x100000000LL + 5000000 + 8);
    EXPECT_EQ(Declared(QByteArray("FORM\x00\x01\x00\x00" "AIFC", 12)), 0x10000 + 8);
    EXPECT_EQ(Declared(QByteArray(".snd\x00\x00\x00\x20\x00\x00\x10\x00", 12)), 32 + 4096);
    EXPECT_EQ(Declared(QByteArray("dns.\x20\x00\x00\x00\x00\x10\x00\x00", 12)), 32 + 4096);
    // Sizes that say "not known yet", too short a head, other formats.
    for (const QByteArray& head : {QByteArray("RIFF\xFF\xFF\xFF\xFFWAVE", 12), QByteArray("RIFF\0\0\0\0WAVE", 12),
                                   QByteArray(".snd\0\0\0\x18\xFF\xFF\xFF\xFF", 12), QByteArray("RIFF\x10\0\0\0WAV", 11),
                                   "RF64" + Le32(0xFFFFFFFF) + "WAVEfmt ", QByteArray("fLaC\0\0\0\x22\x10\0\x10\0", 12)})
        EXPECT_EQ(Declared(head), -1) << head.toHex().constData();
}

class BoundedDownload : public ::testing::Test, protected CServedHandoff {
protected:
    void SetUp() override
    {
        m_long = ServedWav(1 << 20, 3);
        WriteTestFile(m_strWeb + "/long.wav", m_long);
        WriteTestFile(m_strWeb + "/clip.wav", ServedWav(5000, 4));
        // A stream's header: RIFF and data sizes "not known".
        QByteArray stream = ServedWav(1000, 5);
        stream.replace(4, 4, Le32(0xFFFFFFFF));
        stream.replace(40, 4, Le32(0xFFFFFFFF));
        WriteTestFile(m_strWeb + "/stream.wav", stream);
        ASSERT_TRUE(Serve()) << "the test web server did not start";
        WriteTestFile(m_host.m_strTemp, "old sound");
    }
    bool Navigate(const QString& strPath)
    {
        bool bCancel = false;
        m_handoff.OnBeforeNavigate2(m_pServer->Url(strPath), &bCancel);
        return bCancel;
    }
    // Nothing played, the old sound kept and no partial file beside it.
    void ExpectNothingKept()
    {
        EXPECT_TRUE(m_host.m_starts.empty());
        EXPECT_EQ(ReadTestFile(m_host.m_strTemp), QByteArray("old sound"));
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"tempFile"});
    }
    void ExpectMessage(const char* szText)
    {
        ASSERT_EQ(m_host.m_messages.size(), 1u);
        EXPECT_TRUE(m_host.m_messages[0].first.contains(szText)) << qPrintable(m_host.m_messages[0].first);
    }

    QByteArray m_long;
};

TEST_F(BoundedDownload, EndlessBodyEndsWhereTheSoundSays)
{
    EXPECT_TRUE(Navigate("endless/long.wav"));
    ASSERT_EQ(m_host.m_starts.size(), 1u);
    EXPECT_EQ(m_host.m_startedContents[0], m_long);
    EXPECT_TRUE(m_host.m_messages.empty());
}

TEST_F(BoundedDownload, LengthBeyondTheCapWritesNothing)
{
    EXPECT_TRUE(Navigate("huge/clip.wav"));  // announces 10^15 bytes
    ExpectMessage("is larger than");
    ExpectNothingKept();
}

TEST_F(BoundedDownload, BodyPastTheCapIsCutOff)
{
    m_handoff.SetDownloadLimits(256 << 10, 1024, 30);
    EXPECT_TRUE(Navigate("endless/stream.wav"));
    ExpectMessage("is larger than");
    ExpectNothingKept();
}

TEST_F(BoundedDownload, PageBehindASoundLinkGoesToTheEngine)
{
    EXPECT_FALSE(Navigate("html/page.wav"));
    EXPECT_TRUE(m_host.m_messages.empty());
    ExpectNothingKept();
}

TEST_F(BoundedDownload, TricklingServerIsStopped)
{
    m_handoff.SetDownloadLimits(-1, 1024, 2);
    EXPECT_TRUE(Navigate("drip/clip.wav"));
    ExpectMessage("stayed under 1024 bytes a second for 2 seconds");
    ExpectNothingKept();
}

TEST(PrivateTempFile, LeftoversOfAKilledRunGoButNotARunningOne)
{
    QTemporaryDir folder;
    const QString strFinal = folder.filePath("tempFile");
    WriteTestFile(strFinal + ".part-dead", "half a sound");
    WriteTestFile(folder.filePath("notes.part-1"), "not ours");
    CPrivateTempFile running(strFinal);
    ASSERT_TRUE(running.Create());  // clears the dead one as it opens the folder
    ASSERT_TRUE(running.Write("abc", 3));
    const QStringList entries = QDir(folder.path()).entryList(QDir::Files);
    ASSERT_EQ(entries.size(), 2) << qPrintable(entries.join(' '));
    CPrivateTempFile::RemoveLeftovers(strFinal);  // another run starting
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), entries);
    EXPECT_TRUE(running.Commit());
    EXPECT_EQ(ReadTestFile(strFinal), QByteArray("abc"));
}

}  // namespace
