// The settings-file reader against files written by the test: the strict
// format (nothing trimmed, exact names, no comments), line ends, odd lines.
#include "browser/startup/CIniFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kKeyError[] = "Unable to locate specified key.";
const char kValueError[] = "Unable to locate specified value.";

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/velmora-ini-XXXXXX";
        ASSERT_NE(::mkdtemp(szTemplate), nullptr);
        m_dir = szTemplate;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Writes the bytes exactly as given and reads them with a fresh reader.
    bool Load(const std::string& strBytes)
    {
        const fs::path path = m_dir / "Velmora.ini";
        std::ofstream(path, std::ios::binary) << strBytes;
        m_ini.SetPath(path.string());
        return m_ini.ReadFile();
    }

    fs::path m_dir;
    CIniFile m_ini;
};

TEST_F(IniFileTest, ValueIsEverythingAfterTheFirstEquals)
{
    ASSERT_TRUE(Load("[HomeLocal]\nHomeAddressTop=Korvath/index.htm?a=b=c\n"));
    EXPECT_EQ(m_ini.GetValue("HomeLocal", "HomeAddressTop"), "Korvath/index.htm?a=b=c");
    EXPECT_EQ(m_ini.m_strError, "");
}

TEST_F(IniFileTest, BlanksAreNeverTrimmed)
{
    ASSERT_TRUE(Load("[HomeLocal]\nHomeAddressTop = x\nOther= y \n[ Spaced ]\nv=1\n"));
    EXPECT_EQ(m_ini.GetValue("HomeLocal", "HomeAddressTop"), "");
    EXPECT_EQ(m_ini.m_strError, kValueError);
    EXPECT_EQ(m_ini.GetValue("HomeLocal", "HomeAddressTop "), " x");
    EXPECT_EQ(m_ini.GetValue("HomeLocal", "Other"), " y ");

    m_ini.m_strError.clear();
    EXPECT_EQ(m_ini.GetValue("Spaced", "v"), "");
    EXPECT_EQ(m_ini.m_strError, kKeyError);
    EXPECT_EQ(m_ini.GetValue(" Spaced ", "v"), "1");
}

TEST_F(IniFileTest, NamesCompareCaseSensitively)
{
    ASSERT_TRUE(Load("[HomeLocal]\nHomeAddressTop=a\n"));
    EXPECT_EQ(m_ini.GetValue("homelocal", "HomeAddressTop"), "");
    EXPECT_EQ(m_ini.m_strError, kKeyError);
    EXPECT_EQ(m_ini.GetValue("HomeLocal", "homeaddresstop"), "");
    EXPECT_EQ(m_ini.m_strError, kValueError);
}

TEST_F(IniFileTest, HeaderAloneCreatesNoKey)
{
    ASSERT_TRUE(Load("[Empty]\n[HomeLocal]\nHomeAddressTop=a\n[Trailing]\n"));
    EXPECT_EQ(m_ini.FindKey("Empty"), -1);
    EXPECT_EQ(m_ini.FindKey("Trailing"), -1);
    EXPECT_EQ(m_ini.GetValue("Empty", "x"), "");
    EXPECT_EQ(m_ini.m_strError, kKeyError);
    EXPECT_EQ(m_ini.m_keyNames, std::vector<std::string>{"HomeLocal"});
}

TEST_F(IniFileTest, BracketsAreStrippedAsRuns)
{
    ASSERT_TRUE(Load("[[Double]]\na=1\n[Single]\nb=2\n[Double]\nc=3\n[In]ner]\nd=4\n[]\ne=5\n"));
    // "[[Double]]" and "[Double]" are the same key; the brackets inside stay.
    EXPECT_EQ(m_ini.GetValue("Double", "a"), "1");
    EXPECT_EQ(m_ini.GetValue("Double", "c"), "3");
    EXPECT_EQ(m_ini.GetValue("In]ner", "d"), "4");
    // "[]" names the empty key.
    EXPECT_EQ(m_ini.GetValue("", "e"), "5");
    EXPECT_EQ(m_ini.m_keyNames, (std::vector<std::string>{"Double", "Single", "In]ner", ""}));
}

