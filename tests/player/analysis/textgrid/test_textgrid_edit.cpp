// Editing a TextGrid by hand: every edit keeps the grid sound (the checker
// finds nothing), refuses what would break it, and undoes and redoes whole;
// the history holds what changed, within its bounds.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <random>

#include "player/analysis/textgrid/CTextGridEdit.h"
#include "player/analysis/textgrid/TextGridCheck.h"
#include "tests/player/analysis/textgrid/GridSupport.h"

using namespace sonavel::textgrid;

namespace {

// words: [0,1] "a", [1,2] "b", [2,3] ""; tones: 0.5 "H", 2.5 "L".
TextGrid TwoTiers()
{
    TextGrid grid{0, 3, {}};
    grid.tiers.push_back(Tier{"words", ETierKind::Interval, 0, 3, {{0, 1, "a"}, {1, 2, "b"}, {2, 3, ""}}, {}});
    grid.tiers.push_back(Tier{"tones", ETierKind::Point, 0, 3, {}, {{0.5, "H"}, {2.5, "L"}}});
    return grid;
}

} // namespace

TEST(TextGridEdit, BoundariesAddMoveAndRemoveKeepingTheTiling)
{
    CTextGridEdit edit;
    edit.Reset(TwoTiers());
    EXPECT_EQ(edit.AddBoundary(0, 1.5), "");
    const auto& words = edit.Grid().tiers[0].intervals;
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[1].strLabel, "b"); // the left part keeps the label
    EXPECT_EQ(words[2].dStart, 1.5);
    EXPECT_EQ(edit.SelectedItem(), 2);
    EXPECT_NE(edit.AddBoundary(0, 1.5), "");  // one there already
    EXPECT_NE(edit.AddBoundary(0, 3.5), "");  // outside the tier
    EXPECT_EQ(edit.AddBoundary(1, 1.25), ""); // a point, in order
    EXPECT_EQ(edit.Grid().tiers[1].points[1].dTime, 1.25);

    EXPECT_EQ(edit.MoveBoundary(0, 0, 0.75), "");
    EXPECT_EQ(edit.Grid().tiers[0].intervals[1].dStart, 0.75);
    EXPECT_NE(edit.MoveBoundary(0, 0, 1.5), ""); // onto its neighbour
    EXPECT_NE(edit.MoveBoundary(1, 1, 2.6), ""); // past the next point
    EXPECT_NE(edit.MoveBoundary(0, 3, 2.0), ""); // there are three inner boundaries

    EXPECT_EQ(edit.SetLabel(0, 2, "c"), "");
    EXPECT_EQ(edit.RemoveBoundary(0, 1), ""); // "b" and "c" join
    EXPECT_EQ(edit.Grid().tiers[0].intervals[1].strLabel, "b c");
    EXPECT_EQ(edit.RemoveBoundary(0, 1), ""); // "b c" and "" keep the one with words
    EXPECT_EQ(edit.Grid().tiers[0].intervals[1].strLabel, "b c");
    EXPECT_EQ(edit.RemoveBoundary(1, 0), "");
    EXPECT_EQ(GridProblem(edit.Grid()), "");
    EXPECT_EQ(edit.Grid().tiers[0].intervals.size(), 2u);
    EXPECT_EQ(edit.Grid().tiers[1].points.size(), 2u);
}

TEST(TextGridEdit, SnapsToTheTierAboveAndFindsItems)
{
    CTextGridEdit edit;
    edit.Reset(TwoTiers());
    EXPECT_EQ(edit.Snap(1, 1.03, 0.05), 1.0);  // words' boundary at 1
    EXPECT_EQ(edit.Snap(1, 1.2, 0.05), 1.2);   // nothing near
    EXPECT_EQ(edit.Snap(1, 2.98, 0.05), 3.0);  // the tier's end counts
    EXPECT_EQ(edit.Snap(0, 0.52, 0.05), 0.52); // the first tier has none above
    EXPECT_EQ(edit.ItemAt(0, 1.0, 0), 1);      // the later interval at a boundary
    EXPECT_EQ(edit.ItemAt(1, 2.45, 0.1), 1);
    EXPECT_EQ(edit.ItemAt(1, 1.5, 0.1), CTextGridEdit::kNone);
}

