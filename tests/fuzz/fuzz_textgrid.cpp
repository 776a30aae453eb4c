// The TextGrid reader on any bytes: a grid or one failure, never a crash, a
// hang or memory in proportion to a claimed count. A failure is one line that
// names a line of the file; a grid it gives is sound and writes out to a text
// that reads back as the same grid.
#include "tests/fuzz/FuzzTarget.h"

#include <string>
#include <string_view>

#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"

using namespace sonavel::textgrid;

FUZZ_TARGET(textgrid, "textgrid")
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ReadResult result = ParseTextGrid(bytes);
    if (!result.Ok()) {
        FUZZ_CHECK(!result.strWhat.empty());
        FUZZ_CHECK(result.strWhat.find('\n') == std::string::npos);
        FUZZ_CHECK(result.strWhat.size() < 400);
        FUZZ_CHECK(result.nLine >= 0 && std::size_t(result.nLine) <= size + 1);
        FUZZ_CHECK(result.grid.tiers.empty());
        return 0;
    }
    FUZZ_CHECK(GridProblem(result.grid).empty());
    const std::string text = FormatTextGrid(result.grid);
    const ReadResult back = ParseTextGrid(text);
    FUZZ_CHECK(back.Ok());
    FUZZ_CHECK(FormatTextGrid(back.grid) == text);
    return 0;
}
