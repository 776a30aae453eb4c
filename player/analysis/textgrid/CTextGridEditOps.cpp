// The editor's edits: boundaries, labels and tiers, each made as one step of
// the history (CTextGridEdit.cpp keeps the history and the queries).
#include <algorithm>
#include <cmath>

#include "player/analysis/textgrid/CTextGridEdit.h"
#include "player/analysis/textgrid/CTextGridEditStep.h"
#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridText.h"

namespace sonavel::textgrid {

using namespace editparts;

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

} // namespace sonavel::textgrid
