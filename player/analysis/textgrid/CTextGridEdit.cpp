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

} // namespace

void CTextGridEdit::Reset(TextGrid grid)
{
    m_grid = std::move(grid);
    m_nTier = m_nItem = kNone;
    m_history.clear();
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

void CTextGridEdit::Put(std::size_t nTier, const std::optional<Tier>& tier, bool bWasThere)
{
    if (tier && bWasThere)
        m_grid.tiers[nTier] = *tier;
    else if (tier)
        m_grid.tiers.insert(m_grid.tiers.begin() + static_cast<std::ptrdiff_t>(nTier), *tier);
    else
        m_grid.tiers.erase(m_grid.tiers.begin() + static_cast<std::ptrdiff_t>(nTier));
}

void CTextGridEdit::Apply(Step step)
{
    Put(step.nTier, step.after, step.before.has_value());
    // An edit after undoing drops what could have been redone; the saved
    // state goes with it when it lay there.
    m_history.resize(m_nDone);
    if (m_nSavedAt > m_nDone)
        m_nSavedAt = kSavedStateGone;
    m_history.push_back(std::move(step));
    ++m_nDone;
    const Step& done = m_history.back();
    Select(done.after ? static_cast<int>(done.nTier) : std::min<int>(done.nTier, static_cast<int>(TierCount()) - 1),
           done.nItemAfter);
}

bool CTextGridEdit::Undo()
{
    if (!CanUndo())
        return false;
    const Step& step = m_history[--m_nDone];
    Put(step.nTier, step.before, step.after.has_value());
    Select(step.before ? static_cast<int>(step.nTier) : std::min<int>(step.nTier, static_cast<int>(TierCount()) - 1),
           step.nItemBefore);
    return true;
}

bool CTextGridEdit::Redo()
{
    if (!CanRedo())
        return false;
    const Step& step = m_history[m_nDone++];
    Put(step.nTier, step.after, step.before.has_value());
    Select(step.after ? static_cast<int>(step.nTier) : std::min<int>(step.nTier, static_cast<int>(TierCount()) - 1),
           step.nItemAfter);
    return true;
}

std::string CTextGridEdit::AddBoundary(std::size_t nTier, double t)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    if (!std::isfinite(t) || t < tier.dStart || t > tier.dEnd)
        return "the tier runs from " + FormatNumber(tier.dStart) + " to " + FormatNumber(tier.dEnd) + " s";
    Step step{nTier, tier, tier, kNone, m_nTier == static_cast<int>(nTier) ? m_nItem : kNone};
    Tier& after = *step.after;
    if (tier.eKind == ETierKind::Interval) {
        const auto it = std::find_if(after.intervals.begin(), after.intervals.end(),
                                     [t](const Interval& i) { return t > i.dStart && t < i.dEnd; });
        if (it == after.intervals.end())
            return "there is a boundary at " + FormatNumber(t) + " s already";
        Interval right{t, it->dEnd, {}};
        it->dEnd = t;
        const auto itRight = after.intervals.insert(it + 1, right);
        step.nItemAfter = static_cast<int>(itRight - after.intervals.begin());
    } else {
        const auto it = std::lower_bound(after.points.begin(), after.points.end(), t,
                                         [](const Point& p, double d) { return p.dTime < d; });
        if (it != after.points.end() && it->dTime == t)
            return "there is a point at " + FormatNumber(t) + " s already";
        const auto itNew = after.points.insert(it, Point{t, {}});
        step.nItemAfter = static_cast<int>(itNew - after.points.begin());
    }
    Apply(std::move(step));
    return {};
}

