#pragma once
// What the TextGrid tests share: a file around a body of pieces, and the
// comparison of two grids field by field.
#include <gtest/gtest.h>

#include <string>

#include "player/analysis/textgrid/TextGrid.h"

namespace testsupport {

// A short-form file: the header lines, then body.
inline std::string ShortTextGrid(const std::string& body)
{
    return "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n" + body;
}

// Names, kinds, counts and labels exactly; times within dTolerance.
inline void ExpectSameGrid(const sonavel::textgrid::TextGrid& got, const sonavel::textgrid::TextGrid& want,
                           double dTolerance = 0)
{
    EXPECT_NEAR(got.dStart, want.dStart, dTolerance);
    EXPECT_NEAR(got.dEnd, want.dEnd, dTolerance);
    ASSERT_EQ(got.tiers.size(), want.tiers.size());
    for (std::size_t t = 0; t < want.tiers.size(); ++t) {
        const auto& g = got.tiers[t];
        const auto& w = want.tiers[t];
        SCOPED_TRACE("tier " + std::to_string(t + 1));
        EXPECT_EQ(g.strName, w.strName);
        EXPECT_EQ(g.eKind, w.eKind);
        EXPECT_NEAR(g.dStart, w.dStart, dTolerance);
        EXPECT_NEAR(g.dEnd, w.dEnd, dTolerance);
        ASSERT_EQ(g.intervals.size(), w.intervals.size());
        ASSERT_EQ(g.points.size(), w.points.size());
        for (std::size_t i = 0; i < w.intervals.size(); ++i) {
            EXPECT_NEAR(g.intervals[i].dStart, w.intervals[i].dStart, dTolerance) << "interval " << i + 1;
            EXPECT_NEAR(g.intervals[i].dEnd, w.intervals[i].dEnd, dTolerance) << "interval " << i + 1;
            EXPECT_EQ(g.intervals[i].strLabel, w.intervals[i].strLabel) << "interval " << i + 1;
        }
        for (std::size_t i = 0; i < w.points.size(); ++i) {
            EXPECT_NEAR(g.points[i].dTime, w.points[i].dTime, dTolerance) << "point " << i + 1;
            EXPECT_EQ(g.points[i].strLabel, w.points[i].strLabel) << "point " << i + 1;
        }
    }
}

} // namespace testsupport
