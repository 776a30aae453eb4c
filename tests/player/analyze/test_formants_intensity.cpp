// sonavel-analyze formants and intensity run as a user runs them, on a
// synthetic vowel (formants 700, 1220, 2600 Hz) with a silent second half:
// the values are the rooms' own for the same samples, on pitch's time grid,
// batched beside pitch's outputs, and settings out of range name the option.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analysis/measureview/LayerTable.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "tests/support/CScratchDir.h"
#include "tools/voicesynth/CVoiceSynth.h"
#include "tools/voicesynth/WavFile.h"

using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {

const std::string kAnalyze = SONAVEL_ANALYZE;
const int kRate = 16000;

// The rows of a CSV after its header, each split at the commas.
std::vector<std::vector<double>> CsvRows(const std::string& csv, std::string* pHeader = nullptr)
{
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    if (pHeader)
        *pHeader = line;
    std::vector<std::vector<double>> rows;
    while (std::getline(in, line)) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            rows.back().push_back(std::stod(cell));
    }
    return rows;
}

class FormantsIntensity : public ::testing::Test {
protected:
    void SetUp() override
    {
        VoiceSynthParams params;
        params.nSampleRate = kRate;
        params.dSeconds = 0.6;
        m_samples = SynthesizeVoice(params);
        m_samples.resize(m_samples.size() * 2, 0); // a silent second half
        ASSERT_TRUE(WriteWavFile(m_dir / "take7.wav", m_samples, kRate));
    }
    int Run(const std::string& args, std::string& out, std::string& err)
    {
        const int nStatus = Shell(kAnalyze + " " + args + " > " + Quote(m_dir / "out") + " 2> " + Quote(m_dir / "err"));
        out = Slurp(m_dir / "out");
        err = Slurp(m_dir / "err");
        return nStatus;
    }
    std::string Take() const { return Quote(m_dir / "take7.wav"); }

    testsupport::CScratchDir m_dir;
    std::vector<int16_t> m_samples;
};

TEST_F(FormantsIntensity, FormantsAreTheRoomsOwnOnPitchsGrid)
{
    std::string out, err, header, pitch;
    ASSERT_EQ(Run("formants --count 3 --step 0.02 " + Take(), out, err), 0) << err;
    const auto rows = CsvRows(out, &header);
    EXPECT_EQ(header, "time_s,f1_hz,f2_hz,f3_hz,b1_hz,b2_hz,b3_hz");

    sonavel::formants::FormantSettings settings;
    settings.nFormants = 3;
    settings.dStepS = 0.02;
    sonavel::formants::FormantFrames frames;
    const CMemorySamples source(m_samples.data(), int(m_samples.size()));
    ASSERT_EQ(sonavel::formants::TrackFormants(settings, source, int(m_samples.size()), kRate, 1, frames),
              sonavel::analysis::EOutcome::Done);
    ASSERT_EQ(rows.size(), frames.time_s.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 7u);
        EXPECT_NEAR(rows[i][0], frames.time_s[i], 5e-7);
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(rows[i][size_t(1 + j)], frames.Hz(i, j), 0.05) << i;
            EXPECT_NEAR(rows[i][size_t(4 + j)], frames.Bandwidth(i, j), 0.05) << i;
        }
    }
    // The vowel's formants in the middle of its voiced half.
    EXPECT_NEAR(rows[15][1], 700, 70);
    EXPECT_NEAR(rows[15][2], 1220, 120);

    ASSERT_EQ(Run("pitch --step 0.02 " + Take(), pitch, err), 0) << err;
    const auto pitchRows = CsvRows(pitch);
    ASSERT_EQ(pitchRows.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(pitchRows[i][0], rows[i][0]);
}

// A CSV's lines by their first field (the time as written), each split at the commas.
std::map<std::string, std::vector<std::string>> LinesByTime(const std::string& csv)
{
    std::map<std::string, std::vector<std::string>> lines;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line + ",");
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
        lines[fields[0]] = fields;
    }
    return lines;
}

