// Reading TextGrids: every form and encoding gives the same grid, and every
// broken file one message that names its line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "tests/player/analysis/textgrid/GridSupport.h"
#include "tests/support/CScratchDir.h"

using namespace sonavel::textgrid;
using testsupport::ShortTextGrid;

namespace {

// Two tiers: words (IPA, doubled quotes, a line break, an empty label) and tones.
TextGrid Expected()
{
    TextGrid grid{0, 2.5, {}};
    Tier words{"words", ETierKind::Interval, 0, 2.5, {}, {}};
    words.intervals = {{0, 0.3, ""}, {0.3, 1.2, "h\xC3\xA9llo \"q\" \xCA\x83\xC9\xAAp"}, {1.2, 2.5, "two\nlines"}};
    Tier tones{"tones", ETierKind::Point, 0, 2.5, {}, {}};
    tones.points = {{0.7, "H*"}, {1.9, ""}};
    grid.tiers = {words, tones};
    return grid;
}

const char* const kShort = "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n0\n2.5\n<exists>\n2\n"
                           "\"IntervalTier\"\n\"words\"\n0\n2.5\n3\n0\n0.3\n\"\"\n0.3\n1.2\n"
                           "\"héllo \"\"q\"\" ʃɪp\"\n1.2\n2.5\n\"two\nlines\"\n"
                           "\"TextTier\"\n\"tones\"\n0\n2.5\n2\n0.7\n\"H*\"\n1.9\n\"\"\n";

std::string Utf16(const std::string& utf8, bool bBigEndian)
{
    // The test texts hold nothing above U+FFFF: one unit per character.
    std::string out = bBigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned nCode = c;
        int nMore = c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (nMore)
            nCode = c & (nMore == 2 ? 0x0F : 0x1F);
        for (++i; nMore-- > 0; ++i)
            nCode = (nCode << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        const char hi = char(nCode >> 8), lo = char(nCode & 0xFF);
        out += bBigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

} // namespace

TEST(TextGridRead, EveryFormAndEncodingGivesTheSameGrid)
{
    // The long form as the writer lays it out, which is Praat's own layout
    // (the Praat tests compare the two byte for byte).
    const std::string strLong = FormatTextGrid(Expected());
    const std::vector<std::pair<const char*, std::string>> files = {
        {"long UTF-8", strLong},
        {"long UTF-8 with its mark", "\xEF\xBB\xBF" + strLong},
        {"long UTF-16 BE", Utf16(strLong, true)},
        {"long UTF-16 LE", Utf16(strLong, false)},
        {"long CR LF", Crlf(strLong)},
        {"short UTF-8", kShort},
        {"short UTF-16 LE", Utf16(kShort, false)},
        {"short, old header", std::string(kShort).replace(std::string(kShort).find("File\""), 5, "File short\"")},
    };
    for (const auto& [szName, bytes] : files) {
        SCOPED_TRACE(szName);
        const ReadResult result = ParseTextGrid(bytes);
        ASSERT_TRUE(result.Ok()) << DescribeFailure(szName, result);
        testsupport::ExpectSameGrid(result.grid, Expected());
    }
}

TEST(TextGridRead, BytesThatAreNoUtf8AreLatin1)
{
    const ReadResult result =
        ParseTextGrid(ShortTextGrid("0 1 <exists> 1 \"IntervalTier\" \"caf\xE9\" 0 1 1 0 1 \"na\xEFve\"\n"));
    ASSERT_TRUE(result.Ok()) << result.strWhat;
    EXPECT_EQ(result.grid.tiers[0].strName, "caf\xC3\xA9");
    EXPECT_EQ(result.grid.tiers[0].intervals[0].strLabel, "na\xC3\xAFve");
}

// What other programs and hands write: comments, units after numbers,
// percentages, fractions, hex, no spaces around texts, no tiers at all.
TEST(TextGridRead, HandWrittenFilesReadAsTheirNumbersSay)
{
    ReadResult result = ParseTextGrid(ShortTextGrid(
        "! the grid\n0s 4s <exists> 2 ! two tiers \"not a label\"\n"
        "\"IntervalTier\" \"a\"+0 4 3 0 50%\"x\" 50% 0x2 \"\" 2 16/4 \"y\"\n"
        "\"TextTier\" \"b\" 0 4 0\n"));
    ASSERT_TRUE(result.Ok()) << result.strWhat;
    const Tier& a = result.grid.tiers[0];
    ASSERT_EQ(a.intervals.size(), 3u);
    EXPECT_EQ(a.intervals[0].dEnd, 0.5);
    EXPECT_EQ(a.intervals[1].dEnd, 2.0);
    EXPECT_EQ(a.intervals[2].dEnd, 4.0);
    EXPECT_EQ(a.intervals[2].strLabel, "y");
    EXPECT_TRUE(result.grid.tiers[1].points.empty());

    for (const char* szBody : {"0 1 <exists> 0\n", "0 1 <absent>\n"}) {
        result = ParseTextGrid(ShortTextGrid(szBody));
        ASSERT_TRUE(result.Ok()) << szBody << result.strWhat;
        EXPECT_TRUE(result.grid.tiers.empty());
    }
}

TEST(TextGridRead, BrokenFilesNameTheirLine)
{
    struct Case {
        const char* szName;
        std::string bytes;
        EReadFailure eFailure;
        int nLine;
        const char* szWhat; // a part of the message
    };
    const EReadFailure kBroken = EReadFailure::Malformed, kOther = EReadFailure::NotTextGrid;
    const std::string one = "0 1 <exists> 1\n\"IntervalTier\" \"w\" 0 1\n";
    const std::vector<Case> cases = {
        {"empty", "", kOther, 1, "not a TextGrid file"},
        {"a sound", std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(2000, '\0'), kOther, 1, "not a TextGrid"},
        {"binary", "ooBinaryFile\x08TextGrid", kOther, 1, "binary"},
        {"another object", "File type = \"ooTextFile\"\nObject class = \"Pitch 1\"\n", kOther, 2, "not a TextGrid but a \"Pitch 1\""},
        {"a later format", "File type = \"ooTextFile\"\nObject class = \"TextGrid 2\"\n", kOther, 2, "later format"},
        {"cut in an interval", ShortTextGrid(one + "2\n0 0.5 \"a\"\n0.5\n"), kBroken, 8,
         "the file ends before the end of interval 2 (of 2) of tier 1 \"w\""},
        {"cut in a label", ShortTextGrid(one + "1\n0 1 \"ab\nc\n"), kBroken, 7, "never ends"},
        {"count too small", ShortTextGrid(one + "1\n0 1 \"\"\n1 2 \"\"\n"), kBroken, 8, "more follows the last tier"},
        {"tier count too large", ShortTextGrid("0 1 <exists> 3\n\"IntervalTier\" \"w\" 0 1 1 0 1 \"\"\n"), kBroken, 5,
         "the file ends before the kind of tier 2 (of 3)"},
        {"count of 2^31-1", ShortTextGrid(one + "2147483647\n0 1 \"\"\n"), kBroken, 7,
         "before the start of interval 2 (of 2147483647)"},
        {"count of 2^31", ShortTextGrid(one + "2147483648\n0 1 \"\"\n"), kBroken, 6, "2147483648, more than 2147483647"},
        {"count of 2^64", ShortTextGrid(one + "18446744073709551616\n"), kBroken, 6, "more than 2147483647"},
        {"count of 1e300", ShortTextGrid("0 1 <exists> 1e300\n"), kBroken, 4, "more than"},
        {"negative count", ShortTextGrid(one + "-1\n"), kBroken, 6, "-1, not a count"},
        {"fractional count", ShortTextGrid(one + "1.5\n"), kBroken, 6, "1.5, not a count"},
        {"interval backwards", ShortTextGrid(one + "2\n0 0.5 \"\"\n0.5 0.4 \"\"\n"), kBroken, 8,
         "interval 2 ends at 0.4, before it starts (0.5)"},
        {"overlap", ShortTextGrid(one + "2\n0 0.6 \"\"\n0.5 1 \"\"\n"), kBroken, 8,
         "tier 1 \"w\": interval 2 starts at 0.5, before the end of interval 1 (0.6)"},
        {"gap", ShortTextGrid(one + "2\n0 0.4 \"\"\n0.5 1 \"\"\n"), kBroken, 8, "a gap"},
        {"late first interval", ShortTextGrid(one + "1\n0.1 1 \"\"\n"), kBroken, 7, "not at the start of its tier"},
        {"short last interval", ShortTextGrid(one + "1\n0 0.9 \"\"\n"), kBroken, 7, "not at the end of its tier (1)"},
        {"interval past the tier", ShortTextGrid(one + "1\n0 1.5 \"\"\n"), kBroken, 7, "after the end of its tier"},
        {"no intervals", ShortTextGrid(one + "0\n"), kBroken, 6, "has no intervals"},
        {"tier outside the grid", ShortTextGrid("0 1 <exists> 1\n\"IntervalTier\" \"w\" 0 2 1 0 2 \"\"\n"), kBroken, 5,
         "after the grid (1)"},
        {"grid backwards", ShortTextGrid("2 1 <exists> 0\n"), kBroken, 4, "before it starts"},
        {"points out of order", ShortTextGrid("0 1 <exists> 1 \"TextTier\" \"t\" 0 1 2\n0.6 \"\"\n0.5 \"\"\n"), kBroken, 6,
         "point 2 at 0.5 is not later than point 1 (0.6)"},
        {"two points at one time", ShortTextGrid("0 1 <exists> 1 \"TextTier\" \"t\" 0 1 2\n0.5 \"\"\n0.5 \"\"\n"),
         kBroken, 6, "not later than"},
        {"point outside its tier", ShortTextGrid("0 1 <exists> 1 \"TextTier\" \"t\" 0 1 1\n1.5 \"\"\n"), kBroken, 5,
         "after the end of its tier"},
        {"number for a name", ShortTextGrid("0 1 <exists> 1 \"IntervalTier\" 5\n"), kBroken, 4,
         "expected the name of tier 1 (of 1) (a text in quotes), found the number 5"},
        {"text for a time", ShortTextGrid(one + "1\n0 \"1\" \"\"\n"), kBroken, 7, "(a number), found the text \"1\""},
        {"unknown kind", ShortTextGrid("0 1 <exists> 1 \"PointTier\" \"p\" 0 1 0\n"), kBroken, 4, "\"PointTier\""},
        {"no flag", ShortTextGrid("0 1 1\n"), kBroken, 4, "expected whether the grid has tiers"},
        {"infinite time", ShortTextGrid("0 1e400 <exists> 0\n"), kBroken, 4, "not a finite number"},
        {"unreadable number", ShortTextGrid("0 1.5e <exists> 0\n"), kBroken, 4, "\"1.5e\" cannot be read"},
        {"flag never closed", ShortTextGrid("0 1 <exists\n0\n"), kBroken, 4, "never ends"},
        {"odd UTF-16", Utf16(ShortTextGrid("0 1 <exists> 0\n"), true) + "x", kBroken, 5, "middle of a UTF-16 character"},
        {"lone surrogate", Utf16(ShortTextGrid("0 1 <exists> 1 \"IntervalTier\" \""), false) + std::string("\x00\xD8", 2),
         kBroken, 4, "surrogate"},
        {"marked UTF-8 that is not", "\xEF\xBB\xBF" + ShortTextGrid("0 1 <exists> 1 \"\xE9\""), kBroken, 4, "not UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szName);
        const ReadResult result = ParseTextGrid(c.bytes);
        EXPECT_EQ(result.eFailure, c.eFailure) << result.strWhat;
        EXPECT_EQ(result.nLine, c.nLine) << result.strWhat;
        EXPECT_NE(result.strWhat.find(c.szWhat), std::string::npos) << result.strWhat;
        EXPECT_TRUE(result.grid.tiers.empty());
    }
}

TEST(TextGridRead, AFileThatCannotBeReadSaysWhy)
{
    const ReadResult result = ReadTextGrid("/nonexistent/x.TextGrid");
    EXPECT_EQ(result.eFailure, EReadFailure::CannotRead);
    EXPECT_EQ(result.nErrno, ENOENT);
    EXPECT_EQ(DescribeFailure("x.TextGrid", result), "x.TextGrid: cannot read it (No such file or directory)");
    // A FIFO is refused at once, never waited on for a writer.
    testsupport::CScratchDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.TextGrid").c_str(), 0600), 0);
    const ReadResult fifo = ReadTextGrid(dir / "fifo.TextGrid");
    EXPECT_EQ(fifo.eFailure, EReadFailure::CannotRead);
    EXPECT_EQ(DescribeFailure("x.TextGrid", fifo), "x.TextGrid: cannot read it (is a FIFO, not a file)");
    ReadResult broken;
    broken.eFailure = EReadFailure::Malformed;
    broken.nLine = 12;
    broken.strWhat = "what";
    EXPECT_EQ(DescribeFailure("x.TextGrid", broken), "x.TextGrid:12: what");
}