std::string CTextGridEdit::MoveBoundary(std::size_t nTier, std::size_t nIndex, double t)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    Step step{nTier, tier, tier, kNone, m_nTier == static_cast<int>(nTier) ? m_nItem : kNone};
    Tier& after = *step.after;
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
    if (tier.eKind == ETierKind::Interval) {
        after.intervals[nIndex].dEnd = t;
        after.intervals[nIndex + 1].dStart = t;
        step.nItemAfter = step.nItemBefore;
    } else {
        after.points[nIndex].dTime = t;
        step.nItemAfter = static_cast<int>(nIndex);
    }
    Apply(std::move(step));
    return {};
}

std::string CTextGridEdit::RemoveBoundary(std::size_t nTier, std::size_t nIndex)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    Step step{nTier, tier, tier, kNone, m_nTier == static_cast<int>(nTier) ? m_nItem : kNone};
    Tier& after = *step.after;
    if (tier.eKind == ETierKind::Interval) {
        if (nIndex + 1 >= tier.intervals.size())
            return "there is no boundary " + std::to_string(nIndex + 1);
        Interval& left = after.intervals[nIndex];
        const Interval& right = after.intervals[nIndex + 1];
        // Neither label is lost: both, in time order, when both have one.
        if (left.strLabel.empty())
            left.strLabel = right.strLabel;
        else if (!right.strLabel.empty())
            left.strLabel += " " + right.strLabel;
        left.dEnd = right.dEnd;
        after.intervals.erase(after.intervals.begin() + static_cast<std::ptrdiff_t>(nIndex) + 1);
    } else {
        if (nIndex >= tier.points.size())
            return "there is no point " + std::to_string(nIndex + 1);
        after.points.erase(after.points.begin() + static_cast<std::ptrdiff_t>(nIndex));
    }
    step.nItemAfter = tier.eKind == ETierKind::Interval ? static_cast<int>(nIndex) : kNone;
    Apply(std::move(step));
    return {};
}

std::string CTextGridEdit::SetLabel(std::size_t nTier, std::size_t nItem, const std::string& strLabel)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    const Tier& tier = m_grid.tiers[nTier];
    if (nItem >= static_cast<std::size_t>(ItemCount(tier)))
        return "there is no " + std::string(tier.eKind == ETierKind::Interval ? "interval " : "point ")
               + std::to_string(nItem + 1);
    if (!IsValidUtf8(strLabel))
        return "a label must be UTF-8 text";
    std::string& strOld = tier.eKind == ETierKind::Interval ? m_grid.tiers[nTier].intervals[nItem].strLabel
                                                             : m_grid.tiers[nTier].points[nItem].strLabel;
    if (strOld == strLabel)
        return {}; // nothing changed: no step to undo
    Step step{nTier, tier, tier, static_cast<int>(nItem), static_cast<int>(nItem)};
    if (tier.eKind == ETierKind::Interval)
        step.after->intervals[nItem].strLabel = strLabel;
    else
        step.after->points[nItem].strLabel = strLabel;
    Apply(std::move(step));
    return {};
}

std::string CTextGridEdit::AddTier(std::size_t nAt, const std::string& strName, ETierKind eKind)
{
    if (nAt > m_grid.tiers.size())
        nAt = m_grid.tiers.size();
    if (!IsValidUtf8(strName))
        return "a tier's name must be UTF-8 text";
    Tier tier{strName, eKind, m_grid.dStart, m_grid.dEnd, {}, {}};
    if (eKind == ETierKind::Interval)
        tier.intervals.push_back(Interval{m_grid.dStart, m_grid.dEnd, {}});
    Apply(Step{nAt, std::nullopt, std::move(tier), kNone, kNone});
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
    Step step{nTier, m_grid.tiers[nTier], m_grid.tiers[nTier], m_nItem, m_nItem};
    step.after->strName = strName;
    Apply(std::move(step));
    return {};
}

std::string CTextGridEdit::RemoveTier(std::size_t nTier)
{
    if (std::string strWhy = Check(nTier); !strWhy.empty())
        return strWhy;
    Apply(Step{nTier, m_grid.tiers[nTier], std::nullopt, kNone, kNone});
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
