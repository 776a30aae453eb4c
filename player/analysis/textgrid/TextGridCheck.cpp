#include "player/analysis/textgrid/TextGridCheck.h"

#include <cmath>

#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridText.h"

namespace sonavel::textgrid {

namespace {

std::string N(double d) { return FormatNumber(d); }

std::string Nth(const char* szWhat, std::size_t nIndex) { return std::string(szWhat) + " " + std::to_string(nIndex + 1); }

} // namespace

std::string TierTitle(std::size_t nIndex, const Tier& tier)
{
    return "tier " + std::to_string(nIndex + 1) + " " + ShownText(tier.strName);
}

std::string GridRangeProblem(const TextGrid& grid)
{
    if (!std::isfinite(grid.dStart) || !std::isfinite(grid.dEnd))
        return "the grid's start and end must be finite numbers";
    if (grid.dEnd < grid.dStart)
        return "the grid ends at " + N(grid.dEnd) + ", before it starts (" + N(grid.dStart) + ")";
    return {};
}

std::string TierRangeProblem(const TextGrid& grid, const Tier& tier)
{
    if (!std::isfinite(tier.dStart) || !std::isfinite(tier.dEnd))
        return "the tier's start and end must be finite numbers";
    if (tier.dEnd < tier.dStart)
        return "the tier ends at " + N(tier.dEnd) + ", before it starts (" + N(tier.dStart) + ")";
    if (tier.dStart < grid.dStart)
        return "the tier starts at " + N(tier.dStart) + ", before the grid (" + N(grid.dStart) + ")";
    if (tier.dEnd > grid.dEnd)
        return "the tier ends at " + N(tier.dEnd) + ", after the grid (" + N(grid.dEnd) + ")";
    return {};
}

std::string IntervalProblem(const Tier& tier, std::size_t nIndex)
{
    const Interval& cur = tier.intervals[nIndex];
    const std::string strName = Nth("interval", nIndex);
    if (!std::isfinite(cur.dStart) || !std::isfinite(cur.dEnd))
        return strName + ": its start and end must be finite numbers";
    if (nIndex == 0 && cur.dStart != tier.dStart)
        return strName + " starts at " + N(cur.dStart) + ", not at the start of its tier (" + N(tier.dStart) + ")";
    if (nIndex > 0) {
        const double dPrevEnd = tier.intervals[nIndex - 1].dEnd;
        if (cur.dStart < dPrevEnd)
            return strName + " starts at " + N(cur.dStart) + ", before the end of " + Nth("interval", nIndex - 1) +
                   " (" + N(dPrevEnd) + ")";
        if (cur.dStart > dPrevEnd)
            return strName + " starts at " + N(cur.dStart) + ", after the end of " + Nth("interval", nIndex - 1) +
                   " (" + N(dPrevEnd) + "): a gap";
    }
    if (cur.dEnd < cur.dStart)
        return strName + " ends at " + N(cur.dEnd) + ", before it starts (" + N(cur.dStart) + ")";
    if (cur.dEnd > tier.dEnd)
        return strName + " ends at " + N(cur.dEnd) + ", after the end of its tier (" + N(tier.dEnd) + ")";
    return {};
}

std::string TierEndProblem(const Tier& tier)
{
    if (tier.eKind != ETierKind::Interval)
        return {};
    if (tier.intervals.empty())
        return "the interval tier has no intervals";
    const double dLast = tier.intervals.back().dEnd;
    if (dLast != tier.dEnd)
        return "the last interval (" + std::to_string(tier.intervals.size()) + ") ends at " + N(dLast) +
               ", not at the end of its tier (" + N(tier.dEnd) + ")";
    return {};
}

std::string PointProblem(const Tier& tier, std::size_t nIndex)
{
    const double dTime = tier.points[nIndex].dTime;
    const std::string strName = Nth("point", nIndex);
    if (!std::isfinite(dTime))
        return strName + ": its time must be a finite number";
    if (dTime < tier.dStart)
        return strName + " at " + N(dTime) + " lies before the start of its tier (" + N(tier.dStart) + ")";
    if (dTime > tier.dEnd)
        return strName + " at " + N(dTime) + " lies after the end of its tier (" + N(tier.dEnd) + ")";
    if (nIndex > 0 && dTime <= tier.points[nIndex - 1].dTime)
        return strName + " at " + N(dTime) + " is not later than " + Nth("point", nIndex - 1) + " (" +
               N(tier.points[nIndex - 1].dTime) + ")";
    return {};
}

std::string GridProblem(const TextGrid& grid)
{
    std::string strWhy = GridRangeProblem(grid);
    if (!strWhy.empty())
        return strWhy;
    for (std::size_t t = 0; t < grid.tiers.size(); ++t) {
        const Tier& tier = grid.tiers[t];
        const auto fault = [&](const std::string& what) { return TierTitle(t, tier) + ": " + what; };
        if (!IsValidUtf8(tier.strName))
            return "the name of tier " + std::to_string(t + 1) + " is not UTF-8";
        if (!(strWhy = TierRangeProblem(grid, tier)).empty())
            return fault(strWhy);
        if (tier.eKind == ETierKind::Interval ? !tier.points.empty() : !tier.intervals.empty())
            return fault("an interval tier holds points, or a point tier intervals");
        for (std::size_t i = 0; i < tier.intervals.size(); ++i) {
            if (!(strWhy = IntervalProblem(tier, i)).empty())
                return fault(strWhy);
            if (!IsValidUtf8(tier.intervals[i].strLabel))
                return fault(Nth("interval", i) + ": its label is not UTF-8");
        }
        if (!(strWhy = TierEndProblem(tier)).empty())
            return fault(strWhy);
        for (std::size_t i = 0; i < tier.points.size(); ++i) {
            if (!(strWhy = PointProblem(tier, i)).empty())
                return fault(strWhy);
            if (!IsValidUtf8(tier.points[i].strLabel))
                return fault(Nth("point", i) + ": its label is not UTF-8");
        }
    }
    return {};
}

} // namespace sonavel::textgrid
