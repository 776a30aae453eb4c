// Praat as the oracle, both ways: every variant of a TextGrid Praat writes
// (long and short, UTF-8, UTF-16, ISO Latin-1; interval and point tiers; IPA,
// quotes, line breaks, empty labels) reads as Praat lists it, and what we write
// Praat lists exactly as it lists its own file. Skipped without praat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "tests/player/analysis/textgrid/GridSupport.h"
#include "tests/support/CScratchDir.h"

using namespace sonavel::textgrid;
using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

// Makes the variants. Praat's default writes UTF-16 (big-endian, with its mark)
// once a label is not ASCII; the preference gives UTF-8 and ISO Latin-1.
const char* const kMake = R"(form Make
  sentence dir x
endform
Create TextGrid: 0, 2.5, "words phones tones", "tones"
Insert boundary: 1, 0.3
Insert boundary: 1, 1/3 + 1
Set interval text: 1, 2, "héllo ""quoted"" ʃɪp"
Set interval text: 1, 3, "two" + newline$ + "lines"
Insert boundary: 2, 0.1 + 0.2
Set interval text: 2, 1, "ə˥˩"
Insert point: 3, 0.7, "H*"
Insert point: 3, 1.9, ""
Insert point: 3, 2.5, "L%"
Save as text file: dir$ + "/long-16.TextGrid"
Save as short text file: dir$ + "/short-16.TextGrid"
Text writing preferences: "UTF-8"
Save as text file: dir$ + "/long-8.TextGrid"
Save as short text file: dir$ + "/short-8.TextGrid"
Create TextGrid: 0, 1, "café", "café"
Insert point: 1, 0.5, "naïve"
Text writing preferences: "try ISO Latin-1, then UTF-16"
Save as text file: dir$ + "/latin1.TextGrid"
Create TextGrid: 0, 1, "cr", ""
Set interval text: 1, 1, "a" + unicode$(13) + "b" + unicode$(13) + unicode$(10) + "c"
Save as text file: dir$ + "/cr.TextGrid"
)";

// Lists every TextGrid of a folder, each after a line "file NAME", one line per
// item, line breaks in texts as \n, numbers as Praat prints them (enough
// digits to give the double back). One run for all: Praat starts slowly.
const char* const kList = R"(form List
  sentence dir x
endform
files = Create Strings as file list: "files", dir$ + "/*.TextGrid"
nFiles = Get number of strings
writeInfo: ""
for f to nFiles
  selectObject: files
  file$ = Get string: f
  appendInfoLine: "file ", file$
  Read from file: dir$ + "/" + file$
  gs = Get start time
  ge = Get end time
  appendInfoLine: "grid ", gs, " ", ge
  n = Get number of tiers
  for t to n
    name$ = Get tier name: t
    @esc: name$
    isInt = Is interval tier: t
    if isInt
      m = Get number of intervals: t
      appendInfoLine: "tier interval ", m, " ", esc.s$
      for i to m
        s = Get start time of interval: t, i
        en = Get end time of interval: t, i
        l$ = Get label of interval: t, i
        @esc: l$
        appendInfoLine: "i ", s, " ", en, " ", esc.s$
      endfor
    else
      m = Get number of points: t
      appendInfoLine: "tier point ", m, " ", esc.s$
      for i to m
        s = Get time of point: t, i
        l$ = Get label of point: t, i
        @esc: l$
        appendInfoLine: "p ", s, " ", esc.s$
      endfor
    endif
  endfor
  Remove
endfor
procedure esc: .s$
  .s$ = replace$ (.s$, "\", "\\", 0)
  .s$ = replace$ (.s$, newline$, "\n", 0)
endproc
)";

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[i + 1] == 'n' ? '\n' : text[i + 1];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The listing of each file, by its name without ".TextGrid".
std::map<std::string, std::string> SplitListings(const std::string& text)
{
    std::map<std::string, std::string> listings;
    std::istringstream in(text);
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.rfind("file ", 0) == 0)
            name = line.substr(5, line.size() - 5 - std::string(".TextGrid").size());
        else
            listings[name] += line + "\n";
    }
    return listings;
}

// The grid a listing describes.
TextGrid FromListing(const std::string& listing)
{
    TextGrid grid;
    std::istringstream in(listing);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        const auto rest = [&]() {
            std::string text;
            std::getline(words, text);
            return Unescape(text.empty() ? text : text.substr(1));
        };
        if (kind == "grid") {
            words >> grid.dStart >> grid.dEnd;
        } else if (kind == "tier") {
            std::string what;
            std::size_t n = 0;
            words >> what >> n;
            grid.tiers.push_back({rest(), what == "interval" ? ETierKind::Interval : ETierKind::Point, 0, 0, {}, {}});
        } else if (kind == "i") {
            Interval item;
            words >> item.dStart >> item.dEnd;
            item.strLabel = rest();
            grid.tiers.back().intervals.push_back(item);
        } else if (kind == "p") {
            Point item;
            words >> item.dTime;
            item.strLabel = rest();
            grid.tiers.back().points.push_back(item);
        }
    }
    return grid;
}

