#include "player/analysis/textgrid/CTextGridEdit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridText.h"

namespace sonavel::textgrid {

namespace {

constexpr std::size_t kSavedStateGone = std::numeric_limits<std::size_t>::max();

int ItemCount(const Tier& tier)
{
    return static_cast<int>(tier.eKind == ETierKind::Interval ? tier.intervals.size() : tier.points.size());
}

// The heap a string holds beyond its own object (short ones hold none).
std::size_t HeapBytes(const std::string& str) { return str.capacity() > 15 ? str.capacity() + 1 : 0; }

std::size_t TierBytes(const Tier& tier)
{
    std::size_t n = sizeof(Tier) + HeapBytes(tier.strName) + tier.intervals.capacity() * sizeof(Interval)
                    + tier.points.capacity() * sizeof(Point);
    for (const Interval& i : tier.intervals)
        n += HeapBytes(i.strLabel);
    for (const Point& p : tier.points)
        n += HeapBytes(p.strLabel);
    return n;
}

std::string& LabelOf(Tier& tier, std::size_t nItem)
{
    return tier.eKind == ETierKind::Interval ? tier.intervals[nItem].strLabel : tier.points[nItem].strLabel;
}

} // namespace

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
        std::size_t n = sizeof(Step) + sizeof(std::unique_ptr<Step>) + HeapBytes(strHeld);
        if (pTier)
            n += TierBytes(*pTier);
        if (pGrid) {
            n += sizeof(TextGrid) + pGrid->tiers.capacity() * sizeof(Tier);
            for (const Tier& tier : pGrid->tiers)
                n += TierBytes(tier) - sizeof(Tier);
        }
        return n;
    }
};

CTextGridEdit::CTextGridEdit() = default;
CTextGridEdit::~CTextGridEdit() = default;

void CTextGridEdit::Reset(TextGrid grid)
{
    m_grid = std::move(grid);
    m_nTier = m_nItem = kNone;
    m_history.clear();
    m_nHistoryBytes = 0;
    m_nDone = m_nSavedAt = 0;
}

void CTextGridEdit::Select(int nTier, int nItem)
{
    if (nTier < 0 || nTier >= static_cast<int>(m_grid.tiers.size())) {
        m_nTier = m_nItem = kNone;
        return;
    }
    m_nTier = nTier;
    m_nItem = nItem >= 0 && nItem < ItemCount(m_grid.tiers[nTier]) ? nItem : kNone;
}

std::string CTextGridEdit::Check(std::size_t nTier) const
{
    if (nTier >= m_grid.tiers.size())
        return "there is no tier " + std::to_string(nTier + 1);
    return {};
}