TEST_F(IniFileTest, HalfBracketedLinesAreValues)
{
    ASSERT_TRUE(Load("[A]\n[NoClose\n[B]\nNoOpen]\n[C]\n[\n"));
    // None has "=": each lands on the empty name and loses its first character.
    EXPECT_EQ(m_ini.GetValue("A", ""), "NoClose");
    EXPECT_EQ(m_ini.GetValue("B", ""), "oOpen]");
    EXPECT_EQ(m_ini.GetValue("C", ""), "");
    EXPECT_EQ(m_ini.FindKey("NoClose"), -1);
}

TEST_F(IniFileTest, ValuesBeforeTheFirstHeaderBelongToTheEmptyKey)
{
    ASSERT_TRUE(Load("top=1\n[K]\nv=2\n"));
    EXPECT_EQ(m_ini.GetValue("", "top"), "1");
    EXPECT_EQ(m_ini.m_keyNames.front(), "");
}

TEST_F(IniFileTest, RepeatedValuesAndKeysMerge)
{
    ASSERT_TRUE(Load("[K]\na=first\nb=x\n[L]\nz=0\n[K]\na=second\nc=y\n"));
    EXPECT_EQ(m_ini.GetValue("K", "a"), "second");
    const int nKey = m_ini.FindKey("K");
    ASSERT_EQ(nKey, 0);
    // The value keeps the place where it first appeared.
    EXPECT_EQ(m_ini.m_keys[nKey].m_valueNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(m_ini.m_keys[nKey].m_valueData, (std::vector<std::string>{"second", "x", "y"}));
    EXPECT_EQ(m_ini.m_keyNames, (std::vector<std::string>{"K", "L"}));
}

TEST_F(IniFileTest, FortyThousandKeysEachKeepTheirPlace)
{
    std::string strFile;
    for (int i = 0; i < 40000; ++i)
        strFile += "[K" + std::to_string(i) + "]\nv=" + std::to_string(i) + "\n";
    strFile += "[K7]\nv=again\nw=new\n";
    ASSERT_TRUE(Load(strFile));
    ASSERT_EQ(m_ini.m_keys.size(), 40000u);
    EXPECT_EQ(m_ini.FindKey("K39999"), 39999);
    EXPECT_EQ(m_ini.GetValue("K39998", "v"), "39998");
    EXPECT_EQ(m_ini.GetValue("K7", "v"), "again");
    EXPECT_EQ(m_ini.FindValue(7, "w"), 1);
    EXPECT_EQ(m_ini.FindKey("K40000"), -1);
}

TEST_F(IniFileTest, LinesWithoutEqualsLoseTheirFirstCharacter)
{
    ASSERT_TRUE(Load("[K]\n; a comment\n"));
    EXPECT_EQ(m_ini.GetValue("K", ""), " a comment");
    ASSERT_TRUE(Load("[E]\n=\n"));
    EXPECT_EQ(m_ini.GetValue("E", ""), "");
    EXPECT_EQ(m_ini.FindValue(m_ini.FindKey("E"), ""), 0);
    // A line of blanks is not empty.
    ASSERT_TRUE(Load("[B]\n   \n"));
    EXPECT_EQ(m_ini.GetValue("B", ""), "  ");
}

TEST_F(IniFileTest, CrLfReadsLikeLfAndTheLastLineNeedsNoLineFeed)
{
    ASSERT_TRUE(Load("[HomeLocal]\r\nHomeAddressTop=a b\r\n\r\nx=\r\n[Other]\r\ny=z"));
    const CIniFile lf = m_ini;
    m_ini = CIniFile();
    ASSERT_TRUE(Load("[HomeLocal]\nHomeAddressTop=a b\n\nx=\n[Other]\ny=z"));
    EXPECT_EQ(lf.m_keyNames, m_ini.m_keyNames);
    ASSERT_EQ(lf.m_keys.size(), m_ini.m_keys.size());
    for (std::size_t i = 0; i < lf.m_keys.size(); ++i) {
        EXPECT_EQ(lf.m_keys[i].m_valueNames, m_ini.m_keys[i].m_valueNames);
        EXPECT_EQ(lf.m_keys[i].m_valueData, m_ini.m_keys[i].m_valueData);
    }
    EXPECT_EQ(m_ini.GetValue("Other", "y"), "z");
    // Only the CR right before the line feed goes.
    ASSERT_TRUE(Load("[C]\na=x\r\rb\r\n"));
    EXPECT_EQ(m_ini.GetValue("C", "a"), "x\r\rb");
}

TEST_F(IniFileTest, EmptyFilesGiveNoKeys)
{
    EXPECT_TRUE(Load(""));
    EXPECT_TRUE(m_ini.m_keys.empty());
    EXPECT_TRUE(Load("\n\n\r\n\n"));
    EXPECT_TRUE(m_ini.m_keys.empty());
    EXPECT_EQ(m_ini.m_strError, "");
}

TEST_F(IniFileTest, MissingFileFailsWithoutATextAndUnopenableFileSaysSo)
{
    CIniFile ini;
    ini.SetPath((m_dir / "absent.ini").string());
    EXPECT_FALSE(ini.ReadFile());
    EXPECT_EQ(ini.m_strError, "");

    // An earlier text stays as it was.
    ini.m_strError = kKeyError;
    EXPECT_FALSE(ini.ReadFile());
    EXPECT_EQ(ini.m_strError, kKeyError);

    // A directory where the file should be exists but cannot be read.
    fs::create_directory(m_dir / "dir.ini");
    ini.SetPath((m_dir / "dir.ini").string());
    EXPECT_FALSE(ini.ReadFile());
    EXPECT_EQ(ini.m_strError, "Unable to open ini file.");

    // A pipe with no writer would block start-up for ever.
    ASSERT_EQ(::mkfifo((m_dir / "fifo.ini").c_str(), 0600), 0);
    ini.m_strError.clear();
    ini.SetPath((m_dir / "fifo.ini").string());
    EXPECT_FALSE(ini.ReadFile());
    EXPECT_EQ(ini.m_strError, "Unable to open ini file.");
}

TEST_F(IniFileTest, ReadingAddsToWhatIsLoaded)
{
    ASSERT_TRUE(Load("[K]\na=1\n"));
    ASSERT_TRUE(Load("[K]\nb=2\n"));
    EXPECT_EQ(m_ini.GetValue("K", "a"), "1");
    EXPECT_EQ(m_ini.GetValue("K", "b"), "2");
    EXPECT_EQ(m_ini.m_keys.size(), 1u);
}

TEST_F(IniFileTest, OverlongLinesKeepTheirFirst2047Characters)
{
    const std::string strLong(5000, 'x');
    ASSERT_TRUE(Load("[K]\nv=" + strLong + "\nafter=1\n[" + std::string(3000, 'k') + "]\nw=2\n"));
    EXPECT_EQ(m_ini.GetValue("K", "v"), std::string(2045, 'x'));
    // The rest of the long line is not a line of its own, and reading goes on.
    EXPECT_EQ(m_ini.m_keys[0].m_valueNames, (std::vector<std::string>{"v", "after", "", "w"}));
    EXPECT_EQ(m_ini.GetValue("K", "after"), "1");
    // A cut header loses its closing bracket and becomes a value line of key K.
    EXPECT_EQ(m_ini.GetValue("K", ""), std::string(2046, 'k'));
    EXPECT_EQ(m_ini.GetValue("K", "w"), "2");

    // Exactly 2047 characters, with CR LF, arrive whole and without the CR.
    const std::string strExact = "v=" + std::string(2045, 'y');
    ASSERT_TRUE(Load("[E]\r\n" + strExact + "\r\n"));
    EXPECT_EQ(m_ini.GetValue("E", "v"), std::string(2045, 'y'));
}

TEST_F(IniFileTest, SetValueWithoutCreateNeverAdds)
{
    CIniFile ini;
    EXPECT_FALSE(ini.SetValue("K", "v", "d", false));
    EXPECT_TRUE(ini.m_keys.empty());
    EXPECT_TRUE(ini.SetValue("K", "v", "d", true));
    EXPECT_FALSE(ini.SetValue("K", "w", "d", false));
    EXPECT_TRUE(ini.SetValue("K", "v", "e", false));
    EXPECT_EQ(ini.GetValue("K", "v"), "e");
    EXPECT_EQ(ini.FindValue(-1, "v"), -1);
    EXPECT_EQ(ini.FindValue(7, "v"), -1);
    EXPECT_EQ(ini.m_strError, "");
}

TEST_F(IniFileTest, NulAndHighBytesAreOrdinaryCharacters)
{
    const char szBytes[] = "[K\xc3\xa9]\na\0b=\xff\x01\n";
    ASSERT_TRUE(Load(std::string(szBytes, sizeof szBytes - 1)));
    EXPECT_EQ(m_ini.GetValue("K\xc3\xa9", std::string("a\0b", 3)), "\xff\x01");
}

} // namespace
