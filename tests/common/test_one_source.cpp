// Each text that several places show comes from one source: the formats from
// the player's reader table, the browser's sound links from common/SoundLinks,
// the version from the generated header. Every place is read as a user meets
// it: the programs' output, the manual pages and the packages' descriptions.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "common/ProgramVersion.h"
#include "common/SoundLinks.h"
#include "player/audio/SoundReaders.h"
#include "tests/support/CScratchDir.h"

namespace {

using testsupport::Quote;
using testsupport::Slurp;

// Standard output (and error, with "2>&1") of a shell command.
std::string Output(const std::string& cmd)
{
    std::string out;
    if (std::FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Line breaks and runs of blanks as one space, as a reader of wrapped text
// sees them; roff's escaped hyphen as a hyphen.
std::string Flat(const std::string& text)
{
    return std::regex_replace(std::regex_replace(text, std::regex(R"(\\-)"), "-"), std::regex(R"(\s+)"), " ");
}

std::string Program(const char* szName) { return std::string(PROGRAMS_DIR) + "/" + szName; }
std::string ManPage(const char* szName) { return Flat(Slurp(std::string(BUILD_DIR) + "/packaging/man/" + szName)); }
std::string PackageConfig() { return Flat(Slurp(std::string(BUILD_DIR) + "/CPackConfig.cmake")); }

TEST(OneSource, EveryPlaceNamesTheReaderTablesFormats)
{
    const std::string list = sonavel::audio::SoundFormatList();
    EXPECT_EQ(list.rfind("WAV, AIFF/AIFC, AU, fixed-header PCM, FLAC", 0), 0u) << list;
    EXPECT_NE(Flat(Output(Quote(Program("sonavel")) + " --help")).find("Plays FILE (" + list + ") at once"),
              std::string::npos);
    testsupport::CScratchDir dir;
    std::ofstream(dir / "notes.txt") << "words\n";
    EXPECT_EQ(Output(Quote(Program("sonavel-analyze")) + " info " + Quote(dir / "notes.txt") + " 2>&1"),
              "sonavel-analyze: " + (dir / "notes.txt") + ": not a sound file this player reads (" + list + ")\n");
    for (const char* szPage : {"sonavel.1", "sonavel-analyze.1"})
        EXPECT_NE(ManPage(szPage).find(list), std::string::npos) << szPage;
    EXPECT_NE(PackageConfig().find("plays a speech recording (" + list + ")"), std::string::npos);
    EXPECT_NE(PackageConfig().find("loads " + list + " recordings"), std::string::npos);
}

TEST(OneSource, TheBrowsersSoundLinksAreFormatsThePlayerReads)
{
    const std::string links = sonavel::format::SoundLinkList();
    EXPECT_EQ(links, "WAV, AIFF, FLAC, Ogg, Opus and MP3");
    std::size_t nCount = 0;
    const sonavel::format::CSoundLinkFormat* pLinks = sonavel::format::SoundLinkFormats(nCount);
    const std::string formats = ", " + sonavel::audio::SoundFormatList();
    for (std::size_t i = 0; i < nCount; ++i) // "Ogg" is read as "Ogg Vorbis", "AIFF" as "AIFF/AIFC"
        EXPECT_NE(formats.find(std::string(", ") + pLinks[i].szName), std::string::npos) << pLinks[i].szName;
    EXPECT_NE(Flat(Output(Quote(Program("velmora")) + " --help")).find("and " + links + " links play in Sonavel"),
              std::string::npos);
    EXPECT_NE(ManPage("velmora.1").find(links + " links play in Sonavel"), std::string::npos);
    EXPECT_NE(PackageConfig().find(links + " links are fetched"), std::string::npos);
}

TEST(OneSource, EveryProgramAndPackageCarriesTheOneVersion)
{
    for (const char* szProgram : {"sonavel", "velmora", "sonavel-analyze"})
        EXPECT_EQ(Output(Quote(Program(szProgram)) + " --version"), std::string(szProgram) + " " PROGRAM_VERSION "\n");
    EXPECT_EQ(Output("PYTHONPATH=" + Quote(PYTHON_DIR) + " " PYTHON " -c 'import sonavel; print(sonavel.__version__)'"),
              PROGRAM_VERSION "\n");
    EXPECT_NE(PackageConfig().find("set(CPACK_PACKAGE_VERSION \"" PROGRAM_VERSION "\")"), std::string::npos);
    for (const char* szPage : {"sonavel.1", "sonavel-analyze.1", "velmora.1"})
        EXPECT_NE(ManPage(szPage).find(" " PROGRAM_VERSION "\""), std::string::npos) << szPage;
}

} // namespace