void CTextGridEdit::Do(Step& step)
{
    using EKind = Step::EKind;
    m_nHistoryBytes -= std::min(m_nHistoryBytes, step.Bytes());
    const std::size_t i = step.nItem;
    switch (step.eKind) {
    case EKind::Split: {
        Tier& tier = m_grid.tiers[step.nTier];
        if (tier.eKind == ETierKind::Interval) {
            Interval right{step.dTime, tier.intervals[i].dEnd, {}};
            tier.intervals[i].dEnd = step.dTime;
            tier.intervals.insert(tier.intervals.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(right));
        } else {
            tier.points.insert(tier.points.begin() + static_cast<std::ptrdiff_t>(i), Point{step.dTime, {}});
        }
        break;
    }
    case EKind::Join: {
        Tier& tier = m_grid.tiers[step.nTier];
        if (tier.eKind == ETierKind::Interval) {
            Interval& left = tier.intervals[i];
            Interval& right = tier.intervals[i + 1];
            // Neither label is lost: both, in time order, when both have one.
            step.dTime = left.dEnd;
            step.nLeftLength = left.strLabel.size();
            step.bBoth = !left.strLabel.empty() && !right.strLabel.empty();
            if (left.strLabel.empty())
                left.strLabel = std::move(right.strLabel);
            else if (step.bBoth)
                left.strLabel.append(" ").append(right.strLabel);
            left.dEnd = right.dEnd;
            tier.intervals.erase(tier.intervals.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            step.dTime = tier.points[i].dTime;
            step.strHeld = std::move(tier.points[i].strLabel);
            tier.points.erase(tier.points.begin() + static_cast<std::ptrdiff_t>(i));
        }
        break;
    }
    case EKind::Move: {
        Tier& tier = m_grid.tiers[step.nTier];
        if (tier.eKind == ETierKind::Interval) {
            const double dWas = tier.intervals[i].dEnd;
            tier.intervals[i].dEnd = tier.intervals[i + 1].dStart = step.dTime;
            step.dTime = dWas;
        } else {
            std::swap(tier.points[i].dTime, step.dTime);
        }
        break;
    }
    case EKind::Label: {
        std::string& strLabel = LabelOf(m_grid.tiers[step.nTier], i);
        const std::size_t nMiddle = strLabel.size() - step.nPrefix - step.nSuffix;
        std::string strWas = strLabel.substr(step.nPrefix, nMiddle);
        strLabel.replace(step.nPrefix, nMiddle, step.strHeld);
        step.strHeld = std::move(strWas);
        break;
    }
    case EKind::Rename:
        std::swap(m_grid.tiers[step.nTier].strName, step.strHeld);
        break;
    case EKind::Tier:
        if (step.pTier) {
            m_grid.tiers.insert(m_grid.tiers.begin() + static_cast<std::ptrdiff_t>(step.nTier), std::move(*step.pTier));
            step.pTier.reset();
        } else {
            step.pTier = std::make_unique<Tier>(std::move(m_grid.tiers[step.nTier]));
            m_grid.tiers.erase(m_grid.tiers.begin() + static_cast<std::ptrdiff_t>(step.nTier));
        }
        break;
    case EKind::Grid:
        std::swap(m_grid, *step.pGrid);
        break;
    }
    m_nHistoryBytes += step.Bytes();
}

void CTextGridEdit::Undo(Step& step)
{
    using EKind = Step::EKind;
    const std::size_t i = step.nItem;
    if (step.eKind == EKind::Split) {
        m_nHistoryBytes -= std::min(m_nHistoryBytes, step.Bytes());
        // The steps after this one are undone: the grid is as the split left it.
        Tier& tier = m_grid.tiers[step.nTier];
        if (tier.eKind == ETierKind::Interval) {
            tier.intervals[i].dEnd = tier.intervals[i + 1].dEnd;
            tier.intervals.erase(tier.intervals.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            tier.points.erase(tier.points.begin() + static_cast<std::ptrdiff_t>(i));
        }
        m_nHistoryBytes += step.Bytes();
    } else if (step.eKind == EKind::Join) {
        m_nHistoryBytes -= std::min(m_nHistoryBytes, step.Bytes());
        Tier& tier = m_grid.tiers[step.nTier];
        if (tier.eKind == ETierKind::Interval) {
            Interval& left = tier.intervals[i];
            std::string strRight;
            if (step.bBoth) {
                strRight = left.strLabel.substr(step.nLeftLength + 1);
                left.strLabel.resize(step.nLeftLength);
            } else if (step.nLeftLength == 0) {
                strRight = std::move(left.strLabel);
                left.strLabel.clear();
            }
            Interval right{step.dTime, left.dEnd, std::move(strRight)};
            left.dEnd = step.dTime;
            tier.intervals.insert(tier.intervals.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(right));
        } else {
            tier.points.insert(tier.points.begin() + static_cast<std::ptrdiff_t>(i), Point{step.dTime, std::move(step.strHeld)});
            step.strHeld.clear();
        }
        m_nHistoryBytes += step.Bytes();
    } else {
        Do(step); // the swaps, and a tier in or out: undoing is doing again
    }
}

void CTextGridEdit::SelectAfter(const Step& step, bool bDone)
{
    if (step.eKind == Step::EKind::Grid) {
        Select(kNone);
        return;
    }
    const bool bTierThere = step.eKind != Step::EKind::Tier || step.bAdded == bDone;
    const int nTier = static_cast<int>(step.nTier);
    Select(bTierThere ? nTier : std::min(nTier, static_cast<int>(TierCount()) - 1),
           bDone ? step.nItemAfter : step.nItemBefore);
}

void CTextGridEdit::Commit(std::unique_ptr<Step> pStep)
{
    // An edit after undoing drops what could have been redone; the saved
    // state goes with it when it lay there.
    while (m_history.size() > m_nDone) {
        m_nHistoryBytes -= std::min(m_nHistoryBytes, m_history.back()->Bytes());
        m_history.pop_back();
    }
    if (m_nSavedAt > m_nDone)
        m_nSavedAt = kSavedStateGone;
    m_nHistoryBytes += pStep->Bytes(); // Do counts what the step holds after, in place of this
    Do(*pStep);
    SelectAfter(*pStep, true);
    m_history.push_back(std::move(pStep));
    ++m_nDone;
    // The newest step stays whatever it holds: the last edit can always be undone.
    while (m_history.size() > kMaxHistorySteps || (m_nHistoryBytes > kMaxHistoryBytes && m_history.size() > 1))
        DropOldest();
}

void CTextGridEdit::DropOldest()
{
    m_nHistoryBytes -= std::min(m_nHistoryBytes, m_history.front()->Bytes());
    m_history.pop_front();
    --m_nDone;
    // The state before the dropped step can no longer be reached.
    if (m_nSavedAt != kSavedStateGone)
        m_nSavedAt = m_nSavedAt == 0 ? kSavedStateGone : m_nSavedAt - 1;
}

bool CTextGridEdit::Undo()
{
    if (!CanUndo())
        return false;
    Step& step = *m_history[--m_nDone];
    Undo(step);
    SelectAfter(step, false);
    return true;
}

bool CTextGridEdit::Redo()
{
    if (!CanRedo())
        return false;
    Step& step = *m_history[m_nDone++];
    Do(step);
    SelectAfter(step, true);
    return true;
}

std::string CTextGridEdit::AddBoundary(std::size_t nTier, double t)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    if (!std::isfinite(t) || t < tier.dStart || t > tier.dEnd)
        return "the tier runs from " + FormatNumber(tier.dStart) + " to " + FormatNumber(tier.dEnd) + " s";
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Split;
    pStep->nTier = nTier;
    pStep->dTime = t;
    pStep->nItemBefore = m_nTier == static_cast<int>(nTier) ? m_nItem : kNone;
    if (tier.eKind == ETierKind::Interval) {
        const auto it = std::find_if(tier.intervals.begin(), tier.intervals.end(),
                                     [t](const Interval& i) { return t > i.dStart && t < i.dEnd; });
        if (it == tier.intervals.end())
            return "there is a boundary at " + FormatNumber(t) + " s already";
        pStep->nItem = static_cast<std::size_t>(it - tier.intervals.begin());
        pStep->nItemAfter = static_cast<int>(pStep->nItem) + 1; // the right part
    } else {
        const auto it = std::lower_bound(tier.points.begin(), tier.points.end(), t,
                                         [](const Point& p, double d) { return p.dTime < d; });
        if (it != tier.points.end() && it->dTime == t)
            return "there is a point at " + FormatNumber(t) + " s already";
        pStep->nItem = static_cast<std::size_t>(it - tier.points.begin());
        pStep->nItemAfter = static_cast<int>(pStep->nItem);
    }
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::MoveBoundary(std::size_t nTier, std::size_t nIndex, double t)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    double dLow = tier.dStart, dHigh = tier.dEnd;
    if (tier.eKind == ETierKind::Interval) {
        if (nIndex + 1 >= tier.intervals.size())
            return "there is no boundary " + std::to_string(nIndex + 1);
        dLow = tier.intervals[nIndex].dStart;
        dHigh = tier.intervals[nIndex + 1].dEnd;
    } else {
        if (nIndex >= tier.points.size())
            return "there is no point " + std::to_string(nIndex + 1);
        if (nIndex > 0)
            dLow = tier.points[nIndex - 1].dTime;
        if (nIndex + 1 < tier.points.size())
            dHigh = tier.points[nIndex + 1].dTime;
    }
    // A point may sit on the tier's ends; nothing may reach a neighbour, which
    // would leave an interval of no length or two points at one time.
    const bool bEndsAllowed = tier.eKind == ETierKind::Point;
    const bool bLowOk = t > dLow || (bEndsAllowed && t == dLow && (nIndex == 0));
    const bool bHighOk = t < dHigh || (bEndsAllowed && t == dHigh && nIndex + 1 == tier.points.size());
    if (!std::isfinite(t) || !bLowOk || !bHighOk)
        return "it can move only between " + FormatNumber(dLow) + " and " + FormatNumber(dHigh) + " s";
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Move;
    pStep->nTier = nTier;
    pStep->nItem = nIndex;
    pStep->dTime = t;
    pStep->nItemBefore = m_nTier == static_cast<int>(nTier) ? m_nItem : kNone;
    pStep->nItemAfter = tier.eKind == ETierKind::Interval ? pStep->nItemBefore : static_cast<int>(nIndex);
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::RemoveBoundary(std::size_t nTier, std::size_t nIndex)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    if (tier.eKind == ETierKind::Interval && nIndex + 1 >= tier.intervals.size())
        return "there is no boundary " + std::to_string(nIndex + 1);
    if (tier.eKind == ETierKind::Point && nIndex >= tier.points.size())
        return "there is no point " + std::to_string(nIndex + 1);
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Join;
    pStep->nTier = nTier;
    pStep->nItem = nIndex;
    pStep->nItemBefore = m_nTier == static_cast<int>(nTier) ? m_nItem : kNone;
    pStep->nItemAfter = tier.eKind == ETierKind::Interval ? static_cast<int>(nIndex) : kNone;
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::SetLabel(std::size_t nTier, std::size_t nItem, const std::string& strLabel)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    Tier& tier = m_grid.tiers[nTier];
    if (nItem >= static_cast<std::size_t>(ItemCount(tier)))
        return "there is no " + std::string(tier.eKind == ETierKind::Interval ? "interval " : "point ")
               + std::to_string(nItem + 1);
    if (!IsValidUtf8(strLabel))
        return "a label must be UTF-8 text";
    const std::string& strOld = LabelOf(tier, nItem);
    if (strOld == strLabel)
        return {}; // nothing changed: no step to undo
    // Only the middle that differs is kept: a letter typed into a long label
    // costs the history a letter.
    const std::size_t nShorter = std::min(strOld.size(), strLabel.size());
    std::size_t nPrefix = 0;
    while (nPrefix < nShorter && strOld[nPrefix] == strLabel[nPrefix])
        ++nPrefix;
    std::size_t nSuffix = 0;
    while (nSuffix < nShorter - nPrefix && strOld[strOld.size() - 1 - nSuffix] == strLabel[strLabel.size() - 1 - nSuffix])
        ++nSuffix;
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Label;
    pStep->nTier = nTier;
    pStep->nItem = nItem;
    pStep->nPrefix = nPrefix;
    pStep->nSuffix = nSuffix;
    pStep->strHeld = strLabel.substr(nPrefix, strLabel.size() - nPrefix - nSuffix);
    pStep->nItemBefore = pStep->nItemAfter = static_cast<int>(nItem);
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::AddTier(std::size_t nAt, const std::string& strName, ETierKind eKind)
{
    if (nAt > m_grid.tiers.size())
        nAt = m_grid.tiers.size();
    if (!IsValidUtf8(strName))
        return "a tier's name must be UTF-8 text";
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Tier;
    pStep->bAdded = true;
    pStep->nTier = nAt;
    pStep->pTier = std::make_unique<Tier>(Tier{strName, eKind, m_grid.dStart, m_grid.dEnd, {}, {}});
    if (eKind == ETierKind::Interval)
        pStep->pTier->intervals.push_back(Interval{m_grid.dStart, m_grid.dEnd, {}});
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::RenameTier(std::size_t nTier, const std::string& strName)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    if (!IsValidUtf8(strName))
        return "a tier's name must be UTF-8 text";
    if (m_grid.tiers[nTier].strName == strName)
        return {};
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Rename;
    pStep->nTier = nTier;
    pStep->strHeld = strName;
    pStep->nItemBefore = pStep->nItemAfter = m_nItem;
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::RemoveTier(std::size_t nTier)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Tier;
    pStep->nTier = nTier;
    Commit(std::move(pStep));
    return {};
}

std::string CTextGridEdit::ReplaceGrid(TextGrid grid)
{
    if (std::string strWhy = GridProblem(grid); !strWhy.empty())
        return strWhy;
    auto pStep = std::make_unique<Step>();
    pStep->eKind = Step::EKind::Grid;
    pStep->pGrid = std::make_unique<TextGrid>(std::move(grid));
    Commit(std::move(pStep));
    return {};
}

std::vector<double> CTextGridEdit::Boundaries(std::size_t nTier) const
{
    std::vector<double> times;
    if (nTier >= m_grid.tiers.size())
        return times;
    const Tier& tier = m_grid.tiers[nTier];
    if (tier.eKind == ETierKind::Interval) {
        for (std::size_t i = 0; i + 1 < tier.intervals.size(); ++i)
            times.push_back(tier.intervals[i].dEnd);
    } else {
        for (const Point& p : tier.points)
            times.push_back(p.dTime);
    }
    return times;
}

double CTextGridEdit::Snap(std::size_t nTier, double t, double dTolerance) const
{
    if (nTier == 0 || nTier > m_grid.tiers.size())
        return t;
    std::vector<double> times = Boundaries(nTier - 1);
    times.push_back(m_grid.tiers[nTier - 1].dStart);
    times.push_back(m_grid.tiers[nTier - 1].dEnd);
    double dBest = t, dBestDistance = dTolerance;
    for (double d : times) {
        if (std::abs(d - t) <= dBestDistance) {
            dBest = d;
            dBestDistance = std::abs(d - t);
        }
    }
    return dBest;
}

int CTextGridEdit::ItemAt(std::size_t nTier, double t, double dTolerance) const
{
    if (nTier >= m_grid.tiers.size())
        return kNone;
    const Tier& tier = m_grid.tiers[nTier];
    if (tier.eKind == ETierKind::Interval) {
        const auto it = std::upper_bound(tier.intervals.begin(), tier.intervals.end(), t,
                                         [](double d, const Interval& i) { return d < i.dEnd; });
        if (it == tier.intervals.end() || t < it->dStart)
            return kNone;
        return static_cast<int>(it - tier.intervals.begin());
    }
    int nBest = kNone;
    double dBestDistance = dTolerance;
    for (std::size_t i = 0; i < tier.points.size(); ++i) {
        if (std::abs(tier.points[i].dTime - t) <= dBestDistance) {
            nBest = static_cast<int>(i);
            dBestDistance = std::abs(tier.points[i].dTime - t);
        }
    }
    return nBest;
}

} // namespace sonavel::textgrid
