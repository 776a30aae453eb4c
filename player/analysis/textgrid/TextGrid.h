#pragma once
// A labelled recording's tiers as one value: a tier of words, a tier of phones,
// a tier of tone events. What the readers give and the writer takes; labels and
// names are UTF-8 in memory whatever the file's encoding was.
//
// Values the caller owns; any thread, each on its own grid.
#include <string>
#include <vector>

namespace sonavel::textgrid {

enum class ETierKind {
    Interval, // intervals that tile the tier from its start to its end
    Point,    // points in time, each with a label
};

struct Interval {
    double dStart = 0;
    double dEnd = 0;
    std::string strLabel;
};

struct Point {
    double dTime = 0;
    std::string strLabel;
};

struct Tier {
    std::string strName;
    ETierKind eKind = ETierKind::Interval;
    double dStart = 0;
    double dEnd = 0;
    std::vector<Interval> intervals; // an interval tier's; empty in a point tier
    std::vector<Point> points;       // a point tier's; empty in an interval tier
};

struct TextGrid {
    double dStart = 0;
    double dEnd = 0;
    std::vector<Tier> tiers;
};

} // namespace sonavel::textgrid