TEST(TextGridEdit, UndoRedoAndModifiedFollowEveryEdit)
{
    CTextGridEdit edit;
    edit.Reset(TwoTiers());
    EXPECT_FALSE(edit.IsModified());
    EXPECT_FALSE(edit.CanUndo());
    ASSERT_EQ(edit.AddTier(2, "notes", ETierKind::Interval), "");
    ASSERT_EQ(edit.RenameTier(2, "comments"), "");
    ASSERT_EQ(edit.SetLabel(2, 0, "x"), "");
    ASSERT_EQ(edit.RemoveTier(0), "");
    EXPECT_EQ(edit.TierCount(), 2u);
    EXPECT_TRUE(edit.IsModified());
    edit.MarkSaved();
    EXPECT_FALSE(edit.IsModified());

    ASSERT_TRUE(edit.Undo()); // the tier removed comes back in its place
    EXPECT_EQ(edit.Grid().tiers[0].strName, "words");
    EXPECT_TRUE(edit.IsModified());
    ASSERT_TRUE(edit.Redo());
    EXPECT_FALSE(edit.IsModified()); // back where it was saved
    while (edit.Undo()) {
    }
    testsupport::ExpectSameGrid(edit.Grid(), TwoTiers());
    EXPECT_TRUE(edit.IsModified());

    // A new edit after undoing drops the redo, and the saved state with it.
    ASSERT_EQ(edit.SetLabel(0, 2, "z"), "");
    EXPECT_FALSE(edit.CanRedo());
    ASSERT_TRUE(edit.Undo());
    EXPECT_TRUE(edit.IsModified());
    EXPECT_EQ(edit.SetLabel(0, 0, "a"), ""); // the same label: no step
    EXPECT_FALSE(edit.CanUndo());
    EXPECT_NE(edit.SetLabel(0, 0, "\xFF"), "");
    EXPECT_NE(edit.SetLabel(0, 9, "x"), "");
}

namespace {

// Resident memory of this process, from the kernel's count of its pages; 0
// in the sanitizer build, whose quarantine keeps freed blocks resident.
std::size_t ResidentBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#endif
    std::FILE* pFile = std::fopen("/proc/self/statm", "r");
    unsigned long nSize = 0, nResident = 0;
    if (pFile) {
        if (std::fscanf(pFile, "%lu %lu", &nSize, &nResident) != 2)
            nResident = 0;
        std::fclose(pFile);
    }
    return nResident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// One edit somewhere in the grid, chosen by rng (with bTiers, tiers added and
// removed too); refused ones are tried again with other numbers.
void EditAnywhere(CTextGridEdit& edit, std::mt19937& rng, bool bTiers = true)
{
    for (;;) {
        const std::size_t nTier = rng() % edit.TierCount();
        const Tier& tier = edit.Grid().tiers[nTier];
        const std::size_t nItems = tier.eKind == ETierKind::Interval ? tier.intervals.size() : tier.points.size();
        const double t = tier.dStart + (tier.dEnd - tier.dStart) * (rng() % 10000) / 10000.0;
        const std::string strWords[] = {"", "a", "bc", "a bc", "d\xC3\xA9j\xC3\xA0"};
        std::string strWhy = "none";
        switch (rng() % (bTiers ? 7 : 6)) {
        case 0: case 1: strWhy = edit.AddBoundary(nTier, t); break;
        case 2: strWhy = edit.MoveBoundary(nTier, rng() % (nItems + 1), t); break;
        case 3: strWhy = edit.RemoveBoundary(nTier, rng() % (nItems + 1)); break;
        case 4: {
            // A long label is edited by the caller, never replaced here.
            if (nItems == 0)
                break;
            const std::size_t nItem = rng() % nItems;
            const std::string& strWas = tier.eKind == ETierKind::Interval ? tier.intervals[nItem].strLabel : tier.points[nItem].strLabel;
            if (strWas.size() < 1000)
                strWhy = edit.SetLabel(nTier, nItem, strWords[rng() % 5] + strWords[rng() % 5]);
            break;
        }
        case 5: strWhy = edit.RenameTier(nTier, strWords[rng() % 5] + "x"); break;
        case 6: strWhy = rng() % 2 ? edit.AddTier(rng() % 3, "t", rng() % 2 ? ETierKind::Interval : ETierKind::Point)
                                   : (edit.TierCount() > 1 ? edit.RemoveTier(nTier) : "one tier stays"); break;
        }
        if (strWhy.empty())
            return;
    }
}

} // namespace

