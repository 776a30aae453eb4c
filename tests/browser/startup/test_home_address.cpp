// The home address at start-up against a temporary profile and temporary
// start-up folders: every outcome, the second start, the root-directory branch.
#include "browser/startup/CHomeAddressResolver.h"
#include "browser/startup/StoredAddress.h"
#include "browser/startup/VelmoraResource.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const QString kDefault = QString::fromLatin1(velmora::kDefaultHomeAddress);
const QString kProfileKey = QStringLiteral("Home Page/Local");

class HomeAddressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        m_strStart = (fs::path(m_temp.path().toStdString()) / "start dir").string();
        fs::create_directory(m_strStart);
    }

    // A fresh profile object over the same file, as a new start would open it.
    std::unique_ptr<QSettings> Profile() const
    {
        return std::make_unique<QSettings>(m_temp.filePath(QStringLiteral("Velmora.conf")),
                                           QSettings::IniFormat);
    }

    QString Start(const std::string& strDir, bool* pWritten = nullptr) const
    {
        auto pProfile = Profile();
        CHomeAddressResolver resolver(*pProfile, kDefault);
        const QString strAddress = resolver.Resolve(strDir);
        if (pWritten)
            *pWritten = resolver.ProfileWritten();
        return strAddress;
    }

    void WriteSettings(const std::string& strDir, const std::string& strBody) const
    {
        std::ofstream(fs::path(strDir) / "Velmora.ini", std::ios::binary) << strBody;
    }

    QVariant Stored() const { return Profile()->value(kProfileKey); }
    void Store(const QString& strValue) const
    {
        auto pProfile = Profile();
        pProfile->setValue(kProfileKey, strValue);
        pProfile->sync();
    }

    QTemporaryDir m_temp;
    std::string m_strStart;
};

TEST_F(HomeAddressTest, SettingsFileGivesDirectoryPlusPathAndIsStored)
{
    WriteSettings(m_strStart, "[HomeLocal]\nHomeAddressTop=Korvath/index.htm\n");
    bool bWritten = false;
    const QString strExpected = QString::fromStdString(m_strStart) + "/Korvath/index.htm";
    EXPECT_EQ(Start(m_strStart, &bWritten), strExpected);
    EXPECT_TRUE(bWritten);
    EXPECT_EQ(Stored().toString(), strExpected);

    // Second start: the settings file is gone, the stored address is still used.
    fs::remove(fs::path(m_strStart) / "Velmora.ini");
    EXPECT_EQ(Start(m_strStart, &bWritten), strExpected);
    EXPECT_FALSE(bWritten);
}

TEST_F(HomeAddressTest, NoSettingsFileStoresTheDefaultWhichThenSticks)
{
    bool bWritten = false;
    EXPECT_EQ(Start(m_strStart, &bWritten), kDefault);
    EXPECT_TRUE(bWritten);
    EXPECT_EQ(Stored().toString(), kDefault);

    // A settings file added later changes nothing while the entry is set…
    WriteSettings(m_strStart, "[HomeLocal]\nHomeAddressTop=site.htm\n");
    EXPECT_EQ(Start(m_strStart), kDefault);
    // …and counts again once the entry has been emptied.
    Store(QString());
    EXPECT_EQ(Start(m_strStart, &bWritten), QString::fromStdString(m_strStart) + "/site.htm");
    EXPECT_TRUE(bWritten);
}

TEST_F(HomeAddressTest, StoredTextWinsWithoutReadingTheFile)
{
    Store(QStringLiteral("http://example.test/page"));
    WriteSettings(m_strStart, "[HomeLocal]\nHomeAddressTop=site.htm\n");
    bool bWritten = true;
    EXPECT_EQ(Start(m_strStart, &bWritten), QStringLiteral("http://example.test/page"));
    EXPECT_FALSE(bWritten);
}

TEST_F(HomeAddressTest, MissingOrEmptyValueFallsBackToTheDefault)
{
    const char* const bodies[] = {
        "[HomeLocal]\nHomeAddressTop=\n",              // empty data is no value
        "[HomeLocal]\nOther=x\n",                      // value missing
        "[Elsewhere]\nHomeAddressTop=x\n",             // key missing
        "[HomeLocal]\nHomeAddressTop =x\n",            // a blank makes another name
        "",                                            // empty file
    };
    for (const char* szBody : bodies) {
        Store(QString());
        WriteSettings(m_strStart, szBody);
        bool bWritten = false;
        EXPECT_EQ(Start(m_strStart, &bWritten), kDefault) << szBody;
        EXPECT_TRUE(bWritten) << szBody;
        EXPECT_EQ(Stored().toString(), kDefault) << szBody;
    }
    // An unreadable settings file (here a folder of that name) counts as missing.
    Store(QString());
    fs::remove(fs::path(m_strStart) / "Velmora.ini");
    fs::create_directory(fs::path(m_strStart) / "Velmora.ini");
    EXPECT_EQ(Start(m_strStart), kDefault);
}

