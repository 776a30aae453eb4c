// The Internet shortcut reading of the favourites scan.
#include "tests/fuzz/ScratchFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include <QString>

#include "browser/favorites/CFavoritesScan.h"

FUZZ_TARGET(url_shortcut, "url")
{
    const std::string path = fuzz::WriteScratchFile(data, size, ".url");
    const QString url = velmora::CFavoritesScan::ReadShortcutUrl(QString::fromStdString(path));
    // One line of the file at most, never its line breaks.
    FUZZ_CHECK(url.size() <= int(size));
    FUZZ_CHECK(!url.contains(QLatin1Char('\n')));
    return 0;
}