class TextGridPraat : public testing::Test {
protected:
    void SetUp() override
    {
        if (Shell("command -v praat > /dev/null") != 0)
            GTEST_SKIP() << "praat is not installed (apt-get install praat): the TextGrids are not checked against it";
        std::ofstream(m_dir / "make.praat") << kMake;
        std::ofstream(m_dir / "list.praat") << kList;
        ASSERT_EQ(Praat("make.praat", m_dir.Path()), 0) << Slurp(m_dir / "praat.txt");
        // Two variants Praat reads but does not write: UTF-8 with its mark and
        // little-endian UTF-16.
        std::ofstream(m_dir / "long-8-mark.TextGrid") << "\xEF\xBB\xBF" << Slurp(m_dir / "long-8.TextGrid");
        std::string le = Slurp(m_dir / "long-16.TextGrid");
        for (std::size_t i = 0; i + 1 < le.size(); i += 2)
            std::swap(le[i], le[i + 1]);
        std::ofstream(m_dir / "long-16le.TextGrid") << le;
    }

    // Runs a script with one argument; its output goes to praat.txt. Praat
    // keeps its preferences in a home of the test's own.
    int Praat(const std::string& script, const std::string& arg)
    {
        return Shell("HOME=" + Quote(m_dir.Path()) + " praat --run " + Quote(m_dir / script) + " " + Quote(arg) +
                     " > " + Quote(m_dir / "praat.txt") + " 2>&1");
    }

    // Every TextGrid of the folder as Praat lists it.
    std::map<std::string, std::string> ListAll()
    {
        EXPECT_EQ(Praat("list.praat", m_dir.Path()), 0) << Slurp(m_dir / "praat.txt");
        return SplitListings(Slurp(m_dir / "praat.txt"));
    }

    testsupport::CScratchDir m_dir;
    // cr: Praat writes a label's CR and CR LF as they are and reads both back
    // as line breaks, as we must too (the writer refuses a CR for that).
    const std::vector<std::string> m_variants = {"long-16", "short-16", "long-8", "short-8", "latin1", "long-8-mark",
                                                 "long-16le", "cr"};
};

} // namespace

TEST_F(TextGridPraat, WeReadEveryVariantAsPraatListsIt)
{
    const std::map<std::string, std::string> listings = ListAll();
    for (const std::string& name : m_variants) {
        SCOPED_TRACE(name);
        const std::string path = m_dir / (name + ".TextGrid");
        const ReadResult result = ReadTextGrid(path);
        ASSERT_TRUE(result.Ok()) << DescribeFailure(path, result);
        ASSERT_EQ(listings.count(name), 1u);
        TextGrid listed = FromListing(listings.at(name));
        ASSERT_FALSE(listed.tiers.empty());
        // The listing holds no tier's range: ours is the grid's in these files.
        for (Tier& tier : listed.tiers) {
            tier.dStart = listed.dStart;
            tier.dEnd = listed.dEnd;
        }
        testsupport::ExpectSameGrid(result.grid, listed, 1e-9);
    }
}

TEST_F(TextGridPraat, PraatListsWhatWeWriteAsItListsItsOwn)
{
    for (const std::string& name : m_variants) {
        const std::string path = m_dir / (name + ".TextGrid");
        const ReadResult result = ReadTextGrid(path);
        ASSERT_TRUE(result.Ok()) << DescribeFailure(path, result);
        const WriteResult written = WriteTextGrid(result.grid, m_dir / (name + "-ours.TextGrid"));
        ASSERT_TRUE(written.bOk) << written.strWhat;
    }
    const std::map<std::string, std::string> listings = ListAll();
    for (const std::string& name : m_variants) {
        SCOPED_TRACE(name);
        ASSERT_EQ(listings.count(name), 1u);
        ASSERT_EQ(listings.count(name + "-ours"), 1u);
        EXPECT_EQ(listings.at(name + "-ours"), listings.at(name));
    }
    // Line for line as Praat writes UTF-8 itself.
    EXPECT_EQ(Slurp(m_dir / "long-8-ours.TextGrid"), Slurp(m_dir / "long-8.TextGrid"));
}