TEST_F(FormantsIntensity, TheViewsLayerTableWritesTheCommandsValues)
{
    using namespace sonavel;
    // The tracks as the measuring view makes them, from the samples it holds.
    const CMemorySamples source(m_samples.data(), int(m_samples.size()));
    const auto input = analysis::CSoundInput::Samples(source, int(m_samples.size()), kRate);
    pitch::PitchSettings nccf, amdf;
    amdf.tracker = pitch::ETracker::Amdf;
    pitch::PitchFrames pitchFrames, amdfFrames;
    ASSERT_TRUE(pitch::TrackSound(input, nccf, 1, pitchFrames).Done());
    ASSERT_TRUE(pitch::TrackSound(input, amdf, 1, amdfFrames).Done());
    formants::FormantFrames formantFrames;
    intensity::IntensityFrames intensityFrames;
    ASSERT_EQ(formants::TrackFormants({}, source, int(m_samples.size()), kRate, 1, formantFrames), analysis::EOutcome::Done);
    ASSERT_EQ(intensity::TrackIntensity({}, source, int(m_samples.size()), kRate, 1, intensityFrames),
              analysis::EOutcome::Done);

    // Over the end of the vowel into the silence: the voiced and the silent frames alike.
    const std::string table = measure::LayerCsv(
        measure::LayerRows({&pitchFrames, &formantFrames, &intensityFrames}, 0.01, 0.5, 0.7));
    EXPECT_EQ(table.substr(0, table.find('\n')), "time_s,pitch_hz,confidence,f1_hz,f2_hz,f3_hz,intensity_db");
    std::string out, err;
    ASSERT_EQ(Run("pitch " + Take(), out, err), 0) << err;
    auto pitchLines = LinesByTime(out);
    ASSERT_EQ(Run("formants " + Take(), out, err), 0) << err;
    auto formantLines = LinesByTime(out);
    ASSERT_EQ(Run("intensity " + Take(), out, err), 0) << err;
    auto intensityLines = LinesByTime(out);
    const auto rows = LinesByTime(table);
    ASSERT_EQ(rows.size(), 21u);
    int nVoiced = 0, nSilent = 0;
    for (const auto& [strTime, row] : rows) {
        ASSERT_EQ(row.size(), 7u) << strTime;
        const std::vector<std::string> expected{strTime,
                                                pitchLines[strTime].at(1),
                                                pitchLines[strTime].at(2),
                                                formantLines[strTime].at(1),
                                                formantLines[strTime].at(2),
                                                formantLines[strTime].at(3),
                                                intensityLines[strTime].at(1)};
        EXPECT_EQ(row, expected);
        nVoiced += std::stod(row[1]) > 0;
        nSilent += row[6] == "-300.000";
    }
    EXPECT_GT(nVoiced, 5);
    EXPECT_GE(nSilent, 5);

    // With the AMDF the pitch is its frame's at the row's time; a layer
    // without a track leaves its fields empty.
    const auto amdfRows = LinesByTime(measure::LayerCsv(measure::LayerRows({&amdfFrames, nullptr, nullptr}, 0.01, 0.2, 0.2)));
    ASSERT_EQ(Run("pitch --tracker amdf " + Take(), out, err), 0) << err;
    const double dAmdfHz = std::stod(LinesByTime(out).at("0.200000").at(1));
    EXPECT_GT(dAmdfHz, 0);
    char szHz[32];
    std::snprintf(szHz, sizeof szHz, "%.3f", dAmdfHz);
    EXPECT_EQ(amdfRows.at("0.200000"), (std::vector<std::string>{"0.200000", szHz,
                                        "1.000", "", "", "", ""}));
}

