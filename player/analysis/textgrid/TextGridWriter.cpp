#include "player/analysis/textgrid/TextGridWriter.h"

#include <cstring>
#include <new>

#include "common/OutputFile.h"
#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridNumbers.h"

namespace sonavel::textgrid {

namespace {

// A text in quotes, its quotes doubled; line breaks stay as they are.
void AppendQuoted(std::string& out, const std::string& text)
{
    out += '"';
    for (char c : text) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
}

// One "name = value " line; Praat ends each value with a space.
void Line(std::string& out, const char* szIndent, const char* szName, double dValue)
{
    out.append(szIndent).append(szName).append(" = ").append(FormatNumber(dValue)).append(" \n");
}

void Line(std::string& out, const char* szIndent, const char* szName, const std::string& text)
{
    out.append(szIndent).append(szName).append(" = ");
    AppendQuoted(out, text);
    out.append(" \n");
}

// A carriage return has no spelling in a TextGrid: Praat, and this reader as it
// must, take every CR and CR LF of a text file for a line break, so a label
// holding one would come back changed. Such a grid is refused, never written
// altered.
std::string CarriageReturnProblem(const TextGrid& grid)
{
    const auto holds = [](const std::string& s) { return s.find('\r') != std::string::npos; };
    const std::string strWhy = " holds a carriage return (CR), which a TextGrid cannot keep: it would read back "
                               "as a line break";
    for (std::size_t t = 0; t < grid.tiers.size(); ++t) {
        const Tier& tier = grid.tiers[t];
        if (holds(tier.strName))
            return "the name of tier " + std::to_string(t + 1) + strWhy;
        for (std::size_t i = 0; i < tier.intervals.size(); ++i)
            if (holds(tier.intervals[i].strLabel))
                return TierTitle(t, tier) + ": the label of interval " + std::to_string(i + 1) + strWhy;
        for (std::size_t i = 0; i < tier.points.size(); ++i)
            if (holds(tier.points[i].strLabel))
                return TierTitle(t, tier) + ": the label of point " + std::to_string(i + 1) + strWhy;
    }
    return {};
}

} // namespace

std::string FormatTextGrid(const TextGrid& grid)
{
    std::string out = "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n";
    Line(out, "", "xmin", grid.dStart);
    Line(out, "", "xmax", grid.dEnd);
    // "<absent>" is never written: Praat fails on it. Zero tiers are a size of 0.
    out += "tiers? <exists> \n";
    out += "size = " + std::to_string(grid.tiers.size()) + " \n";
    out += "item []: \n";
    for (std::size_t t = 0; t < grid.tiers.size(); ++t) {
        const Tier& tier = grid.tiers[t];
        const bool bIntervals = tier.eKind == ETierKind::Interval;
        out += "    item [" + std::to_string(t + 1) + "]:\n";
        Line(out, "        ", "class", std::string(bIntervals ? "IntervalTier" : "TextTier"));
        Line(out, "        ", "name", tier.strName);
        Line(out, "        ", "xmin", tier.dStart);
        Line(out, "        ", "xmax", tier.dEnd);
        const char* szItems = bIntervals ? "intervals" : "points";
        const std::size_t nItems = bIntervals ? tier.intervals.size() : tier.points.size();
        out += std::string("        ") + szItems + ": size = " + std::to_string(nItems) + " \n";
        for (std::size_t i = 0; i < nItems; ++i) {
            out += std::string("        ") + szItems + " [" + std::to_string(i + 1) + "]:\n";
            if (bIntervals) {
                Line(out, "            ", "xmin", tier.intervals[i].dStart);
                Line(out, "            ", "xmax", tier.intervals[i].dEnd);
                Line(out, "            ", "text", tier.intervals[i].strLabel);
            } else {
                Line(out, "            ", "number", tier.points[i].dTime);
                Line(out, "            ", "mark", tier.points[i].strLabel);
            }
        }
    }
    return out;
}

WriteResult WriteTextGrid(const TextGrid& grid, const std::string& strPath)
{
    WriteResult result;
    std::string strProblem = GridProblem(grid);
    if (strProblem.empty())
        strProblem = CarriageReturnProblem(grid);
    if (!strProblem.empty()) {
        result.strWhat = "not written: " + strProblem;
        return result;
    }
    try {
        const std::string text = FormatTextGrid(grid);
        if (!files::WriteWholeFile(strPath, text, result.nErrno)) {
            result.strWhat = std::string("cannot write it (") + std::strerror(result.nErrno) + ")";
            return result;
        }
    } catch (const std::bad_alloc&) {
        result.strWhat = "not enough memory to write it";
        return result;
    }
    result.bOk = true;
    return result;
}

} // namespace sonavel::textgrid
