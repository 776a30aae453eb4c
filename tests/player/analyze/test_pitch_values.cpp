// The AMDF's output (pitch --tracker amdf) for the site's recordings and a set
// of synthetic voices, compared byte for byte with the tracks kept in tracks/:
// any change to the tracker that moves a single value shows here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

using namespace testsupport;

namespace {

const std::string kTracks = TRACKS_DIR;

void ExpectSavedTrack(const std::string& strSound, const std::string& strName)
{
    CScratchDir dir;
    ASSERT_EQ(Shell(std::string(SONAVEL_ANALYZE) + " pitch --tracker amdf " + Quote(strSound) + " > " + Quote(dir / "out.csv")), 0);
    const std::string want = Slurp(kTracks + "/" + strName + ".csv");
    ASSERT_FALSE(want.empty()) << strName;
    EXPECT_TRUE(Slurp(dir / "out.csv") == want) << strName << ": the track differs from the saved one";
}

TEST(SavedTracks, SiteRecordings)
{
    int nFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SITE_SOUNDS_DIR)) {
        ExpectSavedTrack(entry.path().string(), entry.path().filename().string());
        ++nFiles;
    }
    EXPECT_GE(nFiles, 13);
}

TEST(SavedTracks, SyntheticVoices)
{
    std::ifstream list(kTracks + "/voices.txt");
    std::string line;
    int nVoices = 0;
    CScratchDir dir;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        std::string name, contour;
        VoiceSynthParams p;
        in >> name >> p.nSampleRate >> p.dSeconds >> contour >> p.dJitter >> p.dPeak >> p.nSeed;
        p.contour.clear();
        std::istringstream knots(contour);
        double t, f;
        char colon, comma;
        while (knots >> t >> colon >> f) {
            p.contour.emplace_back(t, f);
            knots >> comma;
        }
        ASSERT_TRUE(WriteWavFile(dir / (name + ".wav"), SynthesizeVoice(p), p.nSampleRate));
        ExpectSavedTrack(dir / (name + ".wav"), name + ".wav");
        ++nVoices;
    }
    EXPECT_EQ(nVoices, 8);
}

} // namespace
