#include "player/analysis/textgrid/CTextGridEdit.h"
#include "player/analysis/textgrid/CTextGridEditStep.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridText.h"

namespace sonavel::textgrid {

namespace {

constexpr std::size_t kSavedStateGone = std::numeric_limits<std::size_t>::max();

} // namespace

using namespace editparts;


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
