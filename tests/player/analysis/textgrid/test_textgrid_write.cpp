// Writing TextGrids: what is written reads back as the same doubles and
// labels, the file appears whole or not at all, and a broken grid is refused.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <cmath>
#include <fstream>
#include <limits>

#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "tests/player/analysis/textgrid/GridSupport.h"
#include "tests/support/CScratchDir.h"

using namespace sonavel::textgrid;
using testsupport::Slurp;

namespace {

// Times no short decimal holds, and labels with everything a label may carry.
TextGrid Awkward()
{
    const double dThird = 1.0 / 3, dTiny = 1e-300, dOdd = 0.1 + 0.2;
    TextGrid grid{-dTiny, 123456.789012345678, {}};
    Tier words{"w\xC3\xB6rds \"1\"", ETierKind::Interval, -dTiny, grid.dEnd, {}, {}};
    words.intervals = {{-dTiny, dOdd, ""}, {dOdd, dThird, "\xCA\x83\"\"x\"\n\nend"}, {dThird, grid.dEnd, "\xF0\x9F\x98\x80"}};
    Tier empty{"", ETierKind::Point, 0, 1, {}, {}};
    Tier tones{"tones", ETierKind::Point, dOdd, dThird * 2, {}, {}};
    tones.points = {{dOdd, "H*"}, {std::nextafter(dOdd, 1.0), "L-"}, {dThird * 2, "\t"}};
    grid.tiers = {words, empty, tones};
    return grid;
}

} // namespace

TEST(TextGridWrite, WhatIsWrittenReadsBackExactly)
{
    EXPECT_EQ(FormatNumber(0.3), "0.3");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(FormatNumber(2.5), "2.5");
    EXPECT_EQ(FormatNumber(1e-300), "1e-300");
    const TextGrid grid = Awkward();
    ASSERT_EQ(GridProblem(grid), "");
    const ReadResult back = ParseTextGrid(FormatTextGrid(grid));
    ASSERT_TRUE(back.Ok()) << back.strWhat;
    testsupport::ExpectSameGrid(back.grid, grid);
}

TEST(TextGridWrite, TheFileIsReplacedWholeOrNotAtAll)
{
    testsupport::CScratchDir dir;
    const std::string path = dir / "a.TextGrid";
    std::ofstream(path) << "old";
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("a.TextGrid", (dir / "link.TextGrid").c_str()), 0);

    // Through the link: the file it names is replaced, keeping its mode; no
    // temporary file stays behind.
    WriteResult result = WriteTextGrid(Awkward(), dir / "link.TextGrid");
    ASSERT_TRUE(result.bOk) << result.strWhat;
    EXPECT_EQ(Slurp(path), FormatTextGrid(Awkward()));
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "link.TextGrid").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);

    // A broken grid is refused with the fault named, and the file stays.
    TextGrid broken = Awkward();
    broken.tiers[0].intervals[1].dStart = 0.2;
    result = WriteTextGrid(broken, path);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.strWhat, "not written: tier 1 \"w\xC3\xB6rds \"1\"\": interval 2 starts at 0.2, "
                              "before the end of interval 1 (0.30000000000000004)");
    broken = Awkward();
    broken.tiers[2].points[0].strLabel = "\xFF";
    EXPECT_NE(WriteTextGrid(broken, path).strWhat.find("point 1: its label is not UTF-8"), std::string::npos);
    broken.tiers[2].points[0].strLabel.clear();
    broken.dEnd = std::numeric_limits<double>::infinity();
    EXPECT_NE(WriteTextGrid(broken, path).strWhat.find("finite"), std::string::npos);
    EXPECT_EQ(Slurp(path), FormatTextGrid(Awkward()));

    // A carriage return has no spelling a reader gets back (Praat, and we as it
    // does, read CR and CR LF as a line break): refused, never changed.
    broken = Awkward();
    broken.tiers[0].intervals[2].strLabel = "a\r\nb";
    EXPECT_EQ(WriteTextGrid(broken, path).strWhat,
              "not written: tier 1 \"w\xC3\xB6rds \"1\"\": the label of interval 3 holds a carriage return (CR), "
              "which a TextGrid cannot keep: it would read back as a line break");
    broken.tiers[0].intervals[2].strLabel.clear();
    broken.tiers[2].strName = "\r";
    EXPECT_FALSE(WriteTextGrid(broken, path).bOk);
    EXPECT_EQ(Slurp(path), FormatTextGrid(Awkward()));

    // A folder that is not there: the system's reason, nothing written.
    result = WriteTextGrid(Awkward(), dir / "missing/b.TextGrid");
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.nErrno, ENOENT);
    EXPECT_EQ(result.strWhat, "cannot write it (No such file or directory)");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}
