// Where the measuring view's Save dialogs open: beside the sound, but at home
// for the browser's temporary copy and for a sound without a file.
#include <gtest/gtest.h>

#include "player/analysis/measureview/ExportFolder.h"
#include "player/analysis/measureview/FigureSize.h"

using sonavel::measure::ExportFolder;

TEST(ExportFolder, BesideTheSoundButHomeForATemporaryCopyOrNoFile)
{
    const std::vector<std::string> temporary{"/tmp", "/home/ann/.cache/"};
    const std::string home = "/home/ann";
    const struct {
        const char* szSound;
        std::string strFolder;
    } cases[] = {
        {"/home/ann/corpus/take7.wav", "/home/ann/corpus"},
        {"/home/ann/corpus/../take7.wav", "/home/ann"},
        {"/home/ann/.cache/velmora/tempFile", home},  // the browser's copy
        {"/home/ann/.cache/../.cache/velmora/tempFile", home},
        {"/tmp/x/take.wav", home},
        {"/home/ann/.cachex/take.wav", "/home/ann/.cachex"}, // only a folder of the same name is inside
        {"/tmpfiles/take.wav", "/tmpfiles"},
        {"take.wav", home}, // no folder
        {"", home},         // no file
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportFolder(c.szSound, temporary, home), c.strFolder) << c.szSound;
}

// A figure's size: pixels as they are, or a size on paper at a resolution,
// laid out at 96 dpi so its fonts have their size on paper.
TEST(FigureSize, OnPaperItHasThePixelsOfItsResolutionAndTheImpossibleIsRefused)
{
    using namespace sonavel::measure;
    FigureSize size;
    ASSERT_TRUE(ParseFigureSize("16x9cm", size));
    EXPECT_EQ(size.eUnit, ESizeUnit::Centimetres);
    EXPECT_EQ(size.Dpi(), 300); // paper without a resolution
    EXPECT_EQ(size.PixelWidth(), 1890);
    EXPECT_EQ(size.PixelHeight(), 1063);
    EXPECT_NEAR(size.LayoutWidth(), 16 / 2.54 * 96, 1e-9);
    EXPECT_NEAR(size.WidthMm(), 160, 1e-9);
    EXPECT_EQ(CheckFigureSize(size), "");
    for (const char* sz : {"160x90mm", "6.2992126x3.5433071in"}) {
        ASSERT_TRUE(ParseFigureSize(sz, size)) << sz;
        EXPECT_EQ(size.PixelWidth(), 1890) << sz;
        EXPECT_EQ(size.PixelHeight(), 1063) << sz;
    }
    ASSERT_TRUE(ParseFigureSize("1280x720", size));
    EXPECT_EQ(size.PixelWidth(), 1280);
    EXPECT_EQ(size.LayoutWidth(), 1280); // pixel for pixel, as on screen
    size.dDpi = 192;
    EXPECT_EQ(size.PixelWidth(), 1280);
    EXPECT_EQ(size.LayoutWidth(), 640); // the same pixels, half as large on paper
    for (const char* sz : {"16x9km", "16x", "x9cm", "-16x9cm", "1e3x500", "inf x9", "12.5x300", "1.2.3x4cm", "16 x 9cm"})
        EXPECT_FALSE(ParseFigureSize(sz, size)) << sz;
    double dDpi = 0;
    EXPECT_TRUE(ParseDpi("1200", dDpi));
    for (const char* sz : {"71", "1201", "300.5", "", "3e2"})
        EXPECT_FALSE(ParseDpi(sz, dDpi)) << sz;

    ASSERT_TRUE(ParseFigureSize("30x20cm", size));
    size.dDpi = 1200;
    EXPECT_EQ(CheckFigureSize(size), "30x20cm at 1200 dpi is 14173x9449 pixels; each side must be 200-8000");
    ASSERT_TRUE(ParseFigureSize("3x3cm", size));
    size.dDpi = 600;
    EXPECT_NE(CheckFigureSize(size).find("at least 4.0 cm"), std::string::npos) << CheckFigureSize(size);
    ASSERT_TRUE(ParseFigureSize("100x720", size));
    EXPECT_NE(CheckFigureSize(size).find("200-8000"), std::string::npos);
}
