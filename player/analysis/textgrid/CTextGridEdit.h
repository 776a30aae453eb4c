#pragma once
// A TextGrid being edited by hand: the grid, which tier and which interval or
// point of it is selected, the edits a user makes (boundaries added, moved and
// removed, labels, tiers added, renamed and removed), undo and redo of each
// whole edit, and whether the grid differs from what was last saved. Every edit
// keeps the grid sound (TextGridCheck.h): an interval tier's intervals keep
// tiling it, a point tier's points stay in order, and an edit that would break
// that is refused with words for the status line and changes nothing.
// Plain C++; the measuring view's tier strips drive it.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "player/analysis/textgrid/TextGrid.h"

namespace sonavel::textgrid {

class CTextGridEdit {
public:
    static constexpr int kNone = -1;

    // A new grid to edit: nothing selected, no history, not modified.
    void Reset(TextGrid grid);
    const TextGrid& Grid() const { return m_grid; }
    std::size_t TierCount() const { return m_grid.tiers.size(); }

    // The selected tier and, in it, interval or point (kNone: none). Select
    // takes an item only where the tier has it.
    int SelectedTier() const { return m_nTier; }
    int SelectedItem() const { return m_nItem; }
    void Select(int nTier, int nItem = kNone);

    // Each edit answers "" when done (one step of undo), else why not, and
    // then changes nothing.
    //
    // An interval tier: splits the interval around t; the left part keeps its
    // label, the right part starts empty, and is selected. A point tier: a new
    // point at t with an empty label, selected.
    std::string AddBoundary(std::size_t nTier, double t);
    // Boundary nIndex of an interval tier (the end of interval nIndex, so 0 is
    // the one between the first two intervals) or point nIndex of a point tier
    // goes to t, which must lie strictly between its neighbours (the tier's
    // ends count as neighbours).
    std::string MoveBoundary(std::size_t nTier, std::size_t nIndex, double t);
    // Removes boundary nIndex (interval tier: the two intervals around it
    // become one, labelled with both labels joined by a space, or with the one
    // that is not empty) or point nIndex.
    std::string RemoveBoundary(std::size_t nTier, std::size_t nIndex);
    std::string SetLabel(std::size_t nTier, std::size_t nItem, const std::string& strLabel);
    // A new tier over the grid's whole range, at nAt (at most TierCount()):
    // an interval tier is one empty interval, a point tier has no points.
    std::string AddTier(std::size_t nAt, const std::string& strName, ETierKind eKind);
    std::string RenameTier(std::size_t nTier, const std::string& strName);
    std::string RemoveTier(std::size_t nTier);

    bool CanUndo() const { return m_nDone > 0; }
    bool CanRedo() const { return m_nDone < m_history.size(); }
    bool Undo();
    bool Redo();

    // Whether the grid differs from the one last saved (or given to Reset):
    // undoing back to it counts as unmodified.
    bool IsModified() const { return m_nDone != m_nSavedAt; }
    void MarkSaved() { m_nSavedAt = m_nDone; }

    // The boundaries of a tier in time order: an interval tier's inner
    // boundaries, a point tier's points.
    std::vector<double> Boundaries(std::size_t nTier) const;
    // t, or the nearest boundary of the tier above (its ends included) when
    // that lies within dTolerance.
    double Snap(std::size_t nTier, double t, double dTolerance) const;
    // The interval of an interval tier that holds t (the later one at a
    // boundary), or kNone; the point of a point tier nearest to t within
    // dTolerance, or kNone.
    int ItemAt(std::size_t nTier, double t, double dTolerance) const;

private:
    // One step of history: tier nTier before and after the edit (no tier
    // before: it was added; none after: it was removed).
    struct Step {
        std::size_t nTier = 0;
        std::optional<Tier> before, after;
        int nItemAfter = kNone;
        int nItemBefore = kNone;
    };
    std::string Check(std::size_t nTier) const;
    void Apply(Step step);
    void Put(std::size_t nTier, const std::optional<Tier>& tier, bool bWasThere);

    TextGrid m_grid;
    int m_nTier = kNone;
    int m_nItem = kNone;
    std::vector<Step> m_history;
    std::size_t m_nDone = 0;    // steps of m_history in effect
    std::size_t m_nSavedAt = 0; // m_nDone when saved; past the history when that state is gone
};

} // namespace sonavel::textgrid
