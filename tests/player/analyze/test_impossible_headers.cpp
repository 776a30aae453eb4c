// Headers that describe no usable sound: every command that loads one exits 1
// with one line that says why, and writes nothing.
#include "tests/support/ByteBuilder.h"

#include <algorithm>

namespace {

using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

const std::string kAnalyze = SONAVEL_ANALYZE;

Bytes AiffWithRate(const Bytes& rate10)
{
    return Form("AIFF", Bytes().Append(AiffComm(1, 400, 16, rate10)).Append(Ssnd(Bytes().Fill(800, 3))));
}

TEST(ImpossibleHeaders, EveryLoadingCommandSaysWhyInOneLine)
{
    const Bytes noise = Bytes().Fill(800, 3);
    const struct {
        const char* szName;
        Bytes file;
        std::string strWhy;
        bool bNoRate;
    } cases[] = {
        {"nan.aiff", AiffWithRate(Bytes().Raw({0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 1})), "no sample rate", true},
        {"inf.aiff", AiffWithRate(Bytes().Raw({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0})), "no sample rate", true},
        {"rate-ffffffff.wav", SimpleWav(1, 1, 0xFFFFFFFFu, 16, noise), "no sample rate", true},
        {"no-channel.au", AuHeader(".snd", true, 24, 800, 3, 8000, 0).Append(noise),
         "No data read or more than one channel in this file", false},
        {"0-bit.wav", SimpleWav(1, 1, 8000, 0, noise), "Unsupported *.wav sample size (0 bits)", false},
        {"64-bit.wav", SimpleWav(1, 1, 8000, 64, noise), "Unsupported *.wav sample size (64 bits)", false},
        {"255-bit.wav", SimpleWav(1, 1, 8000, 255, noise), "Unsupported *.wav sample size (255 bits)", false},
    };
    testsupport::CScratchDir dir;
    for (const auto& c : cases) {
        const std::string path = dir / c.szName;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(c.file.Data().data(), 1, c.file.Size(), f);
        std::fclose(f);

        std::vector<std::string> commands = {"info " + Quote(path)};
        if (c.bNoRate)
            commands.insert(commands.end(), {"samples " + Quote(path) + " -o " + Quote(dir / "out.raw"),
                                             "pitch " + Quote(path), "render " + Quote(path) + " -o " + Quote(dir / "out.png")});
        for (const std::string& command : commands) {
            SCOPED_TRACE(command);
            EXPECT_EQ(Shell(kAnalyze + " " + command + " > " + Quote(dir / "stdout") + " 2> " + Quote(dir / "stderr")), 1);
            EXPECT_EQ(Slurp(dir / "stdout"), "");
            EXPECT_EQ(Slurp(dir / "stderr"), "sonavel-analyze: " + path + ": " + c.strWhy + "\n");
        }
    }
    EXPECT_EQ(Shell("test -e " + Quote(dir / "out.raw") + " || test -e " + Quote(dir / "out.png")), 1);
}

} // namespace
