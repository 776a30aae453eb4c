// Editing a TextGrid by hand: every edit keeps the grid sound (the checker
// finds nothing), refuses what would break it, and undoes and redoes whole.
#include <gtest/gtest.h>

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