TEST(TextGridEdit, EveryStepUndoesToTheGridBeforeItAndRedoesToTheOneAfter)
{
    CTextGridEdit edit;
    edit.Reset(TwoTiers());
    std::mt19937 rng(7);
    std::vector<TextGrid> before;
    while (before.size() < 400) {
        const std::size_t nStepsWas = edit.UndoSteps();
        TextGrid was = edit.Grid();
        EditAnywhere(edit, rng);
        if (edit.UndoSteps() > nStepsWas) // a label set to what it was is no step
            before.push_back(std::move(was));
        ASSERT_EQ(GridProblem(edit.Grid()), "");
    }
    const TextGrid after = edit.Grid();
    for (std::size_t n = before.size(); n-- > 0;) {
        SCOPED_TRACE("undoing step " + std::to_string(n + 1));
        ASSERT_TRUE(edit.Undo());
        testsupport::ExpectSameGrid(edit.Grid(), before[n]);
    }
    EXPECT_FALSE(edit.CanUndo());
    while (edit.Redo()) {
    }
    testsupport::ExpectSameGrid(edit.Grid(), after);
}

TEST(TextGridEdit, EditsOfATierWithAMegabyteLabelKeepLittleInTheHistory)
{
    CTextGridEdit edit;
    TextGrid grid = TwoTiers();
    grid.tiers[0].intervals[0].strLabel.assign(1 << 20, 'm');
    edit.Reset(grid);
    const std::size_t nResidentBefore = ResidentBytes();
    std::mt19937 rng(11);
    for (int n = 0; n < 792; ++n) {
        if (n % 4 == 0) {
            // F2 on the long label and a letter typed at its end or its start.
            std::string strLabel = edit.Grid().tiers[0].intervals[0].strLabel;
            strLabel.insert(n % 8 == 0 ? strLabel.size() : 0, "x");
            ASSERT_EQ(edit.SetLabel(0, 0, strLabel), "");
        } else {
            EditAnywhere(edit, rng, false);
        }
    }
    EXPECT_GT(edit.UndoSteps(), 700u);
    // Two whole tiers a step would be 1.6 GB.
    EXPECT_LT(edit.HistoryBytes(), std::size_t(8) << 20);
    EXPECT_LT(ResidentBytes(), nResidentBefore + (std::size_t(64) << 20));
    while (edit.Undo()) {
    }
    testsupport::ExpectSameGrid(edit.Grid(), grid);
}

TEST(TextGridEdit, TheOldestStepsGoPastAThousandOrAHundredMegabytes)
{
    CTextGridEdit edit;
    edit.Reset(TwoTiers());
    for (int n = 0; n < 1500; ++n)
        ASSERT_EQ(edit.SetLabel(0, 2, std::to_string(n)), "");
    EXPECT_EQ(edit.UndoSteps(), CTextGridEdit::kMaxHistorySteps);
    while (edit.Undo()) {
    }
    EXPECT_EQ(edit.Grid().tiers[0].intervals[2].strLabel, "499");
    EXPECT_TRUE(edit.IsModified()); // the state as read is out of reach

    // A megabyte label replaced by another, over and over: each step holds one.
    edit.Reset(TwoTiers());
    const std::size_t nResidentBefore = ResidentBytes();
    for (int n = 0; n < 300; ++n)
        ASSERT_EQ(edit.SetLabel(0, 0, std::string(1 << 20, n % 2 ? 'a' : 'b')), "");
    EXPECT_LE(edit.HistoryBytes(), CTextGridEdit::kMaxHistoryBytes);
    EXPECT_GT(edit.UndoSteps(), 80u);
    EXPECT_LT(edit.UndoSteps(), 110u);
    EXPECT_LT(ResidentBytes(), nResidentBefore + (std::size_t(160) << 20));
    ASSERT_TRUE(edit.Undo());
    EXPECT_EQ(edit.Grid().tiers[0].intervals[0].strLabel, std::string(1 << 20, 'b'));
}
