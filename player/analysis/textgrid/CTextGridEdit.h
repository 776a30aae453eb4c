#pragma once
// A TextGrid being edited by hand: the grid, which tier and which interval or
// point of it is selected, the edits a user makes (boundaries added, moved and
// removed, labels, tiers added, renamed and removed), undo and redo of each
// whole edit, and whether the grid differs from what was last saved. The
// history keeps what each edit changed, not the tiers around it (a new label
// only its changed middle, a moved boundary two times), and at most
// kMaxHistorySteps steps or about kMaxHistoryBytes, the oldest dropped first. Every edit
// keeps the grid sound (TextGridCheck.h): an interval tier's intervals keep
// tiling it, a point tier's points stay in order, and an edit that would break
// that is refused with words for the status line and changes nothing.
// Plain C++; the measuring view's tier strips drive it.
//
// An edit owns its grid and history; one thread at a time (the measuring view's UI
// thread).
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "player/analysis/textgrid/TextGrid.h"

namespace sonavel::textgrid {

class CTextGridEdit {
public:
    static constexpr int kNone = -1;
    // The history's bounds: a day's edits by hand fit in either; a label of
    // megabytes replaced again and again does not, and then the oldest steps go.
    static constexpr std::size_t kMaxHistorySteps = 1000;
    static constexpr std::size_t kMaxHistoryBytes = std::size_t(100) << 20;

    CTextGridEdit();
    ~CTextGridEdit();
    CTextGridEdit(const CTextGridEdit&) = delete;
    CTextGridEdit& operator=(const CTextGridEdit&) = delete;

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
    // The whole grid becomes grid (edits brought back from elsewhere), as one
    // step; refused when grid is not sound.
    std::string ReplaceGrid(TextGrid grid);

    bool CanUndo() const { return m_nDone > 0; }
    bool CanRedo() const { return m_nDone < m_history.size(); }
    bool Undo();
    bool Redo();
    // The steps that can be undone and the memory the whole history holds.
    std::size_t UndoSteps() const { return m_nDone; }
    std::size_t HistoryBytes() const { return m_nHistoryBytes; }

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
    struct Step; // one edit: what it changed, enough to undo and redo it (CTextGridEdit.cpp)
    std::string Check(std::size_t nTier) const;
    // Makes step (built by an edit, not yet done) the newest step and does it.
    void Commit(std::unique_ptr<Step> pStep);
    void Do(Step& step);
    void Undo(Step& step);
    void SelectAfter(const Step& step, bool bDone);
    void DropOldest();

    TextGrid m_grid;
    int m_nTier = kNone;
    int m_nItem = kNone;
    std::deque<std::unique_ptr<Step>> m_history;
    std::size_t m_nHistoryBytes = 0; // every step's Bytes()
    std::size_t m_nDone = 0;    // steps of m_history in effect
    std::size_t m_nSavedAt = 0; // m_nDone when saved; past the history when that state is gone
};

} // namespace sonavel::textgrid