TEST_F(HomeAddressTest, RootStartNeitherReadsNorWritesTheProfile)
{
    Store(QStringLiteral("stored.example"));
    const std::string strIni = (fs::path(m_strStart) / "Velmora.ini").string();
    WriteSettings(m_strStart, "[HomeLocal]\nHomeAddressTop=site/index.htm\n");

    auto pProfile = Profile();
    CHomeAddressResolver resolver(*pProfile, kDefault);
    // The root already ends in the separator: none is added.
    EXPECT_EQ(resolver.Resolve("/", strIni), QStringLiteral("/site/index.htm"));
    EXPECT_FALSE(resolver.ProfileWritten());

    // Stored address but no settings file: the default, not the stored text.
    EXPECT_EQ(resolver.Resolve("/", strIni + ".absent"), kDefault);
    EXPECT_FALSE(resolver.ProfileWritten());
    EXPECT_EQ(Stored().toString(), QStringLiteral("stored.example"));
}

TEST_F(HomeAddressTest, UncapturedStartDirectoryTakesTheRootBranch)
{
    WriteSettings(m_strStart, "[HomeLocal]\nHomeAddressTop=site/index.htm\n");
    auto pProfile = Profile();
    CHomeAddressResolver resolver(*pProfile, kDefault);
    EXPECT_EQ(resolver.Resolve("", (fs::path(m_strStart) / "Velmora.ini").string()),
              QStringLiteral("site/index.htm"));
    EXPECT_FALSE(resolver.ProfileWritten());
    EXPECT_FALSE(Stored().isValid());
}

TEST_F(HomeAddressTest, RootIsDecidedByThePathNotItsLength)
{
    EXPECT_TRUE(CHomeAddressResolver::IsRootDirectory("/"));
    EXPECT_TRUE(CHomeAddressResolver::IsRootDirectory("//"));
    EXPECT_FALSE(CHomeAddressResolver::IsRootDirectory("/a"));   // 2 characters, not a root
    EXPECT_FALSE(CHomeAddressResolver::IsRootDirectory("/tmp"));
    EXPECT_FALSE(CHomeAddressResolver::IsRootDirectory(""));

    // A short directory that is not the root uses the profile like any other.
    Store(QStringLiteral("stored.example"));
    EXPECT_EQ(Start("/a"), QStringLiteral("stored.example"));
}

TEST_F(HomeAddressTest, NativeProfileLivesUnderTheConfigHome)
{
    // The program's own store: QSettings("Velmora", "Velmora") in the native
    // format, which on this system is an INI-syntax file under XDG_CONFIG_HOME.
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    {
        QSettings profile(QString::fromLatin1(velmora::kProfileOrganization),
                          QString::fromLatin1(velmora::kProfileApplication));
        CHomeAddressResolver resolver(profile, kDefault);
        EXPECT_EQ(resolver.Resolve(m_strStart), kDefault);
        EXPECT_EQ(profile.status(), QSettings::NoError);
    }
    QSettings file(config.filePath(QStringLiteral("Velmora/Velmora.conf")), QSettings::IniFormat);
    EXPECT_EQ(file.value(kProfileKey).toString(), kDefault);
}

} // namespace

// What a stored address (home, favourite) may open: pages, never script.
TEST(StoredAddress, OpensPagesAndRefusesEverythingElse)
{
    using velmora::StoredAddressUrl;
    EXPECT_EQ(StoredAddressUrl("/srv/site/index.htm"), QUrl::fromLocalFile("/srv/site/index.htm"));
    EXPECT_EQ(StoredAddressUrl("/dir/javascript:alert(1)"), QUrl::fromLocalFile("/dir/javascript:alert(1)"));
    EXPECT_EQ(StoredAddressUrl(" HTTPS://example.org/a "), QUrl("https://example.org/a"));
    EXPECT_EQ(StoredAddressUrl("file:///tmp/a.htm"), QUrl("file:///tmp/a.htm"));
    EXPECT_EQ(StoredAddressUrl("www.example.org"), QUrl("http://www.example.org"));
    EXPECT_EQ(StoredAddressUrl("localhost:8080/x.wav"), QUrl("http://localhost:8080/x.wav"));
    for (const char* szRefused : {"", "  ", "javascript:alert(1)", "JavaScript:alert(1)", " javascript:x",
                                  "data:text/html,<b>x</b>", "view-source:http://a/", "about:blank",
                                  "ftp://example.org/"})
        EXPECT_TRUE(StoredAddressUrl(QString::fromLatin1(szRefused)).isEmpty()) << szRefused;
}
