#pragma once
// The edit history's step (what one edit changed) and the small tier helpers
// the editor's parts share: private to CTextGridEdit's sources.
//
// Plain values owned by the editor that holds them; used on its thread.
#include <memory>
#include <string>

#include "player/analysis/textgrid/CTextGridEdit.h"

namespace sonavel::textgrid {

namespace editparts {

inline int ItemCount(const Tier& tier)
{
    return static_cast<int>(tier.eKind == ETierKind::Interval ? tier.intervals.size() : tier.points.size());
}

// The heap a string holds beyond its own object (short ones hold none).
inline std::size_t HeapBytes(const std::string& str) { return str.capacity() > 15 ? str.capacity() + 1 : 0; }

inline std::size_t TierBytes(const Tier& tier)
{
    std::size_t n = sizeof(Tier) + HeapBytes(tier.strName) + tier.intervals.capacity() * sizeof(Interval)
                    + tier.points.capacity() * sizeof(Point);
    for (const Interval& i : tier.intervals)
        n += HeapBytes(i.strLabel);
    for (const Point& p : tier.points)
        n += HeapBytes(p.strLabel);
    return n;
}

inline std::string& LabelOf(Tier& tier, std::size_t nItem)
{
    return tier.eKind == ETierKind::Interval ? tier.intervals[nItem].strLabel : tier.points[nItem].strLabel;
}

} // namespace editparts

// What one edit changed, and no more. Move, Label, Rename and Grid swap what
// they hold with what the grid has, so doing and undoing them is the same
// call and the step holds only the side not in effect.
struct CTextGridEdit::Step {
    enum class EKind {
        Split,  // interval nItem divided at dTime (the right part new and empty), or a new empty point nItem at dTime
        Join,   // boundary nItem (at dTime) removed, the labels joined: nLeftLength bytes of the left's, then,
                // with bBoth, a space and the right's; or point nItem removed (time dTime, label held in strHeld)
        Move,   // boundary or point nItem goes to the time held in dTime
        Label,  // item nItem's label keeps nPrefix bytes at its start and nSuffix at its end; the middle swaps with strHeld
        Rename, // the tier's name swaps with strHeld
        Tier,   // a tier added (bAdded) or removed at nTier, held in pTier while out of the grid
        Grid,   // the whole grid swaps with pGrid
    };
    EKind eKind = EKind::Label;
    std::size_t nTier = 0;
    std::size_t nItem = 0;
    double dTime = 0;
    std::size_t nPrefix = 0, nSuffix = 0;
    std::size_t nLeftLength = 0;
    bool bBoth = false;
    bool bAdded = false;
    std::string strHeld;
    std::unique_ptr<Tier> pTier;
    std::unique_ptr<TextGrid> pGrid;
    int nItemBefore = kNone; // the selection before and after
    int nItemAfter = kNone;

    std::size_t Bytes() const
    {
        std::size_t n = sizeof(Step) + sizeof(std::unique_ptr<Step>) + editparts::HeapBytes(strHeld);
        if (pTier)
            n += editparts::TierBytes(*pTier);
        if (pGrid) {
            n += sizeof(TextGrid) + pGrid->tiers.capacity() * sizeof(Tier);
            for (const Tier& tier : pGrid->tiers)
                n += editparts::TierBytes(tier) - sizeof(Tier);
        }
        return n;
    }
};

} // namespace sonavel::textgrid
