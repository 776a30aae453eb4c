// The sound-link hand-off without a browser engine: which links are sound
// links, and what each route does with the file, the player and the messages.
#include "browser/handoff/CAudioHandoff.h"
#include "browser/handoff/CHandoffHost.h"
#include "browser/handoff/CPlayerLauncher.h"
#include "browser/handoff/CSoundDownload.h"
#include "browser/handoff/LocalSoundCopy.h"
#include "browser/handoff/MediaFragment.h"
#include "browser/handoff/PlayerCommandLine.h"
#include "tests/browser/handoff/CRecordingHost.h"
#include "tests/browser/handoff/TestSoundServer.h"
#include "tests/support/WaitFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

using namespace velmora;

namespace {

struct SNavigation {
    bool bCancel = false;
};

SNavigation Navigate(CAudioHandoff& handoff, const QString& strUrl,
                     ENavigationSource source = ENavigationSource::Browser, const QString& strPage = QString())
{
    SNavigation nav;
    handoff.OnBeforeNavigate2(strUrl, &nav.bCancel, source, true, strPage);
    return nav;
}

// A tmpfs mounted over a folder for the life of the object.
class CTmpfsMount {
public:
    CTmpfsMount(const QString& strFolder, const char* szOptions) : m_path(QFile::encodeName(strFolder))
    {
        QDir().mkpath(strFolder);
        unsigned long nFlags = 0;
        QByteArray options(szOptions);
        if (options.startsWith("ro,")) {
            nFlags = MS_RDONLY;
            options = options.mid(3);
        }
        if (::mount("tmpfs", m_path.constData(), "tmpfs", nFlags, options.constData()) == 0)
            m_bMounted = true;
        else
            m_strError = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~CTmpfsMount()
    {
        if (m_bMounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    bool IsMounted() const { return m_bMounted; }
    QString Error() const { return m_strError; }

private:
    QByteArray m_path;
    QString m_strError;
    bool m_bMounted = false;
};

}  // namespace

TEST(LinkClassification, MarkersAnywhereAfterTheFirstCharacterOnTheLowerCasedUrl)
{
    const struct {
        const char* szUrl;
        ELinkRoute route;
    } rows[] = {
        {"http://host/clip.wav", ELinkRoute::Download},
        {"HTTP://HOST/DIR/CLIP.WAV", ELinkRoute::Download},
        {"http://host/clip.wav?id=3", ELinkRoute::Download},
        {"http://host/my.wave/page.htm", ELinkRoute::Download},
        {"http://www.aifdata.aif.example/index.htm", ELinkRoute::Download},
        {"http://host/a.aiff", ELinkRoute::Download},
        {"http://host/a.AIF", ELinkRoute::Download},
        {"https://host/clip.wav", ELinkRoute::Download},
        {"HTTPS://Host/Clip.Wav", ELinkRoute::Download},
        {"file:///home/u/clip.wav", ELinkRoute::Local},
        {"/home/u/Clip.AIFF", ELinkRoute::Local},
        {"ftp://host/clip.wav", ELinkRoute::Local},
        // A file: address is judged on the file it names, and copied.
        {"file:///x.wav?from=http://host/", ELinkRoute::Local},
        {"file:///home/u/notes.txt#x.wav", ELinkRoute::None},
        {"file:///home/u/notes.txt?a.wav", ELinkRoute::None},
        {"FILE:///home/u/A%20B.WAV", ELinkRoute::Local},
        {"file://otherhost/share/x.wav", ELinkRoute::None},
        {"http://host/clip.au", ELinkRoute::None},
        {"http://host/page.htm", ELinkRoute::None},
        {"http://host/clip.wa", ELinkRoute::None},
        {".wav", ELinkRoute::None},
        {".aiff", ELinkRoute::None},
        {"x.wav", ELinkRoute::Local},
        {"", ELinkRoute::None},
        // The newer formats only where the path ends.
        {"https://host/corpus/a.FLAC?dl=1#t=3", ELinkRoute::Download},
        {"http://host/a.ogg", ELinkRoute::Download},
        {"http://host/a.oga", ELinkRoute::Download},
        {"http://host/a.opus", ELinkRoute::Download},
        {"http://host/a.mp3", ELinkRoute::Download},
        {"file:///home/u/a.flac", ELinkRoute::Local},
        {"/home/u/a.opus", ELinkRoute::Local},
        {"http://www.mp3.example/page", ELinkRoute::None},
        {"http://host/a.mp3/page.htm", ELinkRoute::None},
        {"http://host/page?f=a.flac", ELinkRoute::None},
        {"http://host/page#a.ogg", ELinkRoute::None},
        {"file:///home/u/notes.txt#x.mp3", ELinkRoute::None},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ClassifyLink(QString::fromLatin1(row.szUrl)), row.route) << row.szUrl;
}

TEST(LinkClassification, FileUrlsBecomeLocalPaths)
{
    EXPECT_EQ(LocalPathForCopy("file:///tmp/a%20b/clip.wav"), "/tmp/a b/clip.wav");
    EXPECT_EQ(LocalPathForCopy("FILE:///tmp/x.aif"), "/tmp/x.aif");
    EXPECT_EQ(LocalPathForCopy("/tmp/plain.wav"), "/tmp/plain.wav");
}

TEST(MediaFragment, TimePartBecomesTheSelectionInDecimalSeconds)
{
    const struct {
        const char* szUrl;
        const char* szSelection;  // "" for none
    } rows[] = {
        {"http://h/a.wav#t=12.5,14.2", "12.5,14.2"},
        {"http://h/a.wav#t=12.5", "12.5,"},
        {"http://h/a.wav#t=,3", "0,3"},
        {"http://h/a.wav#t=npt:1:02.5,1:04", "62.5,64"},
        {"http://h/a.wav#t=1:00:01.25,01:00:02", "3601.25,3602"},
        {"http://h/a.wav#t=10.,11", "10,11"},
        {"http://h/a.wav#xywh=1,2,3,4&t=2,3&track=x", "2,3"},
        {"http://h/a.wav#%74=2,3", "2,3"},
        {"http://h/a.wav#t=1,2&t=oops", "1,2"},  // the last valid one
        {"http://h/a.wav#t=1,2&t=5,6", "5,6"},
        {"file:///home/u/a.wav#t=1.5,2.5", "1.5,2.5"},
        {"http://h/a.wav?t=1,2", ""},
        {"http://h/a.wav", ""},
        {"http://h/a.wav#t=", ""},
        {"http://h/a.wav#t=,", ""},
        {"http://h/a.wav#t=3,3", ""},
        {"http://h/a.wav#t=4,3", ""},
        // Judged as passed, to the microsecond: no "0,0".
        {"http://h/a.wav#t=0.0000001,0.0000002", ""},
        {"http://h/a.wav#t=0.0000004,0.0000006", "0,0.000001"},
        {"http://h/a.wav#t=-1,3", ""},
        {"http://h/a.wav#t=1,2,3", ""},
        {"http://h/a.wav#t=1:60", ""},
        {"http://h/a.wav#t=1:2", ""},
        {"http://h/a.wav#t=smpte:00:00:01:00", ""},
        {"http://h/a.wav#t=1e3", ""},
        {"http://h/a.wav#T=1,2", ""},
        {"/home/u/take#t=1,2.wav", ""},  // a bare path: "#" names the file
    };
    for (const auto& row : rows)
        EXPECT_EQ(MediaFragmentSelection(QString::fromLatin1(row.szUrl)), QString::fromLatin1(row.szSelection)) << row.szUrl;
    EXPECT_EQ(PlayerArguments("/c/tempFile", "a.wav", "http://h/a.wav#t=1.5,2.5"),
              (QStringList{"/c/tempFile", "--name", "a.wav", "--select", "1.5,2.5"}));
    EXPECT_EQ(PlayerArguments("/c/tempFile", "", "http://h/#t=x"), QStringList{"/c/tempFile"});
}

TEST(SoundName, LastSegmentDecodedWithoutFoldersOrControlsAndBounded)
{
    const struct {
        const char* szUrl;
        const char* szName;  // UTF-8; "" for none
    } rows[] = {
        {"http://h/dir/take.wav", "take.wav"},
        {"https://h/corpus/a.FLAC?dl=1#t=3", "a.FLAC"},
        {"http://h/my%20take%C3%A9.wav", "my take\xC3\xA9.wav"},
        {"http://h/d/..%2F..%2Fetc%5Cpasswd.wav", "passwd.wav"},
        {"http://h/a%00b%1Fc%7Fd%C2%85e.wav", "abcde.wav"},
        // Bidirectional overrides and isolates (U+202E, U+2066, U+2069) would turn the player's title round.
        {"http://h/%E2%80%AEvaw.%E2%81%A6x%E2%81%A9.wav", "vaw.x.wav"},
        {"file:///home/u/A%20B.WAV#t=1,2", "A B.WAV"},
        {"http://h/dir/", ""},
        {"http://h", ""},
        {"http://h/%2E%2E", ""},
        {"http://h/%0A%0D", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LinkSoundName(QString::fromLatin1(row.szUrl)), QString::fromUtf8(row.szName)) << row.szUrl;
    // A local path is the file's own spelling: nothing is decoded.
    EXPECT_EQ(LocalSoundName("/home/u/take#t=1,2 100%25.wav"), "take#t=1,2 100%25.wav");
    // 255 bytes at most, never half a character: 127 two-byte letters fit, the 128th does not.
    const QString strLong = QString(200, QChar(0x00E9)) + ".wav";
    EXPECT_EQ(CleanSoundName(strLong), QString(127, QChar(0x00E9)));
    EXPECT_EQ(CleanSoundName("a" + strLong).toUtf8().size(), 255);
}

TEST(PlayerMessages, TextsNameOurHostAndKeepTheirBlanks)
{
    EXPECT_EQ(PlayerNotFoundLocalText(),
              "Sonavel.exe was not found.\nPlease make sure that this application exists in the same directory\n"
              "as Velmora.exe.\nIf not please contact www.velmora.example to download it");
    EXPECT_EQ(PlayerNotFoundDownloadText(),
              "Sonavel.exe was not found or failed to play the file.\nPlease make sure that this application "
              "exists in the same directory as Velmora.exe.\nIf not please contact www.velmora.example to "
              "download it\n\n Do you wish to continue using Sonavel as the player or use the default ?");
}

TEST(CopyFileReplacing, ReplacesAReadOnlyOldFileAndRefusesMissingSources)
{
    QTemporaryDir dir;
    const QString strSrc = dir.filePath("src.wav"), strDst = dir.filePath("tempFile");
    WriteTestFile(strSrc, PatternBytes(3000, 1));
    WriteTestFile(strDst, PatternBytes(9000, 2));
    QFile::setPermissions(strDst, QFile::ReadOwner);
    EXPECT_TRUE(CopyFileReplacing(strSrc, strDst));
    EXPECT_EQ(ReadTestFile(strDst), PatternBytes(3000, 1));

    EXPECT_FALSE(CopyFileReplacing(dir.filePath("missing.wav"), strDst));
    EXPECT_FALSE(CopyFileReplacing(dir.path(), dir.filePath("other")));  // a folder is no sound
}

TEST(LocalSoundCopy, ReadsOnlyTheFileItsCheckSaw)
{
    // site/in.wav, site/alias.wav leading to it, site/sub/in.wav, outside/out.wav.
    QTemporaryDir dir;
    const QString strSite = dir.filePath("site"), strOutside = dir.filePath("outside");
    const QString strDst = dir.filePath("tempFile");
    QDir().mkpath(strSite + "/sub");
    QDir().mkpath(strOutside);
    WriteTestFile(strSite + "/in.wav", PatternBytes(3000, 1));
    WriteTestFile(strSite + "/sub/in.wav", PatternBytes(3000, 2));
    WriteTestFile(strSite + "/other.wav", PatternBytes(3000, 3));
    WriteTestFile(strOutside + "/out.wav", PatternBytes(3000, 4));
    WriteTestFile(strOutside + "/in.wav", PatternBytes(3000, 5));
    ASSERT_TRUE(QFile::link("in.wav", strSite + "/alias.wav"));

    // A link is read through the real path it resolved to.
    const SCheckedFile alias = CheckLocalFile(strSite + "/alias.wav");
    EXPECT_EQ(alias.strRealPath, QFileInfo(strSite + "/in.wav").canonicalFilePath());
    EXPECT_EQ(CopyCheckedFile(alias, strDst), ELocalCopy::Copied);
    EXPECT_EQ(ReadTestFile(strDst), PatternBytes(3000, 1));

    // Swapped between the check and the copy: the file for a link to an
    // outside file, a folder on the way for a link to an outside folder, the
    // file for another file. None is read; the last sound stays.
    const SCheckedFile file = CheckLocalFile(strSite + "/in.wav");
    const SCheckedFile inSub = CheckLocalFile(strSite + "/sub/in.wav");
    const SCheckedFile other = CheckLocalFile(strSite + "/other.wav");
    ASSERT_TRUE(QFile::remove(strSite + "/in.wav"));
    ASSERT_TRUE(QFile::link(strOutside + "/out.wav", strSite + "/in.wav"));
    ASSERT_TRUE(QDir().rename(strSite + "/sub", strSite + "/sub-old"));
    ASSERT_TRUE(QFile::link(strOutside, strSite + "/sub"));
    ASSERT_EQ(::rename(QFile::encodeName(strOutside + "/in.wav").constData(),
                       QFile::encodeName(strSite + "/other.wav").constData()), 0);
    EXPECT_EQ(CopyCheckedFile(file, strDst), ELocalCopy::NotTheCheckedFile);
    EXPECT_EQ(CopyCheckedFile(inSub, strDst), ELocalCopy::NotTheCheckedFile);
    EXPECT_EQ(CopyCheckedFile(other, strDst), ELocalCopy::NotTheCheckedFile);
    EXPECT_EQ(ReadTestFile(strDst), PatternBytes(3000, 1));
}

class HandoffRoutes : public ::testing::Test, protected CServedHandoff {
protected:
    void SetUp() override
    {
        m_wav = ServedWav(70000, 7);  // not a multiple of the 512-byte piece
        WriteTestFile(m_strWeb + "/clip.wav", m_wav);
        WriteTestFile(m_strWeb + "/CLIP2.WAV", ServedWav(1234, 8));
        WriteTestFile(m_strWeb + "/voice.aiff", ServedWav(5000, 9));
        WriteTestFile(m_strWeb + "/long.wav", ServedWav(512 * 40, 10));  // 2 s when sent slowly
        ASSERT_TRUE(Serve()) << "the test web server did not start";
    }
    QString Temp() const { return m_host.m_strTemp; }
    SNavigation NavigateFromWeb(const QString& strUrl) { return Navigate(m_handoff, strUrl, ENavigationSource::WebPage); }
    // Asked for by a page on this computer at strPage (a path).
    SNavigation NavigateFromLocal(const QString& strUrl, const QString& strPage)
    {
        return Navigate(m_handoff, strUrl, ENavigationSource::LocalPage, QUrl::fromLocalFile(strPage).toString());
    }

    QByteArray m_wav;
};

TEST_F(HandoffRoutes, OrdinaryLinksPassUntouchedAndAreShown)
{
    const QString strUrl = m_pServer->Url("clip.au");
    EXPECT_FALSE(Navigate(m_handoff, strUrl).bCancel);
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_TRUE(m_host.m_messages.empty());
    EXPECT_EQ(m_host.m_addresses, std::vector<QString>{strUrl});
    EXPECT_FALSE(QFile::exists(Temp()));
}

TEST_F(HandoffRoutes, DownloadStartsThePlayerOnAByteIdenticalClosedFile)
{
    const QString strUrl = m_pServer->Url("clip.wav");
    EXPECT_TRUE(Navigate(m_handoff, strUrl).bCancel);
    ASSERT_EQ(m_host.m_starts.size(), 1u);
    EXPECT_EQ(m_host.m_starts[0], Temp());
    EXPECT_EQ(m_host.m_startedContents[0], m_wav);  // complete when the player starts
    EXPECT_TRUE(m_host.m_messages.empty());
    EXPECT_FALSE(m_handoff.m_bUseDefaultPlayer);
    EXPECT_EQ(m_host.m_addresses, std::vector<QString>{strUrl});

    // Capitals in the path are kept for the request; the next sound replaces the first.
    const QString strCaps = QStringLiteral("HTTP://127.0.0.1:%1/CLIP2.WAV").arg(m_pServer->Port());
    EXPECT_TRUE(Navigate(m_handoff, strCaps).bCancel);
    EXPECT_EQ(ReadTestFile(Temp()), ServedWav(1234, 8));
    EXPECT_EQ(m_host.m_addresses.back(), strCaps);
}

TEST_F(HandoffRoutes, PlayerMissingAnswerYesCancelsAndKeepsHandingOff)
{
    m_host.m_bPlayerStarts = false;
    m_host.m_answers = {kHandoffIdYes};
    EXPECT_TRUE(Navigate(m_handoff, m_pServer->Url("voice.aiff")).bCancel);
    ASSERT_EQ(m_host.m_messages.size(), 1u);
    EXPECT_EQ(m_host.m_messages[0].first, PlayerNotFoundDownloadText());
    EXPECT_EQ(m_host.m_messages[0].second, kHandoffMbYesNo);
    EXPECT_FALSE(m_handoff.m_bUseDefaultPlayer);

    m_host.m_answers = {kHandoffIdYes};
    Navigate(m_handoff, m_pServer->Url("clip.wav"));
    EXPECT_EQ(m_host.m_starts.size(), 2u);  // still tried for the next sound
}

TEST_F(HandoffRoutes, PlayerMissingAnswerNoHandsEveryLaterLinkToTheEngine)
{
    m_host.m_bPlayerStarts = false;
    m_host.m_answers = {kHandoffIdNo};
    EXPECT_FALSE(Navigate(m_handoff, m_pServer->Url("clip.wav")).bCancel);
    EXPECT_TRUE(m_handoff.m_bUseDefaultPlayer);

    const QString strNext = m_pServer->Url("voice.aiff");
    EXPECT_FALSE(Navigate(m_handoff, strNext).bCancel);
    EXPECT_EQ(m_host.m_starts.size(), 1u);
    EXPECT_EQ(m_host.m_messages.size(), 1u);
    EXPECT_EQ(m_host.m_addresses.back(), strNext);  // still shown
}

TEST_F(HandoffRoutes, FailedDownloadsLeaveNoPartialFileAndGoToTheEngine)
{
    for (const QString& strPath : {QStringLiteral("status/404/clip.wav"), QStringLiteral("status/500/x.wav"),
                                   QStringLiteral("broken/clip.wav"), QStringLiteral("missing.wav")}) {
        QFile::remove(Temp());
        EXPECT_FALSE(Navigate(m_handoff, m_pServer->Url(strPath)).bCancel) << qPrintable(strPath);
        EXPECT_FALSE(QFile::exists(Temp())) << qPrintable(strPath);
    }
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_TRUE(m_host.m_messages.empty());
    EXPECT_FALSE(m_handoff.m_bUseDefaultPlayer);
    EXPECT_EQ(m_host.m_addresses.size(), 4u);
}

TEST_F(HandoffRoutes, UnreachableServerKeepsThePreviousSound)
{
    WriteTestFile(Temp(), "old sound");
    EXPECT_FALSE(Navigate(m_handoff, "http://127.0.0.1:1/clip.wav").bCancel);
    EXPECT_EQ(ReadTestFile(Temp()), QByteArray("old sound"));
    EXPECT_TRUE(m_host.m_starts.empty());
}

TEST_F(HandoffRoutes, SlowDownloadShowsProgressAndCompletes)
{
    EXPECT_TRUE(Navigate(m_handoff, m_pServer->Url("slow/long.wav")).bCancel);
    EXPECT_EQ(m_host.m_nSlowShown, 1);
    EXPECT_EQ(m_host.m_nEnded, 1);
    EXPECT_EQ(m_host.m_nLastTotal, ServedWav(512 * 40, 10).size());
    ASSERT_EQ(m_host.m_starts.size(), 1u);
    EXPECT_EQ(ReadTestFile(Temp()), ServedWav(512 * 40, 10));
}

TEST_F(HandoffRoutes, CancelledDownloadStartsNothingAndStaysOnThePage)
{
    m_host.m_bCancelWhenSlow = true;
    EXPECT_TRUE(Navigate(m_handoff, m_pServer->Url("slow/long.wav")).bCancel);
    EXPECT_EQ(m_host.m_nSlowShown, 1);
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_TRUE(m_host.m_messages.empty());
    EXPECT_FALSE(QFile::exists(Temp()));
}

TEST_F(HandoffRoutes, LocalFilesAreCopiedFromPathsAndFileUrls)
{
    const QString strSrc = m_strWeb + "/clip.wav";
    EXPECT_TRUE(Navigate(m_handoff, strSrc).bCancel);
    EXPECT_EQ(m_host.m_startedContents.back(), m_wav);

    const QString strVoice = m_strWeb + "/voice.aiff";
    EXPECT_TRUE(Navigate(m_handoff, QUrl::fromLocalFile(strVoice).toString()).bCancel);
    EXPECT_EQ(m_host.m_startedContents.back(), ServedWav(5000, 9));
    EXPECT_TRUE(m_host.m_messages.empty());
}

TEST_F(HandoffRoutes, LocalRoutePlayerMissingShowsOkAndLetsTheEngineOpenIt)
{
    m_host.m_bPlayerStarts = false;
    EXPECT_FALSE(Navigate(m_handoff, m_strWeb + "/clip.wav").bCancel);
    ASSERT_EQ(m_host.m_messages.size(), 1u);
    EXPECT_EQ(m_host.m_messages[0].first, PlayerNotFoundLocalText());
    EXPECT_EQ(m_host.m_messages[0].second, kHandoffMbOk);
    EXPECT_FALSE(m_handoff.m_bUseDefaultPlayer);  // the local route never switches
}

TEST_F(HandoffRoutes, FailedLocalCopyStartsNoPlayerOnAStaleFile)
{
    WriteTestFile(Temp(), "stale");
    const QString strUrl = m_strWeb + "/nothere.wav";
    EXPECT_FALSE(Navigate(m_handoff, strUrl).bCancel);
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_TRUE(m_host.m_messages.empty());
    EXPECT_EQ(m_host.m_addresses.back(), strUrl);
}

TEST_F(HandoffRoutes, FileUrlsCopyExactlyTheFileTheyName)
{
    WriteTestFile(m_strWeb + "/notes.txt", "private notes");
    const QString strNotes = QUrl::fromLocalFile(m_strWeb + "/notes.txt").toString();
    EXPECT_FALSE(Navigate(m_handoff, strNotes + "#x.wav").bCancel);
    EXPECT_FALSE(Navigate(m_handoff, strNotes + "?a.wav").bCancel);
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_FALSE(QFile::exists(Temp()));

    EXPECT_TRUE(Navigate(m_handoff, QUrl::fromLocalFile(m_strWeb + "/clip.wav").toString() + "?t=1#top").bCancel);
    EXPECT_EQ(m_host.m_startedContents.back(), m_wav);
}

TEST_F(HandoffRoutes, WebPagesNeverReachLocalFiles)
{
    // Asked for by a web page: a local sound is refused before anything is
    // read, a local route of another kind goes to the engine, and a web sound
    // still plays.
    const QString strLocal = QUrl::fromLocalFile(m_strWeb + "/clip.wav").toString();
    EXPECT_TRUE(NavigateFromWeb(strLocal).bCancel);
    EXPECT_TRUE(NavigateFromWeb(QUrl::fromLocalFile(m_strWeb).toString() + "/").bCancel);
    EXPECT_FALSE(NavigateFromWeb(m_strWeb + "/clip.wav").bCancel);
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_FALSE(QFile::exists(Temp()));
    EXPECT_EQ(m_host.m_addresses, std::vector<QString>{m_strWeb + "/clip.wav"});

    EXPECT_TRUE(NavigateFromWeb(m_pServer->Url("voice.aiff")).bCancel);
    ASSERT_EQ(m_host.m_startedContents.size(), 1u);
    EXPECT_EQ(m_host.m_startedContents[0], ServedWav(5000, 9));
}

TEST_F(HandoffRoutes, MomentLinksSelectTheSpanAndFetchTheSameFile)
{
    // The fragment is the player's business: the server is asked for the file alone.
    EXPECT_TRUE(Navigate(m_handoff, m_pServer->Url("clip.wav#t=1.5,2.5")).bCancel);
    EXPECT_EQ(m_host.m_startArguments.back(), (QStringList{Temp(), "--name", "clip.wav", "--select", "1.5,2.5"}));
    EXPECT_EQ(m_host.m_startedContents.back(), m_wav);
    EXPECT_EQ(m_pServer->Requests(), QStringList{"/clip.wav"});
    EXPECT_TRUE(Navigate(m_handoff, m_pServer->Url("clip.wav")).bCancel);
    EXPECT_EQ(m_host.m_startArguments.back(), (QStringList{Temp(), "--name", "clip.wav"}));

    // A file: address drops its fragment before the copy; in a bare path "#"
    // belongs to the file's name.
    EXPECT_TRUE(Navigate(m_handoff, QUrl::fromLocalFile(m_strWeb + "/voice.aiff").toString() + "#t=,3").bCancel);
    EXPECT_EQ(m_host.m_startArguments.back(), (QStringList{Temp(), "--name", "voice.aiff", "--select", "0,3"}));
    EXPECT_EQ(m_host.m_startedContents.back(), ServedWav(5000, 9));
    const QString strHashName = m_strWeb + "/take#t=1,2.wav";
    WriteTestFile(strHashName, ServedWav(600, 12));
    EXPECT_TRUE(Navigate(m_handoff, strHashName).bCancel);
    EXPECT_EQ(m_host.m_startArguments.back(), (QStringList{Temp(), "--name", "take#t=1,2.wav"}));
    EXPECT_EQ(m_host.m_startedContents.back(), ServedWav(600, 12));
}

TEST_F(HandoffRoutes, LocalPagesReachNoWebAddress)
{
    // Whatever the user pressed: a web sound is refused and never requested,
    // another web address is left to the host's question.
    const QString strPage = m_strWeb + "/page.htm";
    const QString strSound = m_pServer->Url("clip.wav?q=1");
    EXPECT_TRUE(NavigateFromLocal(strSound, strPage).bCancel);
    EXPECT_TRUE(NavigateFromLocal(m_pServer->Url("page.htm?q=1"), strPage).bCancel);
    EXPECT_TRUE(NavigateFromLocal("HTTPS://127.0.0.1:1/a.mp3", strPage).bCancel);
    ASSERT_EQ(m_host.m_refused.size(), 2u);
    EXPECT_EQ(m_host.m_refused[0], std::make_pair(strSound, ESoundRefusal::WebSoundFromLocalPage));
    EXPECT_EQ(m_host.m_webAddressesAsked, std::vector<QString>{m_pServer->Url("page.htm?q=1")});
    EXPECT_TRUE(m_host.m_starts.empty());
    EXPECT_TRUE(m_host.m_addresses.empty());

    // With the engine as the player, a web sound is a web address like any other.
    m_handoff.m_bUseDefaultPlayer = true;
    EXPECT_TRUE(NavigateFromLocal(strSound, strPage).bCancel);
    EXPECT_EQ(m_host.m_webAddressesAsked.back(), strSound);
    EXPECT_TRUE(m_pServer->Requests().isEmpty());
}

TEST_F(HandoffRoutes, LocalPagesHandOffSoundsOfTheirOwnFolderByRealPath)
{
    // site/page.htm with site/in.wav, and site/lnk leading to ../outside.
    const QString strSite = m_dir.filePath("site"), strOutside = m_dir.filePath("outside");
    QDir().mkpath(strSite);
    QDir().mkpath(strOutside);
    WriteTestFile(strSite + "/in.wav", ServedWav(700, 13));
    WriteTestFile(strOutside + "/out.wav", ServedWav(800, 14));
    ASSERT_TRUE(QFile::link(strOutside, strSite + "/lnk"));
    const QString strPage = strSite + "/page.htm";

    EXPECT_TRUE(NavigateFromLocal(QUrl::fromLocalFile(strSite + "/in.wav").toString(), strPage).bCancel);
    EXPECT_EQ(m_host.m_startedContents.back(), ServedWav(700, 13));
    // A link that stays inside plays, under the name it was clicked by.
    ASSERT_TRUE(QFile::link("in.wav", strSite + "/alias.wav"));
    EXPECT_TRUE(NavigateFromLocal(QUrl::fromLocalFile(strSite + "/alias.wav").toString(), strPage).bCancel);
    EXPECT_EQ(m_host.m_startedContents.back(), ServedWav(700, 13));
    EXPECT_EQ(m_host.m_startArguments.back(), (QStringList{Temp(), "--name", "alias.wav"}));
    for (const QString& strPath : {strSite + "/lnk/out.wav", strSite + "/../outside/out.wav", strOutside + "/out.wav"}) {
        EXPECT_TRUE(NavigateFromLocal(QUrl::fromLocalFile(strPath).toString(), strPage).bCancel) << qPrintable(strPath);
        EXPECT_EQ(m_host.m_refused.back().second, ESoundRefusal::OutsidePageFolder) << qPrintable(strPath);
    }
    EXPECT_EQ(m_host.m_starts.size(), 2u);
    // The browser's own navigation (File Open, a typed path) takes any file.
    EXPECT_TRUE(Navigate(m_handoff, strSite + "/lnk/out.wav").bCancel);
    EXPECT_EQ(m_host.m_startedContents.back(), ServedWav(800, 14));
}

// The temporary file in a folder of its own ("cache/velmora"), as the browser has it.
class HandoffFolder : public HandoffRoutes {
protected:
    void SetUp() override
    {
        HandoffRoutes::SetUp();
        m_strFolder = m_dir.filePath("cache/velmora");
        QDir().mkpath(m_dir.filePath("cache"));
        m_host.m_strTemp = m_strFolder + "/tempFile";
        WriteTestFile(m_strWeb + "/big.wav", ServedWav(200000, 11));
        // The folder's free space would cap the download first: a disk that
        // fills while the sound is written is what these tests are about.
        m_handoff.SetDownloadLimits(CSoundDownload::kMaxSoundBytes, 1024, 30);
    }
    void TearDown() override { m_pMount.reset(); }

    // A fresh tmpfs on the folder (root only; false with a note otherwise).
    bool MountTmpfs(const char* szOptions)
    {
        m_pMount = std::make_unique<CTmpfsMount>(m_strFolder, szOptions);
        return m_pMount->IsMounted();
    }
    // The write failed: a message naming the folder and the reason, no
    // player, the engine gets the link, no partial file, the old sound kept.
    void ExpectWriteRefused(const SNavigation& nav, const char* szReason)
    {
        EXPECT_FALSE(nav.bCancel);
        EXPECT_TRUE(m_host.m_starts.empty());
        ASSERT_EQ(m_host.m_messages.size(), 1u);
        EXPECT_TRUE(m_host.m_messages[0].first.contains(m_strFolder)) << qPrintable(m_host.m_messages[0].first);
        EXPECT_TRUE(m_host.m_messages[0].first.contains(szReason)) << qPrintable(m_host.m_messages[0].first);
        EXPECT_EQ(m_host.m_messages[0].second, kHandoffMbOk);
    }
    QStringList FolderEntries() const { return QDir(m_strFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden); }

    QString m_strFolder;
    std::unique_ptr<CTmpfsMount> m_pMount;
};

TEST_F(HandoffFolder, PlantedLinksAreReplacedAndWhatTheyNameIsUntouched)
{
    // A link in the folder's place: removed, a private folder takes its place.
    const QString strElsewhere = m_dir.filePath("elsewhere");
    QDir().mkpath(strElsewhere);
    QFile::setPermissions(strElsewhere, QFile::Permissions(0x7777));
    ASSERT_TRUE(QFile::link(strElsewhere, m_strFolder));
    EXPECT_TRUE(Navigate(m_handoff, m_pServer->Url("clip.wav")).bCancel);
    const QFileInfo folder(m_strFolder);
    EXPECT_TRUE(folder.isDir() && !folder.isSymLink());
    EXPECT_EQ(folder.permissions() & 0x0077, QFile::Permissions());
    EXPECT_TRUE(QDir(strElsewhere).isEmpty());
    EXPECT_EQ(ReadTestFile(Temp()), m_wav);

    // A link in the file's place, on both routes: the foreign file keeps its
    // content and mode, the sound lands in a file of its own.
    const QString strForeign = m_dir.filePath("foreign.txt");
    WriteTestFile(strForeign, "someone else's file");
    QFile::setPermissions(strForeign, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    for (const QString& strUrl : {m_pServer->Url("voice.aiff"), m_strWeb + "/voice.aiff"}) {
        QFile::remove(Temp());
        ASSERT_TRUE(QFile::link(strForeign, Temp()));
        EXPECT_TRUE(Navigate(m_handoff, strUrl).bCancel) << qPrintable(strUrl);
        EXPECT_EQ(ReadTestFile(strForeign), QByteArray("someone else's file"));
        EXPECT_EQ(QFileInfo(strForeign).permissions() & QFile::Permissions(0x7077),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        EXPECT_FALSE(QFileInfo(Temp()).isSymLink());
        EXPECT_EQ(ReadTestFile(Temp()), ServedWav(5000, 9));
    }
    EXPECT_TRUE(m_host.m_messages.empty());
    EXPECT_EQ(FolderEntries(), QStringList{"tempFile"});
}

TEST_F(HandoffFolder, FolderOfAnotherUserIsRefusedWithAMessage)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving the folder to another user needs root";
    QDir().mkpath(m_strFolder);
    ASSERT_EQ(::chown(QFile::encodeName(m_strFolder).constData(), 65534, 65534), 0);
    ExpectWriteRefused(Navigate(m_handoff, m_pServer->Url("clip.wav")), "not private");
    EXPECT_TRUE(FolderEntries().isEmpty());
}

TEST_F(HandoffFolder, FullDiskLeavesNoPartialFileAndKeepsTheOldSound)
{
    if (!MountTmpfs("size=64k,mode=0700"))
        GTEST_SKIP() << "a small tmpfs for the folder needs root: " << qPrintable(m_pMount->Error());
    WriteTestFile(Temp(), "old sound");
    ExpectWriteRefused(Navigate(m_handoff, m_pServer->Url("big.wav")), "No space left on device");
    EXPECT_EQ(FolderEntries(), QStringList{"tempFile"});
    EXPECT_EQ(ReadTestFile(Temp()), QByteArray("old sound"));
}

TEST_F(HandoffFolder, ReadOnlyFolderRefusesTheCopyWithAMessage)
{
    QDir().mkpath(m_strFolder);
    if (::geteuid() == 0) {
        // Root writes through any mode bits: a read-only file system it is.
        if (!MountTmpfs("ro,mode=0700"))
            GTEST_SKIP() << "a read-only tmpfs needs root: " << qPrintable(m_pMount->Error());
    } else {
        QFile::setPermissions(m_strFolder, QFile::ReadOwner | QFile::ExeOwner);
    }
    ExpectWriteRefused(Navigate(m_handoff, m_strWeb + "/clip.wav"), ::geteuid() == 0 ? "Read-only" : "Permission denied");
    EXPECT_TRUE(FolderEntries().isEmpty());
    QFile::setPermissions(m_strFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(PlayerLauncher, LooksBesideTheBrowserThenTheStartupDirThenPath)
{
    QTemporaryDir own, startup, onPath;
    const QString strScript = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n";
    auto makePlayer = [&](const QTemporaryDir& dir) {
        const QString strPath = dir.filePath("sonavel");
        WriteTestFile(strPath, strScript.toUtf8());
        QFile::setPermissions(strPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return strPath;
    };
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(onPath.path()));  // an installed player must not answer

    EXPECT_EQ(CPlayerLauncher(own.path(), startup.path()).Locate(), QString());
    const QString strOnPath = makePlayer(onPath);
    EXPECT_EQ(CPlayerLauncher(own.path(), startup.path()).Locate(), strOnPath);
    const QString strStartup = makePlayer(startup);
    EXPECT_EQ(CPlayerLauncher(own.path(), startup.path()).Locate(), strStartup);
    WriteTestFile(own.filePath("sonavel"), "not executable");
    EXPECT_EQ(CPlayerLauncher(own.path(), startup.path()).Locate(), strStartup);
    const QString strOwn = makePlayer(own);
    CPlayerLauncher launcher(own.path(), startup.path());
    EXPECT_EQ(launcher.Locate(), strOwn);

    // The arguments as given, spaces and all.
    const QString strSound = own.filePath("a sound file");
    ASSERT_TRUE(launcher.Start({strSound, "--select", "1.5,"}));
    QByteArray args;
    testsupport::WaitFor([&] { return !(args = ReadTestFile(strOwn + ".args")).isEmpty(); });
    EXPECT_EQ(args, QFile::encodeName(strSound) + "\n--select\n1.5,\n");
    qputenv("PATH", oldPath);
}
