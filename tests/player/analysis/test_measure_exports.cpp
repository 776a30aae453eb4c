// Where the measuring view's Save dialogs open: beside the sound, but at home
// for the browser's temporary copy and for a sound without a file.
#include <gtest/gtest.h>

#include "player/analysis/measureview/ExportFolder.h"

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