TEST_F(FormantsIntensity, IntensityIsTheRoomsOwnWithSilenceAtItsFloor)
{
    std::string out, err;
    ASSERT_EQ(Run("intensity --floor 80 " + Take(), out, err), 0) << err;
    std::string header;
    const auto rows = CsvRows(out, &header);
    EXPECT_EQ(header, "time_s,intensity_db");
    sonavel::intensity::IntensitySettings settings;
    settings.dFloorHz = 80;
    sonavel::intensity::IntensityFrames frames;
    const CMemorySamples source(m_samples.data(), int(m_samples.size()));
    ASSERT_EQ(sonavel::intensity::TrackIntensity(settings, source, int(m_samples.size()), kRate, 1, frames),
              sonavel::analysis::EOutcome::Done);
    ASSERT_EQ(rows.size(), frames.time_s.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_NEAR(rows[i][1], frames.db[i], 5e-4) << i;
    EXPECT_NE(out.find("\n1.200000,-300.000\n"), std::string::npos); // the last frame, in the silence

    ASSERT_EQ(Run("intensity --format json " + Take(), out, err), 0) << err;
    EXPECT_EQ(out.rfind("{\"file\": \"" + m_dir / "take7.wav" + "\", \"sample_rate\": 16000, \"time_s\": [0.000000, ", 0),
              0u);
    EXPECT_NE(out.find(", -300.000]}\n"), std::string::npos);
}

TEST_F(FormantsIntensity, BatchesWriteBesidePitchsOutputsForAnyJobCount)
{
    ASSERT_EQ(Shell("cp " + Take() + " " + Quote(m_dir / "take8.wav")), 0);
    const std::string both = Take() + " " + Quote(m_dir / "take8.wav");
    std::string out, err;
    for (const char* szJobs : {"1", "2"}) {
        const std::string dir = m_dir / (std::string("j") + szJobs);
        ASSERT_EQ(Run("pitch -j " + std::string(szJobs) + " -o " + Quote(dir) + " " + both, out, err), 0) << err;
        ASSERT_EQ(Run("formants -j " + std::string(szJobs) + " -o " + Quote(dir) + " " + both, out, err), 0) << err;
        ASSERT_EQ(Run("intensity --format json -j " + std::string(szJobs) + " -o " + Quote(dir) + " " + both, out, err),
                  0)
            << err;
    }
    ASSERT_EQ(Run("formants " + Take(), out, err), 0);
    for (const char* szName : {"take7.csv", "take8.formants.csv", "take7.intensity.json"})
        EXPECT_EQ(Slurp(m_dir / "j1/" + szName), Slurp(m_dir / "j2/" + szName)) << szName;
    EXPECT_EQ(Slurp(m_dir / "j1/take7.formants.csv"), out);
    EXPECT_EQ(Slurp(m_dir / "j1/take7.csv").rfind("time_s,pitch_hz,", 0), 0u);
}

TEST_F(FormantsIntensity, SettingsOutOfRangeNameTheOption)
{
    std::string out, err;
    const struct {
        const char* szArgs;
        const char* szOption;
    } cases[] = {{"formants --count 0", "--count"},          {"formants --count 7", "--count"},
                 {"formants --count 2.5", "--count"},        {"formants --max-formant 999", "--max-formant"},
                 {"formants --step 0.0005", "--step"},       {"formants --step 2", "--step"},
                 {"intensity --floor 24", "--floor"},        {"intensity --floor 1001", "--floor"},
                 {"intensity --step nan", "--step"},         {"intensity --step abc", "--step"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Run(std::string(c.szArgs) + " " + Take(), out, err), 2) << c.szArgs;
        EXPECT_EQ(err.rfind(std::string("sonavel-analyze: ") + c.szOption + ": ", 0), 0u) << err;
        EXPECT_EQ(out, "");
    }
    // Half the rate is known once the file is read: that file alone fails.
    ASSERT_EQ(Shell("sox " + Take() + " -r 8000 " + Quote(m_dir / "low.wav") + " 2>/dev/null"), 0);
    EXPECT_EQ(Run("formants --max-formant 5000 -o " + Quote(m_dir / "o") + " " + Take() + " "
                      + Quote(m_dir / "low.wav"),
                  out, err),
              1);
    EXPECT_NE(err.find("low.wav: --max-formant: must be at most half the sample rate, 4000 Hz"), std::string::npos)
        << err;
    EXPECT_NE(Slurp(m_dir / "o/take7.formants.csv"), "");
}

TEST_F(FormantsIntensity, AnotherChannelIsTheLoadersOwn)
{
    // The vowel on the right, silence on the left.
    ASSERT_EQ(Shell("sox -n -r 16000 -c 1 -b 16 " + Quote(m_dir / "quiet.wav") + " trim 0 1.2 && sox -M "
                    + Quote(m_dir / "quiet.wav") + " " + Take() + " " + Quote(m_dir / "st.wav") + " 2>/dev/null"),
              0);
    std::string mono, two, err;
    ASSERT_EQ(Run("intensity " + Take(), mono, err), 0) << err;
    ASSERT_EQ(Run("intensity --channel 2 " + Quote(m_dir / "st.wav"), two, err), 0) << err;
    EXPECT_EQ(two, mono);
    EXPECT_EQ(Run("formants --channel 3 " + Quote(m_dir / "st.wav"), two, err), 1);
    EXPECT_NE(err.find("channel"), std::string::npos) << err;
}

} // namespace
